#pragma once
// What the shell's seams do each operating system's own way.
#include <filesystem>

namespace tavrin::cli {

// Ctrl-C as the logging window's Cancel: from here on it sets g_interrupted instead of
// ending the program, so the file under way is completed.
void CatchInterrupt();

// The running program's own file; empty when the system does not say.
std::filesystem::path ProgramFile();

// The user's documents folder.
std::filesystem::path DocumentsDir();

} // namespace tavrin::cli
