// The simulator's virtual clock in USB time, and its count of samples made and caught.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "sim/SimDriver.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

namespace tavrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

struct Link {
    explicit Link(SimOptions o) {
        d.addAdapter(0, o);
        h = d.open("Ezusb-0");
    }
    int bulk(int pipe, Bytes& b) {
        uint8_t in[4] = {static_cast<uint8_t>(pipe), 0, 0, 0};
        uint32_t got = 0;
        return d.ioctl(h, ezusb::kBulkTransfer, in, 4, b.data(), b.size(), got);
    }
    // One register read: command of two frames, reply of two words.
    void read(int addr) {
        Bytes cmd = {0x0D, 1, 2, static_cast<uint8_t>(addr), 0, static_cast<uint8_t>(addr), 0};
        Bytes reply(4);
        ASSERT_EQ(bulk(0, cmd), 1);
        ASSERT_EQ(bulk(1, reply), 1);
    }
    int64_t sensorUs() { return std::llround(d.sensor(0).now() * 1e6); }
    SimDriver d;
    DriverHandle h = 0;
};

SimOptions Speed(bool high, bool usbTime = true) {
    SimOptions o;
    o.highSpeed = high;
    o.usbTime = usbTime;
    return o;
}

TEST(UsbTime, EachBulkTransferWaitsForTheNextFrameThenTakesItsBytes) {
    Link hs(Speed(true));
    hs.read(0x04);
    // Command at the first microframe, 7 bytes at 480 Mbit/s; reply at the second, 4 bytes.
    EXPECT_EQ(hs.d.usbTimeNs(0), 250'000 + 67);
    EXPECT_EQ(hs.sensorUs(), 125); // the frames are clocked when the command has arrived
    Bytes sixteen(35, 0);
    sixteen[0] = 0x0D, sixteen[1] = 1, sixteen[2] = 16;
    ASSERT_EQ(hs.bulk(0, sixteen), 1);
    EXPECT_EQ(hs.d.usbTimeNs(0), 375'000 + 584);

    Link fs(Speed(false));
    fs.read(0x04);
    EXPECT_EQ(fs.d.usbTimeNs(0), 2'000'000 + 2667); // 1 ms frames, 12 Mbit/s
    EXPECT_EQ(fs.sensorUs(), 1004);
    Bytes setting = {0x0B, 10}; // settings take USB time too, but move no sample clock
    ASSERT_EQ(fs.bulk(0, setting), 1);
    EXPECT_EQ(fs.d.usbTimeNs(0), 3'000'000 + 1334);
    EXPECT_EQ(fs.sensorUs(), 1004);

    // The fixed step: 250 us per SPI transfer command, nothing for the rest.
    Link fixed(Speed(false, false));
    fixed.read(0x04);
    ASSERT_EQ(fixed.bulk(0, setting), 1);
    fixed.read(0x04);
    EXPECT_EQ(fixed.sensorUs(), 500);
    EXPECT_EQ(fixed.d.usbTimeNs(0), 0);
}

TEST(SampleCount, SamplesMadeAndCaughtFollowTheReadRate) {
    // XGYRO_OUT read over and over for 100 ms of sample clock (a sample every 1 ms): at
    // high speed a read takes 250 us and catches every sample, the one made at start
    // too; at full speed it takes 2 ms, the last at 101.004 ms, and catches every other.
    struct Case {
        bool high;
        long long made, caught;
    };
    for (const Case& c : {Case{true, 101, 101}, Case{false, 102, 51}}) {
        SCOPED_TRACE(c.high);
        Link l(Speed(c.high));
        while (l.sensorUs() < 100'000) l.read(0x04);
        EXPECT_EQ(l.d.sensor(0).samplesMade(), c.made);
        EXPECT_EQ(l.d.sensor(0).samplesCaught(), c.caught);
    }

    // A gap of several periods makes every sample due in it. A sample counts as caught
    // with n outputs when n of its outputs were read while new; a second read of the
    // same output, other registers and pinned words do not count.
    SimSensor s(41120, true, 1);
    s.tick(5500);
    EXPECT_EQ(s.samplesMade(), 6);
    for (int addr : {0x04, 0x06, 0x04, 0x00, 0x56}) s.frame(static_cast<uint16_t>(addr << 8));
    EXPECT_EQ(s.samplesCaught(), 1);
    EXPECT_EQ(s.samplesCaught(2), 1);
    EXPECT_EQ(s.samplesCaught(3), 0);
    s.tick(500);
    EXPECT_EQ(s.samplesMade(), 7);
    s.hold(0x04, 0x8000);
    s.frame(0x0400);
    EXPECT_EQ(s.samplesCaught(), 1);
    s.frame(0x0600);
    EXPECT_EQ(s.samplesCaught(), 2);
    EXPECT_EQ(s.samplesCaught(2), 1);
    s.release(0x04);
    s.tick(1000);
    for (int addr = 0x02; addr <= 0x16; addr += 2) s.frame(static_cast<uint16_t>(addr << 8));
    EXPECT_EQ(s.samplesCaught(11), 1); // every output of one sample
    EXPECT_EQ(s.samplesCaught(12), 0);
    EXPECT_EQ(s.samplesCaught(3), 1);
}

} // namespace
} // namespace tavrin::sim
