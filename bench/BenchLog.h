#pragma once
// Long synthetic logs for the analysis benchmarks, in the form the logging session writes
// them (header, column titles, CR LF), made once in the temporary folder; and the peak
// resident memory the benchmarks report.
#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

namespace tavrin::bench {

// `titles` after "Sample #,"; `row` appends a sample's fields, each ended by ','.
using RowWriter = std::function<void(std::string&, std::mt19937_64&)>;

inline std::filesystem::path WriteBenchLog(const std::string& name, const std::string& titles,
                                           long long samples, const RowWriter& row) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tavrin-" + name + "-bench-" + std::to_string(::getpid()) + ".csv");
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    std::string text = "File Name,DATALOG_1.csv\r\nDate,12/7/2026\r\nTime,3:00 AM\r\n"
                       "Begin Seconds,100\r\nEnd Seconds,10100\r\nElapsed Seconds,10000\r\n"
                       " \r\nSample #," +
                       titles + "\r\n";
    std::mt19937_64 g(1);
    for (long long s = 1; s <= samples; ++s) {
        text += std::to_string(s);
        text += ',';
        row(text, g);
        text += "\r\n";
        if (text.size() > (1 << 20)) {
            std::fwrite(text.data(), 1, text.size(), f);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

// A value as the program writes it: 15 significant digits, then the separator.
inline void AppendValue(std::string& text, double v) {
    char buf[32];
    text.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr);
    text += ',';
}

// Three gyroscopes with new-data flags: counts of 0.07326 deg/s, as the program writes them.
inline std::filesystem::path GyroLog(const std::string& name, long long samples) {
    return WriteBenchLog(
        name, "XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,", samples,
        [d = std::normal_distribution<double>(0, 2.0)](std::string& text,
                                                       std::mt19937_64& g) mutable {
            for (int c = 0; c < 3; ++c) {
                text += "1,";
                AppendValue(text, std::nearbyint(d(g) / 0.07326) * static_cast<double>(0.07326f));
            }
        });
}

inline double PeakRssMB() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024;
}

} // namespace tavrin::bench
