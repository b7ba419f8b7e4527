#include "datalog/LogFiles.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#undef ReplaceFile // a Win32 call of that name; ours is declared in SafeFile.h
#endif

#include <cerrno>
#include <system_error>

#include "base/SafeFile.h"

namespace tavrin::datalog {

namespace {

#ifdef _WIN32
int SyncData(int fd) {
    return ::_commit(fd);
}
bool CutAt(int fd, std::uint64_t size) {
    return ::_chsize_s(fd, static_cast<__int64>(size)) == 0 &&
           ::_lseeki64(fd, static_cast<__int64>(size), SEEK_SET) >= 0;
}
// Links are refused, as O_NOFOLLOW does.
int OpenForReading(const std::filesystem::path& path) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return errno = ENOENT, -1;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        ::CloseHandle(h);
        return errno = ELOOP, -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) ::CloseHandle(h);
    return fd;
}
void RemoveFile(const std::filesystem::path& path) {
    ::DeleteFileW(path.c_str());
}
#else
int SyncData(int fd) {
    return ::fdatasync(fd);
}
bool CutAt(int fd, std::uint64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 &&
           ::lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}
int OpenForReading(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
}
void RemoveFile(const std::filesystem::path& path) {
    ::unlink(path.c_str());
}
#endif

class FdWriter : public LogWriter {
  public:
    explicit FdWriter(int fd) : fd_(fd) {}
    ~FdWriter() override {
        if (fd_ >= 0) ::close(fd_);
    }
    bool write(std::string_view data) override {
        if (fd_ < 0) return false;
        while (!data.empty()) {
            const ssize_t n = ::write(fd_, data.data(), data.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (n == 0) return errno = ENOSPC, false;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    bool sync() override { return fd_ >= 0 && SyncData(fd_) == 0; }
    bool truncate(std::uint64_t size) override { return fd_ >= 0 && CutAt(fd_, size); }
    bool close() override {
        if (fd_ < 0) return false;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

  protected:
    // The descriptor stays open: its owner closes it.
    void release() { fd_ = -1; }

  private:
    int fd_;
};

class FdReader : public LogReader {
  public:
    explicit FdReader(int fd) : fd_(fd) {}
    ~FdReader() override { ::close(fd_); }
    long long read(char* buf, std::size_t size) override {
        for (;;) {
            const ssize_t n = ::read(fd_, buf, size);
            if (n < 0 && errno == EINTR) continue;
            return n < 0 ? -1 : static_cast<long long>(n);
        }
    }

  private:
    int fd_;
};

class StreamFdWriter : public FdWriter {
  public:
    using FdWriter::FdWriter;
    ~StreamFdWriter() override { release(); }
    bool sync() override { return true; }
    bool truncate(std::uint64_t) override { return true; }
    bool close() override { return true; }
};

} // namespace

std::unique_ptr<LogWriter> StreamWriter(int fd) {
    return std::make_unique<StreamFdWriter>(fd);
}

std::unique_ptr<LogWriter> DiskFileSystem::createTemp(const std::filesystem::path& dir,
                                                      const std::string& prefix,
                                                      std::filesystem::path& made) {
    const int fd = base::CreateTempBeside(dir, prefix, made);
    if (fd < 0) return nullptr;
    return std::make_unique<FdWriter>(fd);
}

std::unique_ptr<LogReader> DiskFileSystem::openRead(const std::filesystem::path& path) {
    const int fd = OpenForReading(path);
    if (fd < 0) return nullptr;
    return std::make_unique<FdReader>(fd);
}

bool DiskFileSystem::replace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return base::ReplaceFile(from, to);
}

bool DiskFileSystem::keepAs(const std::filesystem::path& from, const std::filesystem::path& to) {
    return base::RenameNoReplace(from, to);
}

void DiskFileSystem::remove(const std::filesystem::path& path) {
    RemoveFile(path);
}

std::optional<std::uint64_t> DiskFileSystem::freeBytes(const std::filesystem::path& dir) {
    return base::FreeBytes(dir);
}

} // namespace tavrin::datalog
