#include "base/OsFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tavrin::base {

bool CanCreateFilesIn(const std::filesystem::path& dir) {
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::FILE* OpenFile(const std::filesystem::path& file, const char* mode) {
    return std::fopen(file.c_str(), mode);
}

void GuardStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() returns the lowest free number: this one.
        const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (got >= 0 && got != fd) ::close(got);
    }
}

int WriteIntoSpecialFile(const std::filesystem::path& file, std::string_view text) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? -1 : 0;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    bool ok = true;
    while (ok && !text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            ok = false;
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    const int err = errno;
    if (::close(fd) != 0 && ok) return 0;
    errno = err;
    return ok ? 1 : 0;
}

} // namespace tavrin::base
