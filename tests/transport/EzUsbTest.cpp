#include <gtest/gtest.h>

#include "TestApp.h"
#include "sim/SimDriver.h"
#include "transport/EzUsb.h"
#include "transport/UsbSpi.h"

namespace tavrin {
namespace {

using sim::SimDriver;
using sim::SimOptions;
using Texts = std::vector<std::string>;

SimOptions Product(uint16_t id, bool highSpeed = true) {
    SimOptions o;
    o.productId = id;
    o.highSpeed = highSpeed;
    return o;
}

TEST(Enumeration, NoAdapterOrNoDriver) {
    for (bool withDriver : {true, false}) {
        SimDriver d;
        test::TestApp t(withDriver ? &d : nullptr);
        t.app.usb.UsbSelIndex = 3;
        UsbFindBuffers(t.app);
        EXPECT_EQ(t.app.drv.UsbDevCount, 0);
        EXPECT_FALSE(t.app.usb.UsbReady);
        EXPECT_EQ(t.app.usb.UsbSelIndex, -1);
        EXPECT_EQ(t.messages.texts(),
                  Texts{"No USB Buffers Found, Please Verify Setup and Restart"});
    }
}

TEST(Enumeration, RecognisedAdaptersFillTheirSlots) {
    SimDriver d;
    d.addAdapter(0, Product(ezusb::kProductVorla));
    SimOptions qeb = Product(ezusb::kProductQeb, false);
    qeb.firmwareMajor = 1;
    qeb.firmwareMinor = 3;
    d.addAdapter(2, qeb);
    test::TestApp t(&d);
    t.app.drv.UsbDevices[1].DevName = "stale";
    t.app.drv.UsbDevices[1].Present = true;
    UsbFindBuffers(t.app);

    const auto& dev = t.app.drv.UsbDevices;
    EXPECT_EQ(t.app.drv.UsbDevCount, 2);
    EXPECT_EQ(dev[0].DevName, "Ezusb-0");
    EXPECT_TRUE(dev[0].Present);
    EXPECT_EQ(dev[0].BoardType, "VORLA");
    EXPECT_EQ(dev[0].Descriptor1, "Corvane");
    EXPECT_EQ(dev[0].Descriptor2, "VORLA USB-SPI");
    EXPECT_EQ(dev[0].FirmwareRev, 2.1f);
    EXPECT_EQ(dev[0].Speed, "2");
    EXPECT_EQ(dev[2].BoardType, "QEB");
    EXPECT_EQ(dev[2].FirmwareRev, 1.3f);
    EXPECT_EQ(dev[2].Speed, "1.1");
    for (int k : {1, 3}) {
        EXPECT_EQ(dev[k].DevName, "");
        EXPECT_FALSE(dev[k].Present);
    }
    // The last adapter whose board information was read sets the setup value.
    EXPECT_EQ(t.app.usb.SpiSetupValue, 35);
    EXPECT_EQ(t.app.usb.UsbSelIndex, 0);
    EXPECT_EQ(t.app.usb.UsbSelDevice.DevName, "Ezusb-0");
    EXPECT_TRUE(t.messages.shown.empty());
    EXPECT_EQ(d.openHandles(), 0);
}

TEST(Enumeration, SpeedFromMaxPacketOfPipe3) {
    for (bool high : {true, false}) {
        SimDriver d;
        d.addAdapter(0, Product(ezusb::kProductVorla, high));
        test::TestApp t(&d);
        UsbFindBuffers(t.app);
        EXPECT_EQ(t.app.drv.UsbDevices[0].Speed, high ? "2" : "1.1");
        EXPECT_EQ(t.app.usb.SpiSetupValue, high ? 10 : 35);
    }
}

TEST(Enumeration, LowestPresentSlotIsSelected) {
    SimDriver d;
    d.addAdapter(3);
    d.addAdapter(1);
    test::TestApp t(&d);
    UsbFindBuffers(t.app);
    EXPECT_EQ(t.app.usb.UsbSelIndex, 1);
    EXPECT_EQ(t.app.usb.UsbSelDevice.DevName, "Ezusb-1");
    EXPECT_TRUE(t.app.usb.UsbReady);
}

TEST(Enumeration, UnlistedProductOrVendorIsOpenedCountedNowhereAndClosed) {
    SimOptions otherVendor;
    otherVendor.vendorId = 0x1234;
    for (const SimOptions& o : {Product(0x1234), otherVendor}) {
        SimDriver d;
        d.addAdapter(0, o);
        test::TestApp t(&d);
        UsbFindBuffers(t.app);
        EXPECT_EQ(d.totalOpens(), 1);
        EXPECT_EQ(d.openHandles(), 0);
        EXPECT_EQ(t.app.drv.UsbDevCount, 0);
        EXPECT_EQ(t.app.drv.UsbDevices[0].DevName, "");
        EXPECT_EQ(t.messages.texts(),
                  Texts{"No USB Buffers Found, Please Verify Setup and Restart"});
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
    struct Case {
        const char* what;
        std::function<void(SimDriver&)> arm;
    };
    const std::vector<Case> cases = {
        {"descriptor 2", [](SimDriver& d) { d.failStringDescriptor(0, 2); }},
        {"revision send", [](SimDriver& d) { d.failBulk(0); }},
        {"revision reply", [](SimDriver& d) { d.failBulk(1); }},
        {"short revision", [](SimDriver& d) { d.shortReply(1, 1); }},
        {"pipe info", [](SimDriver& d) { d.failRequest(ezusb::kGetPipeInfo); }},
    };
    for (const Case& c : cases) {
        SimDriver d;
        d.addAdapter(0);
        c.arm(d);
        test::TestApp t(&d);
        UsbFindBuffers(t.app);
        const auto& dev = t.app.drv.UsbDevices[0];
        EXPECT_EQ(t.app.drv.UsbDevCount, 1) << c.what;
        EXPECT_FALSE(dev.Present) << c.what;
        EXPECT_EQ(dev.DevName, "Ezusb-0") << c.what;
        EXPECT_EQ(dev.Descriptor1, "Corvane") << c.what;
        EXPECT_EQ(t.messages.texts(),
                  (Texts{"Error getting Board Info",
                         "No Valid USB Buffers Found, Please Verify Setup and Restart"}))
            << c.what;
        EXPECT_FALSE(t.app.usb.UsbReady);
        EXPECT_EQ(d.openHandles(), 0) << c.what;
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
    SimDriver d;
    test::TestApp t;
    DriverHandle h = 0;
};

TEST(StringDescriptor, TextFromEveryOtherByteUpToLength) {
    Opened o;
    const std::vector<uint8_t> abcd = {10, 3, 'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E', 0};
    o.d.setStringDescriptor(0, 1, abcd);
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "ABCD");
    o.d.setStringDescriptor(0, 1, {2, 3});
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "");
    o.d.setStringDescriptor(0, 1, {7, 3, 'x', 0, 'y', 0, 'z', 0});
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "xyz");
    o.d.setStringDescriptor(0, 1, {6, 3, 0xE9, 0, 'a', 0});
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "\xC3\xA9"
                                                    "a");
    EXPECT_EQ(GetStringDescriptor(o.t.app, 0, 1), "None");
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 7), "None");
}

TEST(StringDescriptor, HostileLengthsStayInsideTheBuffers) {
    Opened o;
    // Claims 255 bytes but delivers six: only the delivered characters count.
    o.d.setStringDescriptor(0, 1, {255, 3, 'O', 0, 'K', 0});
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "OK");
    // Delivers more than it claims: the claimed length wins.
    o.d.setStringDescriptor(0, 1, {4, 3, 'a', 0, 'b', 0, 'c', 0});
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "a");
    o.d.setStringDescriptor(0, 1, {0});
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), "");
    std::vector<uint8_t> big(300, 'Q');
    big[0] = 255;
    o.d.setStringDescriptor(0, 1, big);
    EXPECT_EQ(GetStringDescriptor(o.t.app, o.h, 1), std::string(127, 'Q'));
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

} // namespace
} // namespace tavrin
