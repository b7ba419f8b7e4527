#include "cli/Commands.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/App.h"
#include "base/FileLocation.h"
#include "base/HexText.h"
#include "base/NumberText.h"
#include "base/SafeFile.h"
#include "cli/CliSeams.h"
#include "cli/ShellOs.h"
#include "datalog/LogFormat.h"
#include "datalog/LogSession.h"
#include "datalog/Recovery.h"
#include "registers/FrontEnd.h"
#include "registers/Listing.h"
#include "registers/Model.h"
#include "sim/SimConfig.h"
#include "transport/EzUsbDriver.h"
#include "transport/UsbSpi.h"

namespace tavrin::cli {

namespace {

using nlohmann::json;

// The program's state on the shell's seams, with the driver chosen as the program chooses it.
struct Bench {
    explicit Bench(const GlobalOptions& g) : app(platform, messages) {
        const char* env = std::getenv("TAVRIN_SIM");
        const std::optional<std::string> sim = g.sim ? g.sim
                                               : env ? std::optional(env)
                                                     : std::nullopt;
        if (sim) {
            std::string error;
            driver = sim::MakeSimDriverFromText(*sim, error);
            if (!driver) throw UsageError{"--sim: " + error};
        } else {
            driver = transport::MakeHardwareDriver();
        }
        app.driver = driver.get();
        UseClockWaits(app.timing);
        transport::SetTransportDefaults(app.usb);
    }
    bool failed() const { return !app.usb.UsbReady; }

    ShellPlatform platform;
    StderrMessages messages;
    std::unique_ptr<transport::EzUsbDriver> driver;
    app::App app;
};

// Model selection has nothing to show in a shell.
struct NoDisplay : registers::DeviceDisplay {
    void uncheckAllModels() override {}
    void checkModel(int) override {}
    void showAccLimits(const std::string&, const std::string&, const std::string&) override {}
    void showDeviceCaption(const std::string&) override {}
};

std::string SlotCaption(int slot) {
    return "EzUsb" + std::to_string(slot);
}

// Start-up's adapter choice, or the selection window's for a named slot. False when no
// usable adapter is there (the reason is on standard error).
bool OpenAdapter(Bench& b, const GlobalOptions& g) {
    app::App& app = b.app;
    if (!g.adapter) return transport::ConnectFirstAdapter(app);
    transport::UsbFindBuffers(app);
    if (!app.usb.UsbReady) return false;
    const int slot = *g.adapter;
    if (!app.drv.UsbDevices[slot].Present) {
        std::string why = app.driver->slotStatus(slot);
        std::fprintf(stderr, "%s: no usable adapter in this slot%s%s\n", SlotCaption(slot).c_str(),
                     why.empty() ? "" : ": ", why.c_str());
        app.usb.UsbReady = false;
        return false;
    }
    transport::ChooseAdapter(app, slot);
    return !b.failed();
}

// The adapter, the product number read and the model applied, as the main window's load
// step does them. Returns the product number read; nothing when the device side failed.
std::optional<float> OpenSensor(Bench& b, const GlobalOptions& g) {
    if (!OpenAdapter(b, g)) return std::nullopt;
    const float read = registers::ReadProductNumber(b.app);
    if (b.failed()) return std::nullopt;
    NoDisplay display;
    registers::SetDevice(b.app, g.model ? *g.model : read, display);
    if (b.failed()) return std::nullopt;
    return read;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// Letter case and blanks do not count: "XGYRO_OFF" names the table's "XGYRO_ OFF".
std::string NameKey(const std::string& name) {
    std::string key;
    for (const char c : name)
        if (c != ' ') key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

// The position of the register with this table label in the loaded
// table, searched from `first` to `last`.
std::optional<int16_t> FindRegister(app::App& app, const std::string& name, int first, int last) {
    for (int p = first; p <= last && p <= app.regs.LastRegIndex; ++p)
        if (NameKey(app.regs.RegisterTable[p].Label) == NameKey(name))
            return static_cast<int16_t>(p);
    return std::nullopt;
}

std::string ModelName(app::App& app) {
    return base::GeneralTextSingle(app.model.ProductNumber);
}

int16_t RegisterNamed(app::App& app, const std::string& name) {
    const auto p = FindRegister(app, name, 0, app.regs.LastRegIndex);
    if (!p)
        throw UsageError{"no register named \"" + name + "\" in the table of model " +
                         ModelName(app)};
    return *p;
}

struct RegisterReading {
    std::string label;
    int32_t address, word, value;
    double scaled;
};

RegisterReading Reading(app::App& app, int16_t position) {
    const registers::RegisterRecord& reg = app.regs.RegisterTable[position];
    return {Trimmed(reg.Label), reg.Address, app.res.RegRaw, app.res.RegValue, app.res.RegScaled};
}

void PrintReadings(const std::vector<RegisterReading>& rows, bool asJson, const std::string& sep) {
    if (asJson) {
        json out = json::array();
        for (const auto& r : rows)
            out.push_back({{"label", r.label},
                           {"address", r.address},
                           {"address_hex", base::LongToHex4(r.address)},
                           {"word", r.word},
                           {"word_hex", base::LongToHex4(r.word)},
                           {"value", r.value},
                           {"scaled", r.scaled}});
        std::printf("%s\n", out.dump(2).c_str());
        return;
    }
    for (const auto& r : rows)
        std::printf("%s\t%s\t%s\t%d\t%s\n", r.label.c_str(), base::LongToHex4(r.address).c_str(),
                    base::LongToHex4(r.word).c_str(), r.value,
                    base::GeneralText(r.scaled, sep).c_str());
}

// A logging field as the window would take it; a text the window would rewrite is refused
// with the bound it would have put in its place.
double FieldValue(const std::string& option, const std::string& text,
                  const datalog::FieldRule& rule, const std::string& sep) {
    const auto value = base::ParseNumber(text, sep);
    if (!datalog::FieldRewrite(text, rule, sep)) return *value;
    if (!value) throw UsageError{option + ": " + base::QuotedInput(text) + " is not a number"};
    if (*value > rule.upper)
        throw UsageError{option + ": " + base::QuotedInput(text) + " is above the upper bound " +
                         std::string(rule.upperText)};
    throw UsageError{option + ": " + base::QuotedInput(text) + " is below the lower bound " +
                     std::string(rule.lowerText)};
}

} // namespace

int RunScan(const GlobalOptions& g) {
    Bench b(g);
    app::App& app = b.app;
    transport::UsbFindBuffers(app);
    const std::string sep = b.platform.decimalSeparator();
    json out = json::array();
    for (int k = 0; k < 4; ++k) {
        const transport::UsbDeviceInfo& dev = app.drv.UsbDevices[k];
        const std::string why = app.driver->slotStatus(k);
        if (!dev.Present && why.empty()) continue;
        const std::string rev = dev.Present ? base::FixedText(dev.FirmwareRev, 1, sep) : "";
        const auto speedValue = base::ParseNumber(dev.Speed, ".");
        const std::string speed = !dev.Present ? ""
                                  : speedValue ? base::FixedText(*speedValue, 1, sep)
                                               : dev.Speed;
        if (g.json) {
            out.push_back({{"slot", k},
                           {"name", SlotCaption(k)},
                           {"device", dev.Present ? dev.DevName : ""},
                           {"board", dev.Present ? dev.BoardType : ""},
                           {"descriptor", dev.Present ? dev.Descriptor1 : ""},
                           {"firmware", rev},
                           {"speed", speed},
                           {"usable", dev.Present},
                           {"reason", why}});
        } else {
            std::printf("%s\t%s\t%s\t%s\t%s\t%s\n", SlotCaption(k).c_str(),
                        dev.Present ? dev.DevName.c_str() : "-",
                        dev.Present ? dev.Descriptor1.c_str() : "-", rev.c_str(), speed.c_str(),
                        why.c_str());
        }
    }
    if (g.json) std::printf("%s\n", out.dump(2).c_str());
    return app.usb.UsbReady ? kOk : kDeviceFailed;
}

int RunInfo(const GlobalOptions& g) {
    Bench b(g);
    const auto read = OpenSensor(b, g);
    if (!read) return kDeviceFailed;
    app::App& app = b.app;
    const std::string sep = b.platform.decimalSeparator();
    const bool recognised = registers::RecognisedModel(app.model.ProductNumber).has_value();
    if (g.json) {
        const transport::UsbDeviceInfo& dev = app.usb.UsbSelDevice;
        json out = {{"adapter", transport::AdapterStatusText(app)},
                    {"device", dev.DevName},
                    {"descriptor", dev.Descriptor1},
                    {"backend", app.driver->backendName()},
                    {"product_number", *read},
                    {"model", app.model.ProductNumber},
                    {"recognised", recognised},
                    {"model_text", registers::ModelStatusText(app.model.ProductNumber, sep)}};
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("%s\nProduct number %s\n%s\n", transport::AdapterStatusText(app).c_str(),
                    base::GeneralTextSingle(*read, sep).c_str(),
                    registers::ModelStatusText(app.model.ProductNumber, sep).c_str());
    }
    return kOk;
}

int RunRead(const GlobalOptions& g, const ReadOptions& o) {
    if (o.all && !o.names.empty()) throw UsageError{"--all: give either names or --all"};
    Bench b(g);
    if (!OpenSensor(b, g)) return kDeviceFailed;
    app::App& app = b.app;
    std::vector<int16_t> positions;
    if (o.all) {
        for (int16_t p = 0; p <= app.regs.LastRegIndex; ++p)
            if (app.regs.RegisterTable[p].ReadFlag) positions.push_back(p);
    } else if (o.names.empty()) {
        for (int16_t p = 2; p <= 8; ++p) positions.push_back(p); // the main window's readouts
    } else {
        for (const auto& name : o.names) {
            const int16_t p = RegisterNamed(app, name);
            if (!app.regs.RegisterTable[p].ReadFlag)
                throw UsageError{"register " + name + " cannot be read"};
            positions.push_back(p);
        }
    }
    std::vector<RegisterReading> rows;
    for (const int16_t p : positions) {
        registers::ReadRegister(app, p);
        if (b.failed()) return kDeviceFailed;
        rows.push_back(Reading(app, p));
    }
    PrintReadings(rows, g.json, b.platform.decimalSeparator());
    return kOk;
}

int RunWrite(const GlobalOptions& g, const WriteOptions& o) {
    int32_t value = 0;
    std::string error;
    if (!registers::ParseWriteValue(o.value, value, error)) throw UsageError{"VALUE: " + error};
    Bench b(g);
    if (!OpenSensor(b, g)) return kDeviceFailed;
    app::App& app = b.app;
    const int16_t p = RegisterNamed(app, o.name);
    const registers::RegisterRecord& reg = app.regs.RegisterTable[p];
    if (!reg.WriteFlag) throw UsageError{"register " + o.name + " cannot be written"};
    registers::WriteRegister(app, p, value);
    if (b.failed()) return kDeviceFailed;
    if (!reg.ReadFlag) return kOk;
    registers::ReadRegister(app, p);
    if (b.failed()) return kDeviceFailed;
    PrintReadings({Reading(app, p)}, g.json, b.platform.decimalSeparator());
    return kOk;
}

int RunDump(const GlobalOptions& g, const DumpOptions& o) {
    Bench b(g);
    if (!OpenSensor(b, g)) return kDeviceFailed;
    const std::string listing = registers::BuildRegisterListing(b.app);
    if (b.failed()) return kDeviceFailed;
    if (o.output && *o.output != "-") {
        std::string error;
        HeldSignals held; // a kill now finds the file finished
        if (!registers::SaveListing(*o.output, listing, error)) {
            b.messages.show(error, base::MsgIcon::Critical, base::kAppTitle);
            return kDeviceFailed;
        }
        return kOk;
    }
    // On a terminal or a pipe the line ends are plain; the file keeps CR LF.
    std::string text;
    for (const char c : listing)
        if (c != '\r') text += c;
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

namespace {

// Progress on a terminal only, at most ten lines a second, each over the last.
class Progress {
  public:
    Progress(long long files, long long samples)
        : on_(isatty(STDERR_FILENO) == 1), files_(files), samples_(samples) {}
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
    void say(const std::string& line) {
        if (shown_) std::fputs("\r\x1b[K", stderr);
        std::fprintf(stderr, "%s\n", line.c_str());
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

} // namespace

namespace {

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

} // namespace

int RunLog(const GlobalOptions& g, const LogOptions& o) {
    if (!o.boxes.empty() && !o.regs.empty())
        throw UsageError{"--regs: give either --boxes or --regs"};
    if (o.seconds && !(*o.seconds > 0 && *o.seconds <= 1e7))
        throw UsageError{"--seconds: from above 0 to 10000000"};
    Bench b(g);
    const std::string sep = b.platform.decimalSeparator();
    datalog::LogSettings st = LogSettingsOf(o, sep);
    if (o.seconds) st.samplesPerFile = 2147483647, st.filesPerSession = 1; // the clock ends it
    st.directory = TargetDir(o.dir);
    CheckStem(o.stem, st.directory, static_cast<long long>(st.filesPerSession),
              datalog::DecideFileFormat(b.platform).ext);

    if (!OpenSensor(b, g)) return kDeviceFailed;
    app::App& app = b.app;
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

    // From here a signal acts as Cancel: the file under way is completed, nothing is begun.
    CatchSignals();
    RecoverBefore(b, st.directory);
    Progress progress(static_cast<long long>(st.filesPerSession),
                      static_cast<long long>(st.samplesPerFile));
    const Holder hold;
    json files = json::array();
    long long samples = 0;
    datalog::LogHooks hooks;
    hooks.fileStarted = [&](long long n) { progress.fileStarted(n); };
    hooks.sampleTaken = [&](long long n, long long s) {
        progress.sampleTaken(n, s);
        hold.reached("sample", n, s);
    };
    hooks.reached = [&](datalog::LogStep step, long long n) { hold.reached(step, n); };
    hooks.fileDone = [&](long long, const std::filesystem::path& file, long long taken) {
        progress.say(file.string());
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
    const auto report = datalog::RunLogSession(app, st, hooks, disk);
    progress.finish(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    int status = kDeviceFailed;
    if (report.outcome == datalog::LogOutcome::BadStem) status = kUsage;
    if (report.outcome == datalog::LogOutcome::Completed ||
        report.outcome == datalog::LogOutcome::Cancelled)
        status = b.failed() ? kDeviceFailed : kOk;
    if (g_interrupted != 0 && status != kUsage) status = kSignalBase + g_interrupted;
    if (g.json) {
        const json summary = {{"files", files},
                              {"samples", samples},
                              {"outcome", OutcomeName(report.outcome)},
                              {"status", status}};
        std::printf("%s\n", summary.dump(2).c_str());
    }
    return status;
}

int RunFlash(const GlobalOptions& g) {
    Bench b(g);
    if (!OpenSensor(b, g)) return kDeviceFailed;
    registers::UpdateFlash(b.app);
    return b.failed() ? kDeviceFailed : kOk;
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

float ParseModel(const std::string& text) {
    const auto v = base::ParseNumber(text, ".");
    if (!v || !std::isfinite(*v) || *v <= 0 || *v > 65535)
        throw UsageError{"--model: " + base::QuotedInput(text) +
                         " is not a model number (above 0, at most 65535)"};
    return static_cast<float>(*v);
}

int FinishOutput(int status) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int err = errno ? errno : EIO;
        std::fprintf(stderr, "tavrin-cli: the standard output could not be written: %s\n",
                     base::FileErrorCause(err).c_str());
        if (status == kOk) status = kDeviceFailed;
    }
    if (std::fflush(stderr) != 0 || std::ferror(stderr)) {
        if (status == kOk) status = kDeviceFailed;
    }
    return status;
}

} // namespace tavrin::cli
