#include "app/Startup.h"

#include "app/App.h"
#include "base/Timing.h"
#include "transport/UsbSpi.h"

namespace tavrin::app {

void RunStartup(App& app, StartupDisplay& display) {
    display.showMessage("\r\nLOADING...\r\n\r\nTesting 3 sec. Delay");
    app.timing.DelayCalibrated = false;
    base::CalibrateDelay(app.busyWait());
    transport::SetTransportDefaults(app.usb);
    display.hideMessage();
}

} // namespace tavrin::app
