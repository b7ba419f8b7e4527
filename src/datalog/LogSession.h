#pragma once
// One logging session: samples of the selected output registers written into a
// series of log files. Qt-free; the window supplies the settings and the hooks.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "datalog/LogFiles.h"
#include "datalog/LogFormat.h"
#include "registers/RegisterState.h"

namespace tavrin::datalog {

struct LogSettings {
    ColumnChoice columns;
    bool noScale = false;  // raw register values instead of scaled ones
    bool noHeader = false; // data lines only
    std::string stem = "DATALOG";
    std::filesystem::path directory;
    double samplesPerFile = 1000; // whole part counts
    double filesPerSession = 1;   // whole part counts
    float sampleDelay = 0;        // milliseconds after each sample; none when not positive
    // All selected registers of a sample in one adapter command (the reader is then not
    // used); off: one read per register, as the reader does it.
    bool burst = false;
};

struct LogHooks {
    // A file has been created; the window shows its number. Events run right after.
    std::function<void(long long fileNo)> fileStarted;
    // A sample has been taken (before events run).
    std::function<void(long long fileNo, long long sample)> sampleTaken;
    // Asked after each sample's events have run; true ends the session after this sample.
    std::function<bool()> cancelRequested;
    // The file's rows are being put under its name: `done` of `total` bytes. Events run
    // between calls; nothing is left to cancel.
    std::function<void(long long fileNo, unsigned long long done, unsigned long long total)>
        finishing;
};

enum class LogOutcome {
    Completed,
    Cancelled,
    CreateFailed,
    WriteFailed,
    BadStem,
    InUse,         // another session writes files of this stem
    TransferFailed // reading the sensor failed; the file holds the samples before
};

struct LogReport {
    LogOutcome outcome = LogOutcome::Completed;
    long long filesWritten = 0; // complete files under their final names
};

// What a session uses: the registers it reads, and the window's events, which it lets run
// once per sample.
struct LogContext {
    registers::RegisterAccess io;
    const std::function<void()>& doEvents;
};

// Reads one register-map position into io.res.
using RegisterReader = std::function<void(const registers::RegisterAccess& io, int16_t position)>;

// Runs the session. Each file's rows are spooled, as text, to a temporary
// ".<file>.rows.XXXXXX" beside the target while sampling, on the disk at least once a
// second; afterwards header and rows go to ".<file>.part.XXXXXX", which replaces the
// target only when whole. Memory stays flat whatever the count; a file under its final
// name is always complete, and what a failure leaves is kept as "<stem>_<n>_incomplete".
LogReport RunLogSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs, const RegisterReader& read);

// The same, reading through the register front end.
LogReport RunLogSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs);

// Turns what an unfinished session (a crash, a power cut) left in `dir` into files
// named as incomplete; their names. Files of a session still running are left alone.
std::vector<std::string> RecoverUnfinished(const std::filesystem::path& dir);
// The same, saying so in a message naming the files (no message when there were none).
void ReportUnfinished(base::Messages& messages, const std::filesystem::path& dir);

} // namespace tavrin::datalog
