#include "base/SafeFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrin::base {

int CreateTempBeside(const std::filesystem::path& dir, const std::string& prefix,
                     std::filesystem::path& made) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = (dir / (prefix + "XXXXXX")).string();
        // mkostemp opens with O_CREAT|O_EXCL: an existing name or symlink is never used.
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        // A start-up recovery may have taken the name between creation and lock: take another.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        ::fchmod(
            fd, 0666 & ~[] {
                const mode_t m = ::umask(0);
                ::umask(m);
                return m;
            }());
        made = name;
        return fd;
    }
    errno = EEXIST;
    return -1;
}

bool SyncDirectory(const std::filesystem::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot
    ::close(fd);
    return ok;
}

bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    SyncDirectory(to.parent_path().empty() ? "." : to.parent_path());
    return true;
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        SyncDirectory(to.parent_path().empty() ? "." : to.parent_path());
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link is exclusive too.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    SyncDirectory(to.parent_path().empty() ? "." : to.parent_path());
    return true;
}

std::optional<std::uint64_t> FreeBytes(const std::filesystem::path& dir) {
    struct statvfs s {};
    if (::statvfs(dir.c_str(), &s) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(s.f_bavail) * s.f_frsize;
}

std::size_t NameMax(const std::filesystem::path& dir) {
    const long n = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<std::size_t>(n) : 255;
}

namespace {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

bool SaveFileSafely(const std::filesystem::path& file, std::string_view text, std::string& error) {
    const auto dir = file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    std::filesystem::path temp;
    auto fail = [&](int err) {
        error = "The file \"" + file.string() + "\" could not be saved: " + FileErrorCause(err) +
                ". Any earlier file of that name is unchanged.";
        return false;
    };
    const int fd = CreateTempBeside(dir, "." + file.filename().string() + ".", temp);
    if (fd < 0) return fail(errno);
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) ok = false, err = errno;
    if (ok && !ReplaceFile(temp, file)) ok = false, err = errno;
    if (!ok) {
        ::unlink(temp.c_str());
        return fail(err ? err : EIO);
    }
    return true;
}

void FileLock::release() {
    if (fd_ < 0) return;
    // Removed while still held, so that a waiting holder notices the name is gone.
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

std::optional<FileLock> FileLock::tryAcquire(const std::filesystem::path& lockFile) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) return std::nullopt;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            errno = err;
            return std::nullopt;
        }
        // The holder before may have removed the name after we opened it: lock the new one.
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::lstat(lockFile.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            FileLock lock;
            lock.fd_ = fd;
            lock.path_ = lockFile;
            return lock;
        }
        ::close(fd);
    }
    errno = EAGAIN;
    return std::nullopt;
}

Unheld WithUnheldFile(const std::filesystem::path& file,
                      const std::function<void(std::uint64_t size, std::string_view head)>& use) {
    struct stat named {};
    if (::lstat(file.c_str(), &named) != 0) return Unheld::Unreadable;
    if (!S_ISREG(named.st_mode)) return Unheld::NotAFile;
    // Swapped for a FIFO or device meanwhile: the open neither blocks nor takes a terminal.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? Unheld::NotAFile : Unheld::Unreadable;
    struct stat st {};
    char head[4096];
    Unheld found = Unheld::Unreadable;
    if (::fstat(fd, &st) != 0) {
        found = Unheld::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        found = Unheld::NotAFile;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        found = Unheld::Held;
    } else if (const ssize_t n = ::pread(fd, head, sizeof head, 0); n >= 0) {
        use(static_cast<std::uint64_t>(st.st_size), std::string_view(head, std::size_t(n)));
        found = Unheld::Used;
    }
    ::close(fd);
    return found;
}

std::string DirectoryProblem(const std::filesystem::path& dir) {
    struct stat s {};
    if (::stat(dir.c_str(), &s) != 0)
        return "The files directory \"" + dir.string() +
               "\" does not exist and could not be "
               "created. Log files and the register listing cannot be saved.";
    if (!S_ISDIR(s.st_mode))
        return "The files directory \"" + dir.string() +
               "\" is not a directory. Log files and "
               "the register listing cannot be saved.";
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return "The files directory \"" + dir.string() +
               "\" is not writable. Log files and the "
               "register listing cannot be saved.";
    return {};
}

} // namespace tavrin::base
