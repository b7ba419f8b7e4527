#include "datalog/LogFormat.h"

#include <charconv>
#include <cstdio>
#include <utility>

#include "app/NumberText.h"
#include "app/Seams.h"

namespace tavrin::datalog {

FileFormat DecideFileFormat(Platform& platform) {
    std::string sep = platform.decimalSeparator();
    if (sep.empty()) sep.push_back('.');
    // One and two tenths written as "1" + separator + "2": its second character decides.
    const bool comma = sep.front() == ',';
    return FileFormat{std::string(comma ? "\t" : ","), std::string(comma ? ".txt" : ".csv"),
                      std::move(sep)};
}

std::string LogFileNameFor(std::string_view stem, long long n, std::string_view ext) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, n);
    std::string name(stem);
    name += '_';
    name.append(digits, r.ptr);
    name += ext;
    return name;
}

std::string StemProblem(std::string_view stem) {
    const bool bad = stem.empty() || stem.find('/') != std::string_view::npos ||
                     stem.find('\\') != std::string_view::npos ||
                     stem.find("..") != std::string_view::npos ||
                     stem.find('\0') != std::string_view::npos;
    if (!bad) return {};
    return "\r\nINVALID FILE NAME\r\n\r\nFile name = " + std::string(stem) +
           "\r\n\r\nThe file name may not be empty and may not contain \"/\", \"\\\" or "
           "\"..\".\r\n\r\nThe log files are always written to the directory shown.";
}

std::string FileAccessErrorText(std::string_view fileName) {
    return "\r\nFILE ACCESS ERROR\r\n\r\nFile name = " + std::string(fileName) +
           "\r\n\r\nThis file may already be open by another application.\r\n\r\nClose the "
           "file or choose a different file name.";
}

std::string FileWriteErrorText(std::string_view fileName) {
    return "\r\nFILE WRITE ERROR\r\n\r\nFile name = " + std::string(fileName) +
           "\r\n\r\nThe file could not be written completely; the disk may be full or the "
           "medium removed.\r\n\r\nThe session has stopped. This file was not kept; the files "
           "before it are complete.";
}

std::string TitleLine(const ColumnChoice& cols, std::string_view fieldSep) {
    std::string line = "Sample #";
    line += fieldSep;
    for (int b = kFirstBox; b <= kLastBox; ++b) {
        if (!cols.box[b]) continue;
        if (!cols.disableND) {
            line += kFlagTitles[b];
            line += fieldSep;
        }
        line += kValueTitles[b];
        line += fieldSep;
    }
    line += kCRLF;
    return line;
}

std::string HeaderLines(std::string_view fileName, std::string_view date, std::string_view time,
                        float begin, float end, const FileFormat& fmt) {
    const std::string& sep = fmt.fieldSep;
    const float elapsed = end - begin;
    std::string h;
    auto line = [&](std::string_view title, std::string_view value) {
        h += title;
        h += sep;
        h += value;
        h += kCRLF;
    };
    line("File Name", fileName);
    line("Date", date);
    line("Time", time);
    line("Begin Seconds", GeneralTextSingle(begin, fmt.decimalSep));
    line("End Seconds", GeneralTextSingle(end, fmt.decimalSep));
    line("Elapsed Seconds", GeneralTextSingle(elapsed, fmt.decimalSep));
    h += ' ';
    h += kCRLF;
    return h;
}

std::string ProgressText(long long fileNo, long long files, long long sample, long long samples,
                         double samplesPerSecond) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.0f", samplesPerSecond);
    return "File " + std::to_string(fileNo) + " of " + std::to_string(files) + "    Sample " +
           std::to_string(sample) + " of " + std::to_string(samples) + "    " + rate + " samples/s";
}

std::optional<std::string> FieldRewrite(std::string_view text, const FieldRule& rule,
                                        std::string_view decimalSep) {
    const auto value = ParseNumber(text, decimalSep);
    if (!value) return std::string(rule.notNumber);
    if (*value > rule.upper) return std::string(rule.upperText);
    if (*value < rule.lower) return std::string(rule.lowerText);
    return std::nullopt;
}

} // namespace tavrin::datalog
