#pragma once
// A log file as lines, in bounded memory: a fixed read buffer and at most one line of
// kMaxLineBytes carried between reads. Only a regular file is read: a FIFO, device, socket
// or directory is refused at once, before anything waits on it. Lines may end in LF, CR LF
// or CR alone (the last decided by the first line end); a UTF-8 byte-order mark is skipped.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/LogProblem.h"

namespace tavrin::analysis {

inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

class LineSource {
  public:
    LineSource();
    ~LineSource();
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    LogProblem open(const std::filesystem::path& file);
    // The next line, without its line end; false at the end of the file or on a problem
    // (then problem() says which). A last line without line end is a problem (CutShort).
    bool next(std::string_view& line);
    const LogProblem& problem() const { return problem_; }
    long long lineNo() const { return lineNo_; }
    std::uint64_t size() const { return size_; }
    std::uint64_t consumed() const { return consumed_; } // bytes read from the file so far

  private:
    bool fill();
    bool take(std::string_view& line, std::size_t len, std::size_t skip);
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::vector<char> buf_;
    std::size_t at_ = 0, end_ = 0;
    std::string carry_;
    std::uint64_t size_ = 0, consumed_ = 0;
    long long lineNo_ = 0;
    char eol_ = 0; // '\n' or '\r', decided at the first line end
    bool eof_ = false, first_ = true, carried_ = false;
    LogProblem problem_;
};

} // namespace tavrin::analysis
