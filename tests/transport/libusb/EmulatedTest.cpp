// The libusb backend, and the program's adapter layer on top of it, through the real
// libusb against emulated adapters: what a user sees when searching, reading and
// pulling the cable.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <sstream>

#include "TestApp.h"
#include "UsbTestbed.h"
#include "app/Sensor.h"
#include "registers/FrontEnd.h"
#include "transport/UsbSpi.h"
#include "transport/libusb/LibUsbDriver.h"

using namespace tavrin::registers;
using namespace tavrin::transport;

namespace tavrin::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

// The testbed exists before libusb starts; driver and program come up on first use.
class Emulated : public testing::Test {
  protected:
    UsbTestbed bed;
    std::optional<libusb::LibUsbDriver> drv_;
    std::optional<TestApp> t_;

    libusb::LibUsbDriver& drv() {
        // Short timeouts: the emulated adapter answers at once or never.
        if (!drv_) drv_.emplace(libusb::LibUsbOptions{200, 100, 5});
        return *drv_;
    }
    app::App& app() {
        if (!t_) t_.emplace(&drv()).app.usb.InterfaceKind = InterfaceUsb;
        return t_->app;
    }
    // A search from the Usb menu; earlier messages are dropped.
    bool search() {
        app();
        t_->messages.clear();
        return app::FindAdapters(app());
    }
    Texts shown() { return t_->messages.texts(); }
    int32_t read(int16_t address) {
        const auto w = ReadRegisterWord(app().registers(), address);
        app::Tell(app(), w.status);
        return w.word;
    }

    // A bulk request as the adapter layer issues it.
    int bulk(DriverHandle h, int32_t pipe, Bytes& buf, uint32_t& got) {
        const uint8_t in[4] = {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8),
                               static_cast<uint8_t>(pipe >> 16), static_cast<uint8_t>(pipe >> 24)};
        return drv().ioctl(h, ezusb::kBulkTransfer, in, 4, buf.data(), buf.size(), got);
    }
};

TEST_F(Emulated, SearchNamesByBusThenPortPathTellsBoardsApartAndReadsCostNoOpen) {
    bed.plug({.product = 0xB404, .bus = 2}); // unlisted products take a name and count nowhere
    bed.plug({.product = ezusb::kProductQeb, .ports = {2, 1}});         // behind a hub
    EmulatedAdapter& full = bed.plug({.ports = {10}, .maxPacket = 64}); // 10 after 2.1
    bed.plug({.product = 0xB777});
    full.setWord(0x3E, 0xABCD);

    EXPECT_TRUE(search());
    const auto& dev = app().drv.UsbDevices;
    EXPECT_EQ(app().drv.UsbDevCount, 2);
    EXPECT_FALSE(dev[0].Present || dev[3].Present);
    EXPECT_EQ(std::tie(dev[1].BoardType, dev[1].Descriptor1, dev[1].Descriptor2, dev[1].Speed),
              std::make_tuple("QEB", "SPI Adapter", "Bench Interface", "2"));
    EXPECT_FLOAT_EQ(dev[1].FirmwareRev, 2.7f);
    EXPECT_EQ(std::tie(dev[2].BoardType, dev[2].Speed), std::make_tuple("VORLA", "1.1"));
    EXPECT_EQ(drv().backendName(), "USB"); // the main window's title shows it

    // Reads on the full-speed board.
    app().usb.UsbSelDevice = dev[2];
    for (int i = 0; i < 20; ++i) ASSERT_EQ(read(0x3E), 0xABCD);
    EXPECT_EQ(full.commands().back(), (Bytes{0x0D, 1, 2, 0x3E, 0, 0x3E, 0}));
    EXPECT_EQ(full.opens(), 1); // the search opened it; the reads did not
    EXPECT_TRUE(shown().empty());
}

TEST_F(Emulated, MalformedRequestsAndPartlySentCommandsFail) {
    EmulatedAdapter& a = bed.plug({});
    // Pipes the interface lacks, pipe numbers cut short or missing, an unknown request, a
    // command sent only in part, a closed handle.
    const DriverHandle h = drv().open("Ezusb-0");
    Bytes buf(4);
    uint32_t got = 0;
    for (int32_t pipe : {4, 256, -1}) EXPECT_EQ(bulk(h, pipe, buf, got), 0) << pipe;
    EXPECT_EQ(drv().ioctl(h, ezusb::kBulkTransfer, buf.data(), 3, buf.data(), 4, got), 0);
    EXPECT_EQ(drv().ioctl(h, ezusb::kBulkTransfer, nullptr, 4, buf.data(), 4, got), 0);
    EXPECT_EQ(drv().ioctl(h, 0x222999, nullptr, 0, buf.data(), 4, got), 0);
    a.injectFault({0x01, 0, 3});
    Bytes cmd = {0x0D, 1, 2, 0x04, 0, 0x04, 0};
    EXPECT_EQ(bulk(h, 0, cmd, got), 0);
    drv().close(h);
    EXPECT_EQ(bulk(h, 0, buf, got), 0);
    EXPECT_TRUE(a.commands().empty());
}

TEST_F(Emulated, FailuresShowTheirMessageOnceAndASearchRecovers) {
    EmulatedAdapter& a = bed.plug({});
    a.setWord(0x04, 0x1111);
    a.setWord(0x06, 0x2222);
    a.setBusy(true); // claimed by another program: named, not counted, tried again
    EXPECT_FALSE(search());
    EXPECT_EQ(drv().slotStatus(0), "in use by another program");
    a.setBusy(false);
    const auto failing = [&](auto breakIt) {
        EXPECT_TRUE(search());
        breakIt();
        for (int i = 0; i < 3; ++i) read(0x04);
        EXPECT_FALSE(app().UsbReady());
        return shown();
    };
    // A reply that comes too late is not taken for the next one.
    EXPECT_EQ(failing([&] { a.setAnswering(false); }), Texts{"Error Reading SPI"});
    a.setAnswering(true);
    ASSERT_TRUE(search());
    EXPECT_EQ(read(0x06), 0x2222);
    EXPECT_EQ(failing([&] { a.injectFault({0x01, -EPIPE}); }), Texts{"Error Writing SPI"});
    EXPECT_EQ(failing([&] { bed.unplug(a); }), Texts{"Error Writing SPI"});
    EXPECT_EQ(drv().openHandles(), 0u);

    bed.replug(a);
    ASSERT_TRUE(search());
    EXPECT_EQ(read(0x04), 0x1111);
    EXPECT_TRUE(shown().empty());
}

} // namespace
} // namespace tavrin::test

// umockdev diverts /sys, /dev and the usbfs ioctls only through its preload library;
// without it no USB device can be emulated at all.
int main(int argc, char** argv) {
    std::stringstream maps;
    maps << std::ifstream("/proc/self/maps").rdbuf();
    if (maps.str().find("libumockdev-preload") == std::string::npos) {
        std::fprintf(stderr, "SKIPPED: umockdev's preload library is not loaded, so no USB "
                             "device can be emulated; run under umockdev-wrapper.\n");
        return 77;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
