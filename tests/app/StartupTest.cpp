#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestApp.h"
#include "app/Startup.h"

namespace tavrin {
namespace {

// Records each step with the busy pointer's switches so far (on, off).
struct RecordingDisplay : app::StartupDisplay {
    explicit RecordingDisplay(test::FakePlatform& p) : platform(p) {}
    test::FakePlatform& platform;
    std::vector<std::string> steps;
    std::string cursor() const {
        return " " + std::to_string(platform.waitCursorOn) + std::to_string(platform.waitCursorOff);
    }
    void showMessage(const std::string& text) override { steps.push_back(text + cursor()); }
    void hideMessage() override { steps.push_back("hide" + cursor()); }
};

// The message stays up while the calibration runs (again, even when one exists); then
// the transfer settings and the interface are set, whatever they were.
TEST(Startup, MessageDuringCalibrationThenTheTransportDefaults) {
    test::TestApp t;
    auto& usb = t.app.usb;
    t.app.timing.DelayCalibrated = true;
    usb.SpiXferParam = usb.SpiBits = usb.SpiSetupValue = 3;
    usb.UsbXferCmdFlag = false;
    usb.InterfaceKind = 0;
    RecordingDisplay display(t.platform);

    app::RunStartup(t.app, display);

    EXPECT_EQ(display.steps, (std::vector<std::string>{
                                 "\r\nLOADING...\r\n\r\nTesting 3 sec. Delay 00", "hide 11"}));
    EXPECT_EQ(std::tuple(usb.SpiXferParam, usb.SpiBits, usb.SpiSetupValue, usb.UsbXferCmdFlag,
                         usb.InterfaceKind),
              std::tuple(1, 120, 25, true, 2));
    EXPECT_TRUE(t.messages.shown.empty());
}

} // namespace
} // namespace tavrin
