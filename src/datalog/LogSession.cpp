#include "datalog/LogSession.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/NumberText.h"
#include "app/State.h"
#include "app/Timing.h"
#include "transport/FrontEnd.h"

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

// What one sample leaves in the spool: per selected box, in box order, the new-data
// flag (one byte, when flags are on) and the raw value (int32) or the scaled one
// (double), as the reads left them. Text is made only after sampling, so formatting
// never slows the sample rate.
struct SampleLayout {
    std::vector<int16_t> boxes;
    bool flags = true;
    bool raw = false;
    std::size_t size = 0;

    explicit SampleLayout(const LogSettings& st) : flags(!st.columns.disableND), raw(st.noScale) {
        for (int b = kFirstBox; b <= kLastBox; ++b)
            if (st.columns.box[b]) boxes.push_back(static_cast<int16_t>(b));
        size = boxes.size() * ((flags ? 1 : 0) + (raw ? sizeof(int32_t) : sizeof(double)));
    }
};

// Appends the text row of sample `s` from its spooled record.
void FormatRow(std::string& out, long long s, const char* rec, const SampleLayout& lay,
               const FileFormat& fmt) {
    AppendInt(out, s);
    out += fmt.fieldSep;
    for (std::size_t i = 0; i < lay.boxes.size(); ++i) {
        if (lay.flags) {
            out += *rec++ ? '1' : '0';
            out += fmt.fieldSep;
        }
        if (lay.raw) {
            int32_t v;
            std::memcpy(&v, rec, sizeof v);
            rec += sizeof v;
            AppendInt(out, v);
        } else {
            double v;
            std::memcpy(&v, rec, sizeof v);
            rec += sizeof v;
            out += GeneralText(v, fmt.decimalSep);
        }
        out += fmt.fieldSep;
    }
    out += kCRLF;
}

// Header and titles, then the spooled samples as text, into `partial`; true when all
// of it was written and every sample of the spool was there.
bool Assemble(LogFileSystem& fs, const std::filesystem::path& spool,
              const std::filesystem::path& partial, const std::string& head,
              const SampleLayout& lay, const FileFormat& fmt, long long samplesTaken) {
    auto out = fs.create(partial);
    if (!out) return false;
    bool ok = out->write(head);
    long long s = 0;
    if (ok && samplesTaken > 0) {
        auto in = fs.openRead(spool);
        ok = in != nullptr;
        std::vector<char> chunk(ok ? kReadChunk + lay.size : 0);
        std::size_t have = 0;
        std::string text;
        text.reserve(kBlockSize + 4096);
        while (ok) {
            const long long n = in->read(chunk.data() + have, kReadChunk);
            if (n < 0) ok = false;
            if (n <= 0) break;
            have += static_cast<std::size_t>(n);
            std::size_t at = 0;
            for (; have - at >= lay.size && s < samplesTaken; at += lay.size) {
                FormatRow(text, ++s, chunk.data() + at, lay, fmt);
                if (text.size() >= kBlockSize) {
                    ok = out->write(text);
                    text.clear();
                    if (!ok) break;
                }
            }
            // A record split by the chunk boundary waits for the rest.
            std::memmove(chunk.data(), chunk.data() + at, have - at);
            have -= at;
        }
        if (ok) ok = out->write(text);
    }
    const bool closed = out->close();
    return ok && closed && s == samplesTaken;
}

// The session, generic in how a register is read so that the device path calls the
// front end directly in the sampling loop.
template <class Read>
LogReport RunSession(App& app, const LogSettings& settings, const LogHooks& hooks,
                     LogFileSystem& fs, Read&& read) {
    LogReport report;
    if (const auto problem = StemProblem(settings.stem); !problem.empty()) {
        app.messages.show(problem, MsgIcon::Exclamation, kAppTitle);
        report.outcome = LogOutcome::BadStem;
        return report;
    }

    const FileFormat fmt = DecideFileFormat(app.platform);
    const long long files = WholeCount(settings.filesPerSession);
    const long long samples = WholeCount(settings.samplesPerFile);
    const SampleLayout lay(settings);

    std::vector<char> block(kBlockSize);
    const float delaySetting = settings.sampleDelay;
    const bool sampleHook = static_cast<bool>(hooks.sampleTaken);
    const bool cancelHook = static_cast<bool>(hooks.cancelRequested);
    std::vector<RegResults> burstResults(lay.boxes.size());

    for (long long n = 1; n <= files; ++n) {
        const std::string name = LogFileNameFor(settings.stem, n, fmt.ext);
        const auto target = settings.directory / name;
        const auto spool = settings.directory / (name + ".rows");
        const auto partial = settings.directory / (name + ".partial");

        // The target is created (empty) when its sampling starts, so a file held by
        // someone else is reported before any sample is taken.
        auto probe = fs.create(target);
        if (!probe || !probe->close()) {
            app.messages.show(FileAccessErrorText(name), MsgIcon::Exclamation, kAppTitle);
            report.outcome = LogOutcome::CreateFailed;
            return report;
        }
        probe.reset();

        auto spoolOut = fs.create(spool);
        bool ok = spoolOut != nullptr;
        bool cancelled = false;
        float begin = 0, end = 0;
        long long taken = 0;
        std::size_t used = 0;

        if (ok) {
            if (hooks.fileStarted) hooks.fileStarted(n);
            app.doEvents();
            begin = app.platform.secondsSinceMidnight();
            while (taken < samples) {
                if (used + lay.size > block.size()) {
                    ok = spoolOut->write(std::string_view(block.data(), used));
                    used = 0;
                    if (!ok) break;
                }
                char* rec = block.data() + used;
                if (settings.burst) ReadRegisterBurst(app, lay.boxes, burstResults);
                for (std::size_t i = 0; i < lay.boxes.size(); ++i) {
                    const RegResults* r = &burstResults[i];
                    if (!settings.burst) {
                        read(app, lay.boxes[i]);
                        r = &app.res;
                    }
                    if (lay.flags) *rec++ = r->RegNDBit != 0 ? 1 : 0;
                    if (lay.raw) {
                        std::memcpy(rec, &r->RegValue, sizeof(int32_t));
                        rec += sizeof(int32_t);
                    } else {
                        std::memcpy(rec, &r->RegScaled, sizeof(double));
                        rec += sizeof(double);
                    }
                }
                used += lay.size;
                ++taken;
                if (delaySetting > 0) {
                    float delay = delaySetting;
                    DelayMs(app, delay);
                }
                if (sampleHook) hooks.sampleTaken(n, taken);
                app.doEvents();
                if (cancelHook && hooks.cancelRequested()) {
                    cancelled = true;
                    break;
                }
            }
            end = app.platform.secondsSinceMidnight();
        }

        if (ok) ok = spoolOut->write(std::string_view(block.data(), used));
        if (spoolOut) ok = spoolOut->close() && ok;
        spoolOut.reset();

        if (ok) {
            std::string head;
            if (!settings.noHeader) {
                head = HeaderLines(name, app.platform.shortDate(), app.platform.shortTime(), begin,
                                   end, fmt);
                head += TitleLine(settings.columns, fmt.fieldSep);
            }
            ok = Assemble(fs, spool, partial, head, lay, fmt, taken) && fs.rename(partial, target);
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

} // namespace

LogReport RunLogSession(App& app, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs, const RegisterReader& read) {
    return RunSession(app, settings, hooks, fs, read);
}

LogReport RunLogSession(App& app, const LogSettings& settings, const LogHooks& hooks,
                        LogFileSystem& fs) {
    return RunSession(app, settings, hooks, fs,
                      [](App& a, int16_t position) { ReadRegister(a, position); });
}

} // namespace tavrin::datalog
