// The program's adapter layer on top of the libusb backend, against emulated adapters:
// what a user sees when searching, reading, and pulling the cable.
#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestApp.h"
#include "UsbTestbed.h"
#include "app/State.h"
#include "transport/FrontEnd.h"
#include "transport/UsbSpi.h"
#include "transport/libusb/LibUsbDriver.h"

namespace tavrin {
namespace {

using test::AdapterSetup;
using test::EmulatedAdapter;
using test::UsbTestbed;
using Bytes = std::vector<uint8_t>;

constexpr LibUsbOptions kFast{200, 100, 5};

AdapterSetup Adapter(uint8_t port, uint16_t product, uint16_t maxPacket) {
    AdapterSetup s;
    s.ports = {port};
    s.product = product;
    s.maxPacket = maxPacket;
    s.descriptor1 = "Board " + std::to_string(port);
    return s;
}

TEST(LibUsbStack, SearchFindsBoardsAndTellsFullFromHighSpeed) {
    UsbTestbed bed;
    bed.plug(Adapter(1, 0xB777, 512)); // unlisted product: takes a name, counts nowhere
    bed.plug(Adapter(2, ezusb::kProductQeb, 512));
    EmulatedAdapter& full = bed.plug(Adapter(3, ezusb::kProductVorla, 64));
    LibUsbDriver drv(kFast);
    test::TestApp t(&drv);
    t.app.model.InterfaceKind = InterfaceUsb;

    UsbFindBuffers(t.app);
    const auto& dev = t.app.drv.UsbDevices;
    EXPECT_EQ(t.app.drv.UsbDevCount, 2);
    EXPECT_FALSE(dev[0].Present);
    EXPECT_EQ(dev[0].DevName, "");
    ASSERT_TRUE(dev[1].Present);
    EXPECT_EQ(dev[1].BoardType, "QEB");
    EXPECT_EQ(dev[1].Descriptor1, "Board 2");
    EXPECT_EQ(dev[1].Descriptor2, "Bench Interface");
    EXPECT_FLOAT_EQ(dev[1].FirmwareRev, 2.7f);
    EXPECT_EQ(dev[1].Speed, "2");
    ASSERT_TRUE(dev[2].Present);
    EXPECT_EQ(dev[2].BoardType, "VORLA");
    EXPECT_EQ(dev[2].Speed, "1.1");
    EXPECT_EQ(t.app.usb.SpiSetupValue, 35); // the last board read sets it
    EXPECT_TRUE(t.app.usb.UsbReady);
    EXPECT_EQ(t.app.usb.UsbSelIndex, 1);
    EXPECT_TRUE(t.messages.texts().empty());
    EXPECT_EQ(drv.openHandles(), 0u);

    // Choosing the full-speed board sends it its settings.
    t.app.usb.UsbSelDevice = dev[2];
    UsbSetupSpi(t.app, t.app.usb.SpiSetupValue);
    UsbSetSpiBits(t.app, t.app.usb.SpiBits);
    EXPECT_EQ(full.spiSetup(), 35);
    EXPECT_EQ(full.spiBits(), 120);
    EXPECT_EQ(full.commands().back(), (Bytes{0x0C, 120}));
}

TEST(LibUsbStack, RegisterTrafficOnTheWireAndNoOpenPerRead) {
    UsbTestbed bed;
    EmulatedAdapter& a = bed.plug(Adapter(1, ezusb::kProductVorla, 512));
    a.setWord(0x3E, 0xABCD);
    LibUsbDriver drv(kFast);
    test::TestApp t(&drv);
    t.app.model.InterfaceKind = InterfaceUsb;
    UsbFindBuffers(t.app);
    ASSERT_TRUE(t.app.usb.UsbReady);
    const std::size_t before = a.commands().size();

    for (int i = 0; i < 20; ++i) {
        int16_t address = 0x3E;
        ASSERT_EQ(ReadRegisterWord(t.app, address), 0xABCD);
    }
    int16_t lo = 0x36, loByte = 0x34, hi = 0x37, hiByte = 0x12;
    WriteFramePair(t.app, lo, loByte, hi, hiByte);
    EXPECT_EQ(a.word(0x36), 0x1234);

    const auto cmds = a.commands();
    ASSERT_EQ(cmds.size(), before + 21);
    EXPECT_EQ(cmds[before], (Bytes{0x0D, 0x01, 0x02, 0x3E, 0x00, 0x3E, 0x00}));
    EXPECT_EQ(cmds.back(), (Bytes{0x0D, 0x01, 0x02, 0xB6, 0x34, 0xB7, 0x12}));
    EXPECT_EQ(a.opens(), 1); // the search opened it; the reads did not
    EXPECT_EQ(a.claims(), 1);
    EXPECT_TRUE(t.messages.texts().empty());
}

TEST(LibUsbStack, TransferFailuresShowTheirMessageOnce) {
    UsbTestbed bed;
    EmulatedAdapter& a = bed.plug(Adapter(1, ezusb::kProductVorla, 512));
    a.setWord(0x10, 0x0777);
    LibUsbDriver drv(kFast);
    test::TestApp t(&drv);
    t.app.model.InterfaceKind = InterfaceUsb;
    const auto search = [&] {
        UsbFindBuffers(t.app);
        ASSERT_TRUE(t.app.usb.UsbReady);
    };
    const auto readSome = [&] {
        for (int i = 0; i < 3; ++i) {
            int16_t address = 0x10;
            ReadRegisterWord(t.app, address);
        }
    };

    search();
    a.setAnswering(false);
    readSome();
    EXPECT_EQ(t.messages.texts(), std::vector<std::string>{"Error Reading SPI"});
    EXPECT_FALSE(t.app.usb.UsbReady);

    a.setAnswering(true);
    t.messages.clear();
    search();
    a.injectFault({0x01, -EPIPE});
    readSome();
    EXPECT_EQ(t.messages.texts(), std::vector<std::string>{"Error Writing SPI"});
    EXPECT_EQ(a.haltsCleared(), 1);

    t.messages.clear();
    search();
    a.injectFault({0x81, -EIO});
    readSome();
    EXPECT_EQ(t.messages.texts(), std::vector<std::string>{"Error Reading SPI"});

    // After each failure a search brings the adapter back with correct words.
    t.messages.clear();
    search();
    int16_t address = 0x10;
    EXPECT_EQ(ReadRegisterWord(t.app, address), 0x0777);
    EXPECT_EQ(t.app.usb.SpiInWords[1], 0x0777); // not a stale reply
    EXPECT_TRUE(t.messages.texts().empty());
    EXPECT_EQ(drv.openHandles(), 0u);
}

TEST(LibUsbStack, UnplugInTheReadLoopThenReplugAndSearch) {
    UsbTestbed bed;
    EmulatedAdapter& a = bed.plug(Adapter(1, ezusb::kProductVorla, 512));
    a.setWord(0x04, 0x0042);
    LibUsbDriver drv(kFast);
    test::TestApp t(&drv);
    t.app.model.InterfaceKind = InterfaceUsb;
    UsbFindBuffers(t.app);
    ASSERT_TRUE(t.app.usb.UsbReady);

    std::vector<int32_t> seen;
    for (int pass = 0; pass < 8; ++pass) {
        if (pass == 3) bed.unplug(a);
        int16_t address = 0x04;
        seen.push_back(ReadRegisterWord(t.app, address));
    }
    EXPECT_EQ(t.messages.texts(), std::vector<std::string>{"Error Writing SPI"});
    EXPECT_FALSE(t.app.usb.UsbReady);
    EXPECT_EQ(std::vector<int32_t>(seen.begin(), seen.begin() + 3),
              (std::vector<int32_t>{0x42, 0x42, 0x42}));
    EXPECT_EQ(drv.openHandles(), 0u);
    EXPECT_EQ(bed.descriptorsOpenOn(a), 0);

    t.messages.clear();
    UsbFindBuffers(t.app); // searching with nothing attached
    EXPECT_EQ(t.messages.texts(),
              std::vector<std::string>{"No USB Buffers Found, Please Verify Setup and Restart"});

    bed.replug(a);
    t.messages.clear();
    UsbFindBuffers(t.app);
    ASSERT_TRUE(t.app.usb.UsbReady);
    int16_t address = 0x04;
    EXPECT_EQ(ReadRegisterWord(t.app, address), 0x42);
    EXPECT_TRUE(t.messages.texts().empty());
    EXPECT_EQ(bed.descriptorsOpenOn(a), 1);
}

TEST(LibUsbStack, UnpluggedWhileIdleTheNextSearchFindsNothingRatherThanABrokenBoard) {
    UsbTestbed bed;
    EmulatedAdapter& a = bed.plug(Adapter(1, ezusb::kProductVorla, 512));
    LibUsbDriver drv(kFast);
    test::TestApp t(&drv);
    t.app.model.InterfaceKind = InterfaceUsb;
    UsbFindBuffers(t.app);
    ASSERT_TRUE(t.app.usb.UsbReady);

    bed.unplug(a);
    UsbFindBuffers(t.app);
    EXPECT_EQ(t.messages.texts(),
              std::vector<std::string>{"No USB Buffers Found, Please Verify Setup and Restart"});
    EXPECT_EQ(bed.descriptorsOpenOn(a), 0);
}

TEST(LibUsbStack, ABusyAdapterIsNotFoundAndSaysWhy) {
    UsbTestbed bed;
    EmulatedAdapter& a = bed.plug(Adapter(1, ezusb::kProductVorla, 512));
    a.setBusy(true);
    LibUsbDriver drv(kFast);
    test::TestApp t(&drv);
    t.app.model.InterfaceKind = InterfaceUsb;
    UsbFindBuffers(t.app);
    EXPECT_FALSE(t.app.usb.UsbReady);
    EXPECT_EQ(t.messages.texts(),
              std::vector<std::string>{"No USB Buffers Found, Please Verify Setup and Restart"});
    EXPECT_EQ(drv.slotStatus(0), "in use by another program");
    EXPECT_EQ(bed.descriptorsOpenOn(a), 0); // the failed attempt let go of the device

    a.setBusy(false);
    t.messages.clear();
    UsbFindBuffers(t.app);
    EXPECT_TRUE(t.app.usb.UsbReady);
    EXPECT_EQ(drv.slotStatus(0), "");
}

} // namespace
} // namespace tavrin
