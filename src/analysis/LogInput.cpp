#include "analysis/LogInput.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/OsFiles.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tavrin::analysis {

namespace {

constexpr std::size_t kChunk = 1 << 20;

// Opens without blocking on a FIFO and checks the type on the descriptor itself, so
// what is checked is what is read.
std::FILE* OpenRegular(const std::filesystem::path& file, LogProblem& problem,
                       std::uint64_t& size) {
#ifdef _WIN32
    std::FILE* f = base::OpenFile(file, "rb");
    if (!f) {
        problem = Problem(LogStatus::CannotOpen, 0,
                          std::string("cannot be opened: ") + std::strerror(errno));
        return nullptr;
    }
    struct _stat64 st {};
    const bool regular = _fstat64(_fileno(f), &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = Problem(LogStatus::CannotOpen, 0,
                          std::string("cannot be opened: ") + std::strerror(errno));
        return nullptr;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = regular ? ::fdopen(fd, "rb") : nullptr;
    if (!f) ::close(fd);
#endif
    if (!regular) {
        if (f) std::fclose(f);
        problem = Problem(LogStatus::NotRegularFile, 0,
                          "not a file (a directory, FIFO, device or socket): nothing read");
        return nullptr;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return f;
}

// Standard input ("-"), a pipe from another program: read as it comes, its size unknown.
std::FILE* OpenStandardInput(LogProblem& problem) {
#ifdef _WIN32
    const int fd = ::_dup(0);
    if (fd >= 0) ::_setmode(fd, _O_BINARY);
    std::FILE* f = fd >= 0 ? ::_fdopen(fd, "rb") : nullptr;
#else
    const int fd = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
    std::FILE* f = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
#endif
    if (!f) problem = Problem(LogStatus::CannotOpen, 0, "standard input cannot be read");
    return f;
}

} // namespace

LineSource::LineSource() = default;
LineSource::~LineSource() = default;

LogProblem LineSource::open(const std::filesystem::path& file) {
    problem_ = {};
    const bool stdinput = file == "-";
    file_.reset(stdinput ? OpenStandardInput(problem_) : OpenRegular(file, problem_, size_));
    if (!file_) return problem_;
    if (size_ == 0 && !stdinput) problem_ = Problem(LogStatus::Empty, 1, "the file is empty");
    buf_.resize(kChunk);
    return problem_;
}

bool LineSource::fill() {
    if (eof_) return false;
    const std::size_t got = std::fread(buf_.data(), 1, buf_.size(), file_.get());
    if (got < buf_.size()) {
        if (std::ferror(file_.get())) {
            problem_ = Problem(LogStatus::ReadError, lineNo_ + 1, "read error");
            return false;
        }
        eof_ = true;
    }
    at_ = 0;
    end_ = got;
    consumed_ += got;
    if (first_ && got >= 3 && std::memcmp(buf_.data(), "\xEF\xBB\xBF", 3) == 0) at_ = 3;
    first_ = false;
    return got > 0;
}

// Hands out `len` bytes at at_ (joined to any carried part) as a line; `skip` more bytes
// are its line end.
bool LineSource::take(std::string_view& line, std::size_t len, std::size_t skip) {
    ++lineNo_;
    if (carry_.size() + len > kMaxLineBytes) {
        problem_ = Problem(LogStatus::LineTooLong, lineNo_,
                           "longer than " + std::to_string(kMaxLineBytes) + " bytes");
        return false;
    }
    if (carry_.empty()) {
        line = std::string_view(buf_.data() + at_, len);
    } else {
        carry_.append(buf_.data() + at_, len);
        line = carry_;
        carried_ = true;
    }
    at_ += len + skip;
    return true;
}

bool LineSource::next(std::string_view& line) {
    if (!problem_.ok() || !file_) return false;
    if (carried_) carry_.clear(); // the line handed out last lived there
    carried_ = false;
    for (;;) {
        if (at_ >= end_ && !fill()) break;
        const char* from = buf_.data() + at_;
        const std::size_t avail = end_ - at_;
        if (eol_ == 0) {
            const void* lf = std::memchr(from, '\n', avail);
            const void* cr = std::memchr(from, '\r', avail);
            const char* c = static_cast<const char*>(cr);
            // CR alone ends lines when the first CR comes before any LF and no LF follows it.
            if (c && (!lf || c < lf)) {
                if (c + 1 < buf_.data() + end_)
                    eol_ = c[1] == '\n' ? '\n' : '\r';
                else if (eof_)
                    eol_ = '\r';
            } else if (lf) {
                eol_ = '\n';
            }
        }
        const char* hit = eol_ ? static_cast<const char*>(std::memchr(from, eol_, avail)) : nullptr;
        if (hit) {
            std::size_t len = static_cast<std::size_t>(hit - from);
            if (!take(line, len, 1)) return false;
            if (eol_ == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
            return true;
        }
        if (carry_.size() + avail > kMaxLineBytes) {
            ++lineNo_;
            problem_ = Problem(LogStatus::LineTooLong, lineNo_,
                               "longer than " + std::to_string(kMaxLineBytes) + " bytes");
            return false;
        }
        carry_.append(from, avail);
        at_ = end_;
    }
    if (!problem_.ok()) return false;
    if (!carry_.empty()) {
        problem_ = Problem(LogStatus::CutShort, lineNo_ + 1,
                           "the last line is incomplete (the file was cut short)");
        carry_.clear();
    }
    return false;
}

} // namespace tavrin::analysis
