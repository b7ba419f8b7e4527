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
#include "registers/FrontEnd.h"
#include "registers/RegisterMap.h"
#include "transport/UsbSpi.h"
#include "transport/libusb/LibUsbDriver.h"

using namespace tavrin::registers;
using namespace tavrin::transport;

namespace tavrin::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

AdapterSetup At(uint8_t bus, std::vector<uint8_t> ports, uint16_t product = ezusb::kProductVorla,
                uint16_t maxPacket = 512) {
    AdapterSetup s{.product = product, .bus = bus, .ports = ports, .maxPacket = maxPacket};
    s.descriptor1 = "Board " + std::to_string(ports.back());
    return s;
}

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
        UsbFindBuffers(app());
        return app().usb.UsbReady;
    }
    Texts shown() { return t_->messages.texts(); }
    int32_t read(int16_t address) { return ReadRegisterWord(app(), address); }

    // A bulk request as the adapter layer issues it.
    int bulk(DriverHandle h, int32_t pipe, Bytes& buf, uint32_t& got) {
        const uint8_t in[4] = {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8),
                               static_cast<uint8_t>(pipe >> 16), static_cast<uint8_t>(pipe >> 24)};
        return drv().ioctl(h, ezusb::kBulkTransfer, in, 4, buf.data(), buf.size(), got);
    }
};

TEST_F(Emulated, SearchNamesByBusThenPortPathTellsBoardsApartAndReadsCostNoOpen) {
    bed.plug(At(2, {1}, 0xB404)); // unlisted products take a name and count nowhere
    EmulatedAdapter& fifth = bed.plug(At(2, {2}));
    AdapterSetup qeb = At(1, {2, 1}, ezusb::kProductQeb); // behind a hub
    qeb.langId = 0x0407;
    EmulatedAdapter& second = bed.plug(qeb);
    EmulatedAdapter& full = bed.plug(At(1, {10}, ezusb::kProductVorla, 64)); // 10 after 2.1
    bed.plug(At(1, {1}, 0xB777));
    EmulatedAdapter& other = bed.plug({.vendor = 0x1234, .bus = 3});
    full.setWord(0x3E, 0xABCD);

    EXPECT_TRUE(search());
    const auto& dev = app().drv.UsbDevices;
    EXPECT_EQ(app().drv.UsbDevCount, 2);
    EXPECT_FALSE(dev[0].Present || dev[3].Present);
    EXPECT_EQ(dev[0].DevName, "");
    EXPECT_EQ(std::tie(dev[1].BoardType, dev[1].Descriptor1, dev[1].Descriptor2, dev[1].Speed),
              std::make_tuple("QEB", "Board 1", "Bench Interface", "2"));
    EXPECT_FLOAT_EQ(dev[1].FirmwareRev, 2.7f);
    EXPECT_EQ(std::tie(dev[2].BoardType, dev[2].Descriptor1, dev[2].Speed),
              std::make_tuple("VORLA", "Board 10", "1.1"));
    EXPECT_EQ(app().usb.SpiSetupValue, 35); // the last board read sets it
    EXPECT_EQ(app().usb.UsbSelIndex, 1);
    // The language comes from descriptor 0 and is asked for once.
    EXPECT_EQ(second.langIdsAsked(), (std::vector<uint16_t>{0, 0x0407, 0x0407, 0x0407, 0x0407}));
    EXPECT_EQ(fifth.opens() + other.opens(), 0);
    EXPECT_EQ(drv().backendName(), "USB"); // the main window's title shows it

    // Reads on the full-speed board.
    app().usb.UsbSelDevice = dev[2];
    for (int i = 0; i < 20; ++i) ASSERT_EQ(read(0x3E), 0xABCD);
    EXPECT_EQ(full.commands().back(), (Bytes{0x0D, 1, 2, 0x3E, 0, 0x3E, 0}));
    // A burst: the six outputs in one command of seven frames, each word one frame later.
    const uint16_t words[] = {0xBFFF, 0x2001, 0x80F0, 0x0FFF, 0x1234, 0x8765};
    for (int i = 0; i < 6; ++i) full.setWord(static_cast<uint8_t>(0x04 + 2 * i), words[i]);
    LoadStandardRegisterTable(app().regs);
    const int16_t positions[] = {2, 3, 4, 5, 6, 7};
    std::vector<RegResults> r(6);
    ReadRegisterBurst(app(), positions, r);
    EXPECT_EQ(full.commands().back(),
              (Bytes{0x0D, 1, 7, 0x04, 0, 0x06, 0, 0x08, 0, 0x0A, 0, 0x0C, 0, 0x0E, 0, 0x0E, 0}));
    const int32_t values[] = {-1, 0x2001 - 0x4000, 0xF0, 0x0FFF, 0x1234, 0x0765};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r[i].RegValue, values[i]) << i;
    EXPECT_EQ(r[0].RegNDBit + r[1].RegNDBit + r[2].RegNDBit, 2 * 32768);
    EXPECT_EQ(full.opens(), 1); // the search opened it; the reads did not
    EXPECT_EQ(full.claims(), 1);
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
    EXPECT_EQ(got, 3u);
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
        EXPECT_FALSE(app().usb.UsbReady);
        return shown();
    };
    // A reply that comes too late is not taken for the next one.
    EXPECT_EQ(failing([&] { a.setAnswering(false); }), Texts{"Error Reading SPI"});
    a.setAnswering(true);
    ASSERT_TRUE(search());
    EXPECT_EQ(read(0x06), 0x2222);
    EXPECT_EQ(failing([&] { a.injectFault({0x01, -EPIPE}); }), Texts{"Error Writing SPI"});
    EXPECT_EQ(a.haltsCleared(), 1);
    EXPECT_EQ(failing([&] { a.injectFault({0x81, -EIO}); }), Texts{"Error Reading SPI"});
    EXPECT_EQ(failing([&] { bed.unplug(a); }), Texts{"Error Writing SPI"});
    EXPECT_EQ(drv().openHandles(), 0u);
    EXPECT_FALSE(search()); // with nothing attached

    bed.replug(a);
    ASSERT_TRUE(search());
    EXPECT_EQ(read(0x04), 0x1111);
    EXPECT_EQ(drv().slotStatus(0), "");
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
