// The libusb backend, and the program's adapter layer on top of it, through the real
// libusb against emulated adapters: what a user sees when searching, reading and
// pulling the cable.
#include <gtest/gtest.h>
#include <unistd.h>

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
using namespace tavrin::transport::libusb;

namespace tavrin::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;
const Texts kNoneFound = {"No USB Buffers Found, Please Verify Setup and Restart"};

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
    std::optional<LibUsbDriver> drv_;
    std::optional<TestApp> t_;

    LibUsbDriver& drv() {
        // Short timeouts: the emulated adapter answers at once or never.
        if (!drv_) drv_.emplace(LibUsbOptions{200, 100, 5});
        return *drv_;
    }
    TestApp& t() {
        if (!t_) t_.emplace(&drv()).app.usb.InterfaceKind = InterfaceUsb;
        return *t_;
    }
    tavrin::app::App& app() { return t().app; }
    // A search from the Usb menu; earlier messages are dropped.
    bool search() {
        t().messages.clear();
        UsbFindBuffers(app());
        return app().usb.UsbReady;
    }
    Texts shown() { return t().messages.texts(); }
    int32_t read(int16_t address) { return ReadRegisterWord(app(), address); }

    // The driver requests as the adapter layer issues them, each on a fresh handle.
    int bulk(DriverHandle h, int32_t pipe, uint8_t* buf, std::size_t len, uint32_t& got) {
        const uint8_t in[4] = {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8),
                               static_cast<uint8_t>(pipe >> 16), static_cast<uint8_t>(pipe >> 24)};
        return drv().ioctl(h, ezusb::kBulkTransfer, in, 4, buf, len, got);
    }
    // A register read: the address twice, the word arrives during the second frame.
    int readWord(uint8_t addr) {
        const DriverHandle h = drv().open("Ezusb-0");
        Bytes cmd = {0x0D, 1, 2, addr, 0, addr, 0}, reply(4);
        uint32_t got = 0;
        const bool ok = h > 0 && bulk(h, 0, cmd.data(), cmd.size(), got) == 1 &&
                        bulk(h, 1, reply.data(), reply.size(), got) == 1 && got == reply.size();
        if (h > 0) drv().close(h);
        return ok ? (reply[2] << 8) | reply[3] : -1;
    }
    int productOf(const std::string& name) {
        const DriverHandle h = drv().open(name);
        if (h <= 0) return -1;
        Bytes buf(ezusb::kDeviceDescriptorSize);
        uint32_t got = 0;
        const int r = drv().ioctl(h, ezusb::kGetDeviceDescriptor, buf.data(), buf.size(),
                                  buf.data(), buf.size(), got);
        drv().close(h);
        return r == 1 ? buf[10] | (buf[11] << 8) : -1;
    }
};

TEST_F(Emulated, AdaptersTakeTheNamesByBusThenPortPathAndOthersAreIgnored) {
    bed.plug(At(2, {1}));
    bed.plug(At(1, {3}, ezusb::kProductQeb));
    bed.plug(At(1, {2, 1}, 0xB777)); // unlisted product behind a hub
    bed.plug(At(2, {2}, 0xB404));
    EmulatedAdapter& fifth = bed.plug(At(2, {10})); // port numbers sort as numbers
    AdapterSetup foreign = At(1, {1});
    foreign.vendor = 0x1234;
    EmulatedAdapter& other = bed.plug(foreign);

    EXPECT_EQ(productOf("Ezusb-0"), 0xB777);
    EXPECT_EQ(productOf("Ezusb-1"), ezusb::kProductQeb);
    EXPECT_EQ(productOf("Ezusb-2"), ezusb::kProductVorla);
    EXPECT_EQ(productOf("Ezusb-3"), 0xB404);
    for (const char* name : {"Ezusb-4", "bogus"}) EXPECT_LE(drv().open(name), 0) << name;
    EXPECT_EQ(fifth.opens(), 0);
    EXPECT_EQ(other.opens(), 0);
    EXPECT_EQ(drv().backendName(), "USB"); // the main window's title shows it
}

TEST_F(Emulated, DescriptorsArriveInTheDriverReplyLayout) {
    AdapterSetup setup = At(1, {1}, ezusb::kProductQeb, 64);
    setup.descriptor1 = "Abc";
    setup.langId = 0x0407;
    EmulatedAdapter& a = bed.plug(setup);
    const DriverHandle h = drv().open("Ezusb-0");
    ASSERT_GT(h, 0);

    Bytes dev(ezusb::kDeviceDescriptorSize, 0xEE);
    uint32_t got = 0;
    ASSERT_EQ(drv().ioctl(h, ezusb::kGetDeviceDescriptor, dev.data(), dev.size(), dev.data(),
                          dev.size(), got),
              1);
    EXPECT_EQ(got, 18u);
    Bytes expected = {18,   1,    0x00, 0x02, 0xFF, 0xFF, 0xFF, 64, 0x21,
                      0x5E, 0x00, 0xB6, 0x01, 0x00, 1,    2,    0,  1}; // the rest cleared
    expected.resize(dev.size(), 0);
    EXPECT_EQ(dev, expected);

    // String descriptor 1: first its 4-byte head, then the whole length it announces.
    const uint8_t ask[5] = {1, 0, 0, 0, 0x1B}, missing[5] = {9, 0, 0, 0, 0x1B};
    Bytes head(4);
    ASSERT_EQ(drv().ioctl(h, ezusb::kGetStringDescriptor, ask, 5, head.data(), 4, got), 1);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(head, (Bytes{8, 3, 'A', 0}));
    Bytes full(head[0] + 1, 0xEE);
    ASSERT_EQ(drv().ioctl(h, ezusb::kGetStringDescriptor, ask, 5, full.data(), head[0], got), 1);
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(full, (Bytes{8, 3, 'A', 0, 'b', 0, 'c', 0, 0xEE}));
    // The language comes from descriptor 0 and is asked for once.
    EXPECT_EQ(a.langIdsAsked(), (std::vector<uint16_t>{0, 0x0407, 0x0407}));
    EXPECT_EQ(drv().ioctl(h, ezusb::kGetStringDescriptor, missing, 5, head.data(), 4, got), 0);

    Bytes pipes(ezusb::kPipeInfoSize, 0xEE);
    ASSERT_EQ(drv().ioctl(h, ezusb::kGetPipeInfo, nullptr, 0, pipes.data(), pipes.size(), got), 1);
    EXPECT_EQ(got, 16u + 4 * 20u);
    EXPECT_EQ(pipes[12], 4);
    const uint8_t addresses[] = {0x01, 0x81, 0x02, 0x86};
    for (int i = 0; i < 5; ++i) { // packet size, endpoint, interval, bulk; no fifth pipe
        const uint8_t* e = pipes.data() + 16 + 20 * i;
        EXPECT_EQ(Bytes(e, e + 5), i < 4 ? (Bytes{64, 0, addresses[i], 0, 2}) : Bytes(5, 0)) << i;
    }
    drv().close(h);
}

TEST_F(Emulated, MalformedRequestsAreRefusedAndNothingReachesTheAdapter) {
    EmulatedAdapter& a = bed.plug({});
    // Pipes the interface lacks, pipe numbers cut short or missing, an unknown request,
    // a command sent only in part, a closed handle.
    const DriverHandle h = drv().open("Ezusb-0");
    Bytes buf(4);
    uint32_t got = 0;
    for (int32_t pipe : {4, 256, -1}) EXPECT_EQ(bulk(h, pipe, buf.data(), 4, got), 0) << pipe;
    EXPECT_EQ(drv().ioctl(h, ezusb::kBulkTransfer, Bytes(4).data(), 3, buf.data(), 4, got), 0);
    EXPECT_EQ(drv().ioctl(h, ezusb::kBulkTransfer, nullptr, 4, buf.data(), 4, got), 0);
    EXPECT_EQ(drv().ioctl(h, 0x222999, nullptr, 0, buf.data(), 4, got), 0);
    a.injectFault({0x01, 0, 3}); // the adapter takes only part of a command
    Bytes cmd = {0x0D, 1, 2, 0x04, 0, 0x04, 0};
    EXPECT_EQ(bulk(h, 0, cmd.data(), cmd.size(), got), 0);
    EXPECT_EQ(got, 3u);
    drv().close(h);
    EXPECT_EQ(bulk(h, 0, buf.data(), 1, got), 0);
    EXPECT_TRUE(a.commands().empty());
    EXPECT_EQ(drv().openHandles(), 0u);
}

TEST_F(Emulated, ALateReplyIsNotTakenForTheNextOne) {
    EmulatedAdapter& a = bed.plug({});
    a.setWord(0x04, 0x1111);
    a.setWord(0x06, 0x2222);
    a.setAnswering(false);
    EXPECT_EQ(readWord(0x04), -1); // reply timeout
    a.setAnswering(true);          // ... and now the old reply is ready to be read
    EXPECT_EQ(readWord(0x06), 0x2222);
    EXPECT_EQ(readWord(0x04), 0x1111);
}

TEST_F(Emulated, SearchTellsBoardsApartAndReadsCostNoOpenOrClaim) {
    bed.plug(At(1, {1}, 0xB777)); // unlisted product: takes a name, counts nowhere
    bed.plug(At(1, {2}, ezusb::kProductQeb));
    EmulatedAdapter& full = bed.plug(At(1, {3}, ezusb::kProductVorla, 64));
    full.setWord(0x3E, 0xABCD);

    EXPECT_TRUE(search());
    const auto& dev = app().drv.UsbDevices;
    EXPECT_EQ(app().drv.UsbDevCount, 2);
    EXPECT_FALSE(dev[0].Present);
    EXPECT_EQ(dev[0].DevName, "");
    ASSERT_TRUE(dev[1].Present && dev[2].Present);
    EXPECT_EQ(std::tie(dev[1].BoardType, dev[1].Descriptor1, dev[1].Descriptor2, dev[1].Speed),
              std::make_tuple("QEB", "Board 2", "Bench Interface", "2"));
    EXPECT_FLOAT_EQ(dev[1].FirmwareRev, 2.7f);
    EXPECT_EQ(std::tie(dev[2].BoardType, dev[2].Speed), std::make_tuple("VORLA", "1.1"));
    EXPECT_EQ(app().usb.SpiSetupValue, 35); // the last board read sets it
    EXPECT_EQ(app().usb.UsbSelIndex, 1);
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(drv().openHandles(), 0u);

    app().usb.UsbSelDevice = dev[2];
    const std::size_t before = full.commands().size();
    for (int i = 0; i < 20; ++i) ASSERT_EQ(read(0x3E), 0xABCD);
    int16_t lo = 0x36, loByte = 0x34, hi = 0x37, hiByte = 0x12;
    WriteFramePair(app(), lo, loByte, hi, hiByte);
    EXPECT_EQ(full.word(0x36), 0x1234);
    const auto cmds = full.commands();
    ASSERT_EQ(cmds.size(), before + 21);
    EXPECT_EQ(cmds[before], (Bytes{0x0D, 1, 2, 0x3E, 0, 0x3E, 0}));
    EXPECT_EQ(cmds.back(), (Bytes{0x0D, 1, 2, 0xB6, 0x34, 0xB7, 0x12}));
    EXPECT_EQ(full.opens(), 1); // the search opened it; the reads did not
    EXPECT_EQ(full.claims(), 1);
    EXPECT_TRUE(shown().empty());
}

TEST_F(Emulated, TransferFailuresShowTheirMessageOnceAndASearchRecovers) {
    EmulatedAdapter& a = bed.plug({});
    a.setWord(0x10, 0x0777);
    const auto failing = [&](auto breakIt) {
        EXPECT_TRUE(search());
        breakIt();
        for (int i = 0; i < 3; ++i) read(0x10);
        return shown();
    };
    EXPECT_EQ(failing([&] { a.setAnswering(false); }), Texts{"Error Reading SPI"});
    EXPECT_FALSE(app().usb.UsbReady);
    a.setAnswering(true);
    EXPECT_EQ(failing([&] { a.injectFault({0x01, -EPIPE}); }), Texts{"Error Writing SPI"});
    EXPECT_EQ(a.haltsCleared(), 1);
    EXPECT_EQ(failing([&] { a.injectFault({0x81, -EIO}); }), Texts{"Error Reading SPI"});

    // After each failure a search brings the adapter back with correct words.
    ASSERT_TRUE(search());
    EXPECT_EQ(read(0x10), 0x0777);
    EXPECT_EQ(app().usb.SpiInWords[1], 0x0777); // not a stale reply
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(drv().openHandles(), 0u);
}

TEST_F(Emulated, UnplugInTheReadLoopReplugAndSearchThenUnplugWhileIdle) {
    EmulatedAdapter& a = bed.plug({});
    a.setWord(0x04, 0x0042);
    ASSERT_TRUE(search());
    std::vector<int32_t> seen;
    for (int pass = 0; pass < 8; ++pass) {
        if (pass == 3) bed.unplug(a);
        seen.push_back(read(0x04));
    }
    EXPECT_EQ(shown(), Texts{"Error Writing SPI"});
    EXPECT_FALSE(app().usb.UsbReady);
    EXPECT_EQ(std::vector<int32_t>(seen.begin(), seen.begin() + 3),
              (std::vector<int32_t>{0x42, 0x42, 0x42}));
    EXPECT_EQ(drv().openHandles(), 0u);
    EXPECT_EQ(bed.descriptorsOpenOn(a), 0);
    EXPECT_FALSE(search()); // with nothing attached
    EXPECT_EQ(shown(), kNoneFound);

    bed.replug(a);
    ASSERT_TRUE(search());
    EXPECT_EQ(read(0x04), 0x42);
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(bed.descriptorsOpenOn(a), 1);

    // Pulled while idle: the next search finds nothing rather than a broken board.
    bed.unplug(a);
    EXPECT_FALSE(search());
    EXPECT_EQ(shown(), kNoneFound);
    EXPECT_EQ(bed.descriptorsOpenOn(a), 0);
}

TEST_F(Emulated, AdaptersThatCannotBeOpenedKeepTheirNamesSayWhyAndAreRetried) {
    bed.plug(At(1, {1}));
    EmulatedAdapter& busy = bed.plug(At(1, {2}));
    EmulatedAdapter& locked = bed.plug(At(1, {3}, ezusb::kProductQeb));
    busy.setBusy(true);
    bed.setOpenable(locked, false);
    EXPECT_TRUE(search());
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(app().drv.UsbDevCount, 1);
    EXPECT_EQ(drv().slotStatus(0), "");
    EXPECT_EQ(drv().slotStatus(1), "in use by another program");
    if (geteuid() != 0)
        EXPECT_EQ(drv().slotStatus(2), "no permission \u2014 see README, 'Using a real adapter'");
    else
        EXPECT_EQ(drv().slotStatus(2).rfind("cannot be opened: ", 0), 0u) << drv().slotStatus(2);
    EXPECT_EQ(bed.descriptorsOpenOn(busy), 0); // the failed attempt let go of the device

    busy.setBusy(false);
    bed.setOpenable(locked, true); // rules fixed; the next search opens both
    EXPECT_TRUE(search());
    EXPECT_EQ(app().drv.UsbDevCount, 3);
    EXPECT_EQ(app().drv.UsbDevices[2].BoardType, "QEB");
    EXPECT_EQ(drv().slotStatus(1) + drv().slotStatus(2), "");
}

TEST_F(Emulated, BurstReadIsOneCommandOfSevenFramesOnEitherSpeed) {
    const uint16_t words[] = {0xBFFF, 0x2001, 0x80F0, 0x0FFF, 0x1234, 0x8765};
    EmulatedAdapter* adapters[] = {&bed.plug(At(1, {1})), &bed.plug(At(1, {2}, 0xB403, 64))};
    for (EmulatedAdapter* a : adapters)
        for (int i = 0; i < 6; ++i) a->setWord(static_cast<uint8_t>(0x04 + 2 * i), words[i]);
    ASSERT_TRUE(search());
    LoadStandardRegisterTable(app().regs);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "high speed" : "full speed");
        EmulatedAdapter& a = *adapters[k];
        const std::string name = "Ezusb-" + std::to_string(k);
        // The six gyroscope and accelerometer outputs, then the last once more: each word
        // comes back one frame later.
        app().usb.UsbSelDevice = app().drv.UsbDevices[k];
        ASSERT_EQ(app().usb.UsbSelDevice.DevName, name);
        const int16_t positions[] = {2, 3, 4, 5, 6, 7};
        std::vector<RegResults> r(6);
        ReadRegisterBurst(app(), positions, r);
        EXPECT_EQ(a.commands().back(), (Bytes{0x0D, 1, 7, 0x04, 0, 0x06, 0, 0x08, 0, 0x0A, 0, 0x0C,
                                              0, 0x0E, 0, 0x0E, 0}));
        for (int i = 1; i <= 6; ++i) EXPECT_EQ(app().usb.SpiInWords[i + 1], words[i - 1]) << i;
        EXPECT_EQ((std::vector<int32_t>{r[0].RegValue, r[1].RegValue, r[2].RegValue, r[3].RegValue,
                                        r[4].RegValue, r[5].RegValue}),
                  (std::vector<int32_t>{-1, 0x2001 - 0x4000, 0xF0, 0x0FFF, 0x1234, 0x0765}));
        EXPECT_EQ(r[0].RegNDBit + r[1].RegNDBit + r[2].RegNDBit, 2 * 32768);
    }
    EXPECT_TRUE(shown().empty());
    EXPECT_EQ(drv().openHandles(), 0u);
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
