#include "base/FileLocation.h"

#include <system_error>

#include "base/OsFiles.h"
#include "base/Seams.h"

namespace tavrin::base {

std::filesystem::path FilesDirectory(Platform& platform) {
    const auto dir = platform.programDir();
    if (CanCreateFilesIn(dir)) return dir;
    const auto user = platform.userDataDir();
    std::error_code ec;
    std::filesystem::create_directories(user, ec);
    return user;
}

} // namespace tavrin::base
