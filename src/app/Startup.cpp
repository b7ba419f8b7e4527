#include "app/Startup.h"

#include <QCoreApplication>

#include "app/State.h"
#include "app/Timing.h"
#include "app/frmMsg.h"
#include "transport/UsbSpi.h"

namespace tavrin {

void RunStartup(App& app, frmMsg& msg) {
    msg.show();
    msg.lblMsg->setText("\r\nLOADING...\r\n\r\nTesting 3 sec. Delay");
    msg.repaint();
    QCoreApplication::processEvents();

    app.timing.DelayCalibrated = false;
    CalibrateDelay(app);

    SetTransportDefaults(app);

    msg.lblMsg->setText(" ");
    msg.hide();
}

} // namespace tavrin
