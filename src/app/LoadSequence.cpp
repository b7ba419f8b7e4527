#include "app/LoadSequence.h"

#include "app/App.h"
#include "app/Sensor.h"
#include "base/NumberText.h"
#include "registers/Model.h"

namespace tavrin::app {

void RunLoadSequence(App& app, LoadDisplay& display) {
    display.setPlotColors();

    const base::OsInfo os = app.platform.osInfo();
    app.shell.OsPlatform = static_cast<float>(base::RoundHalfEven(os.platform));
    app.shell.OsBuild = static_cast<float>(base::RoundHalfEven(os.build));
    const bool oldestFamily = app.shell.OsPlatform == 1 && app.shell.OsBuild <= 2000;

    if (oldestFamily) {
        app.messages.show("USB not available for Windows95");
        app.usb.InterfaceKind = transport::InterfaceNone;
        display.hideUsbMenu();
    } else if (!ConnectFirstAdapter(app)) {
        display.chooseAdapter();
    } else {
        display.checkUsbMenu();
    }

    display.showLoadedCaption();
    app.shell.SelRegIndex = 0;
    display.resetReadouts();

    display.setDevice(ReadProductNumber(app));
    display.updateStatusFlags();
    const std::string temperature = display.readData();
    const auto warning =
        registers::TemperatureWarning(temperature, app.platform.decimalSeparator());
    if (warning) app.messages.show(*warning, base::MsgIcon::None, "");

    display.startLoop();
}

} // namespace tavrin::app
