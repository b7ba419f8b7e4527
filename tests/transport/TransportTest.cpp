#include <gtest/gtest.h>

#include <deque>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "transport/EzUsb.h"
#include "transport/UsbSpi.h"

using namespace tavrin::registers;
using namespace tavrin::transport;

namespace tavrin {
namespace {

using Bytes = std::vector<uint8_t>;
using Log = std::deque<Bytes>;
using Texts = std::vector<std::string>;
using sim::SimDriver;

// What an operation met, as the documented texts.
Texts Said(const Statuses& met) {
    Texts out;
    for (const Status s : met) out.emplace_back(StatusText(s));
    return out;
}

// A slot's fields as one comparable value, so a failure shows them all.
auto Fields(const UsbDeviceInfo& d) {
    return std::tie(d.DevName, d.Present, d.BoardType, d.Descriptor1, d.Descriptor2, d.FirmwareRev,
                    d.Speed);
}

TEST(Enumeration, NothingUsableFound) {
    // No driver, no adapter, or only adapters of another product or vendor (opened, then closed).
    for (int k = 0; k < 4; ++k) {
        SimDriver d;
        if (k == 2) d.addAdapter(0, {.productId = 0x1234});
        if (k == 3) d.addAdapter(0, {.vendorId = 0x1234});
        test::TestApp t(k == 0 ? nullptr : &d);
        t.app.usb.UsbSelIndex = 3;
        EXPECT_EQ(Said(UsbFindBuffers(t.app.link())),
                  Texts{"No USB Buffers Found, Please Verify Setup and Restart"});
        EXPECT_EQ(t.app.drv.UsbDevCount, 0) << k;
        EXPECT_FALSE(t.app.usb.ready);
        EXPECT_EQ(t.app.usb.UsbSelIndex, -1);
        EXPECT_EQ(d.openHandles(), 0);
    }
}

TEST(Enumeration, RecognisedAdaptersFillTheirSlots) {
    // The lowest present slot is selected; the last adapter read sets the SPI setup value.
    for (bool lowLast : {true, false}) {
        SimDriver d;
        d.addAdapter(3, {.productId = ezusb::kProductQeb,
                         .highSpeed = !lowLast,
                         .firmwareMajor = 1,
                         .firmwareMinor = 3});
        d.addAdapter(1, {.productId = ezusb::kProductVorla});
        d.addAdapter(2); // its descriptor request fails: not taken for the previous adapter's
        d.failRequest(ezusb::kGetDeviceDescriptor, 2);
        test::TestApp t(&d);
        t.app.drv.UsbDevices[0].DevName = "stale";
        t.app.drv.UsbDevices[0].Present = true;
        EXPECT_TRUE(UsbFindBuffers(t.app.link()).empty());
        const auto& dev = t.app.drv.UsbDevices;
        const UsbDeviceInfo empty{},
            vorla{"Ezusb-1", true, "VORLA", "Corvane", "VORLA USB-SPI", 2.1f, "2"},
            qebInfo{"Ezusb-3", true, "QEB", "Corvane", "QEB USB-SPI", 1.3f, lowLast ? "1.1" : "2"};
        EXPECT_EQ(t.app.drv.UsbDevCount, 2);
        EXPECT_EQ(Fields(dev[1]), Fields(vorla));
        EXPECT_EQ(Fields(dev[3]), Fields(qebInfo));
        for (int k : {0, 2}) EXPECT_EQ(Fields(dev[k]), Fields(empty));
        EXPECT_EQ(t.app.usb.SpiSetupValue, lowLast ? 35 : 10);
        EXPECT_EQ(t.app.usb.UsbSelIndex, 1);
        EXPECT_TRUE(t.app.usb.ready);
    }
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
        EXPECT_EQ(Said(UsbFindBuffers(t.app.link())),
                  (Texts{"Error getting Board Info",
                         "No Valid USB Buffers Found, Please Verify Setup and Restart"}))
            << k;
        const auto& dev = t.app.drv.UsbDevices[0];
        EXPECT_EQ(t.app.drv.UsbDevCount, 1) << k;
        EXPECT_FALSE(dev.Present) << k;
        EXPECT_FALSE(t.app.usb.ready);
        EXPECT_EQ(d.openHandles(), 0) << k;
    }
}

// Descriptor texts, pipe sizes and transfers on one opened adapter.
TEST(EzUsbRequests, TextsFromEveryOtherByteUpToTheDeliveredLengthAndDocumentedResults) {
    SimDriver d;
    d.addAdapter(0);
    test::TestApp t(&d);
    const DriverHandle h = UsbOpenDevice(t.app.link(), "Ezusb-0");
    Bytes big(300, 'Q');
    big[0] = 255;
    // Odd lengths, a reply that claims more than it delivers, or delivers more than it claims.
    const std::vector<std::pair<Bytes, std::string>> rows = {
        {{10, 3, 'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E', 0}, "ABCD"},
        {{7, 3, 'x', 0, 'y', 0, 'z', 0}, "xyz"},
        {{6, 3, 0xE9, 0, 'a', 0}, "\u00E9a"},
        {{255, 3, 'O', 0, 'K', 0}, "OK"},
        {{0}, ""},
        {big, std::string(127, 'Q')}};
    for (const auto& [reply, text] : rows) {
        d.setStringDescriptor(0, 1, reply);
        EXPECT_EQ(GetStringDescriptor(t.app.link(), h, 1), text);
    }
    EXPECT_EQ(GetStringDescriptor(t.app.link(), 0, 1), "None");
    d.failRequest(ezusb::kGetStringDescriptor, 2);
    EXPECT_EQ(GetStringDescriptor(t.app.link(), h, 1), "None");

    EXPECT_EQ(GetPipeMaxPacket(t.app.link(), h, 3), 512);
    EXPECT_EQ(GetPipeMaxPacket(t.app.link(), 0, 3), 0);
    EXPECT_EQ(GetPipeMaxPacket(t.app.link(), h, 17), 0);

    uint8_t buf[4] = {0x00};
    int16_t pipe = 0;
    int32_t len = 1;
    EXPECT_EQ(BulkTransfer(t.app.link(), 0, pipe, buf, len), -2);
    EXPECT_EQ(BulkTransfer(t.app.link(), h, pipe, buf, len), 1);
    pipe = 1;
    len = 4; // asks for more than the revision reply holds
    EXPECT_EQ(BulkTransfer(t.app.link(), h, pipe, buf, len), 1);
    EXPECT_EQ(std::tuple(len, buf[0], buf[1]), std::tuple(2, 2, 1));
    EXPECT_EQ(UsbOpenDevice(t.app.link(), "Ezusb-1"), 0);
    d.close(h);
}

TEST(SpiSettings, DocumentedDefaultsAndTheOrderOfEachStep) {
    test::SimTestApp s;
    auto& usb = s.app.usb;
    usb = {};
    SetTransportDefaults(usb);
    EXPECT_EQ(std::tie(usb.SpiXferParam, usb.SpiBits, usb.SpiSetupValue, usb.UsbXferCmdFlag,
                       usb.InterfaceKind),
              std::tuple(1, 120, 25, true, 2));
    s.driver.clearCommands();
    ASSERT_TRUE(ConnectFirstAdapter(s.app.link()).empty()); // bits, then setup
    EXPECT_EQ(AdapterStatusText(s.app.link()), "Adapter EzUsb0: Corvane, USB 2.0 (simulated)");
    EXPECT_EQ(ChooseAdapter(s.app.link(), 0), Status::Ok); // setup, then bits
    usb.SpiSetupValue = 0;
    EXPECT_EQ(UsbSetupSpi(s.app.link(), usb.SpiSetupValue), Status::Ok);
    EXPECT_EQ(usb.SpiSetupValue, 1);
    uint8_t bits = 0; // no substitution for the bits
    EXPECT_EQ(UsbSetSpiBits(s.app.link(), bits), Status::Ok);
    EXPECT_EQ(
        s.driver.commands(),
        (Log{{0x00}, {0x0C, 120}, {0x0B, 10}, {0x0B, 10}, {0x0C, 120}, {0x0B, 1}, {0x0C, 0}}));
}

TEST(SpiTransfer, ParameterForcedIntoRangeFramesHighByteFirstCountsBoundedWordsOneFrameLate) {
    test::SimTestApp s;
    auto& usb = s.app.usb;
    usb.SpiOutFrames[1] = 0xFF12;
    usb.SpiInWords.fill(0x5A5A);
    for (uint8_t n : {0, 17, 255}) { // refused
        uint8_t count = n;
        EXPECT_EQ(UsbSpiTransfer(s.app.link(), count), Status::Skipped);
    }
    uint8_t count = 1;
    usb.SpiXferParam = 0;
    EXPECT_EQ(UsbSpiTransfer(s.app.link(), count), Status::Ok);
    EXPECT_EQ(usb.SpiXferParam, 1);
    usb.SpiXferParam = 9;
    EXPECT_EQ(UsbSpiTransfer(s.app.link(), count), Status::Ok);
    EXPECT_EQ(usb.SpiXferParam, 5);
    usb.UsbXferCmdFlag = false;
    EXPECT_EQ(UsbSpiTransfer(s.app.link(), count), Status::Ok);
    EXPECT_EQ(s.driver.commands(), (Log{{0x0D, 0x01, 0x01, 0xFF, 0x12},
                                        {0x0D, 0x05, 0x01, 0xFF, 0x12},
                                        {0x0E, 0x05, 0x01, 0xFF, 0x12}}));
    EXPECT_EQ(usb.SpiInWords[2], 0x5A5A);
    EXPECT_TRUE(usb.ready);

    // Sixteen frames: each word answers the previous request.
    usb.UsbXferCmdFlag = true;
    for (int i = 0; i < 16; ++i) s.sensor.hold(0x40 + 2 * i, static_cast<uint16_t>(0x1100 + i));
    for (int i = 1; i <= 16; ++i) usb.SpiOutFrames[i] = (0x40 + 2 * (i - 1)) * 256;
    count = 16;
    EXPECT_EQ(UsbSpiTransfer(s.app.link(), count), Status::Ok); // primes the last request
    EXPECT_EQ(UsbSpiTransfer(s.app.link(), count), Status::Ok);
    EXPECT_EQ(usb.SpiInWords[1], 0x110F); // the previous transfer's last request
    for (int i = 2; i <= 16; ++i) EXPECT_EQ(usb.SpiInWords[i], 0x1100 + i - 2) << i;
    EXPECT_EQ(s.driver.commands().back().size(), 35u);
}

TEST(SpiFailures, EachFailureIsNamedOnceFreezesReadsAndWaitsForASearch) {
    using Run = Status (*)(app::App&);
    const Run setup = [](app::App& a) { return UsbSetupSpi(a.link(), a.usb.SpiSetupValue); };
    const Run bits = [](app::App& a) { return UsbSetSpiBits(a.link(), a.usb.SpiBits); };
    const Run read = [](app::App& a) { return ReadRegister(a.registers(), 2).status; };
    // Pipe that fails, or the size of a short reply, or an unplugged adapter.
    const std::vector<std::tuple<std::string, int, Run, std::string>> cases = {
        {"fail", 0, setup, "Error Setting up SPI"}, {"fail", 0, bits, "Error Setting SPI Bits"},
        {"fail", 0, read, "Error Writing SPI"},     {"unplug", 0, read, "Error Writing SPI"},
        {"fail", 1, read, "Error Reading SPI"},     {"short", 3, read, "Error Reading SPI"},
    };
    for (const auto& [how, n, run, message] : cases) {
        SCOPED_TRACE(message);
        test::SimTestApp s;
        s.sensor.hold(0x04, 0x0123);
        EXPECT_EQ(read(s.app), Status::Ok);
        s.sensor.hold(0x04, 0x0777);
        if (how == "fail") s.driver.failBulk(n);
        if (how == "short") s.driver.shortReply(1, static_cast<uint32_t>(n));
        if (how == "unplug") s.driver.unplug(0);
        EXPECT_EQ(StatusText(run(s.app)), message);
        EXPECT_FALSE(s.app.usb.ready);
        // From now on everything is skipped silently and reads keep the last word.
        s.driver.clearCommands();
        for (Run r : {run, setup, bits, read}) EXPECT_EQ(r(s.app), Status::Skipped);
        EXPECT_TRUE(s.driver.commands().empty());
        EXPECT_EQ(s.app.res.RegRaw, 0x0123);
        // A new search brings reading back.
        s.driver.replug(0);
        EXPECT_TRUE(UsbFindBuffers(s.app.link()).empty());
        EXPECT_EQ(ReadRegister(s.app.registers(), 2).res.RegRaw, 0x0777);
        EXPECT_EQ(s.driver.openHandles(), 0);
    }
}

} // namespace
} // namespace tavrin
