#include <gtest/gtest.h>

#include <vector>

#include "sim/SimSensor.h"

namespace tavrin::sim {
namespace {

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
}

TEST(SensorFrames, ReadOnlyRegistersIgnoreWrites) {
    SimSensor s(41120, true, 1);
    const std::vector<uint16_t> before = {s.word(0x56), s.word(0x00), s.word(0x3C)};
    for (int a : {0x00, 0x01, 0x3C, 0x56, 0x57, 0x58}) s.frame(Write(a, 0x55));
    EXPECT_EQ((std::vector<uint16_t>{s.word(0x56), s.word(0x00), s.word(0x3C)}), before);
}

TEST(SensorDefaults, IdentityAndSettings) {
    for (float model : {41040.f, 41120.f, 41140.f, 41160.f, 41170.f, 41190.f}) {
        SimSensor s(model, true, 1);
        EXPECT_EQ(s.word(0x56), static_cast<uint16_t>(model));
        EXPECT_EQ((s.word(0x38) >> 8) & 7, 4); // widest gyroscope range
        EXPECT_NE(s.word(0x36), 0);
        EXPECT_EQ(s.word(0x3C), 0);
        EXPECT_NE(s.word(0x58), 0);
    }
}

TEST(SensorNewData, SetBySampleClockClearedByRead) {
    SimSensor s(41120, true, 7);
    // A new sample every 1 ms (SMPL_PRD 1); one transfer is 0.25 ms.
    EXPECT_TRUE(s.word(0x04) & SimSensor::kNewData);
    std::vector<bool> nd;
    for (int i = 0; i < 8; ++i) nd.push_back(ReadWord(s, 0x04) & SimSensor::kNewData);
    EXPECT_EQ(nd, (std::vector<bool>{true, false, false, true, false, false, false, true}));
    EXPECT_FALSE(s.word(0x04) & SimSensor::kNewData);
    EXPECT_TRUE(s.word(0x06) & SimSensor::kNewData); // other outputs still unread

    s.setWord(0x36, 0x0003); // 2 ms period
    int fresh = 0;
    for (int i = 0; i < 40; ++i) fresh += (ReadWord(s, 0x04) & SimSensor::kNewData) != 0;
    EXPECT_EQ(fresh, 5);
}

TEST(SensorStatus, RaisedStatusBitsAndErrorFlag) {
    SimSensor s(41120, true, 1);
    s.raiseStatus(0x0006);
    s.raiseStatus(0x0100);
    EXPECT_EQ(ReadWord(s, 0x3C), 0x0106);
    for (int i = 0; i < 4; ++i) s.tick();
    EXPECT_TRUE(s.word(0x0A) & SimSensor::kErrorFlag);
    s.clearStatus(0x0106);
    EXPECT_EQ(ReadWord(s, 0x3C), 0);
    for (int i = 0; i < 4; ++i) s.tick();
    EXPECT_FALSE(s.word(0x0A) & SimSensor::kErrorFlag);
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

TEST(SensorOutputs, HoldPinsUntilRelease) {
    SimSensor s(41120, true, 1);
    s.hold(0x04, 0xC123);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(ReadWord(s, 0x04), 0xC123);
    s.release(0x04);
    EXPECT_NE(ReadWord(s, 0x04), 0xC123);
}

TEST(SensorDeterminism, SameSeedSameWords) {
    SimSensor a(41120, true, 42), b(41120, true, 42), c(41120, true, 43);
    std::vector<uint16_t> wa, wb, wc;
    for (int i = 0; i < 200; ++i) {
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
        return 25.0 + ((w & 0x7FF) - (w & 0x800)) * SimSensor::kTempScale;
    };
    const double start = temp();
    EXPECT_NEAR(start, 25.0, 0.5);
    // 150 s of virtual time is a quarter of the drift period.
    for (int i = 0; i < 600000; ++i) s.tick();
    EXPECT_NEAR(s.now(), 150.0, 1e-9);
    EXPECT_GT(temp() - start, 0.2);
    EXPECT_LT(temp() - start, 0.7);
}

} // namespace
} // namespace tavrin::sim
