#pragma once
// The adapter and the sensor as the windows and the command line use them: each call does
// the core operation, then turns what it met into the documented message (the one place
// that does) and does what the operation means for the charts.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "datalog/LogSession.h"
#include "datalog/Recovery.h"
#include "registers/RegisterState.h"
#include "transport/EzUsbDriver.h"
#include "transport/Status.h"

namespace tavrin::app {
struct App;

// Shows the documented message of a failure (nothing for Ok and Skipped); true when the
// operation went through.
bool Tell(App& app, transport::Status status);
// The same for each of several, in order; true when none failed.
bool Tell(App& app, const transport::Statuses& statuses);

// Start-up's adapter: the search, the lowest usable adapter and its SPI settings. False when
// the search found none usable.
bool ConnectFirstAdapter(App& app);
// The adapter search of the selection window; true when one is ready.
bool FindAdapters(App& app);
// The selection window's choice of the adapter in `slot` after a search.
void ChooseAdapter(App& app, int slot);

registers::RegResults Read(App& app, int16_t position);
registers::RegResults ReadRaw(App& app, int16_t address);
void Write(App& app, int16_t position, int32_t value);
float ReadProductNumber(App& app);
std::string Listing(App& app);
void UpdateFlash(App& app);

// What applying a model changes on screen: the Device menu's check marks, the accelerometer
// chart's scale labels and the chart frame's caption.
class DeviceDisplay {
  public:
    virtual ~DeviceDisplay() = default;
    virtual void uncheckAllModels() = 0;
    virtual void checkModel(int model) = 0;
    virtual void showAccLimits(const std::string& lower, const std::string& middle,
                               const std::string& upper) = 0;
    virtual void showDeviceCaption(const std::string& caption) = 0;
};

// Applies a model: its table and factors, the message for an unknown number, the gyroscope
// range read from the sensor, the charts' limits and what the display shows of it.
void SetDevice(App& app, float productNumber, DeviceDisplay& display);

// A logging session as both programs run it: a failed read said when it happens, the
// session's own message (if any) when it ends.
datalog::LogReport RunLogSession(App& app, const datalog::LogSettings& settings,
                                 datalog::LogHooks hooks, datalog::LogFileSystem& fs);

// What unfinished sessions left in `dir`, recovered and said in a message when anything
// was found.
datalog::Recovery ReportUnfinished(App& app, const std::filesystem::path& dir);

// The driver both programs use: the simulated adapters of `simSetting` (TAVRIN_SIM's syntax),
// or the real ones when there is none. Null, with `error` saying why, for a malformed setting.
std::unique_ptr<transport::EzUsbDriver> MakeDriver(const std::optional<std::string>& simSetting,
                                                   std::string& error);

} // namespace tavrin::app
