#pragma once
// Reads the log files this program writes (".csv" or ".txt", with or without header,
// comma or tab, raw or scaled, with or without new-data flags, and the column titles and
// samples kept of an unfinished session, "_incomplete") into one series per channel. One
// pass over the file: memory is the series and a fixed buffer, whatever a line holds.
//
// The reading is a parser with one function per phase, in the order a file meets them:
// the format (first line), the header, the titles, the columns, each data line, and the
// sample interval tau0; each returns a LogProblem.
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Allan.h"
#include "analysis/LogProblem.h"

namespace tavrin::analysis {

struct ReadOptions {
    double rateHz = 0;       // logging rate; required when the file has no header
    double sensorPeriod = 0; // seconds between the sensor's own samples, when known
    double elapsed = 0;      // seconds the lines span, when timed by another clock (a capture)
    // Channels to keep, by column title ("X Gryo") or by number among the value columns
    // ("1", "2", ...); empty keeps all.
    std::vector<std::string> channels;
    // Called now and then with the fraction read; returning false cancels.
    std::function<bool(double)> progress;
    // Called with the values kept of each chosen channel (numbered 0, 1, ... among them) as
    // they are read: after each piece of the file and at its end, every value once, in order.
    std::function<void(std::size_t channel, const double* values, std::size_t count)> samples;
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
    double elapsed = 0;   // seconds the lines span (logging period times lines); 0 unknown
};

struct LogData {
    bool header = false;
    long long lines = 0; // data lines
    std::vector<Series> channels;
};

struct ReadResult {
    LogProblem problem;
    LogData data;
};

ReadResult ReadLog(const std::filesystem::path& file, const ReadOptions& options);

// "tau0 = 0.001 s (sensor sample period; 4000 of 16000 lines were new samples)" and the like.
std::string Tau0Text(const Series& s);

namespace parse {

// What the first line says about the file.
struct Format {
    char sep = ',';
    bool header = false;      // "File Name" ... eight lines before the data
    bool titlesFirst = false; // column titles on line 1, no header (kept "_incomplete" files)
    bool commaDecimal = false;
};
struct Column {
    int valueField = 0; // index of the value among a line's fields
    int flagField = -1; // index of its flag, -1 without
    bool keep = false;
    bool fractional = false;  // some value had a fraction or exponent: scaled, not raw
    long long pushedLine = 0; // the line whose value was kept last
    Series series;
};
// The values of the data lines as they come, for one file.
struct DataState {
    std::vector<Column> columns;
    int fieldsPerLine = 0;
    long long nextSample = 1;
    long long lines = 0;
};

LogProblem DetectFormat(std::string_view firstLine, Format& format);
// Header lines 1 to 7 ("File Name" ... the blank line); line 6 sets `elapsed`.
LogProblem HeaderLine(long long lineNo, std::string_view line, const Format& format,
                      double& elapsed);
LogProblem Titles(long long lineNo, std::string_view line, const Format& format, DataState& state);
// Without titles: flags are there when every other field of the first lines is 0 or 1.
void GuessColumns(const std::vector<std::string>& firstLines, const Format& format,
                  DataState& state);
// Marks the chosen columns; `capacity` is an upper bound of the samples, reserved.
LogProblem ChooseChannels(const std::vector<std::string>& wanted, long long titleLine,
                          std::size_t capacity, DataState& state);
LogProblem DataLine(long long lineNo, std::string_view line, const Format& format,
                    DataState& state);
// Sets tau0, its source and the elapsed time of every kept series.
LogProblem DecideTau0(const ReadOptions& options, const Format& format, double elapsed,
                      DataState& state);

} // namespace parse

} // namespace tavrin::analysis
