#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "TestApp.h"
#include "base/Timing.h"

using namespace tavrin::base;
using tavrin::test::TestApp;

// Steps round halves to even from the single-precision value; 0 returns at once; small or
// negative waits become one step and the 0.01 floor is written back to the caller's variable.
TEST(DelayMs, StepsAndTheFloor) {
    const std::tuple<float, int, float> cases[] = {
        {0.0f, 0, 0.0f},      {0.004f, 1, 0.01f},  {-3.0f, 1, 0.01f}, {0.125f, 12, 0.125f},
        {0.375f, 38, 0.375f}, {0.015f, 1, 0.015f}, {0.1f, 10, 0.1f},  {250.0f, 25000, 250.0f}};
    for (const auto& [in, steps, out] : cases) {
        TestApp t;
        float ms = in;
        DelayMs(t.app.busyWait(), ms);
        EXPECT_EQ(t.delaySteps, steps) << in;
        EXPECT_EQ(ms, out) << in;
    }
}
TEST(DelayMs, RunsTheCalibrationOnFirstUseButNotForZero) {
    TestApp t;
    t.app.timing.DelayCalibrated = false;
    t.platform.clockScript = {0.0f, 0.5f, 1.0f, 4.0f};
    float ms = 0;
    DelayMs(t.app.busyWait(), ms);
    EXPECT_FALSE(t.app.timing.DelayCalibrated);
    EXPECT_EQ(t.platform.waitCursorOn, 0);
    ms = 1;
    DelayMs(t.app.busyWait(), ms);
    EXPECT_TRUE(t.app.timing.DelayCalibrated);
    // 500 + 3000 ms of calibration, then the 1 ms asked for.
    EXPECT_EQ(t.delaySteps, 50000 + 300000 + 100);
}

// Each measurement reads the clock twice; the passes of each are seen at its first step.
TEST(CalibrateDelay, BranchesOfTheTwoMeasurements) {
    // Command line or not, clock readings, passes seen, count.
    const std::tuple<bool, std::vector<float>, std::vector<int32_t>, int32_t> cases[] = {
        // An ordinary machine: 0.5 / 0.25 * 1000 = 2000; 3 / 1.5 * 2000 = 4000.
        {false, {100, 100.25f, 200, 201.5f}, {1000, 2000}, 4000},
        // The command line starts from 200.
        {true, {0, 0.5f, 0, 3}, {200}, 200},
        // Very fast: e = 0.001 (< 0.005): x40; e = 0.05 (< 0.1): x6; e = 0.5.
        {false, {0, 0.001f, 0, 0.05f, 0, 0.5f, 0, 3}, {1000, 40000, 240000}, 240000},
        // Every measurement 0: e floors to 0.0005, e3 to 0.1; 3 / 0.1 * 2.4e8 is held at max.
        {false, {5}, {}, std::numeric_limits<int32_t>::max()},
        // A clock far too slow would scale the count below one pass: never zero.
        {false, {0, 50000, 0, 80000}, {1000, 1}, 1},
        // Midnight: 86399.9 -> 0.2 is negative: too short, x40, then 0.5 and 3 / 3.
        {false, {86399.9f, 0.2f, 10, 10.5f, 20, 23}, {1000, 40000}, 40000},
        // Halves to even: 0.5 / 4 * 1000 = 125; 3 / 6 * 125 = 62.5 -> 62.
        {false, {0, 4, 0, 6}, {1000, 125}, 62}};
    for (const auto& [cmdLine, clock, passes, count] : cases) {
        TestApp t;
        std::vector<int32_t> passesSeen;
        t.app.timing.spin = [&](int32_t n) {
            if (passesSeen.empty() || passesSeen.back() != n) passesSeen.push_back(n);
        };
        t.platform.cmdLine = cmdLine ? "x" : "";
        t.platform.clockScript.assign(clock.begin(), clock.end());
        t.app.timing.DelayCalibrated = false;
        CalibrateDelay(t.app.busyWait());
        EXPECT_EQ(t.app.timing.DelayCount10us, count);
        EXPECT_TRUE(t.app.timing.DelayCalibrated);
        if (!passes.empty()) {
            EXPECT_EQ(passesSeen, passes);
        }
        EXPECT_EQ(t.platform.waitCursorOn, 1);
        EXPECT_EQ(t.platform.waitCursorOff, 1);
    }
}
