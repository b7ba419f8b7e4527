#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestApp.h"
#include "app/Startup.h"

namespace tavrin {
namespace {

// Records each step and whether the calibration (busy pointer) had begun or ended then.
struct RecordingDisplay : app::StartupDisplay {
    explicit RecordingDisplay(test::FakePlatform& p) : platform(p) {}
    test::FakePlatform& platform;
    std::vector<std::string> steps;
    void record(const std::string& s) {
        steps.push_back(s + (platform.waitCursorOff  ? " (calibrated)"
                             : platform.waitCursorOn ? " (calibrating)"
                                                     : ""));
    }
    void showMessage(const std::string& text) override { record("show " + text); }
    void hideMessage() override { record("hide"); }
};

// The message stays up while the calibration runs (again, even when one exists); then
// the transfer settings and the interface are set, whatever they were.
TEST(Startup, MessageDuringCalibrationThenTheTransportDefaults) {
    test::TestApp t;
    auto& usb = t.app.usb;
    t.app.timing.DelayCalibrated = true;
    usb.SpiXferParam = 4;
    usb.SpiBits = 7;
    usb.SpiSetupValue = 3;
    usb.UsbXferCmdFlag = false;
    usb.InterfaceKind = 0;
    RecordingDisplay display(t.platform);

    app::RunStartup(t.app, display);

    EXPECT_EQ(display.steps,
              (std::vector<std::string>{"show \r\nLOADING...\r\n\r\nTesting 3 sec. Delay",
                                        "hide (calibrated)"}));
    EXPECT_EQ(t.platform.waitCursorOn + t.platform.waitCursorOff, 2);
    EXPECT_EQ(
        (std::vector<int>{usb.SpiXferParam, usb.SpiBits, usb.SpiSetupValue, usb.InterfaceKind}),
        (std::vector<int>{1, 120, 25, 2}));
    EXPECT_TRUE(usb.UsbXferCmdFlag);
    EXPECT_TRUE(t.messages.shown.empty());
}

} // namespace
} // namespace tavrin
