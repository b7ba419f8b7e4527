#include "datalog/LogSession.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "base/NumberText.h"
#include "base/SafeFile.h"
#include "base/Timing.h"
#include "datalog/Recovery.h"
#include "registers/FrontEnd.h"

namespace tavrin::datalog {

namespace {

// Results go to the spool in blocks of this size: few system calls, flat memory.
constexpr std::size_t kBlockSize = 256 * 1024;
constexpr std::size_t kReadChunk = 1024 * 1024;

long long WholeCount(double v) {
    if (!(v >= 1)) return 0; // NaN too
    if (v > 9.0e18) return static_cast<long long>(9.0e18);
    return static_cast<long long>(std::floor(v));
}

void AppendInt(std::string& out, long long v) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, v);
    out.append(digits, r.ptr);
}

// Rows go to the spool as text, in blocks, and onto the disk at least once a second:
// a crash loses at most that second, and memory stays flat whatever the count.
class Spool {
  public:
    Spool(std::unique_ptr<LogWriter> out, std::filesystem::path path, bool eachRow = false)
        : out_(std::move(out)), path_(std::move(path)), lastSync_(Clock::now()), eachRow_(eachRow) {
        text.reserve(kBlockSize + 4096);
    }
    std::string text; // rows not yet written
    // Writes held rows when a block is full, and puts them on the disk when a second has
    // passed or will have by the end of the coming wait; false on failure.
    bool maybeFlush(float waitMs) {
        if (eachRow_) return flush(true);
        if (text.size() >= kBlockSize) return flush(false);
        const auto due = lastSync_ + std::chrono::seconds(1) -
                         std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<float, std::milli>(waitMs > 0 ? waitMs : 0));
        return text.empty() || Clock::now() < due || flush(true);
    }
    bool flush(bool toDisk) {
        if (!text.empty()) {
            if (!out_->write(text)) return fail();
            onDisk_ += text.size();
            text.clear();
        }
        if (toDisk || Clock::now() - lastSync_ >= std::chrono::seconds(1)) {
            if (!out_->sync()) return fail();
            lastSync_ = Clock::now();
        }
        return true;
    }
    // Drops a row written only in part, so what stays is whole rows.
    void cut() {
        out_->truncate(onDisk_);
        out_->sync();
    }
    bool close() { return out_ ? (std::exchange(out_, nullptr)->close() || fail()) : true; }
    std::uint64_t size() const { return onDisk_; }
    const std::filesystem::path& path() const { return path_; }
    int error = 0;

  private:
    using Clock = std::chrono::steady_clock;
    bool fail() {
        error = errno;
        return false;
    }
    std::unique_ptr<LogWriter> out_;
    std::filesystem::path path_;
    Clock::time_point lastSync_;
    std::uint64_t onDisk_ = 0;
    bool eachRow_;
};

// The caller's writer, which the session neither syncs to a disk nor closes.
class Borrowed : public LogWriter {
  public:
    explicit Borrowed(LogWriter& w) : w_(w) {}
    bool write(std::string_view data) override { return w_.write(data); }
    bool sync() override { return w_.sync(); }
    bool truncate(std::uint64_t) override { return true; }
    bool close() override { return true; }

  private:
    LogWriter& w_;
};

// The cause a message gives: a directory that exists but refuses new names (/proc, say)
// reports a missing entry, which would read as a missing directory.
int CauseOf(int err, const std::filesystem::path& dir) {
    std::error_code ec;
    if ((err == ENOENT || err == ENOTDIR) && std::filesystem::is_directory(dir, ec)) return EACCES;
    return err;
}

// What sampling one file ended with.
struct Sampled {
    long long taken = 0;
    float begin = 0, end = 0;
    bool writeOk = true, cancelled = false, transferFailed = false;
};

// One session: open (checks, lock), then for each file sample it and finish it. Generic
// in how a register is read, so that the device path calls the front end directly.
template <class Read> class Session {
  public:
    Session(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
            LogFileSystem& fs, Read& read)
        : log_(log), st_(settings), hooks_(hooks), fs_(fs), read_(read),
          fmt_(settings.format ? *settings.format : DecideFileFormat(log.io.platform)),
          dir_(settings.directory) {}

    LogReport run() {
        if (st_.stream) return stream();
        if (!open()) return report_;
        const long long files = WholeCount(st_.filesPerSession);
        for (long long n = 1; n <= files; ++n) {
            const auto sampled = sampleFile(n);
            if (!sampled || !finishFile(n, *sampled)) return report_;
            ++report_.filesWritten;
            if (sampled->transferFailed) {
                stop(LogOutcome::TransferFailed, TransferStoppedText(name_, n, sampled->taken));
                return report_;
            }
            // A cancel during finishing completes that file and starts nothing.
            if (sampled->cancelled || (hooks_.cancelRequested && hooks_.cancelRequested())) {
                report_.outcome = LogOutcome::Cancelled;
                return report_;
            }
        }
        return report_;
    }

  private:
    // The rows of one file to the caller's writer as they are taken; no file is made.
    LogReport stream() {
        name_ = "standard output";
        spool_.emplace(std::make_unique<Borrowed>(*st_.stream), std::filesystem::path(),
                       st_.streamEachRow);
        if (!st_.noHeader) spool_->text = TitleLine(st_.columns, fmt_.fieldSep);
        if (hooks_.fileStarted) hooks_.fileStarted(1);
        log_.doEvents();
        Sampled s;
        takeSamples(1, s);
        if (!(s.writeOk && spool_->flush(true))) {
            stop(LogOutcome::WriteFailed, StreamWriteErrorText(spool_->error, s.taken));
        } else if (s.transferFailed) {
            stop(LogOutcome::TransferFailed, TransferStoppedText(name_, 1, s.taken));
        } else if (s.cancelled) {
            report_.outcome = LogOutcome::Cancelled;
        }
        return report_;
    }

    bool stop(LogOutcome outcome, std::string text) {
        report_.message = std::move(text);
        report_.outcome = outcome;
        return false;
    }
    void reached(LogStep step, long long n) {
        if (hooks_.reached) hooks_.reached(step, n);
    }

    // The checks before any file, then the stem's lock: its files are this session's until
    // it ends.
    bool open() {
        if (const auto problem = StemProblem(st_.stem); !problem.empty())
            return stop(LogOutcome::BadStem, problem);
        const long long files = WholeCount(st_.filesPerSession);
        const std::size_t longest = LongestStem(base::NameMax(dir_), files, fmt_.ext);
        if (st_.stem.size() > longest) {
            std::size_t cut = longest;
            while (cut > 0 && (static_cast<unsigned char>(st_.stem[cut]) & 0xC0) == 0x80) --cut;
            return stop(LogOutcome::BadStem, StemTooLongText(st_.stem, st_.stem.substr(0, cut)));
        }
        const std::string first = LogFileNameFor(st_.stem, 1, fmt_.ext);
        const std::string lockName = StemLockName(st_.stem, fmt_.ext);
        lock_ = base::FileLock::tryAcquire(dir_ / lockName);
        if (lock_) return true;
        if (errno == EWOULDBLOCK) return stop(LogOutcome::InUse, FileInUseText(first));
        if (errno == ELOOP || errno == EISDIR || errno == ENXIO)
            return stop(LogOutcome::CreateFailed, LockFileProblemText(lockName, dir_.string()));
        return stop(LogOutcome::CreateFailed,
                    FileAccessErrorText(first, CauseOf(errno, dir_), dir_.string()));
    }

    // Creates the file's spool and takes its samples into it; nothing when the file could not
    // be begun or its rows not written (the report says why).
    std::optional<Sampled> sampleFile(long long n) {
        name_ = LogFileNameFor(st_.stem, n, fmt_.ext);
        // A name that cannot be replaced, or a directory that takes no new file, is reported
        // before any sample is taken.
        std::error_code ec;
        if (std::filesystem::is_directory(std::filesystem::symlink_status(dir_ / name_, ec))) {
            stop(LogOutcome::CreateFailed, FileAccessErrorText(name_, EISDIR, dir_.string()));
            return std::nullopt;
        }
        std::filesystem::path spoolPath;
        auto out = fs_.createTemp(dir_, "." + name_ + ".rows.", spoolPath);
        if (!out) {
            stop(LogOutcome::CreateFailed,
                 FileAccessErrorText(name_, CauseOf(errno, dir_), dir_.string()));
            return std::nullopt;
        }
        spool_.emplace(std::move(out), spoolPath);
        reached(LogStep::SpoolCreated, n);
        if (!st_.noHeader) spool_->text = TitleLine(st_.columns, fmt_.fieldSep);
        if (hooks_.fileStarted) hooks_.fileStarted(n);
        log_.doEvents();
        Sampled s;
        s.begin = log_.io.platform.secondsSinceMidnight();
        takeSamples(n, s);
        s.end = log_.io.platform.secondsSinceMidnight();
        s.writeOk = s.writeOk && spool_->flush(true);
        if (!s.writeOk) {
            keepWhatReachedDisk();
            return std::nullopt;
        }
        return s;
    }

    void takeSamples(long long n, Sampled& s) {
        std::vector<int16_t> boxes;
        for (int i = kFirstBox; i <= kLastBox; ++i)
            if (st_.columns.box[i]) boxes.push_back(static_cast<int16_t>(i));
        std::vector<registers::RegResults> burst(boxes.size());
        const long long samples = WholeCount(st_.samplesPerFile);
        const bool flags = !st_.columns.disableND;
        std::string& text = spool_->text;
        while (s.taken < samples) {
            const std::size_t rowStart = text.size();
            AppendInt(text, s.taken + 1);
            text += fmt_.fieldSep;
            transport::Status met = transport::Status::Ok;
            if (st_.burst) met = registers::ReadRegisterBurst(log_.io, boxes, burst);
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                if (!st_.burst) {
                    const registers::Reading r = read_(log_.io, boxes[i]);
                    burst[i] = r.res;
                    if (met == transport::Status::Ok) met = r.status;
                }
                const registers::RegResults* r = &burst[i];
                if (flags) {
                    text += r->RegNDBit != 0 ? '1' : '0';
                    text += fmt_.fieldSep;
                }
                if (st_.noScale)
                    AppendInt(text, r->RegValue);
                else
                    text += base::GeneralText(r->RegScaled, fmt_.decimalSep);
                text += fmt_.fieldSep;
            }
            text += kCRLF;
            if (transport::Broke(met)) {
                // Values after a failed transfer are not the sensor's: this sample is dropped.
                text.resize(rowStart);
                s.transferFailed = true;
                if (hooks_.transferFailed) hooks_.transferFailed(met);
                return;
            }
            ++s.taken;
            if (!spool_->maybeFlush(st_.sampleDelay)) {
                s.writeOk = false;
                return;
            }
            if (st_.sampleDelay > 0) {
                float delay = st_.sampleDelay;
                base::DelayMs(log_.io.wait, delay);
            }
            if (hooks_.sampleTaken) hooks_.sampleTaken(n, s.taken);
            log_.doEvents();
            if (hooks_.cancelRequested && hooks_.cancelRequested()) {
                s.cancelled = true;
                return;
            }
        }
    }

    // The rows that reached the disk stay: under a name saying they are incomplete, or,
    // when no such name can be had, in the spool itself, which the message names.
    void keepWhatReachedDisk() {
        const int err = spool_->error;
        spool_->cut();
        spool_->close();
        std::string kept;
        if (spool_->size() == 0) {
            fs_.remove(spool_->path());
        } else {
            kept = KeepIncomplete(fs_, spool_->path(), dir_, name_);
            if (kept.empty()) kept = spool_->path().filename().string();
        }
        stop(LogOutcome::WriteFailed, FileWriteErrorText(name_, err, kept, dir_.string()));
    }

    bool writeFailed(const std::filesystem::path& rows, int err) {
        std::string kept = KeepIncomplete(fs_, rows, dir_, name_);
        if (kept.empty()) kept = rows.filename().string();
        return stop(LogOutcome::WriteFailed, FileWriteErrorText(name_, err, kept, dir_.string()));
    }

    // Header and rows under the file's name; false (the report says why) when they could not
    // be put there, with every row kept.
    bool finishFile(long long n, const Sampled& s) {
        const auto target = dir_ / name_;
        const std::string head =
            st_.noHeader ? std::string()
                         : HeaderLines(name_, log_.io.platform.shortDate(),
                                       log_.io.platform.shortTime(), s.begin, s.end, fmt_);
        if (hooks_.finishing) hooks_.finishing(n, 0, spool_->size());
        const std::filesystem::path spoolPath = spool_->path();
        if (head.empty()) {
            // The spool is the file: it only needs its name.
            reached(LogStep::PartWritten, n);
            if (!spool_->close() || !fs_.replace(spoolPath, target))
                return writeFailed(spoolPath, errno);
        } else {
            const std::uint64_t needed = head.size() + spool_->size();
            const auto free = fs_.freeBytes(dir_);
            if (free && *free < needed) {
                spool_->close();
                return stop(LogOutcome::WriteFailed,
                            DiskFullText(name_, needed, *free,
                                         KeepIncomplete(fs_, spoolPath, dir_, name_)));
            }
            std::filesystem::path partPath;
            if (!copyToPart(n, head, partPath)) {
                const int err = errno;
                if (!partPath.empty()) fs_.remove(partPath);
                spool_->close();
                return writeFailed(spoolPath, err);
            }
            reached(LogStep::PartWritten, n);
            // The finished file holds every row: the spool goes before the rename so that a
            // crash in between leaves one copy, not two.
            fs_.remove(spoolPath);
            spool_->close();
            if (!fs_.replace(partPath, target)) return writeFailed(partPath, errno);
        }
        spool_.reset();
        reached(LogStep::Renamed, n);
        if (hooks_.fileDone) hooks_.fileDone(n, target, s.taken);
        return true;
    }

    // Header lines, then the spooled rows, into a temporary beside the target. Events run
    // between chunks. False with errno set when anything could not be written.
    bool copyToPart(long long n, const std::string& head, std::filesystem::path& partPath) {
        auto out = fs_.createTemp(dir_, "." + name_ + ".part.", partPath);
        if (!out) return false;
        reached(LogStep::Finishing, n);
        bool ok = out->write(head);
        auto in = ok ? fs_.openRead(spool_->path()) : nullptr;
        ok = ok && in;
        std::vector<char> chunk(ok ? kReadChunk : 0);
        const std::uint64_t total = spool_->size();
        for (std::uint64_t done = 0; ok && done < total;) {
            const long long got = in->read(chunk.data(), chunk.size());
            if (got <= 0) {
                if (got == 0) errno = EIO;
                ok = false;
                break;
            }
            ok = out->write(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
            done += static_cast<std::uint64_t>(got);
            if (hooks_.finishing) hooks_.finishing(n, done, total);
            log_.doEvents();
        }
        ok = ok && out->sync();
        const int err = errno;
        const bool closed = out->close();
        errno = err;
        return ok && closed;
    }

    const LogContext& log_;
    const LogSettings& st_;
    const LogHooks& hooks_;
    LogFileSystem& fs_;
    Read& read_;
    const FileFormat fmt_;
    const std::filesystem::path& dir_;
    std::optional<base::FileLock> lock_;
    std::optional<Spool> spool_;
    std::string name_; // of the file under way
    LogReport report_;
};

template <class Read>
LogReport RunSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                     LogFileSystem& fs, Read read) {
    return Session<Read>(log, settings, hooks, fs, read).run();
}

} // namespace

LogReport RunLogSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs, const RegisterReader& read) {
    return RunSession(log, settings, hooks, fs, read);
}

LogReport RunLogSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs) {
    return RunSession(log, settings, hooks, fs,
                      [](const registers::RegisterAccess& io, int16_t position) {
                          return registers::ReadRegister(io, position);
                      });
}

std::string StemLockName(std::string_view stem, std::string_view ext) {
    return "." + std::string(stem) + std::string(ext) + ".lock";
}

} // namespace tavrin::datalog
