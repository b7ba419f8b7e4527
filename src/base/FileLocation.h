#pragma once
// Where the program writes its files (log files, the register listing).
#include <filesystem>

namespace tavrin::base {
class Platform;

// The program's own directory when it is writable; otherwise (an installed program,
// for example in /usr/bin) the per-user folder for this program, created when needed.
std::filesystem::path FilesDirectory(Platform& platform);

} // namespace tavrin::base
