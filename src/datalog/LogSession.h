#pragma once
// One logging session: samples of the selected output registers written into a
// series of log files. Qt-free; the window supplies the settings and the hooks.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
    // Rows go to this writer as they are taken, after the column titles, and no file is
    // written (no header, no names, no lock): at least once a second, and at every row with
    // `streamEachRow` (a terminal).
    LogWriter* stream = nullptr;
    bool streamEachRow = false;
    // The files' separators whatever the locale; none: the user's number format decides.
    std::optional<FileFormat> format;
};

// The steps of a file at which a session may be held (by a test, between processes).
enum class LogStep {
    SpoolCreated, // the file's rows have their temporary; no sample taken yet
    Finishing,    // its finishing copy exists, nothing copied yet
    PartWritten,  // the finishing copy is whole and closed, not yet under the file's name
    Renamed       // the file is under its name; the next file is not begun
};

struct LogHooks {
    // A file has been created; the window shows its number. Events run right after.
    std::function<void(long long fileNo)> fileStarted;
    // A sample has been taken (before events run).
    std::function<void(long long fileNo, long long sample)> sampleTaken;
    // Asked after each sample's events have run, and after each file is finished; true ends
    // the session after this sample, or before the next file.
    std::function<bool()> cancelRequested;
    // The file's rows are being put under its name: `done` of `total` bytes. Events run
    // between calls; nothing is left to cancel.
    std::function<void(long long fileNo, unsigned long long done, unsigned long long total)>
        finishing;
    // A file is complete under its name, holding `samples` samples.
    std::function<void(long long fileNo, const std::filesystem::path& file, long long samples)>
        fileDone;
    // The session has reached `step` of file `fileNo`.
    std::function<void(LogStep step, long long fileNo)> reached;
    // A read of the sensor failed (the transport's status); the session stops after it.
    std::function<void(transport::Status status)> transferFailed;
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
    // What the front end says at the end, when anything: the session's own message box text
    // ("FILE WRITE ERROR ...", "LOGGING STOPPED ..."), shown with an exclamation icon.
    std::string message;
};

// What a session uses: the registers it reads, and the window's events, which it lets run
// once per sample.
struct LogContext {
    registers::RegisterAccess io;
    const std::function<void()>& doEvents;
};

// Reads one register-map position.
using RegisterReader =
    std::function<registers::Reading(const registers::RegisterAccess& io, int16_t position)>;

// Runs the session. It holds the stem's lock from before its first temporary until after
// its last rename. Each file's rows are spooled, as text, to a temporary
// ".<file>.rows.XXXXXX" beside the target while sampling, on the disk at least once a
// second whatever the sample delay; afterwards header and rows go to ".<file>.part.XXXXXX",
// which replaces the target only when whole. Memory stays flat whatever the count; a file
// under its final name is always complete, and what a failure leaves is kept as
// "<stem>_<n>_incomplete".
LogReport RunLogSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs, const RegisterReader& read);

// The same, reading through the register front end.
LogReport RunLogSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs);

// The lock file a session of `stem` holds in its directory while it runs.
std::string StemLockName(std::string_view stem, std::string_view ext);

} // namespace tavrin::datalog
