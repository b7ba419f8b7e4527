#include "datalog/LogSession.h"

#include <algorithm>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <utility>
#include <vector>

#include "base/SafeFile.h"

#include "base/NumberText.h"
#include "base/Timing.h"
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

// Puts the samples of an unfinished file under a free name saying it is incomplete;
// the name used, or empty when none could be had.
std::string KeepIncomplete(LogFileSystem& fs, const std::filesystem::path& from,
                           const std::filesystem::path& dir, const std::string& name) {
    for (int k = 1; k < 1000; ++k) {
        const std::string kept = IncompleteName(name, k);
        if (fs.keepAs(from, dir / kept)) return kept;
        if (errno != EEXIST) break;
    }
    return {};
}

// Rows go to the spool as text, in blocks, and onto the disk at least once a second:
// a crash loses at most that second, and memory stays flat whatever the count.
class Spool {
  public:
    Spool(std::unique_ptr<LogWriter> out, std::filesystem::path path)
        : out_(std::move(out)), path_(std::move(path)), lastSync_(Clock::now()) {
        text.reserve(kBlockSize + 4096);
    }
    std::string text; // rows not yet written
    // Writes held rows when a block is full or a second has passed; false on failure.
    bool maybeFlush() {
        if (text.size() >= kBlockSize) return flush(false);
        if (++sinceClock_ < 16) return true;
        sinceClock_ = 0;
        return Clock::now() - lastSync_ < std::chrono::seconds(1) || flush(true);
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
    int sinceClock_ = 0;
};

// Header lines, then the spooled rows, into a temporary that then replaces `target`.
// Events run between chunks. False with errno set when anything could not be written.
bool Finish(const LogContext& log, const LogHooks& hooks, LogFileSystem& fs, Spool& spool,
            const std::filesystem::path& dir, const std::string& name, const std::string& head,
            long long fileNo, std::filesystem::path& partPath) {
    auto out = fs.createTemp(dir, "." + name + ".part.", partPath);
    if (!out) return false;
    bool ok = out->write(head);
    auto in = ok ? fs.openRead(spool.path()) : nullptr;
    ok = ok && in;
    std::vector<char> chunk(ok ? kReadChunk : 0);
    std::uint64_t done = 0;
    while (ok && done < spool.size()) {
        const long long n = in->read(chunk.data(), chunk.size());
        if (n <= 0) {
            if (n == 0) errno = EIO;
            ok = false;
            break;
        }
        ok = out->write(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
        done += static_cast<std::uint64_t>(n);
        if (hooks.finishing) hooks.finishing(fileNo, done, spool.size());
        log.doEvents();
    }
    ok = ok && out->sync();
    const int err = errno;
    const bool closed = out->close();
    errno = err;
    return ok && closed;
}

// The session, generic in how a register is read so that the device path calls the
// front end directly in the sampling loop.
template <class Read>
LogReport RunSession(const LogContext& log, const LogSettings& settings, const LogHooks& hooks,
                     LogFileSystem& fs, Read&& read) {
    LogReport report;
    auto show = [&](const std::string& text) {
        log.io.link.messages.show(text, base::MsgIcon::Exclamation, base::kAppTitle);
    };
    if (const auto problem = StemProblem(settings.stem); !problem.empty()) {
        show(problem);
        report.outcome = LogOutcome::BadStem;
        return report;
    }

    const FileFormat fmt = DecideFileFormat(log.io.platform);
    const long long files = WholeCount(settings.filesPerSession);
    const long long samples = WholeCount(settings.samplesPerFile);
    const auto& dir = settings.directory;

    const std::size_t longest = LongestStem(base::NameMax(dir), files, fmt.ext);
    if (settings.stem.size() > longest) {
        std::size_t cut = longest;
        while (cut > 0 && (static_cast<unsigned char>(settings.stem[cut]) & 0xC0) == 0x80) --cut;
        show(StemTooLongText(settings.stem, settings.stem.substr(0, cut)));
        report.outcome = LogOutcome::BadStem;
        return report;
    }

    // One writer per stem: its files are this session's until it ends.
    const std::string first = LogFileNameFor(settings.stem, 1, fmt.ext);
    auto lock = base::FileLock::tryAcquire(dir / ("." + settings.stem + fmt.ext + ".lock"));
    if (!lock) {
        if (errno == EWOULDBLOCK) {
            show(FileInUseText(first));
            report.outcome = LogOutcome::InUse;
        } else {
            show(FileAccessErrorText(first, errno, dir.string()));
            report.outcome = LogOutcome::CreateFailed;
        }
        return report;
    }

    const std::vector<int16_t> boxes = [&] {
        std::vector<int16_t> b;
        for (int i = kFirstBox; i <= kLastBox; ++i)
            if (settings.columns.box[i]) b.push_back(static_cast<int16_t>(i));
        return b;
    }();
    const bool flags = !settings.columns.disableND;
    const bool raw = settings.noScale;
    const float delaySetting = settings.sampleDelay;
    const bool sampleHook = static_cast<bool>(hooks.sampleTaken);
    const bool cancelHook = static_cast<bool>(hooks.cancelRequested);
    const bool deviceWasReady = log.io.link.usb.UsbReady;
    std::vector<registers::RegResults> burstResults(boxes.size());

    for (long long n = 1; n <= files; ++n) {
        const std::string name = LogFileNameFor(settings.stem, n, fmt.ext);
        const auto target = dir / name;

        // The file-access check at the start of each file: a name that cannot be replaced,
        // or a directory that takes no new file, is reported before any sample is taken.
        std::error_code ec;
        if (std::filesystem::is_directory(std::filesystem::symlink_status(target, ec))) {
            show(FileAccessErrorText(name, EISDIR, dir.string()));
            report.outcome = LogOutcome::CreateFailed;
            return report;
        }
        std::filesystem::path spoolPath;
        auto out = fs.createTemp(dir, "." + name + ".rows.", spoolPath);
        if (!out) {
            show(FileAccessErrorText(name, errno, dir.string()));
            report.outcome = LogOutcome::CreateFailed;
            return report;
        }
        Spool spool(std::move(out), spoolPath);

        bool ok = true, cancelled = false, transferFailed = false;
        long long taken = 0;
        if (!settings.noHeader) spool.text = TitleLine(settings.columns, fmt.fieldSep);
        if (hooks.fileStarted) hooks.fileStarted(n);
        log.doEvents();
        const float begin = log.io.platform.secondsSinceMidnight();
        std::string& text = spool.text;
        while (taken < samples) {
            const std::size_t rowStart = text.size();
            AppendInt(text, taken + 1);
            text += fmt.fieldSep;
            if (settings.burst) registers::ReadRegisterBurst(log.io, boxes, burstResults);
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                const registers::RegResults* r = &burstResults[i];
                if (!settings.burst) {
                    read(log.io, boxes[i]);
                    r = &log.io.res;
                }
                if (flags) {
                    text += r->RegNDBit != 0 ? '1' : '0';
                    text += fmt.fieldSep;
                }
                if (raw)
                    AppendInt(text, r->RegValue);
                else
                    text += base::GeneralText(r->RegScaled, fmt.decimalSep);
                text += fmt.fieldSep;
            }
            text += kCRLF;
            if (deviceWasReady && !log.io.link.usb.UsbReady) {
                // Values after a failed transfer are not the sensor's: this sample is dropped.
                text.resize(rowStart);
                transferFailed = true;
                break;
            }
            ++taken;
            if (delaySetting > 0) {
                float delay = delaySetting;
                base::DelayMs(log.io.wait, delay);
            }
            if (!spool.maybeFlush()) {
                ok = false;
                break;
            }
            if (sampleHook) hooks.sampleTaken(n, taken);
            log.doEvents();
            if (cancelHook && hooks.cancelRequested()) {
                cancelled = true;
                break;
            }
        }
        const float end = log.io.platform.secondsSinceMidnight();
        ok = ok && spool.flush(true);
        // The samples that reached the disk stay, under a name that says they are incomplete.
        const auto writeFailed = [&](const std::filesystem::path& rows, int err) {
            show(FileWriteErrorText(name, err, KeepIncomplete(fs, rows, dir, name)));
            report.outcome = LogOutcome::WriteFailed;
            return report;
        };

        if (!ok) {
            const int err = spool.error;
            spool.cut();
            spool.close();
            // Nothing reached the disk: there is nothing to keep.
            const std::string kept =
                spool.size() == 0 ? std::string() : KeepIncomplete(fs, spoolPath, dir, name);
            if (kept.empty()) fs.remove(spoolPath);
            show(FileWriteErrorText(name, err, kept));
            report.outcome = LogOutcome::WriteFailed;
            return report;
        }

        const std::string head = settings.noHeader
                                     ? std::string()
                                     : HeaderLines(name, log.io.platform.shortDate(),
                                                   log.io.platform.shortTime(), begin, end, fmt);
        if (hooks.finishing) hooks.finishing(n, 0, spool.size());
        if (head.empty()) {
            // The spool is the file: it only needs its name.
            ok = spool.close() && fs.replace(spoolPath, target);
        } else {
            const std::uint64_t needed = head.size() + spool.size();
            const auto free = fs.freeBytes(dir);
            if (free && *free < needed) {
                spool.close();
                const std::string kept = KeepIncomplete(fs, spoolPath, dir, name);
                show(DiskFullText(name, needed, *free, kept));
                report.outcome = LogOutcome::WriteFailed;
                return report;
            }
            std::filesystem::path partPath;
            if (!Finish(log, hooks, fs, spool, dir, name, head, n, partPath)) {
                const int err = errno;
                if (!partPath.empty()) fs.remove(partPath);
                spool.close();
                return writeFailed(spoolPath, err);
            }
            // The finished file holds every row: the spool goes before the rename so
            // that a crash in between leaves one copy, not two.
            fs.remove(spoolPath);
            spool.close();
            if (!fs.replace(partPath, target)) return writeFailed(partPath, errno);
        }
        if (!ok) return writeFailed(spoolPath, errno);
        ++report.filesWritten;
        if (transferFailed) {
            show(TransferStoppedText(name, n, taken));
            report.outcome = LogOutcome::TransferFailed;
            return report;
        }
        if (cancelled) {
            report.outcome = LogOutcome::Cancelled;
            return report;
        }
    }
    return report;
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
                          registers::ReadRegister(io, position);
                      });
}

std::vector<std::string> RecoverUnfinished(const std::filesystem::path& dir) {
    std::vector<std::string> kept;
    std::error_code ec;
    std::vector<std::pair<std::string, std::filesystem::path>> spools, parts;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const std::string file = e.path().filename().string();
        // ".<name>.rows.XXXXXX" or ".<name>.part.XXXXXX"
        if (file.size() < 14 || file[0] != '.' || file[file.size() - 7] != '.') continue;
        const std::string kind = file.substr(file.size() - 12, 5);
        if (kind != ".rows" && kind != ".part") continue;
        if (!e.is_regular_file(ec) || e.is_symlink(ec)) continue;
        (kind == ".rows" ? spools : parts).emplace_back(file.substr(1, file.size() - 13), e.path());
    }
    DiskFileSystem fs;
    auto take = [&](const std::string& name, const std::filesystem::path& path) {
        // A live session holds its files locked: those are not leftovers.
        base::WithUnheldFile(path, [&](std::uint64_t size) {
            if (size == 0) {
                fs.remove(path);
            } else if (auto k = KeepIncomplete(fs, path, dir, name); !k.empty()) {
                kept.push_back(k);
            }
        });
    };
    for (const auto& [name, path] : spools) take(name, path);
    for (const auto& part : parts) {
        const auto& [name, path] = part;
        const bool spooled = std::any_of(spools.begin(), spools.end(),
                                         [&](const auto& s) { return s.first == part.first; });
        // With its spool there, a finishing copy holds nothing more.
        if (spooled) {
            base::WithUnheldFile(path, [&](std::uint64_t) { fs.remove(part.second); });
        } else {
            take(name, path);
        }
    }
    return kept;
}

void ReportUnfinished(base::Messages& messages, const std::filesystem::path& dir) {
    const auto kept = RecoverUnfinished(dir);
    if (!kept.empty())
        messages.show(RecoveredText(kept, dir.string()), base::MsgIcon::Exclamation,
                      base::kAppTitle);
}

} // namespace tavrin::datalog
