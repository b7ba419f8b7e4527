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

using sim::SimDriver;
using sim::SimOptions;
const Texts kNoBuffers{"No USB Buffers Found, Please Verify Setup and Restart"};

SimOptions Product(uint16_t id, bool highSpeed = true) {
    SimOptions o;
    o.productId = id;
    o.highSpeed = highSpeed;
    return o;
}

// A slot's fields as one comparable value, so a failure shows them all.
auto Fields(const UsbDeviceInfo& d) {
    return std::tie(d.DevName, d.Present, d.BoardType, d.Descriptor1, d.Descriptor2, d.FirmwareRev,
                    d.Speed);
}
#define EXPECT_SLOT(dev, ...) EXPECT_EQ(Fields(dev), Fields(UsbDeviceInfo{__VA_ARGS__}))

TEST(Enumeration, NothingUsableFound) {
    SimOptions otherVendor;
    otherVendor.vendorId = 0x1234;
    // No driver, no adapter, or only adapters of another product or vendor (opened, then closed).
    for (int k = 0; k < 4; ++k) {
        SimDriver d;
        if (k == 2) d.addAdapter(0, Product(0x1234));
        if (k == 3) d.addAdapter(0, otherVendor);
        test::TestApp t(k == 0 ? nullptr : &d);
        t.app.usb.UsbSelIndex = 3;
        UsbFindBuffers(t.app);
        EXPECT_EQ(t.app.drv.UsbDevCount, 0) << k;
        EXPECT_FALSE(t.app.usb.UsbReady);
        EXPECT_EQ(t.app.usb.UsbSelIndex, -1);
        EXPECT_EQ(t.app.drv.UsbDevices[0].DevName, "");
        EXPECT_EQ(t.messages.texts(), kNoBuffers);
        EXPECT_EQ(d.totalOpens(), k >= 2 ? 1 : 0);
        EXPECT_EQ(d.openHandles(), 0);
    }
}

TEST(Enumeration, RecognisedAdaptersFillTheirSlots) {
    // The lowest present slot is selected; the last adapter read sets the SPI setup value.
    for (bool lowLast : {true, false}) {
        SimDriver d;
        SimOptions qeb = Product(ezusb::kProductQeb, !lowLast);
        qeb.firmwareMajor = 1;
        qeb.firmwareMinor = 3;
        d.addAdapter(3, qeb);
        d.addAdapter(1, Product(ezusb::kProductVorla));
        test::TestApp t(&d);
        t.app.drv.UsbDevices[0].DevName = "stale";
        t.app.drv.UsbDevices[0].Present = true;
        UsbFindBuffers(t.app);
        const auto& dev = t.app.drv.UsbDevices;
        EXPECT_EQ(t.app.drv.UsbDevCount, 2);
        EXPECT_SLOT(dev[1], "Ezusb-1", true, "VORLA", "Corvane", "VORLA USB-SPI", 2.1f, "2");
        EXPECT_SLOT(dev[3], "Ezusb-3", true, "QEB", "Corvane", "QEB USB-SPI", 1.3f,
                    lowLast ? "1.1" : "2");
        for (int k : {0, 2}) EXPECT_SLOT(dev[k], "", false, "", "", "", 0, "");
        EXPECT_EQ(t.app.usb.SpiSetupValue, lowLast ? 35 : 10);
        EXPECT_EQ(t.app.usb.UsbSelIndex, 1);
        EXPECT_EQ(t.app.usb.UsbSelDevice.DevName, "Ezusb-1");
        EXPECT_TRUE(t.app.usb.UsbReady);
        EXPECT_TRUE(t.messages.shown.empty());
        EXPECT_EQ(d.openHandles(), 0);
    }
}

TEST(Enumeration, FailedDescriptorRequestIsNotTakenForThePreviousAdapter) {
    SimDriver d;
    d.addAdapter(0);
    d.addAdapter(1);
    d.failRequest(ezusb::kGetDeviceDescriptor, 2);
    test::TestApp t(&d);
    UsbFindBuffers(t.app);
    EXPECT_EQ(t.app.drv.UsbDevCount, 1);
    EXPECT_TRUE(t.app.drv.UsbDevices[0].Present);
    EXPECT_FALSE(t.app.drv.UsbDevices[1].Present);
    EXPECT_EQ(d.openHandles(), 0);
}

TEST(BoardInfo, EachFailingStepGivesOneMessagePerAdapter) {
    const std::vector<std::function<void(SimDriver&)>> arms = {
        [](SimDriver& d) { d.failStringDescriptor(0, 2); },
        [](SimDriver& d) { d.failBulk(0); }, // revision request
        [](SimDriver& d) { d.failBulk(1); }, // revision reply
        [](SimDriver& d) { d.shortReply(1, 1); },
        [](SimDriver& d) { d.failRequest(ezusb::kGetPipeInfo); },
    };
    for (std::size_t k = 0; k < arms.size(); ++k) {
        SimDriver d;
        d.addAdapter(0);
        arms[k](d);
        test::TestApp t(&d);
        UsbFindBuffers(t.app);
        const auto& dev = t.app.drv.UsbDevices[0];
        EXPECT_EQ(t.app.drv.UsbDevCount, 1) << k;
        EXPECT_FALSE(dev.Present) << k;
        EXPECT_EQ(dev.DevName, "Ezusb-0") << k;
        EXPECT_EQ(dev.Descriptor1, "Corvane") << k;
        EXPECT_EQ(t.messages.texts(),
                  (Texts{"Error getting Board Info",
                         "No Valid USB Buffers Found, Please Verify Setup and Restart"}))
            << k;
        EXPECT_FALSE(t.app.usb.UsbReady);
        EXPECT_EQ(d.openHandles(), 0) << k;
    }
}

TEST(BoardInfo, SecondAdapterStillSelectedWhenFirstFails) {
    SimDriver d;
    d.addAdapter(0);
    d.addAdapter(2);
    d.failStringDescriptor(0, 1);
    test::TestApp t(&d);
    UsbFindBuffers(t.app);
    EXPECT_EQ(t.messages.texts(), Texts{"Error getting Board Info"});
    EXPECT_EQ(t.app.drv.UsbDevices[0].Descriptor1, "None");
    EXPECT_EQ(t.app.usb.UsbSelIndex, 2);
    EXPECT_TRUE(t.app.usb.UsbReady);
}

struct Opened {
    Opened() : t(&d) {
        d.addAdapter(0);
        h = UsbOpenDevice(t.app, "Ezusb-0");
    }
    ~Opened() { d.close(h); }
    std::string text(std::vector<uint8_t> reply) {
        d.setStringDescriptor(0, 1, std::move(reply));
        return GetStringDescriptor(t.app, h, 1);
    }
    SimDriver d;
    test::TestApp t;
    DriverHandle h = 0;
};

TEST(StringDescriptor, TextFromEveryOtherByteUpToTheDeliveredLength) {
    Opened o;
    std::vector<uint8_t> big(300, 'Q');
    big[0] = 255;
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> rows = {
        {{10, 3, 'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E', 0}, "ABCD"},
        {{2, 3}, ""},
        {{7, 3, 'x', 0, 'y', 0, 'z', 0}, "xyz"},
        {{6, 3, 0xE9, 0, 'a', 0},
         "\xC3\xA9"
         "a"},
        {{255, 3, 'O', 0, 'K', 0}, "OK"},      // claims more than it delivers
        {{4, 3, 'a', 0, 'b', 0, 'c', 0}, "a"}, // delivers more than it claims
        {{0}, ""},
        {big, std::string(127, 'Q')},
    };
    for (const auto& [reply, text] : rows) EXPECT_EQ(o.text(reply), text);
    EXPECT_EQ(GetStringDescriptor(o.t.app, 0, 1), "None");
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 7), "None");
    o.d.failRequest(ezusb::kGetStringDescriptor, 2);
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "None");
}

TEST(PipesAndBulk, MaxPacketAndTransferResults) {
    Opened o;
    EXPECT_EQ(GetPipeMaxPacket(o.t.app, o.h, 3), 512);
    EXPECT_EQ(GetPipeMaxPacket(o.t.app, 0, 3), 0);
    EXPECT_EQ(GetPipeMaxPacket(o.t.app, o.h, 17), 0);
    o.d.failRequest(ezusb::kGetPipeInfo);
    EXPECT_EQ(GetPipeMaxPacket(o.t.app, o.h, 3), 0);

    uint8_t buf[4] = {0x00};
    int16_t pipe = 0;
    int32_t len = 1;
    EXPECT_EQ(BulkTransfer(o.t.app, 0, pipe, buf, len), -2);
    EXPECT_EQ(BulkTransfer(o.t.app, o.h, pipe, buf, len), 1);
    pipe = 1;
    len = 4; // asks for more than the revision reply holds
    EXPECT_EQ(BulkTransfer(o.t.app, o.h, pipe, buf, len), 1);
    EXPECT_EQ(len, 2);
    EXPECT_EQ(buf[0], 2);
    EXPECT_EQ(buf[1], 1);
    len = 2; // no reply pending
    EXPECT_EQ(BulkTransfer(o.t.app, o.h, pipe, buf, len), 0);
    EXPECT_EQ(len, 0);
}

TEST(OpenDevice, FailuresGiveNoHandle) {
    SimDriver d;
    d.addAdapter(1);
    test::TestApp t(&d);
    EXPECT_EQ(UsbOpenDevice(t.app, "Ezusb-0"), 0);
    EXPECT_EQ(UsbOpenDevice(t.app, ""), 0);
    d.unplug(1);
    EXPECT_EQ(UsbOpenDevice(t.app, "Ezusb-1"), 0);
    d.replug(1);
    const DriverHandle h = UsbOpenDevice(t.app, "Ezusb-1");
    EXPECT_GT(h, 0);
    d.close(h);
    EXPECT_EQ(d.openHandles(), 0);
    test::TestApp none;
    EXPECT_EQ(UsbOpenDevice(none.app, "Ezusb-1"), 0);
}

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
    uint8_t bits = 0; // no substitution for the bits
    UsbSetSpiBits(s.app, bits);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0B, 0x01}, {0x0C, 120}, {0x0C, 0x00}}));
    EXPECT_TRUE(s.t.messages.shown.empty());
    EXPECT_EQ(s.driver.openHandles(), 0);
}

TEST(SpiFailures, EachFailureIsNamedOnceFreezesReadsAndWaitsForASearch) {
    struct Case {
        std::function<void(SimDriver&)> arm;
        std::function<void(App&)> run;
        const char* message;
    };
    const auto failBulk = [](int pipe) { return [pipe](SimDriver& d) { d.failBulk(pipe); }; };
    const auto shortRead = [](uint32_t n) { return [n](SimDriver& d) { d.shortReply(1, n); }; };
    const auto read = [](App& a) { ReadRegister(a, 2); };
    const std::vector<Case> cases = {
        {failBulk(0), [](App& a) { UsbSetupSpi(a, a.usb.SpiSetupValue); }, "Error Setting up SPI"},
        {failBulk(0), [](App& a) { UsbSetSpiBits(a, a.usb.SpiBits); }, "Error Setting SPI Bits"},
        {failBulk(0), read, "Error Writing SPI"},
        {[](SimDriver& d) { d.unplug(0); }, read, "Error Writing SPI"},
        {failBulk(1), read, "Error Reading SPI"},
        // A short reply is a failed read, not stale data.
        {shortRead(0), read, "Error Reading SPI"},
        {shortRead(1), read, "Error Reading SPI"},
        {shortRead(3), read, "Error Reading SPI"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        test::SimTestApp s;
        s.sensor.hold(0x04, 0x0123);
        ReadRegister(s.app, 2);
        s.sensor.hold(0x04, 0x0777);
        c.arm(s.driver);
        c.run(s.app);
        EXPECT_EQ(s.t.messages.texts(), Texts{c.message});
        EXPECT_FALSE(s.app.usb.UsbReady);
        EXPECT_EQ(s.driver.openHandles(), 0);
        // From now on everything is skipped silently and reads keep the last word.
        s.driver.clearCommands();
        c.run(s.app);
        UsbSetupSpi(s.app, s.app.usb.SpiSetupValue);
        UsbSetSpiBits(s.app, s.app.usb.SpiBits);
        WriteRegister(s.app, 12, 1);
        ReadRegister(s.app, 2);
        EXPECT_TRUE(s.driver.commands().empty());
        EXPECT_EQ(s.t.messages.shown.size(), 1u);
        EXPECT_EQ(s.app.res.RegRaw, 0x0123);
        EXPECT_EQ(s.app.usb.SpiInWords[2], 0x0123);
        // A new search brings reading back.
        s.driver.replug(0);
        UsbFindBuffers(s.app);
        ReadRegister(s.app, 2);
        EXPECT_EQ(s.app.res.RegRaw, 0x0777);
        EXPECT_EQ(s.driver.openHandles(), 0);
    }
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

TEST(FrontEndRead, SendsRequestTwiceAndTakesSecondWord) {
    test::SimTestApp s;
    s.sensor.hold(0x20, 0x1234);
    s.sensor.hold(0x3E, 0xABCD);
    int16_t first = 0x20;
    ReadRegisterWord(s.app, first); // leaves 0x1234 to be clocked out next
    s.driver.clearCommands();

    int16_t address = 0xBE;
    EXPECT_EQ(ReadRegisterWord(s.app, address), 0xABCD);
    EXPECT_EQ(address, 0x3E);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x02, 0x3E, 0x00, 0x3E, 0x00}}));
    EXPECT_EQ(s.app.usb.SpiInWords[1], 0x1234);
    EXPECT_EQ(s.app.usb.SpiInWords[2], 0xABCD);
    EXPECT_EQ(s.driver.openHandles(), 0);
    EXPECT_TRUE(s.t.messages.shown.empty());
}

TEST(FrontEndRead, DecodesScalesAndKeepsNewDataBit) {
    struct Row {
        int16_t pos;
        uint16_t addr, word;
        int32_t value, ndBit; // ndBit -1: not checked
        double scaled, tol;   // tol 0: not checked
    };
    const Row rows[] = {
        {2, 0x04, 0x3FFF, -1, 0, -static_cast<double>(0.07326f), 1e-12}, // 14-bit two's complement
        {2, 0x04, 0xDFFF, 8191, 32768, 0, 0},     // flag bits never enter the value
        {0, 0x00, 0x8123, 0x8123, 32768, 0, 0},   // FLSH_CNT has no new-data flag: RegNDBit stays
        {8, 0x10, 0x0FFF, -1, -1, 24.8547, 1e-4}, // XTEMP_OUT: 12-bit, offset 25
        {1, 0x02, 0xCFFF, 4095, -1, 0, 0},        // SUPPLY_OUT unsigned 12-bit
    };
    test::SimTestApp s; // standard table, table scales
    for (const Row& r : rows) {
        s.sensor.hold(r.addr, r.word);
        ReadRegister(s.app, r.pos);
        EXPECT_EQ(s.app.res.RegRaw, r.word) << r.pos;
        EXPECT_EQ(s.app.res.RegValue, r.value) << r.pos;
        if (r.ndBit >= 0) {
            EXPECT_EQ(s.app.res.RegNDBit, r.ndBit) << r.pos;
        }
        if (r.tol > 0) {
            EXPECT_NEAR(s.app.res.RegScaled, r.scaled, r.tol) << r.pos;
        }
    }
}

TEST(FrontEndRead, UnreadablePositionsSendNothingAndKeepResults) {
    test::SimTestApp s;
    s.sensor.hold(0x04, 0x0005);
    ReadRegister(s.app, 2);
    s.driver.clearCommands();
    const RegResults before = s.app.res;

    for (int16_t pos : {31, 29}) ReadRegister(s.app, pos); // GLOB_CMD, CONT_SLP
    for (int16_t pos : {-1, 297, 32000}) {
        ReadRegister(s.app, pos);
        WriteRegister(s.app, pos, 0x1234);
    }
    EXPECT_TRUE(s.driver.commands().empty());
    EXPECT_EQ(s.app.res.RegRaw, before.RegRaw);
    EXPECT_EQ(s.app.res.RegValue, before.RegValue);
    EXPECT_EQ(s.app.res.RegScaled, before.RegScaled);

    // The placeholder of the 41040 table is not readable either.
    test::SimTestApp m(41040);
    ReadRegister(m.app, 1);
    EXPECT_TRUE(m.driver.commands().empty());
}

TEST(FrontEndRead, WithoutTransportReadsZeroAndWritesNothing) {
    test::SimTestApp s;
    s.app.model.InterfaceKind = InterfaceNone;
    int16_t a = 0x10;
    EXPECT_EQ(ReadRegisterWord(s.app, a), 0);
    ReadRegister(s.app, 8);
    EXPECT_EQ(s.app.res.RegScaled, 25.0); // the temperature offset alone
    WriteRegister(s.app, 12, 0x1234);
    WriteRegister(s.app, 20, 0x12);
    EXPECT_TRUE(s.driver.commands().empty());
}

TEST(FrontEndWrite, FramesOrderAndWait) {
    test::SimTestApp s;
    s.app.regs.RegisterTable[35].Address = 0x16;
    ASSERT_EQ(s.app.regs.RegisterTable[11].Address, 0x16);
    // 16-bit registers high byte first (position 35 low byte first), then 0.1 ms.
    WriteRegister(s.app, 11, 0x1234);
    EXPECT_EQ(s.t.delaySteps, 10);
    WriteRegister(s.app, 35, 0x1234);
    EXPECT_EQ(s.t.delaySteps, 20);
    WriteRegister(s.app, 20, 0x1FF); // ALM_SMPL1 at 0x2A, 8 bits: one frame, no wait
    EXPECT_EQ(s.t.delaySteps, 20);
    EXPECT_EQ(s.sensor.word(0x2A) & 0xFF, 0xFF);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x02, 0x97, 0x12, 0x96, 0x34},
                                        {0x0D, 0x01, 0x02, 0x96, 0x34, 0x97, 0x12},
                                        {0x0D, 0x01, 0x01, 0xAA, 0xFF}}));
}

TEST(FrontEndWrite, FramePairMasksCallersVariables) {
    test::SimTestApp s;
    int16_t a1 = 0xC0, b1 = 0x1AB, a2 = 0x41, b2 = -1;
    WriteFramePair(s.app, a1, b1, a2, b2);
    EXPECT_EQ((std::vector<int16_t>{a1, b1, a2, b2}),
              (std::vector<int16_t>{0x40, 0xAB, 0x41, 0xFF}));
    EXPECT_EQ(s.driver.commands().back(), (Bytes{0x0D, 0x01, 0x02, 0xC0, 0xAB, 0xC1, 0xFF}));
}

TEST(FrontEndWrite, ValuesReachTheSensor) {
    test::SimTestApp s;
    WriteRegister(s.app, s.app.regs.iZACCL_OFF, -300);
    EXPECT_EQ(s.sensor.word(0x24), 0xFED4);
    const int before = s.sensor.flashCount();
    WriteRegister(s.app, s.app.regs.iGLOB_CMD, 8);
    EXPECT_EQ(s.sensor.flashCount(), before + 1);
}

TEST(GyroScale, RangeCodeSelectsScaleAndResetsChartLimits) {
    test::SimTestApp s;
    s.app.model.GyroBaseScale = 0.05;
    const double expected[8] = {0, 0.0125, 0.025, 0, 0.05, 0, 0, 0};
    for (int code = 0; code < 8; ++code) {
        s.sensor.hold(0x38, static_cast<uint16_t>(code << 8 | 0x02));
        s.app.plot.GyPlotMax = s.app.plot.GyPlotMin = 1;
        UpdateGyroScale(s.app);
        for (int p = 2; p <= 4; ++p)
            EXPECT_EQ(s.app.regs.RegisterTable[p].RegScale, static_cast<float>(expected[code]))
                << "code " << code << " position " << p;
        EXPECT_EQ(s.app.plot.GyPlotMax, 350);
        EXPECT_EQ(s.app.plot.GyPlotMin, -350);
    }
}

TEST(GyroScale, WritingSensAvgUpdatesScale) {
    test::SimTestApp s(41190);
    s.app.model.GyroBaseScale = 0.2;
    WriteRegister(s.app, s.app.regs.iSENS_AVG, 0x0102);
    EXPECT_EQ(s.sensor.word(0x38), 0x0102);
    EXPECT_EQ(s.app.regs.RegisterTable[3].RegScale, 0.05f);
    // The write's own frames, then the read of SENS_AVG.
    ASSERT_EQ(s.driver.commands().size(), 2u);
    EXPECT_EQ(s.driver.commands()[1], (Bytes{0x0D, 0x01, 0x02, 0x38, 0x00, 0x38, 0x00}));
}

} // namespace
} // namespace tavrin
