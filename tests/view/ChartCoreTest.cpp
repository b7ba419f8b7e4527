#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "view/ChartCore.h"

using namespace tavrin::chart;

TEST(ChartTextTest, LimitLabelsInGeneralFormWithTheUsersSeparator) {
    const LimitTexts l = LimitLabels(0.1, -0.1, ",");
    EXPECT_EQ(l.upper, "0,1");
    EXPECT_EQ(l.middle, "0");
    EXPECT_EQ(l.lower, "-0,1");
    EXPECT_EQ(LimitLabels(100, 0, ".").middle, "50");
}

TEST(ChartTextTest, ScaleButtonsFallBackToTheDefault) {
    // The cycles themselves are pressed through in the window test.
    EXPECT_EQ(NextScale(Axis::Gyro, "", "."), 350);
    EXPECT_EQ(NextScale(Axis::Gyro, "10", "."), 350);
    EXPECT_EQ(NextScale(Axis::Accel, "350", "."), 10);
    EXPECT_EQ(NextScale(Axis::Accel, "abc", "."), 10);
    EXPECT_EQ(NextScale(Axis::Accel, "1,25", ","), 0.1); // a comma locale's label
}

TEST(ChartTextTest, HoverRoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(HoverReadout(Axis::Gyro, 2.5, 2.5, ".").sample, "2");
    EXPECT_EQ(HoverReadout(Axis::Gyro, 3.5, 3.5, ".").sample, "4");
    EXPECT_EQ(HoverReadout(Axis::Gyro, 2.5, 2.5, ".").value, "2");
    EXPECT_EQ(HoverReadout(Axis::Gyro, 0, -3.5, ".").value, "-4");
    EXPECT_EQ(HoverReadout(Axis::Gyro, 0, 174.6, ".").value, "175");
    EXPECT_EQ(HoverReadout(Axis::Accel, 0, 0.25, ".").value, "0.2");
    EXPECT_EQ(HoverReadout(Axis::Accel, 0, 0.75, ".").value, "0.8");
    EXPECT_EQ(HoverReadout(Axis::Accel, 0, 9.96, ".").value, "10");
    EXPECT_EQ(HoverReadout(Axis::Accel, 0, -1.23, ",").value, "-1,2");
    EXPECT_EQ(HoverReadout(Axis::Accel, 0, -0.04, ".").value, "0");
}

TEST(ClipSegmentTest, CutsToTheRectangleWithoutClampingTheSlope) {
    double x0 = 0, y0 = 50, x1 = 100, y1 = 50;
    ASSERT_TRUE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(x1, 100);

    // Running off the top: the visible part ends on the edge where the line crosses it.
    x0 = 0, y0 = 50, x1 = 10, y1 = -50;
    ASSERT_TRUE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    EXPECT_DOUBLE_EQ(x1, 5);
    EXPECT_DOUBLE_EQ(y1, 0);

    // Absurd magnitudes still give an edge crossing within the rectangle.
    x0 = 10, y0 = 50, x1 = 12, y1 = -1e300;
    ASSERT_TRUE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    EXPECT_EQ(y1, 0);
    EXPECT_NEAR(x1, 10, 1e-6);

    // Both ends astronomically far on opposite sides: the stroke spans the full height
    // exactly, although ox + t * dy has no precision left at these magnitudes.
    x0 = 4, y0 = 3.4e299, x1 = 6, y1 = -6e305;
    ASSERT_TRUE(ClipSegment(x0, y0, x1, y1, 0, 0, 700, 240));
    EXPECT_EQ(y0, 240);
    EXPECT_EQ(y1, 0);
    EXPECT_NEAR(x0, 4, 1e-5);
    EXPECT_NEAR(x1, 4, 1e-5);

    x0 = 200, y0 = 0, x1 = 300, y1 = 50;
    EXPECT_FALSE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    x0 = 0, y0 = -1e300, x1 = 1, y1 = -1e300;
    EXPECT_FALSE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    x0 = 0, y0 = nan, x1 = 1, y1 = 5;
    EXPECT_FALSE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    const double inf = std::numeric_limits<double>::infinity();
    x0 = 0, y0 = 5, x1 = 1, y1 = inf;
    EXPECT_FALSE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
}

TEST(LoopDelayTest, FieldIsCorrectedToZeroThroughThousand) {
    EXPECT_EQ(LoopDelayCorrection("", "."), "0");
    EXPECT_EQ(LoopDelayCorrection("-", "."), "0");
    EXPECT_EQ(LoopDelayCorrection("1000.01", "."), "1000");
    EXPECT_EQ(LoopDelayCorrection("-0.5", "."), "0");
    EXPECT_EQ(LoopDelayCorrection("12,5", ","), std::nullopt);
    EXPECT_EQ(LoopDelayCorrection("1000", "."), std::nullopt);
}

TEST(LoopDelayTest, WaitIsTheFieldInWholeMilliseconds) {
    EXPECT_EQ(LoopDelayMs("0", "."), 0);
    EXPECT_EQ(LoopDelayMs("5", "."), 5);
    EXPECT_EQ(LoopDelayMs("12.5", "."), 13);
    EXPECT_EQ(LoopDelayMs("12,4", ","), 12);
    EXPECT_EQ(LoopDelayMs("1000", "."), 1000);
    EXPECT_EQ(LoopDelayMs("junk", "."), 0);
}
