// The libusb backend through the real libusb, against emulated adapters.
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "UsbTestbed.h"
#include "transport/libusb/LibUsbDriver.h"

namespace tavrin {
namespace {

using test::AdapterSetup;
using test::EmulatedAdapter;
using test::UsbTestbed;
using Bytes = std::vector<uint8_t>;

// Short timeouts: the emulated adapter answers at once or never.
constexpr LibUsbOptions kFast{200, 100, 5};

// The driver requests as the layer above issues them.
struct Requests {
    EzUsbDriver& d;

    int bulk(DriverHandle h, int32_t pipe, uint8_t* buf, std::size_t len, uint32_t& got) {
        uint8_t in[4] = {static_cast<uint8_t>(pipe), 0, 0, 0};
        return d.ioctl(h, ezusb::kBulkTransfer, in, 4, buf, len, got);
    }
    int send(DriverHandle h, Bytes cmd) {
        uint32_t got = 0;
        return bulk(h, 0, cmd.data(), cmd.size(), got);
    }
    // One adapter command with its reply, on a fresh handle each time.
    bool transfer(const std::string& name, Bytes cmd, Bytes& reply) {
        const DriverHandle h = d.open(name);
        if (h <= 0) return false;
        bool ok = send(h, cmd) == 1;
        uint32_t got = 0;
        if (ok) ok = bulk(h, 1, reply.data(), reply.size(), got) == 1 && got == reply.size();
        d.close(h);
        return ok;
    }
    // A register read: the address twice, the value arrives during the second frame.
    bool readWord(const std::string& name, uint8_t addr, uint16_t& value) {
        Bytes reply(4);
        if (!transfer(name, {0x0D, 1, 2, addr, 0, addr, 0}, reply)) return false;
        value = static_cast<uint16_t>((reply[2] << 8) | reply[3]);
        return true;
    }
    int productOf(const std::string& name) {
        const DriverHandle h = d.open(name);
        if (h <= 0) return -1;
        Bytes buf(ezusb::kDeviceDescriptorSize, 0xEE);
        uint32_t got = 0;
        const int r = d.ioctl(h, ezusb::kGetDeviceDescriptor, buf.data(), buf.size(), buf.data(),
                              buf.size(), got);
        d.close(h);
        return r == 1 ? buf[10] | (buf[11] << 8) : -1;
    }
};

AdapterSetup At(uint8_t bus, std::vector<uint8_t> ports, uint16_t product = ezusb::kProductVorla) {
    AdapterSetup s;
    s.bus = bus;
    s.ports = std::move(ports);
    s.product = product;
    return s;
}

TEST(LibUsbEmulated, AdaptersTakeTheNamesByBusThenPortPathAndOthersAreIgnored) {
    UsbTestbed bed;
    bed.plug(At(2, {1}, ezusb::kProductVorla));
    bed.plug(At(1, {3}, ezusb::kProductQeb));
    bed.plug(At(1, {2, 1}, 0xB777)); // unlisted product behind a hub
    AdapterSetup foreign = At(1, {1});
    foreign.vendor = 0x1234;
    EmulatedAdapter& other = bed.plug(foreign);
    LibUsbDriver drv(kFast);
    Requests r{drv};

    EXPECT_EQ(r.productOf("Ezusb-0"), 0xB777);
    EXPECT_EQ(r.productOf("Ezusb-1"), ezusb::kProductQeb);
    EXPECT_EQ(r.productOf("Ezusb-2"), ezusb::kProductVorla);
    EXPECT_LE(drv.open("Ezusb-3"), 0);
    EXPECT_LE(drv.open("Ezusb-4"), 0);
    EXPECT_LE(drv.open("bogus"), 0);
    EXPECT_EQ(other.opens(), 0);
    EXPECT_EQ(drv.backendName(), "USB");
}

TEST(LibUsbEmulated, AFifthAdapterIsNeverOpened) {
    UsbTestbed bed;
    std::vector<EmulatedAdapter*> a;
    for (uint8_t port = 5; port >= 1; --port) a.push_back(&bed.plug(At(1, {port})));
    LibUsbDriver drv(kFast);
    for (int k = 0; k < 4; ++k) {
        const DriverHandle h = drv.open("Ezusb-" + std::to_string(k));
        ASSERT_GT(h, 0) << k;
        drv.close(h);
    }
    EXPECT_EQ(a[0]->opens(), 0); // port 5 is fifth in line
    for (int i = 1; i < 5; ++i) EXPECT_EQ(a[i]->opens(), 1) << i;
}

TEST(LibUsbEmulated, DescriptorsArriveInTheDriverReplyLayout) {
    UsbTestbed bed;
    AdapterSetup setup;
    setup.product = ezusb::kProductQeb;
    setup.maxPacket = 64;
    setup.descriptor1 = "Abc";
    setup.langId = 0x0407;
    EmulatedAdapter& a = bed.plug(setup);
    LibUsbDriver drv(kFast);
    const DriverHandle h = drv.open("Ezusb-0");
    ASSERT_GT(h, 0);

    Bytes dev(ezusb::kDeviceDescriptorSize, 0xEE);
    uint32_t got = 0;
    ASSERT_EQ(drv.ioctl(h, ezusb::kGetDeviceDescriptor, dev.data(), dev.size(), dev.data(),
                        dev.size(), got),
              1);
    EXPECT_EQ(got, 18u);
    EXPECT_EQ(Bytes(dev.begin(), dev.begin() + 12),
              (Bytes{18, 1, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 64, 0x21, 0x5E, 0x00, 0xB6}));
    EXPECT_EQ(Bytes(dev.begin() + 18, dev.end()), Bytes(dev.size() - 18, 0));

    // String descriptor 1: first its 4-byte head, then the whole length it announces.
    const uint8_t ask[5] = {1, 0, 0, 0, 0x1B};
    Bytes head(4);
    ASSERT_EQ(drv.ioctl(h, ezusb::kGetStringDescriptor, ask, 5, head.data(), 4, got), 1);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(head, (Bytes{8, 3, 'A', 0}));
    Bytes full(head[0] + 1, 0xEE);
    ASSERT_EQ(drv.ioctl(h, ezusb::kGetStringDescriptor, ask, 5, full.data(), head[0], got), 1);
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(full, (Bytes{8, 3, 'A', 0, 'b', 0, 'c', 0, 0xEE}));
    // The language comes from descriptor 0 and is asked for once.
    EXPECT_EQ(a.langIdsAsked(), (std::vector<uint16_t>{0, 0x0407, 0x0407}));
    const uint8_t missing[5] = {9, 0, 0, 0, 0x1B};
    EXPECT_EQ(drv.ioctl(h, ezusb::kGetStringDescriptor, missing, 5, head.data(), 4, got), 0);

    Bytes pipes(ezusb::kPipeInfoSize, 0xEE);
    ASSERT_EQ(drv.ioctl(h, ezusb::kGetPipeInfo, nullptr, 0, pipes.data(), pipes.size(), got), 1);
    EXPECT_EQ(got, 16u + 4 * 20u);
    const uint8_t addresses[] = {0x01, 0x81, 0x02, 0x86};
    for (int i = 0; i < 4; ++i) {
        const uint8_t* e = pipes.data() + 16 + 20 * i;
        EXPECT_EQ(e[0] | (e[1] << 8), 64) << i;
        EXPECT_EQ(e[2], addresses[i]) << i;
        EXPECT_EQ(e[4], 2) << i; // bulk
    }
    EXPECT_EQ(pipes[12], 4);
    EXPECT_EQ(pipes[16 + 20 * 4], 0); // no fifth pipe
    drv.close(h);
}

TEST(LibUsbEmulated, RegisterReadAndWriteBytesOnTheWire) {
    UsbTestbed bed;
    EmulatedAdapter& a = bed.plug({});
    a.setWord(0x3E, 0xABCD);
    LibUsbDriver drv(kFast);
    Requests r{drv};

    uint16_t v = 0;
    ASSERT_TRUE(r.readWord("Ezusb-0", 0x3E, v));
    EXPECT_EQ(v, 0xABCD);
    Bytes reply(4);
    // Write 0x1234 to 0x36: low byte to the address, high byte to the next one.
    ASSERT_TRUE(r.transfer("Ezusb-0", {0x0D, 1, 2, 0xB6, 0x34, 0xB7, 0x12}, reply));
    EXPECT_EQ(a.word(0x36), 0x1234);
    EXPECT_EQ(a.commands(), (std::vector<Bytes>{{0x0D, 1, 2, 0x3E, 0, 0x3E, 0},
                                                {0x0D, 1, 2, 0xB6, 0x34, 0xB7, 0x12}}));
    // A pipe the interface does not have, or a request shorter than a pipe number.
    const DriverHandle h = drv.open("Ezusb-0");
    uint32_t got = 0;
    EXPECT_EQ(r.bulk(h, 4, reply.data(), reply.size(), got), 0);
    EXPECT_EQ(r.bulk(h, -1, reply.data(), reply.size(), got), 0);
    EXPECT_EQ(drv.ioctl(h, ezusb::kBulkTransfer, reply.data(), 2, reply.data(), 4, got), 0);
    EXPECT_EQ(drv.ioctl(h, 0x222999, nullptr, 0, reply.data(), 4, got), 0);
    drv.close(h);
    EXPECT_EQ(r.send(h, {0x00}), 0); // a closed handle is refused
    EXPECT_EQ(a.commands().size(), 2u);
    EXPECT_EQ(drv.openHandles(), 0u);
}

TEST(LibUsbEmulated, ALateReplyIsNotTakenForTheNextOne) {
    UsbTestbed bed;
    EmulatedAdapter& a = bed.plug({});
    a.setWord(0x04, 0x1111);
    a.setWord(0x06, 0x2222);
    LibUsbDriver drv(kFast);
    Requests r{drv};

    a.setAnswering(false);
    uint16_t v = 0;
    EXPECT_FALSE(r.readWord("Ezusb-0", 0x04, v)); // reply timeout
    a.setAnswering(true);                         // ... and now the old reply is ready to be read
    ASSERT_TRUE(r.readWord("Ezusb-0", 0x06, v));
    EXPECT_EQ(v, 0x2222);
    ASSERT_TRUE(r.readWord("Ezusb-0", 0x04, v));
    EXPECT_EQ(v, 0x1111);
}

TEST(LibUsbEmulated, AnAdapterThatCannotBeOpenedSaysWhyAndIsRetried) {
    UsbTestbed bed;
    bed.plug(At(1, {1}));
    EmulatedAdapter& locked = bed.plug(At(1, {2}));
    bed.denyOpen(locked);
    LibUsbDriver drv(kFast);
    Requests r{drv};

    EXPECT_EQ(r.productOf("Ezusb-0"), ezusb::kProductVorla);
    EXPECT_LE(drv.open("Ezusb-1"), 0); // keeps its name: the row can say why
    if (geteuid() != 0)
        EXPECT_EQ(drv.slotStatus(1), "no permission \u2014 see README, 'Using a real adapter'");
    else
        EXPECT_EQ(drv.slotStatus(1).rfind("cannot be opened: ", 0), 0u) << drv.slotStatus(1);
    EXPECT_EQ(drv.slotStatus(0), "");

    bed.allowOpen(locked); // rules fixed; the next search opens it
    const DriverHandle h = drv.open("Ezusb-1");
    EXPECT_GT(h, 0);
    EXPECT_EQ(drv.slotStatus(1), "");
    drv.close(h);
}

} // namespace
} // namespace tavrin
