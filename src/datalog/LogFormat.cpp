#include "datalog/LogFormat.h"

#include <algorithm>
#include <cerrno>

#include <charconv>
#include <cstdio>
#include <utility>

#include "base/NumberText.h"
#include "base/Seams.h"

namespace tavrin::datalog {

FileFormat DecideFileFormat(base::Platform& platform) {
    std::string sep = platform.decimalSeparator();
    if (sep.empty()) sep.push_back('.');
    // One and two tenths written as "1" + separator + "2": its second character decides.
    const bool comma = sep.front() == ',';
    return FileFormat{std::string(comma ? "\t" : ","), std::string(comma ? ".txt" : ".csv"),
                      std::move(sep)};
}

std::optional<FileFormat> NamedFileFormat(std::string_view name) {
    if (name == "csv") return FileFormat{",", ".csv", "."};
    if (name == "tsv") return FileFormat{"\t", ".txt", "."};
    return std::nullopt;
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

namespace {

std::string Cause(int err, std::string_view directory) {
    switch (err) {
    case ENOSPC:
#ifdef EDQUOT // no quotas in the Windows C runtime
    case EDQUOT:
#endif
    case EFBIG:
        return "The disk is full.";
    case EACCES:
    case EPERM:
    case EROFS:
        return "The directory \"" + std::string(directory) + "\" is not writable.";
    case ENOENT:
    case ENOTDIR:
        return "The directory \"" + std::string(directory) + "\" does not exist.";
    case EISDIR:
        return "A directory has this name.";
    case EIO:
        return "The medium reported an error; it may have been removed.";
    default:
        return {};
    }
}

} // namespace

std::string FileAccessErrorText(std::string_view fileName, int err, std::string_view directory) {
    std::string cause = Cause(err, directory);
    if (cause.empty()) cause = "This file may already be open by another application.";
    return "\r\nFILE ACCESS ERROR\r\n\r\nFile name = " + std::string(fileName) + "\r\n\r\n" +
           cause + "\r\n\r\nClose the file or choose a different file name.";
}

std::string FileWriteErrorText(std::string_view fileName, int err, std::string_view kept,
                               std::string_view directory) {
    std::string cause = Cause(err, directory);
    if (cause.empty()) cause = "The disk may be full or the medium removed.";
    std::string where;
    if (kept.empty())
        where = "No sample of this file could be kept";
    else if (kept.front() == '.')
        where = "The samples that reached the disk are in the hidden file " + std::string(kept) +
                " in \"" + std::string(directory) +
                "\", which the next session or start of the program recovers";
    else
        where = "The samples that reached the disk are kept in " + std::string(kept);
    return "\r\nFILE WRITE ERROR\r\n\r\nFile name = " + std::string(fileName) +
           "\r\n\r\nThe file could not be written completely. " + cause +
           "\r\n\r\nThe session has stopped. " + where + "; the files before it are complete.";
}

std::string LockFileProblemText(std::string_view lockName, std::string_view directory) {
    return "\r\nFILE ACCESS ERROR\r\n\r\nFile name = " + std::string(lockName) +
           "\r\n\r\nThis session's lock file in \"" + std::string(directory) +
           "\" is a directory, a link or a special file, which this program does not make. "
           "Remove it, or choose a different file name.";
}

std::string DiskFullText(std::string_view fileName, unsigned long long needed,
                         unsigned long long available, std::string_view kept) {
    return "\r\nDISK FULL\r\n\r\nFile name = " + std::string(fileName) +
           "\r\n\r\nFinishing this "
           "file needs " +
           std::to_string(needed) + " bytes; the disk has " + std::to_string(available) +
           ".\r\n\r\nThe session has stopped. Every sample of this "
           "file is kept, without its header, in " +
           std::string(kept) + "; earlier files are unchanged.";
}

std::string StemTooLongText(std::string_view stem, std::string_view longest) {
    return "\r\nINVALID FILE NAME\r\n\r\nFile name = " + std::string(stem) +
           "\r\n\r\nThe file name is too long for this file system. The longest that fits is " +
           std::to_string(longest.size()) + " characters:\r\n\r\n" + std::string(longest);
}

std::string FileInUseText(std::string_view fileName) {
    return "\r\nFILE IN USE\r\n\r\nFile name = " + std::string(fileName) +
           "\r\n\r\nAnother logging session is writing the files of this name.\r\n\r\nWait for "
           "it to end or choose a different file name.";
}

std::string StreamWriteErrorText(int err, long long samples) {
    std::string cause = Cause(err, {});
    if (cause.empty()) cause = "The program reading them has gone.";
    return "\r\nSTREAM WRITE ERROR\r\n\r\nThe rows could not be written. " + cause +
           "\r\n\r\nThe session has stopped after " + std::to_string(samples) + " samples.";
}

std::string TransferStoppedText(std::string_view fileName, long long fileNo, long long samples) {
    return "\r\nLOGGING STOPPED\r\n\r\nFile name = " + std::string(fileName) +
           "\r\n\r\nReading the sensor failed during sample " + std::to_string(samples + 1) +
           " of file " + std::to_string(fileNo) + ". The file holds the " +
           std::to_string(samples) + " samples read before the failure.";
}

bool IsLogText(std::string_view head) {
    for (const char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
        if (u == 0x7F) return false;
    }
    const auto fieldAfter = [&](std::size_t at) {
        return head.size() > at && (head[at] == ',' || head[at] == '\t');
    };
    for (const std::string_view title : {kSampleTitle, kHeaderTitles[0]})
        if (head.substr(0, title.size()) == title) return fieldAfter(title.size());
    std::size_t digits = 0;
    while (digits < head.size() && head[digits] >= '0' && head[digits] <= '9') ++digits;
    return digits > 0 && fieldAfter(digits);
}

std::string IncompleteName(std::string_view fileName, int k) {
    const auto dot = fileName.rfind('.');
    const std::string_view base = fileName.substr(0, dot);
    const std::string_view ext = dot == std::string_view::npos ? "" : fileName.substr(dot);
    std::string out(base);
    out += "_incomplete";
    if (k > 1) out += "_" + std::to_string(k);
    out += ext;
    return out;
}

std::size_t LongestStem(std::size_t nameMax, long long files, std::string_view ext) {
    // The longest name a session makes: "." + stem + "_" + n + ext + ".rows.XXXXXX", or the
    // kept file stem + "_" + n + "_incomplete_999" + ext.
    const std::size_t digits = std::to_string(files < 1 ? 1 : files).size();
    const std::size_t temp = 1 + 1 + digits + ext.size() + 12;
    const std::size_t kept = 1 + digits + 15 + ext.size();
    const std::size_t extra = std::max(temp, kept);
    return nameMax > extra ? nameMax - extra : 0;
}

std::string TitleLine(const ColumnChoice& cols, std::string_view fieldSep) {
    std::string line(kSampleTitle);
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
    line(kHeaderTitles[0], fileName);
    line(kHeaderTitles[1], date);
    line(kHeaderTitles[2], time);
    line(kHeaderTitles[3], base::GeneralTextSingle(begin, fmt.decimalSep));
    line(kHeaderTitles[4], base::GeneralTextSingle(end, fmt.decimalSep));
    line(kHeaderTitles[5], base::GeneralTextSingle(elapsed, fmt.decimalSep));
    h += ' ';
    h += kCRLF;
    return h;
}

std::string ProgressText(long long fileNo, long long files, long long sample, long long samples,
                         double samplesPerSecond) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.0f", samplesPerSecond);
    // A session timed by the clock has no number of samples to count to.
    const std::string of = samples > 0 ? " of " + std::to_string(samples) : std::string();
    return "File " + std::to_string(fileNo) + " of " + std::to_string(files) + "    Sample " +
           std::to_string(sample) + of + "    " + rate + " samples/s";
}

std::optional<std::string> FieldRewrite(std::string_view text, const FieldRule& rule,
                                        std::string_view decimalSep) {
    const auto value = base::ParseNumber(text, decimalSep);
    if (!value) return std::string(rule.notNumber);
    if (*value > rule.upper) return std::string(rule.upperText);
    if (*value < rule.lower) return std::string(rule.lowerText);
    return std::nullopt;
}

} // namespace tavrin::datalog
