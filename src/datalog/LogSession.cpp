#include "datalog/LogSession.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "app/NumberText.h"
#include "app/State.h"
#include "app/Timing.h"

namespace tavrin::datalog {

namespace {

// Rows go to the spool in blocks of this size: few system calls, flat memory.
constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::size_t kCopyChunk = 1024 * 1024;

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

// Header and titles, then the spooled rows, into `partial`; true when all of it was written.
bool Assemble(LogFileSystem& fs, const std::filesystem::path& spool,
              const std::filesystem::path& partial, const std::string& head) {
    auto out = fs.create(partial);
    if (!out) return false;
    bool ok = out->write(head);
    if (ok) {
        auto in = fs.openRead(spool);
        ok = in != nullptr;
        std::vector<char> chunk(ok ? kCopyChunk : 0);
        while (ok) {
            const long long n = in->read(chunk.data(), chunk.size());
            if (n < 0) ok = false;
            if (n <= 0) break;
            ok = out->write(std::string_view(chunk.data(), static_cast<std::size_t>(n)));
        }
    }
    const bool closed = out->close();
    return ok && closed;
}

} // namespace

LogReport RunLogSession(App& app, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs, const RegisterReader& read) {
    LogReport report;
    if (const auto problem = StemProblem(settings.stem); !problem.empty()) {
        app.messages.show(problem, MsgIcon::Exclamation, kAppTitle);
        report.outcome = LogOutcome::BadStem;
        return report;
    }

    const FileFormat fmt = DecideFileFormat(app.platform);
    const std::string& sep = fmt.fieldSep;
    const long long files = WholeCount(settings.filesPerSession);
    const long long samples = WholeCount(settings.samplesPerFile);
    const auto& box = settings.columns.box;
    const bool flags = !settings.columns.disableND;

    std::string block;
    block.reserve(kBlockSize + 1024);

    for (long long n = 1; n <= files; ++n) {
        const std::string name = LogFileNameFor(settings.stem, n, fmt.ext);
        const auto target = settings.directory / name;
        const auto spool = settings.directory / (name + ".rows");
        const auto partial = settings.directory / (name + ".partial");

        // The target is created (empty) when its sampling starts, so a file held by
        // someone else is reported before any sample is taken.
        if (auto probe = fs.create(target); !probe) {
            app.messages.show(FileAccessErrorText(name), MsgIcon::Exclamation, kAppTitle);
            report.outcome = LogOutcome::CreateFailed;
            return report;
        } else {
            probe->close();
        }

        auto spoolOut = fs.create(spool);
        bool ok = spoolOut != nullptr;
        bool cancelled = false;
        float begin = 0, end = 0;

        if (ok) {
            if (hooks.fileStarted) hooks.fileStarted(n);
            app.doEvents();
            begin = app.platform.secondsSinceMidnight();
            block.clear();
            for (long long s = 1; s <= samples; ++s) {
                AppendInt(block, s);
                block += sep;
                for (int b = kFirstBox; b <= kLastBox; ++b) {
                    if (!box[b]) continue;
                    read(app, static_cast<int16_t>(b));
                    if (flags) {
                        block += app.res.RegNDBit != 0 ? '1' : '0';
                        block += sep;
                    }
                    if (settings.noScale)
                        AppendInt(block, app.res.RegValue);
                    else
                        block += GeneralText(app.res.RegScaled, fmt.decimalSep);
                    block += sep;
                }
                block += kCRLF;
                if (block.size() >= kBlockSize) {
                    ok = spoolOut->write(block);
                    block.clear();
                    if (!ok) break;
                }
                float delay = settings.sampleDelay;
                if (delay > 0) DelayMs(app, delay);
                if (hooks.sampleTaken) hooks.sampleTaken(n, s);
                app.doEvents();
                if (hooks.cancelRequested && hooks.cancelRequested()) {
                    cancelled = true;
                    break;
                }
            }
            end = app.platform.secondsSinceMidnight();
        }

        if (ok) ok = spoolOut->write(block);
        if (spoolOut) ok = spoolOut->close() && ok;
        block.clear();
        spoolOut.reset();

        if (ok) {
            std::string head;
            if (!settings.noHeader) {
                head = HeaderLines(name, app.platform.shortDate(), app.platform.shortTime(), begin,
                                   end, fmt);
                head += TitleLine(settings.columns, sep);
            }
            ok = Assemble(fs, spool, partial, head) && fs.rename(partial, target);
        }
        fs.remove(spool);
        if (!ok) {
            // Nothing that looks like a finished file may stay behind.
            fs.remove(partial);
            fs.remove(target);
            app.messages.show(FileWriteErrorText(name), MsgIcon::Exclamation, kAppTitle);
            report.outcome = LogOutcome::WriteFailed;
            return report;
        }
        ++report.filesWritten;
        if (cancelled) {
            report.outcome = LogOutcome::Cancelled;
            return report;
        }
    }
    return report;
}

} // namespace tavrin::datalog
