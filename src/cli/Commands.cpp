#include "cli/Commands.h"

#include <unistd.h>

#include <algorithm>
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
#include "app/Sensor.h"
#include "base/FileLocation.h"
#include "base/HexText.h"
#include "base/NumberText.h"
#include "base/OsFiles.h"
#include "base/SafeFile.h"
#include "cli/Bench.h"
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

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
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

RegisterReading Reading(app::App& app, int16_t position, const registers::RegResults& res) {
    const registers::RegisterRecord& reg = app.regs.RegisterTable[position];
    return {Trimmed(reg.Label), reg.Address, res.RegRaw, res.RegValue, res.RegScaled};
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

} // namespace

int RunScan(const GlobalOptions& g) {
    Bench b(g);
    app::App& app = b.app;
    app::FindAdapters(app);
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
    return app.UsbReady() ? kOk : kDeviceFailed;
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
        json out = {{"adapter", transport::AdapterStatusText(app.link())},
                    {"device", dev.DevName},
                    {"descriptor", dev.Descriptor1},
                    {"backend", app.driver->backendName()},
                    {"product_number", *read},
                    {"model", app.model.ProductNumber},
                    {"recognised", recognised},
                    {"model_text", registers::ModelStatusText(app.model.ProductNumber, sep)}};
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("%s\nProduct number %s\n%s\n", transport::AdapterStatusText(app.link()).c_str(),
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
        const registers::RegResults res = app::Read(app, p);
        if (b.failed()) return kDeviceFailed;
        rows.push_back(Reading(app, p, res));
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
    app::Write(app, p, value);
    if (b.failed()) return kDeviceFailed;
    if (!reg.ReadFlag) return kOk;
    const registers::RegResults res = app::Read(app, p);
    if (b.failed()) return kDeviceFailed;
    PrintReadings({Reading(app, p, res)}, g.json, b.platform.decimalSeparator());
    return kOk;
}

int RunDump(const GlobalOptions& g, const DumpOptions& o) {
    Bench b(g);
    if (!OpenSensor(b, g)) return kDeviceFailed;
    const std::string listing = app::Listing(b.app);
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

int RunFlash(const GlobalOptions& g) {
    Bench b(g);
    if (!OpenSensor(b, g)) return kDeviceFailed;
    app::UpdateFlash(b.app);
    return b.failed() ? kDeviceFailed : kOk;
}

void ParseAdapters(const std::string& text, GlobalOptions& g) {
    if (text == "all") {
        g.allAdapters = true;
        return;
    }
    std::vector<int> slots;
    std::size_t at = 0;
    for (;;) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string part = text.substr(at, comma - at);
        if (part.size() != 1 || part[0] < '0' || part[0] > '3' ||
            std::count(slots.begin(), slots.end(), part[0] - '0') > 0)
            throw UsageError{"--adapter: " + base::QuotedInput(part) +
                             " is not a slot 0 to 3 (once each), or all"};
        slots.push_back(part[0] - '0');
        if (comma == text.size()) break;
        at = comma + 1;
    }
    if (slots.size() == 1)
        g.adapter = slots[0];
    else
        g.adapters = slots;
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
        if (base::StandardOutputWasClosed())
            std::fputs("tavrin-cli: the standard output is closed: nothing was written to it\n",
                       stderr);
        else
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
