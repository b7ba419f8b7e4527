#pragma once
// Where the program writes its files (log files, the register listing) when no directory is
// given.
#include <filesystem>
#include <string>

namespace tavrin::base {
class Platform;

// The program's own directory when it is a folder of this user that takes files (a build or
// a portable copy); otherwise "tavrin" in the user's documents folder, made when needed.
// Never a system folder, never one another user owns or could have made first. `problem`,
// when given, is set to why the folder cannot be used, naming it (empty when it can).
std::filesystem::path FilesDirectory(Platform& platform, std::string* problem = nullptr);

} // namespace tavrin::base
