#include "cli/Bench.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "app/Sensor.h"
#include "base/NumberText.h"
#include "registers/Model.h"
#include "transport/UsbSpi.h"

namespace tavrin::cli {

namespace {

// Model selection has nothing to show in a shell.
struct NoDisplay : app::DeviceDisplay {
    void uncheckAllModels() override {}
    void checkModel(int) override {}
    void showAccLimits(const std::string&, const std::string&, const std::string&) override {}
    void showDeviceCaption(const std::string&) override {}
};

// Start-up's adapter choice, or the selection window's for a named slot. False when no
// usable adapter is there (the reason is on standard error).
bool OpenAdapter(Bench& b, const GlobalOptions& g) {
    app::App& app = b.app;
    if (!g.adapter) return app::ConnectFirstAdapter(app) && !b.failed();
    if (!app::FindAdapters(app)) return false;
    const int slot = *g.adapter;
    if (!app.drv.UsbDevices[slot].Present) {
        const std::string why = app.driver->slotStatus(slot);
        b.messages.say(SlotCaption(slot) + ": no usable adapter in this slot" +
                       (why.empty() ? "" : ": " + why));
        app.usb.ready = false;
        return false;
    }
    app::ChooseAdapter(app, slot);
    return !b.failed();
}

} // namespace

Bench::Bench(const GlobalOptions& g, std::string prefix)
    : messages(std::move(prefix)), app(platform, messages) {
    const char* env = std::getenv("TAVRIN_SIM");
    std::string error;
    driver = app::MakeDriver(g.sim ? g.sim
                             : env ? std::optional<std::string>(env)
                                   : std::nullopt,
                             error);
    if (!driver) throw UsageError{"--sim: " + error};
    app.driver = driver.get();
    UseClockWaits(app.timing);
    transport::SetTransportDefaults(app.usb);
}

std::string SlotCaption(int slot) {
    return "EzUsb" + std::to_string(slot);
}

std::optional<float> OpenSensor(Bench& b, const GlobalOptions& g) {
    if (!OpenAdapter(b, g)) return std::nullopt;
    const float read = app::ReadProductNumber(b.app);
    if (b.failed()) return std::nullopt;
    NoDisplay display;
    app::SetDevice(b.app, g.model ? *g.model : read, display);
    if (b.failed()) return std::nullopt;
    return read;
}

namespace {

// Letter case and blanks do not count: "XGYRO_OFF" names the table's "XGYRO_ OFF".
std::string NameKey(const std::string& name) {
    std::string key;
    for (const char c : name)
        if (c != ' ') key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

std::optional<int16_t> FindRegister(app::App& app, const std::string& name, int first, int last) {
    for (int p = first; p <= last && p <= app.regs.LastRegIndex; ++p)
        if (NameKey(app.regs.RegisterTable[p].Label) == NameKey(name))
            return static_cast<int16_t>(p);
    return std::nullopt;
}

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

} // namespace tavrin::cli
