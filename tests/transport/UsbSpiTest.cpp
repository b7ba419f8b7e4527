#include <gtest/gtest.h>

#include <deque>

#include "SimTestApp.h"
#include "transport/EzUsb.h"
#include "transport/FrontEnd.h"
#include "transport/UsbSpi.h"

namespace tavrin {
namespace {

using Bytes = std::vector<uint8_t>;
using Log = std::deque<Bytes>;
using Texts = std::vector<std::string>;

TEST(SpiTransfer, ParameterIsForcedIntoRangeAndFramesSentHighByteFirst) {
    test::SimTestApp s;
    auto& usb = s.app.usb;
    usb.SpiOutFrames[1] = 0xFF12;
    uint8_t count = 1;
    usb.SpiXferParam = 0;
    UsbSpiTransfer(s.app, count);
    EXPECT_EQ(usb.SpiXferParam, 1);
    usb.SpiXferParam = 9;
    UsbSpiTransfer(s.app, count);
    EXPECT_EQ(usb.SpiXferParam, 5);
    usb.UsbXferCmdFlag = false;
    UsbSpiTransfer(s.app, count);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x01, 0xFF, 0x12},
                                        {0x0D, 0x05, 0x01, 0xFF, 0x12},
                                        {0x0E, 0x05, 0x01, 0xFF, 0x12}}));
    EXPECT_EQ(usb.SpiFrameCount, 1);
}

TEST(SpiTransfer, SixteenFramesAnswerEachPreviousRequest) {
    test::SimTestApp s;
    auto& usb = s.app.usb;
    for (int i = 0; i < 16; ++i) s.sensor.hold(0x40 + 2 * i, static_cast<uint16_t>(0x1100 + i));
    for (int i = 1; i <= 16; ++i) usb.SpiOutFrames[i] = (0x40 + 2 * (i - 1)) * 256;
    uint8_t count = 16;
    UsbSpiTransfer(s.app, count); // primes the last request
    UsbSpiTransfer(s.app, count);
    EXPECT_EQ(usb.SpiInWords[1], 0x110F); // the previous transfer's last request
    for (int i = 2; i <= 16; ++i) EXPECT_EQ(usb.SpiInWords[i], 0x1100 + i - 2) << i;
    EXPECT_EQ(s.driver.commands().back().size(), 35u);
}

TEST(SpiTransfer, CountOutsideOneToSixteenIsRefused) {
    test::SimTestApp s;
    auto& usb = s.app.usb;
    usb.SpiInWords.fill(0x5A5A);
    for (uint8_t n : {0, 17, 255}) {
        uint8_t count = n;
        UsbSpiTransfer(s.app, count);
    }
    EXPECT_TRUE(s.driver.commands().empty());
    EXPECT_TRUE(usb.UsbReady);
    for (int v : usb.SpiInWords) EXPECT_EQ(v, 0x5A5A);
    EXPECT_EQ(s.driver.openHandles(), 0);
}

TEST(SpiSettings, SetupAndBitsCommands) {
    test::SimTestApp s;
    auto& usb = s.app.usb;
    usb.SpiSetupValue = 0;
    UsbSetupSpi(s.app, usb.SpiSetupValue);
    EXPECT_EQ(usb.SpiSetupValue, 1);
    UsbSetSpiBits(s.app, usb.SpiBits);
    EXPECT_EQ(s.driver.spiSetup(0), 1);
    EXPECT_EQ(s.driver.spiBits(0), 120);
    uint8_t bits = 0; // no substitution for the bits
    UsbSetSpiBits(s.app, bits);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0B, 0x01}, {0x0C, 120}, {0x0C, 0x00}}));
    EXPECT_TRUE(s.t.messages.shown.empty());
    EXPECT_EQ(s.driver.openHandles(), 0);
}

TEST(SpiFailures, EachCommandReportsItsOwnMessageAndStopsTheAdapter) {
    struct Case {
        int pipe;
        std::function<void(App&)> run;
        const char* message;
    };
    const std::vector<Case> cases = {
        {0, [](App& a) { UsbSetupSpi(a, a.usb.SpiSetupValue); }, "Error Setting up SPI"},
        {0, [](App& a) { UsbSetSpiBits(a, a.usb.SpiBits); }, "Error Setting SPI Bits"},
        {0, [](App& a) { ReadRegister(a, 2); }, "Error Writing SPI"},
        {1, [](App& a) { ReadRegister(a, 2); }, "Error Reading SPI"},
    };
    for (const Case& c : cases) {
        test::SimTestApp s;
        s.driver.failBulk(c.pipe);
        c.run(s.app);
        EXPECT_EQ(s.t.messages.texts(), Texts{c.message});
        EXPECT_FALSE(s.app.usb.UsbReady);
        EXPECT_EQ(s.driver.openHandles(), 0) << c.message;
        // From now on everything is skipped silently.
        s.driver.clearCommands();
        c.run(s.app);
        UsbSetupSpi(s.app, s.app.usb.SpiSetupValue);
        UsbSetSpiBits(s.app, s.app.usb.SpiBits);
        WriteRegister(s.app, 12, 1);
        EXPECT_TRUE(s.driver.commands().empty());
        EXPECT_EQ(s.t.messages.shown.size(), 1u);
    }
}

TEST(SpiFailures, FailedOrShortReplyFreezesReadsAtThePreviousWord) {
    for (int bytes : {-1, 0, 1, 3}) { // -1: the read fails outright
        test::SimTestApp s;
        s.sensor.hold(0x04, 0x0123);
        ReadRegister(s.app, 2);
        s.sensor.hold(0x04, 0x0777);
        bytes < 0 ? s.driver.failBulk(1) : s.driver.shortReply(1, static_cast<uint32_t>(bytes));
        ReadRegister(s.app, 2);
        ReadRegister(s.app, 2);
        EXPECT_EQ(s.app.res.RegRaw, 0x0123) << bytes;
        EXPECT_EQ(s.app.usb.SpiInWords[2], 0x0123) << bytes;
        EXPECT_FALSE(s.app.usb.UsbReady);
        EXPECT_EQ(s.t.messages.texts(), Texts{"Error Reading SPI"});
        EXPECT_EQ(s.driver.openHandles(), 0);
    }
}

TEST(SpiFailures, VanishedAdapterFailsUntilSearchedAgain) {
    test::SimTestApp s;
    s.driver.unplug(0);
    ReadRegister(s.app, 2);
    EXPECT_EQ(s.t.messages.texts(), Texts{"Error Writing SPI"});
    EXPECT_FALSE(s.app.usb.UsbReady);
    s.driver.replug(0);
    UsbFindBuffers(s.app);
    EXPECT_TRUE(s.app.usb.UsbReady);
    s.sensor.hold(0x04, 0x0042);
    ReadRegister(s.app, 2);
    EXPECT_EQ(s.app.res.RegRaw, 0x0042);
    EXPECT_EQ(s.driver.openHandles(), 0);
}

TEST(SpiNotReady, NothingTouchesTheDevice) {
    test::SimTestApp s;
    s.app.usb.UsbReady = false;
    const long opens = s.driver.totalOpens();
    uint8_t count = 2;
    s.app.usb.SpiSetupValue = 0;
    UsbSetupSpi(s.app, s.app.usb.SpiSetupValue);
    UsbSetSpiBits(s.app, s.app.usb.SpiBits);
    UsbSpiTransfer(s.app, count);
    EXPECT_EQ(s.driver.totalOpens(), opens);
    EXPECT_EQ(s.app.usb.SpiSetupValue, 0);
    EXPECT_TRUE(s.t.messages.shown.empty());
}

} // namespace
} // namespace tavrin
