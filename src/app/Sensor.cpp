#include "app/Sensor.h"

#include <algorithm>

#include "app/App.h"
#include "base/NumberText.h"
#include "registers/FrontEnd.h"
#include "registers/Listing.h"
#include "registers/Model.h"
#include "sim/SimConfig.h"
#include "transport/UsbSpi.h"

namespace tavrin::app {

namespace {

// A change of the gyroscope range starts the gyroscope chart at its widest limits again.
void ResetGyroChart(App& app) {
    app.plot.GyPlotMax = 350;
    app.plot.GyPlotMin = -350;
}

} // namespace

bool Tell(App& app, transport::Status status) {
    if (const auto text = transport::StatusText(status); !text.empty()) app.messages.show(text);
    return transport::Ok(status);
}

bool Tell(App& app, const transport::Statuses& statuses) {
    for (const transport::Status s : statuses) Tell(app, s);
    return std::none_of(statuses.begin(), statuses.end(), transport::Broke);
}

bool ConnectFirstAdapter(App& app) {
    const transport::Statuses met = transport::ConnectFirstAdapter(app.link());
    Tell(app, met);
    return std::none_of(met.begin(), met.end(), [](transport::Status s) {
        return s == transport::Status::NoAdapters || s == transport::Status::NoValidAdapters;
    });
}

bool FindAdapters(App& app) {
    Tell(app, transport::UsbFindBuffers(app.link()));
    return app.usb.ready;
}

void ChooseAdapter(App& app, int slot) {
    Tell(app, transport::ChooseAdapter(app.link(), slot));
}

registers::RegResults Read(App& app, int16_t position) {
    const registers::Reading r = registers::ReadRegister(app.registers(), position);
    Tell(app, r.status);
    return r.res;
}

registers::RegResults ReadRaw(App& app, int16_t address) {
    const registers::Reading r = registers::ReadRawRegister(app.registers(), address);
    Tell(app, r.status);
    return r.res;
}

void Write(App& app, int16_t position, int32_t value) {
    const registers::Written w = registers::WriteRegister(app.registers(), position, value);
    Tell(app, w.status);
    if (w.gyroRange) ResetGyroChart(app);
}

float ReadProductNumber(App& app) {
    const registers::ProductRead r = registers::ReadProductNumber(app.registers());
    Tell(app, r.status);
    return r.number;
}

std::string Listing(App& app) {
    registers::Listing l = registers::BuildRegisterListing(app.registers());
    Tell(app, l.status);
    return std::move(l.text);
}

void UpdateFlash(App& app) {
    Tell(app, registers::UpdateFlash(app.registers()));
}

void SetDevice(App& app, float productNumber, DeviceDisplay& display) {
    const std::string sep = app.platform.decimalSeparator();
    display.uncheckAllModels();
    app.plot.AccPlotMax = 10;
    app.plot.AccPlotMin = -10;
    if (const auto model = registers::LoadModel(app.registers(), productNumber))
        display.checkModel(model->number);
    else
        app.messages.show(registers::UnrecognisedModelText(productNumber, sep),
                          base::MsgIcon::Critical, base::kAppTitle);
    Tell(app, registers::UpdateGyroScale(app.registers()));
    ResetGyroChart(app);
    const double lo = app.plot.AccPlotMin, hi = app.plot.AccPlotMax;
    display.showAccLimits(base::GeneralText(lo, sep), base::GeneralText((hi - lo) / 2 + lo, sep),
                          base::GeneralText(hi, sep));
    display.showDeviceCaption("Data Plot   Device = " +
                              base::GeneralTextSingle(app.model.ProductNumber, sep));
}

datalog::LogReport RunLogSession(App& app, const datalog::LogSettings& settings,
                                 datalog::LogHooks hooks, datalog::LogFileSystem& fs) {
    hooks.transferFailed = [&app](transport::Status s) { Tell(app, s); };
    const datalog::LogReport report = datalog::RunLogSession(app.logging(), settings, hooks, fs);
    if (!report.message.empty())
        app.messages.show(report.message, base::MsgIcon::Exclamation, base::kAppTitle);
    return report;
}

datalog::Recovery ReportUnfinished(App& app, const std::filesystem::path& dir) {
    datalog::Recovery r = datalog::RecoverUnfinished(dir);
    if (const auto text = datalog::RecoveryText(r, dir.string()); !text.empty())
        app.messages.show(text, base::MsgIcon::Exclamation, base::kAppTitle);
    return r;
}

std::unique_ptr<transport::EzUsbDriver> MakeDriver(const std::optional<std::string>& simSetting,
                                                   std::string& error) {
    error.clear();
    if (!simSetting) return transport::MakeHardwareDriver();
    return sim::MakeSimDriverFromText(*simSetting, error);
}

} // namespace tavrin::app
