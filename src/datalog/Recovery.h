#pragma once
// What an unfinished session (a crash, a power cut, a kill) left behind, made into files
// named as incomplete. The window program runs it at its start, tavrin-cli before a session
// and as its own command.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "datalog/LogFiles.h"

namespace tavrin::datalog {

struct Recovery {
    std::vector<std::string> kept;       // new "_incomplete" files
    std::vector<std::string> inUse;      // a session still running holds them: left alone
    std::vector<std::string> unlockable; // their session's lock file cannot be taken: left alone
    std::vector<std::string> notOurs;    // named like leftovers, but not this program's: left alone
    bool empty() const {
        return kept.empty() && inUse.empty() && unlockable.empty() && notOurs.empty();
    }
};

// Turns the leftovers of earlier sessions in `dir`, of any stem, into files named as
// incomplete. Each stem's lock is taken, without waiting, before its leftovers are touched;
// a link is never followed, a FIFO or device never opened for reading, and only files whose
// content is this program's are taken.
Recovery RecoverUnfinished(const std::filesystem::path& dir);

// The message naming what was kept and what was left alone, at most ten names a list;
// empty when nothing was found.
std::string RecoveryText(const Recovery& r, std::string_view directory);

// Puts the samples of an unfinished `name` under a free name saying it is incomplete
// ("DATALOG_1_incomplete.csv", then "_incomplete_2", ...); the name used, or empty when
// none could be had.
std::string KeepIncomplete(LogFileSystem& fs, const std::filesystem::path& from,
                           const std::filesystem::path& dir, const std::string& name);

} // namespace tavrin::datalog
