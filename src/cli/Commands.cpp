#include "cli/Commands.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/App.h"
#include "base/FileLocation.h"
#include "base/HexText.h"
#include "base/NumberText.h"
#include "cli/CliSeams.h"
#include "cli/ShellOs.h"
#include "datalog/LogFormat.h"
#include "datalog/LogSession.h"
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
    if (!value) throw UsageError{option + ": \"" + text + "\" is not a number"};
    if (*value > rule.upper)
        throw UsageError{option + ": " + text + " is above the upper bound " +
                         std::string(rule.upperText)};
    throw UsageError{option + ": " + text + " is below the lower bound " +
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
    if (o.output) {
        std::string error;
        if (!registers::SaveListing(*o.output, listing, error)) {
            b.messages.show(error, base::MsgIcon::Critical, base::kAppTitle);
            return kDeviceFailed;
        }
        return kOk;
    }
    // On a terminal the line ends are plain; the file keeps CR LF.
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

int RunLog(const GlobalOptions& g, const LogOptions& o) {
    if (!o.boxes.empty() && !o.regs.empty())
        throw UsageError{"--regs: give either --boxes or --regs"};
    for (const int box : o.boxes)
        if (box < datalog::kFirstBox || box > datalog::kLastBox)
            throw UsageError{"--boxes: " + std::to_string(box) + " is not a box from 1 to 8"};
    if (const auto problem = datalog::StemProblem(o.stem); !problem.empty())
        throw UsageError{"--stem: " + problem};
    if (o.seconds && !(*o.seconds > 0 && *o.seconds <= 1e7))
        throw UsageError{"--seconds: from above 0 to 10000000"};

    Bench b(g);
    const std::string sep = b.platform.decimalSeparator();
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

    if (!OpenSensor(b, g)) return kDeviceFailed;
    app::App& app = b.app;
    if (!o.regs.empty()) {
        // The logging window's boxes stand for these table positions.
        for (const auto& name : o.regs) {
            const auto p = FindRegister(app, name, datalog::kFirstBox, datalog::kLastBox);
            if (!p)
                throw UsageError{"--regs: " + name + " is none of the logging window's outputs"};
            st.columns.box[*p] = true;
        }
    } else if (!o.boxes.empty()) {
        for (const int box : o.boxes) st.columns.box[box] = true;
    } else {
        st.columns.box[datalog::kDefaultBox] = true;
    }
    st.directory = o.dir ? std::filesystem::path(*o.dir) : base::FilesDirectory(b.platform);

    // --seconds: one file, ended by the adapter's clock (a seeded simulator's own) or the
    // machine's.
    if (o.seconds) st.samplesPerFile = 2147483647, st.filesPerSession = 1;
    const auto now = [&] {
        return app.driver->clockSeconds(app.usb.UsbSelIndex)
            .value_or(
                std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                    .count());
    };
    const double begun = now();
    bool timeUp = false;

    Progress progress(static_cast<long long>(st.filesPerSession),
                      static_cast<long long>(st.samplesPerFile));
    datalog::LogHooks hooks;
    hooks.fileStarted = [&](long long n) { progress.fileStarted(n); };
    hooks.sampleTaken = [&](long long n, long long s) { progress.sampleTaken(n, s); };
    // Ctrl-C acts as the window's Cancel; a failed transfer ends the session the same way.
    hooks.cancelRequested = [&] {
        timeUp = timeUp || (o.seconds && now() - begun >= *o.seconds);
        return g_interrupted != 0 || b.failed() || timeUp;
    };

    CatchInterrupt();
    datalog::DiskFileSystem disk;
    const auto started = std::chrono::steady_clock::now();
    const auto report = datalog::RunLogSession(app, st, hooks, disk);
    progress.finish(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    if (report.outcome == datalog::LogOutcome::Completed ||
        report.outcome == datalog::LogOutcome::Cancelled) {
        if (b.failed()) return kDeviceFailed;
        return report.outcome == datalog::LogOutcome::Cancelled && !timeUp ? kCancelled : kOk;
    }
    return report.outcome == datalog::LogOutcome::BadStem ? kUsage : kDeviceFailed;
}

int RunFlash(const GlobalOptions& g) {
    Bench b(g);
    if (!OpenSensor(b, g)) return kDeviceFailed;
    registers::UpdateFlash(b.app);
    return b.failed() ? kDeviceFailed : kOk;
}

} // namespace tavrin::cli
