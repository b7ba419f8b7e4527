#include "base/OsFiles.h"

#include <unistd.h>

namespace tavrin::base {

bool CanCreateFilesIn(const std::filesystem::path& dir) {
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::FILE* OpenFile(const std::filesystem::path& file, const char* mode) {
    return std::fopen(file.c_str(), mode);
}

} // namespace tavrin::base
