#pragma once
// File-system calls each platform makes its own way.
#include <cstdio>
#include <filesystem>

namespace tavrin::base {

// Whether this program may create files in the folder.
bool CanCreateFilesIn(const std::filesystem::path& dir);

// std::fopen on a path in any character set (Windows paths are UTF-16).
std::FILE* OpenFile(const std::filesystem::path& file, const char* mode);

} // namespace tavrin::base
