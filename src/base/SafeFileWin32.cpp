// The safe files on Windows: the same promises as on POSIX systems, through the wide
// Win32 calls. Descriptors are the C runtime's, made from the handles, so that callers
// write, flush and close them the same way everywhere.
#include "base/SafeFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#undef ReplaceFile // a Win32 call of that name; ours is declared in SafeFile.h

#include <cerrno>
#include <cstring>
#include <random>

#include "base/OsFiles.h"

namespace tavrin::base {

namespace {

// A writer's lock is one byte far past any data, so that readers of the file are not
// blocked (Windows byte-range locks are mandatory).
constexpr DWORD kLiveLockHigh = 0x40000000;

int ErrnoFor(DWORD code) {
    switch (code) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EWOULDBLOCK;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_IO_DEVICE:
        return EIO;
    default:
        return EINVAL;
    }
}

// Sets errno from the last Win32 error; returns the given failure value.
template <typename T> T Failed(T value) {
    errno = ErrnoFor(::GetLastError());
    return value;
}

bool IsLink(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens a file that must not be a link (a reparse point is opened itself, then refused).
HANDLE OpenNoFollow(const std::filesystem::path& file, DWORD access, DWORD share,
                    DWORD disposition) {
    const HANDLE h = ::CreateFileW(file.c_str(), access, share, nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed(h);
    if (IsLink(h)) {
        ::CloseHandle(h);
        errno = ELOOP;
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

bool LockNow(HANDLE h, DWORD high, DWORD lowLength, DWORD highLength) {
    OVERLAPPED at{};
    at.OffsetHigh = high;
    return ::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, lowLength,
                        highLength, &at) != 0;
}

// The handle as a C runtime descriptor (binary); the descriptor owns it from here.
int ToDescriptor(HANDLE h) {
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        errno = EMFILE;
    }
    return fd;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const unsigned chunk = data.size() > (1u << 30) ? (1u << 30) : unsigned(data.size());
        const int n = ::_write(fd, data.data(), chunk);
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

int CreateTempBeside(const std::filesystem::path& dir, const std::string& prefix,
                     std::filesystem::path& made) {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 pick(seed() ^ ::GetCurrentProcessId() ^ static_cast<unsigned>(::GetTickCount64()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string ending(6, 'X');
        for (char& c : ending) c = kChars[pick() % (sizeof kChars - 1)];
        const std::filesystem::path name = dir / (prefix + ending);
        // CREATE_NEW never opens an existing name, a link included. Others may read it,
        // and it may be renamed or removed while open.
        const HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) continue;
            errno = ErrnoFor(code);
            return -1;
        }
        // A start-up recovery may have taken the name between creation and lock: take another.
        if (!LockNow(h, kLiveLockHigh, 1, 0)) {
            ::CloseHandle(h);
            continue;
        }
        const int fd = ToDescriptor(h);
        if (fd < 0) {
            ::DeleteFileW(name.c_str());
            return -1;
        }
        made = name;
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// NTFS keeps its directory entries in its journal, and a directory cannot be flushed
// without backup rights: the moves below are written through instead.
bool SyncDirectory(const std::filesystem::path& dir) {
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec);
}

bool ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    // A link at `to` is replaced itself, like any file.
    if (!::MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Failed(false);
    return true;
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return Failed(false);
    return true;
}

std::optional<std::uint64_t> FreeBytes(const std::filesystem::path& dir) {
    ULARGE_INTEGER forCaller{}, total{}, free{};
    if (!::GetDiskFreeSpaceExW(dir.c_str(), &forCaller, &total, &free)) return std::nullopt;
    return forCaller.QuadPart;
}

std::size_t NameMax(const std::filesystem::path& dir) {
    // Asked of the folder's handle, so only the file system's attributes are read (not its
    // volume, which may need rights).
    const HANDLE h =
        ::CreateFileW(dir.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 255;
    DWORD longest = 0;
    const bool ok =
        ::GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, &longest, nullptr, nullptr, 0);
    ::CloseHandle(h);
    return ok && longest > 0 ? longest : 255;
}

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
    errno = 0;
    bool ok = WriteAll(fd, text) && ::_commit(fd) == 0;
    int err = errno;
    if (::_close(fd) != 0 && ok) ok = false, err = errno;
    if (ok && !ReplaceFile(temp, file)) ok = false, err = errno;
    if (!ok) {
        ::DeleteFileW(temp.c_str());
        return fail(err ? err : EIO);
    }
    return true;
}

Unheld WithUnheldFile(const std::filesystem::path& file,
                      const std::function<void(std::uint64_t size, std::string_view head)>& use) {
    const HANDLE h = OpenNoFollow(
        file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return errno == ELOOP ? Unheld::NotAFile : Unheld::Unreadable;
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    char head[4096];
    DWORD got = 0;
    Unheld found = Unheld::Unreadable;
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        found = Unheld::NotAFile;
    } else if (!LockNow(h, kLiveLockHigh, 1, 0)) {
        found = Unheld::Held;
    } else if (::GetFileSizeEx(h, &size) && ::ReadFile(h, head, sizeof head, &got, nullptr)) {
        use(static_cast<std::uint64_t>(size.QuadPart), std::string_view(head, got));
        found = Unheld::Used;
    }
    ::CloseHandle(h);
    return found;
}

void FileLock::release() {
    if (fd_ < 0) return;
    ::_close(fd_);
    fd_ = -1;
    // Holders never share deletion, so this removes the file only when no one else has it
    // open: a name being taken over is left to its new holder.
    ::DeleteFileW(path_.c_str());
}

std::optional<FileLock> FileLock::tryAcquire(const std::filesystem::path& lockFile) {
    const HANDLE h = OpenNoFollow(lockFile, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    if (!LockNow(h, 0, MAXDWORD, MAXDWORD)) {
        const int err = ErrnoFor(::GetLastError());
        ::CloseHandle(h);
        errno = err;
        return std::nullopt;
    }
    const int fd = ToDescriptor(h);
    if (fd < 0) return std::nullopt;
    FileLock lock;
    lock.fd_ = fd;
    lock.path_ = lockFile;
    return lock;
}

std::string DirectoryProblem(const std::filesystem::path& dir) {
    std::error_code ec;
    const auto st = std::filesystem::status(dir, ec);
    if (!std::filesystem::exists(st))
        return "The files directory \"" + dir.string() +
               "\" does not exist and could not be "
               "created. Log files and the register listing cannot be saved.";
    if (!std::filesystem::is_directory(st))
        return "The files directory \"" + dir.string() +
               "\" is not a directory. Log files and "
               "the register listing cannot be saved.";
    if (!CanCreateFilesIn(dir))
        return "The files directory \"" + dir.string() +
               "\" is not writable. Log files and the "
               "register listing cannot be saved.";
    return {};
}

} // namespace tavrin::base
