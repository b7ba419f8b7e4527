// tavrin-cli log and recover: logging sessions from a shell, on one adapter or several at
// once, into files or a stream, and the recovery of what unfinished sessions left.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>

#include "app/Sensor.h"
#include "base/NumberText.h"
#include "base/OsFiles.h"
#include "base/SafeFile.h"
#include "cli/Bench.h"
#include "cli/ShellOs.h"
#include "datalog/LogFiles.h"
#include "datalog/LogSession.h"
#include "datalog/Recovery.h"
#include "transport/UsbSpi.h"

namespace tavrin::cli {

namespace {

using nlohmann::json;

// Progress on a terminal only, at most ten lines a second, each over the last.
class Progress {
  public:
    Progress(long long files, long long samples, bool on)
        : on_(on && isatty(STDERR_FILENO) == 1), files_(files), samples_(samples) {}
    void fileStarted(long long file) {
        file_ = file;
        sample_ = 0;
        update(true);
    }
    void sampleTaken(long long file, long long sample) {
        ++taken_;
        file_ = file;
        sample_ = sample;
        update(false);
    }
    // A line of its own (a finished file's path), the progress line drawn again below it.
    void say(StderrMessages& messages, const std::string& line) {
        if (shown_) std::fputs("\r\x1b[K", stderr);
        messages.say(line);
        if (shown_) print();
        std::fflush(stderr);
    }
    // The last figures, with the rate over the whole session.
    void finish(double seconds) {
        if (!shown_) return;
        rate_ = seconds > 0 ? static_cast<double>(taken_) / seconds : 0;
        print();
        std::fputc('\n', stderr);
    }

  private:
    using Clock = std::chrono::steady_clock;
    void update(bool force) {
        if (!on_) return;
        const auto now = Clock::now();
        const double dt = std::chrono::duration<double>(now - last_).count();
        if (!force && dt < 0.1) return;
        if (dt >= 0.1) rate_ = static_cast<double>(taken_ - takenAtLast_) / dt;
        last_ = now;
        takenAtLast_ = taken_;
        print();
    }
    void print() {
        const std::string line = datalog::ProgressText(file_, files_, sample_, samples_, rate_);
        std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
        std::fflush(stderr);
        shown_ = true;
    }

    bool on_;
    bool shown_ = false;
    long long files_, samples_;
    long long file_ = 0, sample_ = 0;
    long long taken_ = 0, takenAtLast_ = 0;
    double rate_ = 0;
    Clock::time_point last_ = Clock::now();
};

// TAVRIN_HOLD_AT="STEP,FILE[,SAMPLE]" (spool, sample, finishing, part, renamed) stops the
// process at that step of that file, so that a test can act on a session held there.
class Holder {
  public:
    Holder() {
        const char* at = std::getenv("TAVRIN_HOLD_AT");
        if (!at) return;
        char step[16] = {};
        if (std::sscanf(at, "%15[a-z],%lld,%lld", step, &file_, &sample_) >= 2) step_ = step;
    }
    void reached(const std::string& step, long long file, long long sample = 0) const {
        if (step == step_ && file == file_ && sample == sample_) HoldHere();
    }
    void reached(datalog::LogStep step, long long file) const {
        static const char* const kNames[] = {"spool", "finishing", "part", "renamed"};
        reached(kNames[static_cast<int>(step)], file);
    }

  private:
    std::string step_;
    long long file_ = 0, sample_ = 0;
};

const char* OutcomeName(datalog::LogOutcome o) {
    switch (o) {
    case datalog::LogOutcome::Completed:
        return "completed";
    case datalog::LogOutcome::Cancelled:
        return "cancelled";
    case datalog::LogOutcome::TransferFailed:
        return "transfer failed";
    case datalog::LogOutcome::BadStem:
        return "bad file name";
    case datalog::LogOutcome::InUse:
        return "file in use";
    case datalog::LogOutcome::CreateFailed:
    case datalog::LogOutcome::WriteFailed:
        return "file not written";
    }
    return "";
}

// The directory named by --dir, or the current one, as every shell tool takes it; it must
// take a new file (tried, since /proc, for one, says it is writable and is not).
std::filesystem::path TargetDir(const std::optional<std::string>& dir) {
    std::error_code ec;
    const std::filesystem::path target =
        dir ? std::filesystem::path(*dir) : std::filesystem::current_path(ec);
    const auto st = std::filesystem::status(target, ec);
    const char* fault = nullptr;
    std::filesystem::path probe;
    if (!std::filesystem::exists(st)) {
        fault = "does not exist";
    } else if (!std::filesystem::is_directory(st)) {
        fault = "is not a directory";
    } else if (const int fd = base::CreateTempBeside(target, ".tavrin-probe.", probe); fd < 0) {
        fault = errno == ENOSPC ? "is on a full disk" : "takes no new files (not writable)";
    } else {
        ::close(fd);
        std::filesystem::remove(probe, ec);
    }
    if (fault)
        throw UsageError{std::string(dir ? "--dir: " : "the current directory ") +
                         base::QuotedInput(target.string()) + " " + fault};
    return target;
}

// The stem as the session would judge it, in one line: the session's own boxes say more
// than a shell needs.
void CheckStem(const std::string& stem, const std::filesystem::path& dir, long long files,
               const std::string& ext) {
    if (!datalog::StemProblem(stem).empty())
        throw UsageError{"--stem: " + base::QuotedInput(stem) +
                         " is empty or holds \"/\", \"\\\" or \"..\""};
    const std::size_t longest = datalog::LongestStem(base::NameMax(dir), files, ext);
    if (stem.size() > longest)
        throw UsageError{"--stem: " + base::QuotedInput(stem) + " is " +
                         std::to_string(stem.size()) + " bytes; the longest that fits is " +
                         std::to_string(longest)};
    const auto lock = dir / datalog::StemLockName(stem, ext);
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(lock, ec).type();
    if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none &&
        type != std::filesystem::file_type::regular)
        throw UsageError{"--stem: the session's lock file " + base::QuotedInput(lock.string()) +
                         " is not a file this program made (a directory, a link or a special "
                         "file): remove it or choose another stem"};
}

// The session's settings from the options; the boxes need the loaded table for --regs.
datalog::LogSettings LogSettingsOf(const LogOptions& o, const std::string& sep) {
    datalog::LogSettings st;
    st.samplesPerFile = FieldValue("--samples", o.samples, datalog::kSamplesPerFileRule, sep);
    st.filesPerSession = FieldValue("--files", o.files, datalog::kFilesPerSessionRule, sep);
    st.sampleDelay =
        static_cast<float>(FieldValue("--delay", o.delay, datalog::kSampleDelayRule, sep));
    st.noScale = o.raw;
    st.noHeader = o.noHeader;
    st.burst = o.burst;
    st.columns.disableND = o.noND;
    st.stem = o.stem;
    for (const auto& text : o.boxes) {
        int box = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), box);
        if (r.ec != std::errc{} || r.ptr != text.data() + text.size() || box < datalog::kFirstBox ||
            box > datalog::kLastBox)
            throw UsageError{"--boxes: " + base::QuotedInput(text) + " is not a box from 1 to 8"};
        st.columns.box[box] = true;
    }
    return st;
}

// What unfinished sessions left in `dir`, named on standard error; sessions running beside
// this one (several sensors into one directory) are no news.
void RecoverBefore(Bench& b, const std::filesystem::path& dir) {
    datalog::Recovery r = datalog::RecoverUnfinished(dir);
    r.inUse.clear();
    if (const auto text = datalog::RecoveryText(r, dir.string()); !text.empty())
        b.messages.show(text, base::MsgIcon::Exclamation, base::kAppTitle);
}

// Where the rows of a session go: files, or a stream (standard output, a FIFO, a device).
struct LogTarget {
    std::optional<int> slot;   // the adapter; none: the lowest usable
    std::string stem;          // with the slot's suffix when several adapters log at once
    std::string prefix;        // of its messages then
    int streamFd = -1;         // rows streamed there instead of files
    std::filesystem::path dir; // of the files otherwise
    bool several = false;
};

// The descriptor -o or --stdout names, opened for writing; -1 for files.
int StreamFd(const LogOptions& o) {
    if (!o.toStdout && !o.output) return -1;
    if (o.toStdout || *o.output == "-") {
        if (base::StandardOutputWasClosed())
            throw UsageError{std::string(o.toStdout ? "--stdout" : "-o") +
                             ": the standard output is closed"};
        return STDOUT_FILENO;
    }
    std::error_code ec;
    const auto type = std::filesystem::symlink_status(*o.output, ec).type();
    using std::filesystem::file_type;
    if (type != file_type::fifo && type != file_type::character)
        throw UsageError{"-o: " + base::QuotedInput(*o.output) +
                         " is not - (standard output), a FIFO or a device; files are named by "
                         "--stem and --dir"};
#ifdef _WIN32
    const int fd = ::_open(o.output->c_str(), _O_WRONLY | _O_BINARY);
#else
    const int fd = ::open(o.output->c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
#endif
    if (fd < 0)
        throw UsageError{"-o: " + base::QuotedInput(*o.output) +
                         " cannot be opened: " + base::FileErrorCause(errno)};
    return fd;
}

// The checks a shell makes before any adapter is opened.
void CheckLogOptions(const GlobalOptions& g, const LogOptions& o, bool stream) {
    if (!o.boxes.empty() && !o.regs.empty())
        throw UsageError{"--regs: give either --boxes or --regs"};
    if (o.seconds && !(*o.seconds > 0 && *o.seconds <= 1e7))
        throw UsageError{"--seconds: from above 0 to 10000000"};
    if (o.format && !datalog::NamedFileFormat(*o.format))
        throw UsageError{"--format: " + base::QuotedInput(*o.format) + " is not csv or tsv"};
    if (!stream) return;
    if (o.files != "1") throw UsageError{"--files: a stream holds one file's rows"};
    if (g.json && (o.toStdout || *o.output == "-"))
        throw UsageError{"--json: the rows are on standard output; write files for a summary"};
    if (g.adapters.size() > 1 || g.allAdapters)
        throw UsageError{"--adapter: one adapter streams; several write files"};
}

// The boxes --regs names in the loaded table; the default box when none is given.
void ChooseColumns(app::App& app, const LogOptions& o, datalog::LogSettings& st) {
    if (!o.regs.empty()) {
        // The logging window's boxes stand for these table positions.
        for (const auto& name : o.regs) {
            const auto p = FindRegister(app, name, datalog::kFirstBox, datalog::kLastBox);
            if (!p)
                throw UsageError{"--regs: " + base::QuotedInput(name) +
                                 " is none of the logging window's outputs"};
            st.columns.box[*p] = true;
        }
    } else if (o.boxes.empty()) {
        st.columns.box[datalog::kDefaultBox] = true;
    }
}

int StatusOf(const datalog::LogReport& report, bool deviceFailed) {
    int status = kDeviceFailed;
    if (report.outcome == datalog::LogOutcome::BadStem) status = kUsage;
    if (report.outcome == datalog::LogOutcome::Completed ||
        report.outcome == datalog::LogOutcome::Cancelled)
        status = deviceFailed ? kDeviceFailed : kOk;
    if (g_interrupted != 0 && status != kUsage) status = kSignalBase + g_interrupted;
    return status;
}

// One adapter's session; its status, and its summary for --json.
int LogOneAdapter(GlobalOptions g, const LogOptions& o, const LogTarget& t, json& summary) {
    g.adapter = t.slot;
    Bench b(g, t.prefix);
    const std::string sep = b.platform.decimalSeparator();
    datalog::LogSettings st = LogSettingsOf(o, sep);
    st.stem = t.stem;
    if (o.format) st.format = datalog::NamedFileFormat(*o.format);
    if (o.seconds) st.samplesPerFile = 2147483647, st.filesPerSession = 1; // the clock ends it
    std::unique_ptr<datalog::LogWriter> stream;
    if (t.streamFd >= 0) {
        stream = datalog::StreamWriter(t.streamFd);
        st.stream = stream.get();
        st.streamEachRow = isatty(t.streamFd) == 1;
    } else {
        st.directory = t.dir;
    }
    if (!OpenSensor(b, g)) return kDeviceFailed;
    app::App& app = b.app;
    ChooseColumns(app, o, st);
    if (!stream) RecoverBefore(b, st.directory);

    Progress progress(static_cast<long long>(st.filesPerSession),
                      o.seconds ? 0 : static_cast<long long>(st.samplesPerFile), !t.several);
    const Holder hold;
    json files = json::array();
    long long samples = 0;
    datalog::LogHooks hooks;
    hooks.fileStarted = [&](long long n) { progress.fileStarted(n); };
    hooks.sampleTaken = [&](long long n, long long s) {
        progress.sampleTaken(n, s);
        hold.reached("sample", n, s);
        if (stream) samples = s;
    };
    hooks.reached = [&](datalog::LogStep step, long long n) { hold.reached(step, n); };
    hooks.fileDone = [&](long long, const std::filesystem::path& file, long long taken) {
        progress.say(b.messages, file.string());
        files.push_back(file.string());
        samples += taken;
    };
    // --seconds: timed by the adapter's own clock where it keeps one (a seeded simulator).
    const auto clock = [&] {
        using namespace std::chrono;
        return app.driver->clockSeconds(app.usb.UsbSelIndex)
            .value_or(duration<double>(steady_clock::now().time_since_epoch()).count());
    };
    const double begun = clock();
    // A failed transfer ends the session the same way, and so does the end of --seconds.
    hooks.cancelRequested = [&] {
        return g_interrupted != 0 || b.failed() || (o.seconds && clock() - begun >= *o.seconds);
    };

    datalog::DiskFileSystem disk;
    const auto started = std::chrono::steady_clock::now();
    const auto report = app::RunLogSession(app, st, hooks, disk);
    progress.finish(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    const int status = StatusOf(report, b.failed());
    summary = {{"files", files},
               {"samples", samples},
               {"outcome", OutcomeName(report.outcome)},
               {"status", status}};
    if (t.slot && t.several) summary["adapter"] = *t.slot;
    return status;
}

// The slots --adapter names: one, several, or every usable adapter ("all").
std::vector<std::optional<int>> LogSlots(const GlobalOptions& g) {
    if (!g.allAdapters) {
        if (g.adapters.size() <= 1) return {g.adapter};
        return {g.adapters.begin(), g.adapters.end()};
    }
    Bench b(g);
    app::FindAdapters(b.app);
    std::vector<std::optional<int>> slots;
    for (int k = 0; k < transport::ezusb::kSlots; ++k)
        if (b.app.drv.UsbDevices[k].Present) slots.emplace_back(k);
    return slots;
}

} // namespace

int RunLog(const GlobalOptions& g, const LogOptions& o) {
    const int fd = StreamFd(o);
    CheckLogOptions(g, o, fd >= 0);
    const auto slots = LogSlots(g);
    if (slots.empty()) {
        StderrMessages().say("--adapter all: no usable adapter is attached");
        return kDeviceFailed;
    }
    std::vector<LogTarget> targets;
    for (const auto& slot : slots) {
        LogTarget t{slot, o.stem, {}, fd, {}, slots.size() > 1};
        if (t.several) {
            t.stem += "-" + std::to_string(*slot);
            t.prefix = SlotCaption(*slot) + ": ";
        }
        if (fd < 0) {
            // Judged once, before any adapter is opened; the session judges them again.
            t.dir = TargetDir(o.dir);
            ShellPlatform platform;
            const auto format = o.format ? datalog::NamedFileFormat(*o.format)
                                         : datalog::DecideFileFormat(platform);
            const auto files = FieldValue("--files", o.files, datalog::kFilesPerSessionRule,
                                          platform.decimalSeparator());
            CheckStem(t.stem, t.dir, static_cast<long long>(files), format->ext);
        }
        targets.push_back(t);
    }
    // From here a signal acts as Cancel: the file under way is completed, nothing is begun.
    CatchSignals();
    std::vector<int> statuses(targets.size(), kOk);
    std::vector<json> summaries(targets.size());
    const auto run = [&](std::size_t i) {
        try {
            statuses[i] = LogOneAdapter(g, o, targets[i], summaries[i]);
        } catch (const UsageError& e) {
            if (!targets[i].several) throw;
            StderrMessages(targets[i].prefix).say("tavrin-cli: " + e.text);
            statuses[i] = kUsage;
        }
    };
    if (targets.size() == 1) {
        run(0);
    } else {
        // One thread a sensor: each has its own driver and state, and shares nothing.
        std::vector<std::thread> threads;
        for (std::size_t i = 0; i < targets.size(); ++i) threads.emplace_back(run, i);
        for (auto& t : threads) t.join();
    }
    if (fd > STDOUT_FILENO) ::close(fd);
    if (g.json) {
        const json out = targets.size() == 1 ? summaries[0] : json(summaries);
        std::printf("%s\n", out.dump(2).c_str());
    }
    return *std::max_element(statuses.begin(), statuses.end()); // the worst of them
}

int RunRecover(const GlobalOptions& g, const RecoverOptions& o) {
    const auto dir = TargetDir(o.dir);
    HeldSignals held; // each leftover is renamed whole or not at all
    const datalog::Recovery r = datalog::RecoverUnfinished(dir);
    if (g.json) {
        const json out = {{"directory", dir.string()},
                          {"recovered", r.kept},
                          {"in_use", r.inUse},
                          {"lock_unusable", r.unlockable},
                          {"not_ours", r.notOurs}};
        std::printf("%s\n", out.dump(2).c_str());
        return kOk;
    }
    for (const auto& k : r.kept) std::printf("%s\n", (dir / k).string().c_str());
    // What was left alone, and why, as the window says it.
    datalog::Recovery alone = r;
    alone.kept.clear();
    if (!alone.empty()) {
        StderrMessages messages;
        messages.show(datalog::RecoveryText(alone, dir.string()), base::MsgIcon::Exclamation,
                      base::kAppTitle);
    }
    return kOk;
}

} // namespace tavrin::cli
