#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "sim/SimDriver.h"

namespace tavrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

struct Link {
    explicit Link(SimOptions o = {}) {
        d.addAdapter(0, o);
        h = d.open("Ezusb-0");
    }
    int request(uint32_t code, Bytes in, uint8_t* out, std::size_t outLen) {
        got = 0;
        return d.ioctl(h, code, in.data(), in.size(), out, outLen, got);
    }
    int send(Bytes cmd) {
        return request(ezusb::kBulkTransfer, {0, 0, 0, 0}, cmd.data(), cmd.size());
    }
    Bytes receive(std::size_t n) {
        Bytes b(n);
        if (request(ezusb::kBulkTransfer, {1, 0, 0, 0}, b.data(), n) != 1) return {};
        b.resize(got);
        return b;
    }
    SimDriver d;
    DriverHandle h = 0;
    uint32_t got = 0;
};

TEST(SimAdapter, DeviceDescriptorAndPipeInformation) {
    SimOptions o;
    o.productId = 0xB600;
    o.highSpeed = false;
    Link l(o);
    std::array<uint8_t, ezusb::kDeviceDescriptorSize> dd{};
    ASSERT_EQ(l.request(ezusb::kGetDeviceDescriptor, {}, dd.data(), dd.size()), 1);
    EXPECT_EQ(dd[8] | dd[9] << 8, 0x5E21);
    EXPECT_EQ(dd[10] | dd[11] << 8, 0xB600);

    std::array<uint8_t, ezusb::kPipeInfoSize> pi{};
    ASSERT_EQ(l.request(ezusb::kGetPipeInfo, {}, pi.data(), pi.size()), 1);
    EXPECT_EQ(l.got, ezusb::kPipeInfoSize);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(pi[16 + 20 * i] | pi[17 + 20 * i] << 8, 64);
}

TEST(SimAdapter, StringDescriptorsInDriverFormat) {
    Link l;
    uint8_t buf[64] = {};
    ASSERT_EQ(l.request(ezusb::kGetStringDescriptor, {2, 0, 0, 0, 0x1B}, buf, sizeof buf), 1);
    const std::string text = "VORLA USB-SPI";
    EXPECT_EQ(buf[0], 2 + 2 * text.size());
    EXPECT_EQ(buf[1], 3);
    EXPECT_EQ(l.got, buf[0]);
    for (std::size_t i = 0; i < text.size(); ++i) {
        EXPECT_EQ(buf[2 + 2 * i], text[i]);
        EXPECT_EQ(buf[3 + 2 * i], 0);
    }
    // A 4-byte buffer gets the head only.
    ASSERT_EQ(l.request(ezusb::kGetStringDescriptor, {2, 0, 0, 0, 0x1B}, buf, 4), 1);
    EXPECT_EQ(l.got, 4u);
    EXPECT_EQ(l.request(ezusb::kGetStringDescriptor, {9, 0, 0, 0, 0x1B}, buf, 64), 0);
}

TEST(SimAdapter, CommandProtocol) {
    SimOptions o;
    o.firmwareMajor = 3;
    o.firmwareMinor = 7;
    Link l(o);
    ASSERT_EQ(l.send({0x00}), 1);
    EXPECT_EQ(l.receive(2), (Bytes{3, 7}));
    EXPECT_EQ(l.receive(2), Bytes{}); // one reply per command

    ASSERT_EQ(l.send({0x0B, 10}), 1);
    ASSERT_EQ(l.send({0x0C, 120}), 1);
    EXPECT_EQ(l.d.spiSetup(0), 10);
    EXPECT_EQ(l.d.spiBits(0), 120);
    EXPECT_EQ(l.receive(2), Bytes{}); // settings have no reply

    l.d.sensor(0).hold(0x56, 0xA0A0);
    ASSERT_EQ(l.send({0x0D, 1, 2, 0x56, 0, 0x56, 0}), 1);
    const Bytes r = l.receive(4);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[2], 0xA0);
    EXPECT_EQ(r[3], 0xA0);

    EXPECT_EQ(l.send({0x0D, 1, 0}), 0);                // no frames
    EXPECT_EQ(l.send({0x0D, 1, 17}), 0);               // too many frames
    EXPECT_EQ(l.send({0x0D, 1, 2, 0x56, 0, 0x56}), 0); // frames missing
    EXPECT_EQ(l.send({0x42}), 0);                      // unknown command
    EXPECT_EQ(l.request(ezusb::kBulkTransfer, {5, 0, 0, 0}, nullptr, 0), 0);
    EXPECT_EQ(l.d.commands().size(), 8u); // every pipe-0 send is logged
}

TEST(SimAdapter, FaultsFireOnTheNthCallOnly) {
    Link l;
    l.d.failRequest(ezusb::kGetPipeInfo, 2);
    std::array<uint8_t, ezusb::kPipeInfoSize> pi{};
    EXPECT_EQ(l.request(ezusb::kGetPipeInfo, {}, pi.data(), pi.size()), 1);
    EXPECT_EQ(l.request(ezusb::kGetPipeInfo, {}, pi.data(), pi.size()), 0);
    EXPECT_EQ(l.request(ezusb::kGetPipeInfo, {}, pi.data(), pi.size()), 1);

    l.d.failBulk(1, 1);
    ASSERT_EQ(l.send({0x00}), 1); // pipe 0 is not counted
    EXPECT_EQ(l.receive(2), Bytes{});

    l.d.shortReply(2, 1);
    ASSERT_EQ(l.send({0x00}), 1);
    EXPECT_EQ(l.receive(2).size(), 2u);
    ASSERT_EQ(l.send({0x00}), 1);
    EXPECT_EQ(l.receive(2).size(), 1u);
}

TEST(SimAdapter, SlotsHandlesAndUnplug) {
    SimDriver d;
    d.addAdapter(2);
    for (const char* name : {"Ezusb-0", "Ezusb-4", "Ezusb-22"}) EXPECT_LE(d.open(name), 0) << name;
    const DriverHandle a = d.open("Ezusb-2");
    const DriverHandle b = d.open("\\\\.\\Ezusb-2");
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(d.openHandles(), 2);

    d.unplug(2);
    uint8_t dd[18];
    uint32_t got = 0;
    EXPECT_EQ(d.ioctl(a, ezusb::kGetDeviceDescriptor, nullptr, 0, dd, sizeof dd, got), 0);
    EXPECT_LE(d.open("Ezusb-2"), 0);
    d.replug(2);
    EXPECT_EQ(d.ioctl(a, ezusb::kGetDeviceDescriptor, nullptr, 0, dd, sizeof dd, got), 1);
    d.close(a);
    d.close(b);
    d.close(b); // closing twice is harmless
    EXPECT_EQ(d.openHandles(), 0);
    EXPECT_EQ(d.ioctl(a, ezusb::kGetDeviceDescriptor, nullptr, 0, dd, sizeof dd, got), 0);
    EXPECT_EQ(d.backendName(), "simulated");
}

} // namespace
} // namespace tavrin::sim
