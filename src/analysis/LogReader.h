#pragma once
// Reads the log files this program writes (".csv" or ".txt", with or without header,
// comma or tab, raw or scaled, with or without new-data flags) into one series per
// channel. Two passes over the file, so memory is the series and a fixed buffer.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analysis/Allan.h"

namespace tavrin::analysis {

struct ReadOptions {
    double rateHz = 0;       // logging rate; required when the file has no header
    double sensorPeriod = 0; // seconds between the sensor's own samples, when known
    // Channels to keep, by column title ("X Gryo") or by number among the value columns
    // ("1", "2", ...); empty keeps all.
    std::vector<std::string> channels;
    // Called now and then with the fraction read; returning false cancels.
    std::function<bool(double)> progress;
};

// Where a series' sample interval came from.
enum class Tau0Source {
    LogHeader,    // elapsed time of the header over the number of lines
    GivenRate,    // the logging rate given by the user
    SensorPeriod, // new samples only, at the sensor's sample period given
    NewDataCount, // new samples only, logged time over the number of new samples
};

struct Series {
    std::string title;
    Quantity quantity = Quantity::Other;
    std::string unit; // "deg/s", "g", "V", "degC", "counts" or "" when unknown
    std::vector<double> values;
    double tau0 = 0;
    Tau0Source source = Tau0Source::LogHeader;
    long long logged = 0; // lines of the file
    long long fresh = 0;  // lines whose flag was 1 (all of them without flags)
};

struct LogData {
    bool header = false;
    long long lines = 0; // data lines
    std::vector<Series> channels;
};

struct ReadResult {
    std::string error; // "<file>: line <n>: ..." ; empty when read
    bool cancelled = false;
    LogData data;
};

ReadResult ReadLog(const std::filesystem::path& file, const ReadOptions& options);

// "tau0 = 0.001 s (sensor sample period; 4000 of 16000 lines were new samples)" and the like.
std::string Tau0Text(const Series& s);

} // namespace tavrin::analysis
