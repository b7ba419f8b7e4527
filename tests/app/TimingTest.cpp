#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "TestApp.h"
#include "app/Timing.h"

using namespace tavrin;
using tavrin::test::TestApp;

namespace {

// A calibration run on a scripted clock: each measurement reads the clock twice.
struct Calibration : ::testing::Test {
    TestApp t;
    std::vector<int32_t> passesSeen; // DelayCount10us at each spin step (first of each wait)

    void SetUp() override {
        t.app.timing.spin = [this](int32_t passes) {
            ++t.delaySteps;
            if (passesSeen.empty() || passesSeen.back() != passes) passesSeen.push_back(passes);
        };
    }
    void script(std::initializer_list<float> readings) {
        t.platform.clockScript.assign(readings.begin(), readings.end());
    }
};

} // namespace

TEST(DelayMs, ZeroReturnsAtOnceAndSmallOrNegativeRaisedToOneStep) {
    TestApp t;
    float ms = 0;
    DelayMs(t.app, ms);
    EXPECT_EQ(t.delaySteps, 0);
    EXPECT_EQ(ms, 0.0f);

    for (float v : {0.004f, -3.0f}) {
        t.delaySteps = 0;
        ms = v;
        DelayMs(t.app, ms);
        EXPECT_EQ(t.delaySteps, 1) << v;
        EXPECT_EQ(ms, 0.01f) << "the floor is written back to the caller's variable";
    }
}

TEST(DelayMs, StepsRoundHalvesToEvenFromTheSinglePrecisionValue) {
    EXPECT_EQ(DelaySteps(0.125f), 12);
    EXPECT_EQ(DelaySteps(0.375f), 38);
    EXPECT_EQ(DelaySteps(0.015f), 1); // held as slightly less than 0.015
    EXPECT_EQ(DelaySteps(0.1f), 10);
    EXPECT_EQ(DelaySteps(250.0f), 25000);

    TestApp t;
    float ms = 0.125f;
    DelayMs(t.app, ms);
    EXPECT_EQ(t.delaySteps, 12);
    EXPECT_EQ(ms, 0.125f);
}

TEST(DelayMs, RunsTheCalibrationOnFirstUse) {
    TestApp t;
    t.app.timing.DelayCalibrated = false;
    t.platform.clockScript = {0.0f, 0.5f, 1.0f, 4.0f};
    float ms = 1;
    DelayMs(t.app, ms);
    EXPECT_TRUE(t.app.timing.DelayCalibrated);
    // 500 + 3000 ms of calibration, then the 1 ms asked for.
    EXPECT_EQ(t.delaySteps, 50000 + 300000 + 100);
}

TEST(DelayMs, TheRealLoopTakesLongerForMorePasses) {
    // The empty loop must survive optimisation: timing it proves it executes.
    auto time = [](int32_t passes) {
        const auto t0 = std::chrono::steady_clock::now();
        SpinLoop(passes);
        return std::chrono::steady_clock::now() - t0;
    };
    EXPECT_GT(time(50'000'000), time(1000));
}

TEST_F(Calibration, OrdinaryMachineScalesByBothMeasurements) {
    script({100.0f, 100.25f, 200.0f, 201.5f});
    CalibrateDelay(t.app);
    // 0.5 / 0.25 * 1000 = 2000; 3 / 1.5 * 2000 = 4000.
    EXPECT_EQ(t.app.timing.DelayCount10us, 4000);
    EXPECT_TRUE(t.app.timing.DelayCalibrated);
    EXPECT_EQ(passesSeen, (std::vector<int32_t>{1000, 2000}));
    EXPECT_EQ(t.platform.waitCursorOn, 1);
    EXPECT_EQ(t.platform.waitCursorOff, 1);
}

TEST_F(Calibration, CommandLineStartsFromTwoHundred) {
    t.platform.cmdLine = "x";
    script({0.0f, 0.5f, 0.0f, 3.0f});
    CalibrateDelay(t.app);
    EXPECT_EQ(passesSeen.front(), 200);
    EXPECT_EQ(t.app.timing.DelayCount10us, 200);
}

TEST_F(Calibration, VeryFastFirstMeasureMultipliesByFortyThenSix) {
    // e = 0.001 (< 0.005): x40 and measure; e = 0.05 (< 0.1): x6 and measure; e = 0.5.
    script({0.0f, 0.001f, 0.0f, 0.05f, 0.0f, 0.5f, 0.0f, 3.0f});
    CalibrateDelay(t.app);
    EXPECT_EQ(passesSeen, (std::vector<int32_t>{1000, 40000, 240000}));
    EXPECT_EQ(t.app.timing.DelayCount10us, 240000);
}

TEST_F(Calibration, ShortMeasureMultipliesBySixOnly) {
    script({0.0f, 0.05f, 0.0f, 0.25f, 0.0f, 3.0f});
    CalibrateDelay(t.app);
    EXPECT_EQ(passesSeen, (std::vector<int32_t>{1000, 6000, 12000}));
    EXPECT_EQ(t.app.timing.DelayCount10us, 12000);
}

TEST_F(Calibration, FloorsOfTheTwoMeasurements) {
    // Every measurement 0: e is floored to 0.0005 and e3 to 0.1.
    script({5.0f});
    CalibrateDelay(t.app);
    // 1000 * 40 * 6 = 240000; 0.5 / 0.0005 * 240000 = 2.4e8; 3 / 0.1 * 2.4e8 overflows.
    EXPECT_EQ(t.app.timing.DelayCount10us, std::numeric_limits<int32_t>::max());
}

TEST_F(Calibration, CountNeverWrapsNorBecomesZero) {
    // A clock far too slow would scale the count below one pass.
    script({0.0f, 50000.0f, 0.0f, 80000.0f});
    CalibrateDelay(t.app);
    EXPECT_EQ(t.app.timing.DelayCount10us, 1);
}

TEST_F(Calibration, ClockCrossingMidnightCountsAsTooShort) {
    // 86399.9 -> 0.2 is negative: treated like a too-short measurement.
    script({86399.9f, 0.2f, 10.0f, 10.5f, 20.0f, 23.0f});
    CalibrateDelay(t.app);
    // e < 0.005 -> x40 -> e = 0.5 -> 40000 -> 3 / 3 -> 40000.
    EXPECT_EQ(passesSeen, (std::vector<int32_t>{1000, 40000}));
    EXPECT_EQ(t.app.timing.DelayCount10us, 40000);
}

TEST_F(Calibration, ScaledCountRoundsHalvesToEven) {
    // 0.5 / 4 * 1000 = 125; 3 / 6 * 125 = 62.5 -> 62 (not 63).
    script({0.0f, 4.0f, 0.0f, 6.0f});
    CalibrateDelay(t.app);
    EXPECT_EQ(t.app.timing.DelayCount10us, 62);
    // 3 / 2 * 125 = 187.5 -> 188.
    script({0.0f, 4.0f, 0.0f, 2.0f});
    CalibrateDelay(t.app);
    EXPECT_EQ(t.app.timing.DelayCount10us, 188);
}
