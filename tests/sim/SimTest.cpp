// The simulated adapter and sensor as the program and the tests use them: frames, new-data
// bits, injected faults, the simulator setting and the USB time of each transfer.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "SimTestApp.h"
#include "sim/SimConfig.h"
#include "transport/UsbSpi.h"

namespace tavrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// The frame of a read request.
constexpr auto Read = [](int addr) { return static_cast<uint16_t>(addr << 8); };

// Reads a word the way the program does: the request twice, the second answer.
uint16_t ReadWord(SimSensor& s, int addr) {
    s.tick();
    s.frame(Read(addr));
    return s.frame(Read(addr));
}

// The frame protocol itself (a read answered during the next frame, one byte per write
// frame) is pinned by the front-end tests through the program's own frames.
TEST(SensorRegisters, RaisedStatusShows) {
    SimSensor s(41120, true, 1);
    s.raiseStatus(0x0006);
    s.raiseStatus(0x0100);
    EXPECT_EQ(ReadWord(s, 0x3C), 0x0106);
    for (int i = 0; i < 4; ++i) s.tick();
    EXPECT_TRUE(s.word(0x0A) & 0x4000); // the outputs' error flag
}

TEST(SensorNewData, SetBySampleClockClearedByRead) {
    SimSensor s(41120, true, 7);
    // A new sample every 1 ms (SMPL_PRD 1); one transfer is 0.25 ms.
    EXPECT_TRUE(s.word(0x04) & 0x8000);
    std::vector<bool> nd;
    for (int i = 0; i < 8; ++i) nd.push_back(ReadWord(s, 0x04) & 0x8000);
    EXPECT_EQ(nd, (std::vector<bool>{true, false, false, true, false, false, false, true}));
    EXPECT_FALSE(s.word(0x04) & 0x8000);
    s.setWord(0x36, 0x0003); // 2 ms period
    int fresh = 0;
    for (int i = 0; i < 40; ++i) fresh += (ReadWord(s, 0x04) & 0x8000) != 0;
    EXPECT_EQ(fresh, 5);
}

struct Link {
    explicit Link(SimOptions o = {}) {
        d.addAdapter(0, o);
        h = d.open("Ezusb-0");
    }
    int bulk(uint8_t pipe, Bytes& buf) {
        const uint8_t in[4] = {pipe, 0, 0, 0};
        uint32_t got = 0;
        return d.ioctl(h, transport::ezusb::kBulkTransfer, in, 4, buf.data(), buf.size(), got);
    }
    int send(Bytes cmd) { return bulk(0, cmd); }
    // One register read: command of two frames, reply of two words.
    void read(int addr) {
        const auto a = static_cast<uint8_t>(addr);
        Bytes reply(4);
        ASSERT_EQ(send({0x0D, 1, 2, a, 0, a, 0}), 1);
        ASSERT_EQ(bulk(1, reply), 1);
    }
    int64_t sensorUs() { return std::llround(d.sensor(0).now() * 1e6); }
    SimDriver d;
    transport::DriverHandle h = 0;
};

// Settings are kept; commands of no frames, of more than 16, or shorter than their frame
// count says, and unknown commands, fail.
TEST(SimAdapter, CommandProtocol) {
    Link l;
    ASSERT_EQ(l.send({0x0C, 120}), 1);
    EXPECT_EQ(l.d.spiBits(0), 120);
    for (const Bytes& bad :
         {Bytes{0x0D, 1, 0}, Bytes{0x0D, 1, 17}, Bytes{0x0D, 1, 2, 0x56, 0, 0x56}, Bytes{0x42}})
        EXPECT_EQ(l.send(bad), 0);
}

// (A bare model number goes on slot 0: the command-line tests run with it.)
TEST(SimConfig, PutsAdaptersOnTheNamedSlots) {
    std::string error = "old";
    auto two = MakeSimDriverFromText("0:41120, 2 : 41190", error);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(error, "");
    auto& d = dynamic_cast<SimDriver&>(*two);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(d.hasAdapter(k), k % 2 == 0) << k;
    EXPECT_EQ(d.sensor(2).word(0x56), 41190);
    // The program finds them as high-speed adapters of the first kind.
    test::TestApp t(two.get());
    EXPECT_TRUE(transport::UsbFindBuffers(t.app.link()).empty());
    EXPECT_EQ(t.app.drv.UsbDevCount, 2);
    EXPECT_EQ(t.app.drv.UsbDevices[2].Speed, "2");
}

// A bad setting gives one short line that names the bad part; a long or binary part is
// quoted once, escaped, and cut off with an ellipsis. (That every message is one line of
// printable text is the fuzz target's check and the program-messages test's.)
TEST(SimConfig, MalformedTextNamesTheBadPartInOneShortLine) {
    std::string bad(120000, '\xE9');
    bad.replace(0, 3, "\\\"\x7F");
    std::string quoted = R"("\\\"\x7F)";
    for (int i = 3; i < 80; ++i) quoted += "\\xE9";
    quoted += "\u2026\"";
    const auto check = [](const std::string& text, const std::string& mentions) {
        std::string error;
        EXPECT_EQ(MakeSimDriverFromText(text, error), nullptr);
        EXPECT_NE(error.find(mentions), std::string::npos) << error;
        EXPECT_LT(error.size(), 400u) << error; // quoted once
    };
    using P = std::pair<std::string, std::string>;
    for (const auto& [text, mentions] :
         {P{"", "empty part"}, P{"0:41120,", "empty part"}, P{"0:41120,,1:41140", "empty part"},
          P{"4:41120", "\"4\""}, P{"-1:41120", "\"-1\""}, P{"x:41120", "\"x\""},
          P{"abc", "\"abc\""}, P{"0:", "\"0:\""}, P{"0:411x0", "\"411x0\""}, P{"1:0", "\"0\""},
          P{"70000", "\"70000\""}, P{"41120,41190", "slot 0 given twice"},
          P{"0:41120,0:41190", "slot 0 given twice"},
          P{std::string("0:41120,241\x01\n90", 16), "\"241\\x01\\x0A90\\x00\""},
          P{"0:41120,\t\xC3\xA9", "\"\\xC3\\xA9\" in part 2 is not a model number (1 to 65535)"}})
        check(text, mentions);
    for (const std::string& text : {bad, "0:" + bad, "0:41120,0:" + bad, bad + ":41120"})
        check(text, quoted);
}

// "fs" makes the adapters full speed, "usbtime" makes the machine's clock keep USB time:
// each transfer of a real-clock adapter then waits for the next (micro)frame.
TEST(SimConfig, FullSpeedAndUsbTimeSettings) {
    struct Row {
        std::string text, speed;
        bool ownClock;
        int64_t minimumNs; // machine time of ten register reads (twenty transfers)
    };
    const Row rows[] = {
        {"41120,fs", "1.1", false, 0},
        {"fs,41120,seed=2", "1.1", true, 0},
        {"41120,usbtime", "2", false, 20 * 125'000 - 125'000},
        {"41120,usbtime,fs", "1.1", false, 20 * 1'000'000 - 1'000'000},
    };
    for (const auto& r : rows) {
        std::string error;
        auto d = MakeSimDriverFromText(r.text, error);
        ASSERT_NE(d, nullptr) << error;
        test::TestApp t(d.get());
        EXPECT_TRUE(transport::UsbFindBuffers(t.app.link()).empty());
        EXPECT_EQ(t.app.drv.UsbDevices[0].Speed, r.speed) << r.text;
        EXPECT_EQ(d->clockSeconds(0).has_value(), r.ownClock) << r.text;
        const transport::DriverHandle h = d->open("Ezusb-0");
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 10; ++i) {
            Bytes cmd{0x0D, 1, 2, 4, 0, 4, 0}, reply(4);
            uint32_t got = 0;
            const uint8_t out[4] = {0, 0, 0, 0}, in[4] = {1, 0, 0, 0};
            d->ioctl(h, transport::ezusb::kBulkTransfer, out, 4, cmd.data(), cmd.size(), got);
            d->ioctl(h, transport::ezusb::kBulkTransfer, in, 4, reply.data(), reply.size(), got);
        }
        const auto took = std::chrono::steady_clock::now() - start;
        d->close(h);
        EXPECT_GE(std::chrono::duration_cast<std::chrono::nanoseconds>(took).count(), r.minimumNs)
            << r.text;
    }
}

TEST(UsbTime, EachBulkTransferWaitsForTheNextFrameThenTakesItsBytes) {
    Link hs;
    hs.read(0x04);
    // Command at the first microframe, 7 bytes at 480 Mbit/s; reply at the second, 4 bytes.
    EXPECT_EQ(hs.d.usbTimeNs(0), 250'000 + 67);
    EXPECT_EQ(hs.sensorUs(), 125); // the frames are clocked when the command has arrived

    Link fs({.highSpeed = false});
    fs.read(0x04);
    EXPECT_EQ(fs.d.usbTimeNs(0), 2'000'000 + 2667); // 1 ms frames, 12 Mbit/s
    EXPECT_EQ(fs.sensorUs(), 1004);
}

} // namespace
} // namespace tavrin::sim
