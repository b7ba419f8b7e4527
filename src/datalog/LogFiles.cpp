#include "datalog/LogFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace tavrin::datalog {

namespace {

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
            if (n == 0) return false;
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    bool close() override {
        if (fd_ < 0) return false;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

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

} // namespace

std::unique_ptr<LogWriter> DiskFileSystem::create(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<FdWriter>(fd);
}

std::unique_ptr<LogReader> DiskFileSystem::openRead(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<FdReader>(fd);
}

bool DiskFileSystem::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void DiskFileSystem::remove(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace tavrin::datalog
