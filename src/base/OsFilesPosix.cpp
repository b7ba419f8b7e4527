#include "base/OsFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace tavrin::base {

bool CanCreateFilesIn(const std::filesystem::path& dir) {
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool IsOwnFolder(const std::filesystem::path& dir) {
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

bool IsSystemFolder(const std::filesystem::path& dir) {
    std::error_code ec;
    const std::string path = std::filesystem::weakly_canonical(dir, ec).string() + "/";
    for (const char* system : {"/usr/", "/bin/", "/sbin/", "/lib/", "/lib64/", "/opt/", "/etc/",
                               "/boot/", "/proc/", "/sys/", "/dev/"})
        if (path.rfind(system, 0) == 0) return true;
    return false;
}

std::FILE* OpenFile(const std::filesystem::path& file, const char* mode) {
    return std::fopen(file.c_str(), mode);
}

namespace {
bool gOutputClosed = false;
}

void GuardStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == 1) gOutputClosed = true;
        // open() returns the lowest free number: this one.
        const int got = fd == 0   ? ::open("/dev/null", O_RDONLY)
                        : fd == 1 ? ::open("/dev/full", O_WRONLY)
                                  : ::open("/dev/null", O_WRONLY);
        if (got >= 0 && got != fd) ::close(got);
    }
}

bool StandardOutputWasClosed() {
    return gOutputClosed;
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
