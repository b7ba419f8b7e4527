#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestApp.h"
#include "app/Startup.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::transport;
using namespace tavrin::view;

namespace tavrin {
namespace {

// Records what start-up shows, and whether the calibration (which shows the busy pointer
// while it runs) has begun or ended at each step.
struct RecordingDisplay : app::StartupDisplay {
    explicit RecordingDisplay(test::FakePlatform& platform) : platform(platform) {}
    test::FakePlatform& platform;
    std::vector<std::string> steps;
    std::string calibration() const {
        return platform.waitCursorOff  ? " (calibrated)"
               : platform.waitCursorOn ? " (calibrating)"
                                       : "";
    }
    void showMessage(const std::string& text) override {
        steps.push_back("show " + text + calibration());
    }
    void hideMessage() override { steps.push_back("hide" + calibration()); }
};

// The message is up while the 3-second calibration runs (which it does again even when a
// calibration exists), and then the adapter's transfer settings and the USB interface are
// set, whatever they were.
TEST(Startup, MessageDuringCalibrationThenTheTransportDefaults) {
    test::TestApp t;
    App& app = t.app;
    app.timing.DelayCalibrated = true;
    app.usb.SpiXferParam = 4;
    app.usb.SpiBits = 7;
    app.usb.SpiSetupValue = 3;
    app.usb.UsbXferCmdFlag = false;
    app.usb.InterfaceKind = InterfaceNone;
    RecordingDisplay display(t.platform);

    app::RunStartup(app, display);

    EXPECT_EQ(display.steps,
              (std::vector<std::string>{"show \r\nLOADING...\r\n\r\nTesting 3 sec. Delay",
                                        "hide (calibrated)"}));
    EXPECT_EQ(t.platform.waitCursorOn, 1);
    EXPECT_EQ(t.platform.waitCursorOff, 1);
    EXPECT_EQ(app.usb.SpiXferParam, 1);
    EXPECT_EQ(app.usb.SpiBits, 120);
    EXPECT_EQ(app.usb.SpiSetupValue, 25);
    EXPECT_TRUE(app.usb.UsbXferCmdFlag);
    EXPECT_EQ(app.usb.InterfaceKind, 2);
    EXPECT_TRUE(t.messages.shown.empty());
}

} // namespace
} // namespace tavrin
