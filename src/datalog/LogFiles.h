#pragma once
// The few file operations a logging session needs, behind a seam so tests can make
// a write fail halfway through a file or the disk look full. Every call reports
// failure (with errno set); nothing throws.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::datalog {

class LogWriter {
  public:
    virtual ~LogWriter() = default;
    // Writes all of `data`; false when any of it could not be written.
    virtual bool write(std::string_view data) = 0;
    // Puts what was written on the disk.
    virtual bool sync() = 0;
    // Cuts the file to `size` bytes (drops a row written only in part).
    virtual bool truncate(std::uint64_t size) = 0;
    // False when buffered data could not be committed; the writer is closed either way.
    virtual bool close() = 0;
};

class LogReader {
  public:
    virtual ~LogReader() = default;
    // Bytes read into `buf`, 0 at the end, -1 on failure.
    virtual long long read(char* buf, std::size_t size) = 0;
};

class LogFileSystem {
  public:
    virtual ~LogFileSystem() = default;
    // A new file "<prefix>XXXXXX" in `dir` with a unique ending, created exclusively and
    // locked while open; null when refused. `made` is its path.
    virtual std::unique_ptr<LogWriter> createTemp(const std::filesystem::path& dir,
                                                  const std::string& prefix,
                                                  std::filesystem::path& made) = 0;
    virtual std::unique_ptr<LogReader> openRead(const std::filesystem::path& path) = 0;
    // Puts `from` in place of `to` atomically (a symlink there is replaced, not followed).
    virtual bool replace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Renames `from` to `to` only when that name is free.
    virtual bool keepAs(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    virtual void remove(const std::filesystem::path& path) = 0;
    virtual std::optional<std::uint64_t> freeBytes(const std::filesystem::path& dir) = 0;
};

// A writer on a descriptor the caller keeps open (standard output, a FIFO): its sync and
// close do nothing, as a pipe has no disk to flush.
std::unique_ptr<LogWriter> StreamWriter(int fd);

// The real file system, through unbuffered POSIX calls (callers write in large blocks).
class DiskFileSystem : public LogFileSystem {
  public:
    std::unique_ptr<LogWriter> createTemp(const std::filesystem::path& dir,
                                          const std::string& prefix,
                                          std::filesystem::path& made) override;
    std::unique_ptr<LogReader> openRead(const std::filesystem::path& path) override;
    bool replace(const std::filesystem::path& from, const std::filesystem::path& to) override;
    bool keepAs(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void remove(const std::filesystem::path& path) override;
    std::optional<std::uint64_t> freeBytes(const std::filesystem::path& dir) override;
};

} // namespace tavrin::datalog
