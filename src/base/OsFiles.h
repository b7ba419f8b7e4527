#pragma once
// File-system calls each platform makes its own way.
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace tavrin::base {

// Whether this program may create files in the folder.
bool CanCreateFilesIn(const std::filesystem::path& dir);

// Whether the folder belongs to the user running the program (always, where the system
// keeps no owner this program could compare).
bool IsOwnFolder(const std::filesystem::path& dir);

// Whether the folder is one of the system's own (/usr, /bin, /opt, ...; Program Files and
// the Windows folder): no place for a user's files, whoever runs the program.
bool IsSystemFolder(const std::filesystem::path& dir);

// std::fopen on a path in any character set (Windows paths are UTF-16).
std::FILE* OpenFile(const std::filesystem::path& file, const char* mode);

// Opens closed standard descriptors, so that no file the program opens later gets their
// numbers (and its messages): input and error on the null device, output on one that
// refuses every write, so output written to a closed standard output is a failure.
void GuardStandardDescriptors();
// Whether standard output was closed when the program started.
bool StandardOutputWasClosed();

// Writes all of `text` into the FIFO, device or socket at `file`, opened for writing
// without following a link. 1 written, 0 failed (errno set), -1 the name holds no such file.
int WriteIntoSpecialFile(const std::filesystem::path& file, std::string_view text);

} // namespace tavrin::base
