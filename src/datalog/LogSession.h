#pragma once
// One logging session: samples of the selected output registers written into a
// series of log files. Qt-free; the window supplies the settings and the hooks.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "datalog/LogFiles.h"
#include "datalog/LogFormat.h"

namespace tavrin {
struct App;
}

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
};

enum class LogOutcome { Completed, Cancelled, CreateFailed, WriteFailed, BadStem };

struct LogReport {
    LogOutcome outcome = LogOutcome::Completed;
    long long filesWritten = 0; // complete files under their final names
};

// Reads one register-map position into app.res.
using RegisterReader = std::function<void(App&, int16_t position)>;

// Runs the session. Each file's samples are spooled to "<file>.rows" next to the
// target while sampling; afterwards the file is assembled as "<file>.partial" and
// renamed only when all of it was written. Memory stays flat whatever the count, and
// a file under its final name is always complete.
LogReport RunLogSession(App& app, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs, const RegisterReader& read);

// The same, reading through the register front end.
LogReport RunLogSession(App& app, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs);

} // namespace tavrin::datalog
