#pragma once
// The few file operations a logging session needs, behind a seam so tests can make
// a write fail halfway through a file. Every call reports failure; nothing throws.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>

namespace tavrin::datalog {

class LogWriter {
  public:
    virtual ~LogWriter() = default;
    // Writes all of `data`; false when any of it could not be written.
    virtual bool write(std::string_view data) = 0;
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
    // Creates or truncates the file for writing; null when that is refused.
    virtual std::unique_ptr<LogWriter> create(const std::filesystem::path& path) = 0;
    virtual std::unique_ptr<LogReader> openRead(const std::filesystem::path& path) = 0;
    // Replaces `to` if it exists.
    virtual bool rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    virtual void remove(const std::filesystem::path& path) = 0;
};

// The real file system, through unbuffered POSIX calls (callers write in large blocks).
class DiskFileSystem : public LogFileSystem {
  public:
    std::unique_ptr<LogWriter> create(const std::filesystem::path& path) override;
    std::unique_ptr<LogReader> openRead(const std::filesystem::path& path) override;
    bool rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void remove(const std::filesystem::path& path) override;
};

} // namespace tavrin::datalog
