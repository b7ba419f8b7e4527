#pragma once
// What went wrong reading or analysing a log file, as a value: a small status the caller
// can act on (the window asks for the logging rate on NeedsRate), the line, and one line of
// text for the user. Quoted input in `detail` is at most 80 bytes, non-printable bytes as \xNN.
#include <string>

namespace tavrin::analysis {

enum class LogStatus {
    Ok,
    Cancelled,
    CannotOpen,     // missing, no permission, ...
    NotRegularFile, // a FIFO, device, socket or directory
    ReadError,
    Empty,
    NotALog,       // neither a header, nor column titles, nor sample 1 at the start
    LineTooLong,   // longer than kMaxLineBytes
    BadHeader,     // a header line missing or unreadable
    BadTitles,     // column titles missing or unknown
    NoSuchChannel, // a chosen channel the file does not have
    BadSample,     // a sample number missing or out of order
    BadField,      // a value or new-data flag that cannot be read
    BadFieldCount, // a line with more or fewer fields than the titles
    CutShort,      // the last line has no line end
    NoData,
    NeedsRate,  // no header and no logging rate given
    BadElapsed, // the header's elapsed time cannot give a sample interval
};

struct LogProblem {
    LogStatus status = LogStatus::Ok;
    long long line = 0; // 1-based; 0 when it concerns the whole file
    std::string detail;
    bool ok() const { return status == LogStatus::Ok; }
};

inline LogProblem Problem(LogStatus s, long long line, std::string detail) {
    return {s, line, std::move(detail)};
}

// "<file>: line <n>: <detail>", or "<file>: <detail>" for the whole file.
std::string ProblemText(const std::string& fileName, const LogProblem& p);

} // namespace tavrin::analysis
