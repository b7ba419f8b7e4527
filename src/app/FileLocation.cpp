#include "app/FileLocation.h"

#include <unistd.h>

#include <system_error>

#include "app/Seams.h"

namespace tavrin {

std::filesystem::path FilesDirectory(Platform& platform) {
    const auto dir = platform.programDir();
    if (::access(dir.c_str(), W_OK | X_OK) == 0) return dir;
    const auto user = platform.userDataDir();
    std::error_code ec;
    std::filesystem::create_directories(user, ec);
    return user;
}

} // namespace tavrin
