#pragma once
// Texts of the logging window and of the log files: separators, names, column
// titles, header lines, the rewrites of the settings fields, and the messages.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Seams.h"

namespace tavrin::datalog {

inline constexpr std::string_view kCRLF = "\r\n";
inline constexpr std::string_view kStartCaption = "Start Datalog";
inline constexpr std::string_view kCancelCaption = "Cancel Datalog";
inline constexpr std::string_view kNoSelectionText =
    "Please check at least one DATA SELECTION box.";

// Boxes 1..8 of the data selection stand for register-map positions 1..8.
inline constexpr int kFirstBox = 1;
inline constexpr int kLastBox = 8;
// The box checked on every opening of the window.
inline constexpr int kDefaultBox = 2;
// Index 0 unused so that index i is box i.
inline constexpr std::array<std::string_view, 9> kBoxCaptions = {
    "",          "Power Supply", "XGYRO_OUT", "YGYRO_OUT", "ZGYRO_OUT",
    "XACCL_OUT", "YACCL-OUT",    "ZACCL_OUT", "XTEMP_OUT"};
inline constexpr std::array<std::string_view, 9> kFlagTitles = {
    "", "PvND", "XgND", "YgND", "ZgND", "XaND", "YaND", "ZaND", "XtND"};
inline constexpr std::array<std::string_view, 9> kValueTitles = {
    "", "Power V", "X Gryo", "Y Gyro", "Z Gyro", "X acc", "Y acc", "Z acc", "X Temp"};
// The first column title, and the titles of header lines 1 to 6 (line 7 is one blank).
inline constexpr std::string_view kSampleTitle = "Sample #";
inline constexpr std::array<std::string_view, 6> kHeaderTitles = {
    "File Name", "Date", "Time", "Begin Seconds", "End Seconds", "Elapsed Seconds"};

// Field separator, extension and decimal separator of one session's files.
struct FileFormat {
    std::string fieldSep;
    std::string ext;
    std::string decimalSep;
};
// Tab and ".txt" when the user's numbers carry a decimal comma, else "," and ".csv".
FileFormat DecideFileFormat(base::Platform& platform);
// A format asked for by name whatever the locale: "csv" (comma, ".csv") or "tsv" (tab,
// ".txt"), both with a decimal point; nothing for another name.
std::optional<FileFormat> NamedFileFormat(std::string_view name);

// The file name of file n of a session: stem + "_" + n + extension.
std::string LogFileNameFor(std::string_view stem, long long n, std::string_view ext);

// Empty when the stem names a file inside the log directory; otherwise the message
// that refuses it (empty stem, a path separator, "..", a NUL character).
std::string StemProblem(std::string_view stem);

// The box for a file that cannot be created: `err` (an errno value, 0 when unknown)
// picks the cause; a directory that is not writable is named.
std::string FileAccessErrorText(std::string_view fileName, int err = 0,
                                std::string_view directory = {});
// A file that could not be written completely; `kept` names the file that holds the
// samples that reached the disk (empty when none did; a hidden name when they stay in the
// session's own temporary, which the next start recovers).
std::string FileWriteErrorText(std::string_view fileName, int err = 0, std::string_view kept = {},
                               std::string_view directory = {});
// The session's lock file is something this program did not make (a directory, a link).
std::string LockFileProblemText(std::string_view lockName, std::string_view directory);
// Too little room to finish the file; nothing has been removed yet.
std::string DiskFullText(std::string_view fileName, unsigned long long needed,
                         unsigned long long available, std::string_view kept);
// A stem too long for the file system, with the longest stem that fits.
std::string StemTooLongText(std::string_view stem, std::string_view longest);
// Another session (this program or another instance) writes the files of this stem.
std::string FileInUseText(std::string_view fileName);
// Rows streamed to another program could not be written; the session stopped.
std::string StreamWriteErrorText(int err, long long samples);
// Reading the sensor failed: the session stopped after `samples` samples of file `fileNo`.
std::string TransferStoppedText(std::string_view fileName, long long fileNo, long long samples);
// Whether the first bytes of a file are those of this program's log text: the column titles,
// a data row, or a header's first line, and no byte a log never holds.
bool IsLogText(std::string_view head);

// The name of the file that keeps the samples of an unfinished `fileName`:
// "DATALOG_1_incomplete.csv", then "DATALOG_1_incomplete_2.csv", ...
std::string IncompleteName(std::string_view fileName, int k);
// The longest stem whose files and temporaries all fit in names of `nameMax` bytes.
std::size_t LongestStem(std::size_t nameMax, long long files, std::string_view ext);

struct ColumnChoice {
    std::array<bool, 9> box{}; // index = box number 1..8
    bool disableND = false;
};
// "Sample #" and the flag and value titles of the chosen boxes, each followed by the separator.
std::string TitleLine(const ColumnChoice& cols, std::string_view fieldSep);

// Header lines 1 to 7 (name, date, time, Begin, End, elapsed, one blank).
std::string HeaderLines(std::string_view fileName, std::string_view date, std::string_view time,
                        float begin, float end, const FileFormat& fmt);

// The progress line of a session: file and sample of the totals (no total of samples when
// `samples` is 0), samples per second.
std::string ProgressText(long long fileNo, long long files, long long sample, long long samples,
                         double samplesPerSecond);

// How a settings field rewrites a typed text. Bounds are checked upper first, then lower.
struct FieldRule {
    std::string_view notNumber; // text put in place of a text that is not a number
    double lower;
    std::string_view lowerText;
    double upper;
    std::string_view upperText;
};
inline constexpr FieldRule kSamplesPerFileRule{"1000", 1, "1", 2147483647.0, "2147483647"};
inline constexpr FieldRule kFilesPerSessionRule{"1", 1, "1", 2000000000.0, "2000000000"};
inline constexpr FieldRule kSampleDelayRule{"0", 0, "0", 32000, "32000"};

// The text the field must be rewritten to, or nothing when the typed text stands.
std::optional<std::string> FieldRewrite(std::string_view text, const FieldRule& rule,
                                        std::string_view decimalSep);

} // namespace tavrin::datalog
