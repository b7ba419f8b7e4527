#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>

#include "view/ChartCore.h"

using namespace tavrin::view;

TEST(ChartTextTest, LimitScaleHoverAndLoopDelayTexts) {
    const LimitTexts l = LimitLabels(0.1, -0.1, ",");
    EXPECT_EQ(l.upper + " " + l.middle + " " + l.lower, "0,1 0 -0,1");
    EXPECT_EQ(LimitLabels(100, 0, ".").middle, "50");
    // The cycles are pressed through in the window test; labels not in a cycle fall back
    // to the default.
    EXPECT_EQ(NextScale(Axis::Gyro, "175", "."), 50);
    EXPECT_EQ(NextScale(Axis::Gyro, "10", "."), 350);
    EXPECT_EQ(NextScale(Axis::Accel, "abc", "."), 10);
    EXPECT_EQ(NextScale(Axis::Accel, "1,25", ","), 0.1); // a comma locale's label

    // Hover: axis, position, value, separator, and the sample and value texts; halves go
    // to the even neighbour.
    const std::tuple<Axis, double, double, const char*, const char*> rows[] = {
        {Axis::Gyro, 2.5, 2.5, ".", "2 2"},     {Axis::Gyro, 3.5, -3.5, ".", "4 -4"},
        {Axis::Gyro, 0, 174.6, ".", "0 175"},   {Axis::Accel, 0, 0.25, ".", "0 0.2"},
        {Axis::Accel, 0, 0.75, ".", "0 0.8"},   {Axis::Accel, 0, 9.96, ".", "0 10"},
        {Axis::Accel, 0, -1.23, ",", "0 -1,2"}, {Axis::Accel, 0, -0.04, ".", "0 0"}};
    for (const auto& [axis, x, y, sep, want] : rows) {
        const HoverTexts h = HoverReadout(axis, x, y, sep);
        EXPECT_EQ(h.sample + " " + h.value, want) << x << " " << y;
    }

    // The loop-delay field is corrected to 0 through 1000 and waited in whole milliseconds.
    const std::tuple<const char*, const char*, const char*> corrections[] = {
        {"-", ".", "0"},
        {"1000.01", ".", "1000"},
        {"-0.5", ".", "0"},
        {"12,5", ",", ""},
        {"1000", ".", ""}};
    for (const auto& [text, sep, want] : corrections)
        EXPECT_EQ(LoopDelayCorrection(text, sep).value_or(""), want) << text;
    const std::tuple<const char*, const char*, int> waits[] = {
        {"0", ".", 0},     {"5", ".", 5},       {"12.5", ".", 13},
        {"12,4", ",", 12}, {"1000", ".", 1000}, {"junk", ".", 0}};
    for (const auto& [text, sep, ms] : waits) EXPECT_EQ(LoopDelayMs(text, sep), ms) << text;
}

TEST(ClipSegmentTest, AbsurdNanAndInfiniteValuesClipSafely) {
    using Seg = std::array<double, 4>;
    // A segment in a 100 by 100 rectangle and its visible part (none: NaN); y lands on the edge.
    const std::pair<Seg, Seg> rows[] = {{{0, 50, 10, -50}, {0, 50, 5, 0}},
                                        {{10, 50, 12, -1e300}, {10, 50, 10, 0}},
                                        {{4, 3.4e299, 6, -6e305}, {4, 100, 4, 0}},
                                        {{200, 0, 300, 50}, {NAN}},
                                        {{0, -1e300, 1, -1e300}, {NAN}},
                                        {{0, NAN, 1, 5}, {NAN}},
                                        {{0, 5, 1, INFINITY}, {NAN}}};
    for (auto [s, want] : rows) {
        const bool visible = !std::isnan(want[0]);
        ASSERT_EQ(ClipSegment(s[0], s[1], s[2], s[3], 0, 0, 100, 100), visible) << want[0];
        for (int i = 0; visible && i < 4; ++i) EXPECT_NEAR(s[i], want[i], i % 2 ? 0 : 1e-5) << i;
    }
}
