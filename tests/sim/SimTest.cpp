#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "registers/Model.h"
#include "sim/SimConfig.h"
#include "sim/SimDriver.h"
#include "sim/SimSensor.h"
#include "transport/UsbSpi.h"

using namespace tavrin::app;
using namespace tavrin::registers;
using namespace tavrin::transport;

namespace tavrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t Read(int addr) {
    return static_cast<uint16_t>(addr << 8);
}
constexpr uint16_t Write(int addr, int byte) {
    return static_cast<uint16_t>(0x8000 | addr << 8 | byte);
}

// Reads a word the way the program does: the request twice, the second answer.
uint16_t ReadWord(SimSensor& s, int addr) {
    s.tick();
    s.frame(Read(addr));
    return s.frame(Read(addr));
}

int32_t Signed14(uint16_t w) {
    return (w & 0x1FFF) - (w & 0x2000);
}

TEST(SensorFrames, ReadAnsweredDuringNextFrameWritesOneByte) {
    SimSensor s(41120, true, 1);
    s.hold(0x52, 0x1111);
    s.hold(0x54, 0x2222);
    s.frame(Read(0x52));
    EXPECT_EQ(s.frame(Read(0x54)), 0x1111);
    EXPECT_EQ(s.frame(Read(0x53)), 0x2222); // an odd address reads its word
    EXPECT_EQ(s.frame(Write(0x21, 0x7F)), 0x1111);
    EXPECT_EQ(s.frame(Read(0x00)), 0); // nothing answers a write

    EXPECT_EQ(s.word(0x20), 0x7F00); // only the high byte was written
    s.frame(Write(0x20, 0x12));
    EXPECT_EQ(s.word(0x20), 0x7F12);
    // Read-only registers ignore writes.
    const std::vector<uint16_t> before = {s.word(0x56), s.word(0x00), s.word(0x3C)};
    for (int a : {0x00, 0x01, 0x3C, 0x56, 0x57, 0x58}) s.frame(Write(a, 0x55));
    EXPECT_EQ((std::vector<uint16_t>{s.word(0x56), s.word(0x00), s.word(0x3C)}), before);
}

TEST(SensorNewData, SetBySampleClockClearedByRead) {
    SimSensor s(41120, true, 7);
    // A new sample every 1 ms (SMPL_PRD 1); one transfer is 0.25 ms.
    EXPECT_TRUE(s.word(0x04) & 0x8000);
    std::vector<bool> nd;
    for (int i = 0; i < 8; ++i) nd.push_back(ReadWord(s, 0x04) & 0x8000);
    EXPECT_EQ(nd, (std::vector<bool>{true, false, false, true, false, false, false, true}));
    EXPECT_FALSE(s.word(0x04) & 0x8000);
    EXPECT_TRUE(s.word(0x06) & 0x8000); // other outputs still unread

    s.setWord(0x36, 0x0003); // 2 ms period
    int fresh = 0;
    for (int i = 0; i < 40; ++i) fresh += (ReadWord(s, 0x04) & 0x8000) != 0;
    EXPECT_EQ(fresh, 5);
}

TEST(SensorStatus, RaisedStatusBitsAndErrorFlag) {
    SimSensor s(41120, true, 1);
    s.raiseStatus(0x0006);
    s.raiseStatus(0x0100);
    EXPECT_EQ(ReadWord(s, 0x3C), 0x0106);
    for (int i = 0; i < 4; ++i) s.tick();
    EXPECT_TRUE(s.word(0x0A) & 0x4000);
    s.clearStatus(0x0106);
    EXPECT_EQ(ReadWord(s, 0x3C), 0);
    for (int i = 0; i < 4; ++i) s.tick();
    EXPECT_FALSE(s.word(0x0A) & 0x4000);
}

TEST(SensorOutputs, AccelerometerOffsetShiftsOutput) {
    SimSensor s(41120, true, 3);
    EXPECT_NEAR(Signed14(s.word(0x0E)), 300, 5); // 1 g at 0.003333 g per count
    s.setWord(0x24, static_cast<uint16_t>(-300 & 0x0FFF));
    s.setWord(0x20, 150);
    for (int k = 0; k < 4; ++k) s.tick();
    EXPECT_NEAR(Signed14(s.word(0x0E)), 0, 5);
    EXPECT_NEAR(Signed14(s.word(0x0A)), 150, 5);
}

TEST(SensorOutputs, FlashUpdateCommandCounts) {
    SimSensor s(41120, true, 1);
    const int before = s.flashCount();
    s.frame(Write(0x3E, 0x08));
    s.frame(Write(0x3E, 0x02)); // other commands do not touch flash
    s.frame(Write(0x3E, 0x08));
    EXPECT_EQ(s.flashCount(), before + 2);
    EXPECT_EQ(ReadWord(s, 0x3E), 0);
}

TEST(SensorDeterminism, SameSeedSameWords) {
    SimSensor a(41120, true, 42), b(41120, true, 42), c(41120, true, 43);
    std::vector<uint16_t> wa, wb, wc;
    for (int i = 0; i < 20; ++i) {
        for (int addr = 0x02; addr <= 0x10; addr += 2) {
            wa.push_back(ReadWord(a, addr));
            wb.push_back(ReadWord(b, addr));
            wc.push_back(ReadWord(c, addr));
        }
    }
    EXPECT_EQ(wa, wb);
    EXPECT_NE(wa, wc);
}

TEST(SensorOutputs, TemperatureDriftsSlowly) {
    SimSensor s(41120, true, 5);
    auto temp = [&] {
        const uint16_t w = s.word(0x10);
        return 25.0 + ((w & 0x7FF) - (w & 0x800)) * 0.136;
    };
    const double start = temp();
    EXPECT_NEAR(start, 25.0, 0.5);
    // 150 s of virtual time is a quarter of the drift period.
    for (int i = 0; i < 600000; ++i) s.tick();
    EXPECT_NEAR(s.now(), 150.0, 1e-9);
    EXPECT_GT(temp() - start, 0.2);
    EXPECT_LT(temp() - start, 0.7);
}

struct Link {
    explicit Link(SimOptions o = {}) {
        d.addAdapter(0, o);
        h = d.open("Ezusb-0");
    }
    int bulk(uint8_t pipe, Bytes& buf) {
        const uint8_t in[4] = {pipe, 0, 0, 0};
        got = 0;
        return d.ioctl(h, ezusb::kBulkTransfer, in, 4, buf.data(), buf.size(), got);
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
    DriverHandle h = 0;
    uint32_t got = 0;
};

TEST(SimAdapter, CommandProtocol) {
    Link l;
    ASSERT_EQ(l.send({0x0B, 10}), 1);
    ASSERT_EQ(l.send({0x0C, 120}), 1);
    EXPECT_EQ(l.d.spiSetup(0), 10);
    EXPECT_EQ(l.d.spiBits(0), 120);
    Bytes reply(2);
    EXPECT_EQ(l.bulk(1, reply), 0); // settings have no reply

    EXPECT_EQ(l.send({0x0D, 1, 0}), 0);                // no frames
    EXPECT_EQ(l.send({0x0D, 1, 17}), 0);               // too many frames
    EXPECT_EQ(l.send({0x0D, 1, 2, 0x56, 0, 0x56}), 0); // frames missing
    EXPECT_EQ(l.send({0x42}), 0);                      // unknown command
    EXPECT_EQ(l.bulk(5, reply), 0);
    EXPECT_EQ(l.d.commands().size(), 6u); // every pipe-0 send is logged
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

TEST(SimConfig, PutsAdaptersOnTheNamedSlots) {
    std::string error = "old";
    auto one = MakeSimDriverFromText("41120", error);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(error, "");
    auto* d = dynamic_cast<SimDriver*>(one.get());
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->hasAdapter(0));
    EXPECT_EQ(d->sensor(0).word(0x56), 41120);

    auto two = MakeSimDriverFromText("0:41120, 2 : 41190", error);
    ASSERT_NE(two, nullptr);
    d = dynamic_cast<SimDriver*>(two.get());
    for (int k = 0; k < 4; ++k) EXPECT_EQ(d->hasAdapter(k), k % 2 == 0) << k;
    EXPECT_EQ(d->sensor(2).word(0x56), 41190);
    EXPECT_EQ(d->sensor(2).model(), 41190.f);

    // The program finds them as high-speed adapters of the first kind.
    test::TestApp t(two.get());
    UsbFindBuffers(t.app);
    EXPECT_EQ(t.app.drv.UsbDevCount, 2);
    EXPECT_EQ(t.app.drv.UsbDevices[2].BoardType, "VORLA");
    EXPECT_EQ(t.app.drv.UsbDevices[2].Speed, "2");
    EXPECT_TRUE(t.messages.shown.empty());
}

TEST(SimConfig, MalformedTextNamesTheBadPart) {
    struct Case {
        const char* text;
        const char* mentions;
    };
    for (const Case& c :
         {Case{"", "empty part"}, Case{"0:41120,", "empty part"},
          Case{"0:41120,,1:41140", "empty part"}, Case{"4:41120", "\"4\""},
          Case{"-1:41120", "\"-1\""}, Case{"x:41120", "\"x\""},
          Case{"0:41120,0:41190", "slot 0 given twice"}, Case{"41120,41190", "slot 0 given twice"},
          Case{"abc", "\"abc\""}, Case{"0:", "\"0:\""}, Case{"0:411x0", "\"411x0\""},
          Case{"1:0", "\"0\""}, Case{"70000", "\"70000\""}}) {
        std::string error;
        EXPECT_EQ(MakeSimDriverFromText(c.text, error), nullptr) << c.text;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.text << " -> " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// A long or binary setting gives one short line that quotes its start once, every byte
// that is not printable ASCII escaped, then an ellipsis.
TEST(SimConfig, MalformedTextIsQuotedOnceBoundedAndEscaped) {
    std::string bad(120000, '\xE9');
    bad.replace(0, 3, "\\\"\x7F");
    std::string expected = R"("\\\"\x7F)";
    for (int i = 3; i < 80; ++i) expected += "\\xE9";
    expected += "\u2026\"";
    for (const std::string& text : {bad, "0:" + bad, "0:41120,0:" + bad, bad + ":41120"}) {
        std::string error;
        EXPECT_EQ(MakeSimDriverFromText(text, error), nullptr);
        const std::size_t at = error.find(expected);
        ASSERT_NE(at, std::string::npos) << error;
        EXPECT_EQ(error.find("\\xE9", at + expected.size()), std::string::npos) << error;
        EXPECT_LT(error.size(), expected.size() + 60) << error;
        // Outside the ellipsis, printable ASCII only.
        std::string rest = error;
        rest.erase(rest.find("\u2026"), std::string("\u2026").size());
        for (const char c : rest) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << error;
    }
    // Short pieces are quoted whole, without an ellipsis.
    std::string error;
    EXPECT_EQ(MakeSimDriverFromText("0:41120,\t\xC3\xA9", error), nullptr);
    EXPECT_EQ(error, "\"\\xC3\\xA9\" in part 2 is not a model number (1 to 65535)");
}

// Model selection as the program does it, without a window.
void ApplyModelScales(App& app, float model) {
    struct : DeviceDisplay {
        void uncheckAllModels() override {}
        void checkModel(int) override {}
        void showAccLimits(const std::string&, const std::string&, const std::string&) override {}
        void showDeviceCaption(const std::string&) override {}
    } none;
    SetDevice(app, model, none);
}

double Scaled(App& app, int16_t pos) {
    ReadRegister(app, pos);
    return app.res.RegScaled;
}

TEST(ModelReadout, EveryModelReadsLikeASensorAtRest) {
    for (float model : {41040.f, 41120.f, 41140.f, 41160.f, 41170.f, 41190.f}) {
        SCOPED_TRACE(model);
        test::SimTestApp s(model);
        ReadRawRegister(s.app, 0x56);
        EXPECT_EQ(s.app.res.RegRaw, static_cast<int32_t>(model));
        EXPECT_EQ(s.app.res.RegValue, s.app.res.RegRaw);
        EXPECT_EQ(s.app.res.RegScaled, model);
        EXPECT_EQ((s.sensor.word(0x38) >> 8) & 7, 4); // widest gyroscope range
        ApplyModelScales(s.app, model);
        RegisterMap& m = s.app.regs;
        double zSum = 0;
        int fresh = 0;
        for (int pass = 0; pass < 50; ++pass) {
            for (int16_t g : {m.iXGYRO_OUT, m.iYGYRO_OUT, m.iZGYRO_OUT})
                EXPECT_LT(std::abs(Scaled(s.app, g)), 1.5);
            EXPECT_LT(std::abs(Scaled(s.app, m.iXACCL_OUT)), 0.02);
            EXPECT_LT(std::abs(Scaled(s.app, m.iYACCL_OUT)), 0.02);
            const double z = Scaled(s.app, m.iZACCL_OUT);
            EXPECT_NEAR(z, 1.0, 0.02);
            zSum += z;
            fresh += s.app.res.RegNDBit == 32768;
            EXPECT_NEAR(Scaled(s.app, m.iXTEMP_OUT), 25.0, 1.0);
            if (model != 41040.f) {
                EXPECT_NEAR(Scaled(s.app, m.iSUPPLY_OUT), 5.0, 0.03);
                EXPECT_NEAR(Scaled(s.app, m.iYTEMP_OUT), 25.0, 1.0);
                EXPECT_NEAR(Scaled(s.app, m.iZTEMP_OUT), 25.0, 1.0);
            }
        }
        // Shown with two decimals, the vertical axis reads 1.00 g.
        EXPECT_NEAR(zSum / 50, 1.0, 0.005);
        // A pass takes longer than a sample period, so every pass sees a new sample.
        EXPECT_EQ(fresh, 50);
        EXPECT_TRUE(s.t.messages.shown.empty());
        EXPECT_EQ(s.driver.openHandles(), 0);
    }
}

TEST(ModelReadout, GyroscopeRangeAndOffsetThroughTheProgram) {
    test::SimTestApp s(41120);
    ApplyModelScales(s.app, 41120);
    RegisterMap& m = s.app.regs;
    WriteRegister(s.app, m.iXGYRO_OFF, 400); // 5 deg/s
    for (int32_t avg : {0x0402, 0x0202, 0x0102}) {
        WriteRegister(s.app, m.iSENS_AVG, avg);
        double sum = 0;
        for (int i = 0; i < 40; ++i) sum += Scaled(s.app, m.iXGYRO_OUT);
        // The same rate reads the same in every range once the scale follows.
        EXPECT_NEAR(sum / 40, 5.0, 0.2) << std::hex << avg;
    }
}

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
}

TEST(SimConfigFindings, ControlCharactersInTheTextStillGiveOneLine) {
    std::string error;
    const std::string text("0:41120,241\x01\n90", 16);
    EXPECT_EQ(MakeSimDriverFromText(text, error), nullptr);
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(error.find('\x01'), std::string::npos) << error;
    EXPECT_NE(error.find("241\\x01\\x0A90"), std::string::npos) << error;
}

} // namespace
} // namespace tavrin::sim
