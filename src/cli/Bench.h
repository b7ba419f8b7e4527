#pragma once
// What each command of tavrin-cli opens: the program's state on the shell's seams, the
// adapter chosen and the model applied as the program does at start-up.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/App.h"
#include "cli/CliSeams.h"
#include "cli/Commands.h"
#include "datalog/LogFormat.h"
#include "transport/EzUsbDriver.h"

namespace tavrin::cli {

// One adapter's session of the program: its own driver, chosen as the program chooses it,
// so that sessions on several adapters share nothing. Messages carry `prefix` on each line.
struct Bench {
    explicit Bench(const GlobalOptions& g, std::string prefix = {});
    bool failed() const { return !app.UsbReady(); }

    ShellPlatform platform;
    StderrMessages messages;
    std::unique_ptr<transport::EzUsbDriver> driver;
    app::App app;
};

// "EzUsb2".
std::string SlotCaption(int slot);

// The adapter (g.adapter's slot, else the lowest usable), the product number read and the
// model applied (g.model, else the one read), as the main window's load step does them.
// The product number read; nothing when the device side failed (said on standard error).
std::optional<float> OpenSensor(Bench& b, const GlobalOptions& g);

// The position of the register with this table label (letter case and blanks do not
// count) in the loaded table, searched from `first` to `last`.
std::optional<int16_t> FindRegister(app::App& app, const std::string& name, int first, int last);

// A logging field as the window would take it; a text the window would rewrite is refused
// (UsageError) with the bound it would have put in its place.
double FieldValue(const std::string& option, const std::string& text,
                  const datalog::FieldRule& rule, const std::string& sep);

} // namespace tavrin::cli
