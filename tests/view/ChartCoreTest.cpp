#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "view/ChartCore.h"

using namespace tavrin::chart;

namespace {

Samples Gyro(double x, double y, double z) {
    Samples s{};
    s[2] = x;
    s[3] = y;
    s[4] = z;
    return s;
}

ChannelFlags AllOn() {
    ChannelFlags f{};
    f.fill(true);
    return f;
}

} // namespace

TEST(PlotStepTest, FirstStepStartsEveryTraceAtTheOrigin) {
    TraceState t;
    double min = -350;
    const StepDrawing d = PlotStep(t, Gyro(100, -20, 7), 2, 350, min, AllOn());
    EXPECT_EQ(d.clearFrom, 1);
    EXPECT_EQ(d.clearTo, 2);
    EXPECT_EQ(d.marker, 2);
    ASSERT_EQ(d.segmentCount, 3);
    const double want[3] = {100, -20, 7};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.segments[i].channel, 2 + i);
        EXPECT_EQ(d.segments[i].x0, 0);
        EXPECT_EQ(d.segments[i].y0, 0);
        EXPECT_EQ(d.segments[i].x1, 1);
        EXPECT_EQ(d.segments[i].y1, want[i]);
    }
    EXPECT_EQ(t.PlotX, 1);
    EXPECT_EQ(t.PlotXPrev, 1);
    EXPECT_EQ(t.PlotYPrev[3], -20);
    EXPECT_EQ(min, -350);
}

TEST(PlotStepTest, SweepRunsTo350ThenWrapsToZeroWithAVerticalSegment) {
    TraceState t;
    double min = -10;
    for (int i = 1; i <= 350; ++i) {
        Samples s{};
        s[5] = i;
        PlotStep(t, s, 5, 10, min, AllOn());
        ASSERT_EQ(t.PlotX, i);
    }
    Samples s{};
    s[5] = -4;
    const StepDrawing wrap = PlotStep(t, s, 5, 10, min, AllOn());
    EXPECT_EQ(t.PlotX, 0);
    EXPECT_EQ(wrap.clearFrom, 0);
    EXPECT_EQ(wrap.segments[0].x0, 0);
    EXPECT_EQ(wrap.segments[0].x1, 0);
    EXPECT_EQ(wrap.segments[0].y0, 350);
    EXPECT_EQ(wrap.segments[0].y1, -4);
    // Later sweeps hold 351 points: 0..350, then 0 again.
    for (int i = 1; i <= 350; ++i) PlotStep(t, s, 5, 10, min, AllOn());
    EXPECT_EQ(t.PlotX, 350);
    PlotStep(t, s, 5, 10, min, AllOn());
    EXPECT_EQ(t.PlotX, 0);
}

TEST(PlotStepTest, UncheckedChannelDrawsNothingButKeepsItsLatestValue) {
    TraceState t;
    double min = -350;
    ChannelFlags f = AllOn();
    f[3] = false;
    StepDrawing d = PlotStep(t, Gyro(1, 2, 3), 2, 350, min, f);
    ASSERT_EQ(d.segmentCount, 2);
    EXPECT_EQ(d.segments[0].channel, 2);
    EXPECT_EQ(d.segments[1].channel, 4);
    PlotStep(t, Gyro(1, 55, 3), 2, 350, min, f);
    // Checked again: continues from the latest sample, not a stale one.
    d = PlotStep(t, Gyro(1, 60, 3), 2, 350, min, AllOn());
    ASSERT_EQ(d.segmentCount, 3);
    EXPECT_EQ(d.segments[1].y0, 55);
    EXPECT_EQ(d.segments[1].x0, 2);
}

TEST(PlotStepTest, EqualLimitsTurnTheCallersMinimumIntoMinusOne) {
    TraceState t;
    double max = 0, min = 0;
    const StepDrawing d = PlotStep(t, Gyro(0, 0, 0), 2, max, min, AllOn());
    EXPECT_EQ(min, -1);
    EXPECT_EQ(d.max, 0);
    EXPECT_EQ(d.min, -1);
    double max2 = 5, min2 = 5;
    PlotStep(t, Gyro(0, 0, 0), 2, max2, min2, AllOn());
    EXPECT_EQ(min2, -1);
    double max3 = 5, min3 = -5;
    PlotStep(t, Gyro(0, 0, 0), 2, max3, min3, AllOn());
    EXPECT_EQ(min3, -5);
}

TEST(ChartTextTest, LimitLabelsInGeneralForm) {
    LimitTexts l = LimitLabels(350, -350, ".");
    EXPECT_EQ(l.upper, "350");
    EXPECT_EQ(l.middle, "0");
    EXPECT_EQ(l.lower, "-350");
    l = LimitLabels(1.25, -1.25, ".");
    EXPECT_EQ(l.upper, "1.25");
    EXPECT_EQ(l.lower, "-1.25");
    l = LimitLabels(100, 0, ".");
    EXPECT_EQ(l.middle, "50");
    l = LimitLabels(0.1, -0.1, ",");
    EXPECT_EQ(l.upper, "0,1");
    EXPECT_EQ(l.middle, "0");
    EXPECT_EQ(l.lower, "-0,1");
}

TEST(ChartTextTest, ScaleButtonsCycleAndFallBackToTheDefault) {
    EXPECT_EQ(NextScale(Axis::Gyro, "350", "."), 175);
    EXPECT_EQ(NextScale(Axis::Gyro, "175", "."), 50);
    EXPECT_EQ(NextScale(Axis::Gyro, "50", "."), 5);
    EXPECT_EQ(NextScale(Axis::Gyro, "5", "."), 350);
    EXPECT_EQ(NextScale(Axis::Gyro, "", "."), 350);
    EXPECT_EQ(NextScale(Axis::Gyro, "10", "."), 350);
    EXPECT_EQ(NextScale(Axis::Accel, "10", "."), 5);
    EXPECT_EQ(NextScale(Axis::Accel, "5", "."), 1.25);
    EXPECT_EQ(NextScale(Axis::Accel, "1.25", "."), 0.1);
    EXPECT_EQ(NextScale(Axis::Accel, "0.1", "."), 10);
    EXPECT_EQ(NextScale(Axis::Accel, "350", "."), 10);
    EXPECT_EQ(NextScale(Axis::Accel, "abc", "."), 10);
    // A comma locale shows "1,25" on the label.
    EXPECT_EQ(NextScale(Axis::Accel, "1,25", ","), 0.1);
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

TEST(PixelMapTest, LimitsLandOnTheEdgeRowsAndColumns) {
    const PixelMap m{10, -10, 701, 241};
    EXPECT_EQ(m.px(0), 0);
    EXPECT_EQ(m.px(350), 700);
    EXPECT_EQ(m.py(10), 0);
    EXPECT_EQ(m.py(-10), 240);
    EXPECT_EQ(m.py(0), 120);
    EXPECT_DOUBLE_EQ(m.ux(m.px(123)), 123);
    EXPECT_DOUBLE_EQ(m.uy(m.py(3.5)), 3.5);
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
    EXPECT_EQ(LoopDelayCorrection("2000", "."), "1000");
    EXPECT_EQ(LoopDelayCorrection("-5", "."), "0");
    EXPECT_EQ(LoopDelayCorrection("abc", "."), "0");
    EXPECT_EQ(LoopDelayCorrection("", "."), "0");
    EXPECT_EQ(LoopDelayCorrection("-", "."), "0");
    EXPECT_EQ(LoopDelayCorrection("12.5", "."), std::nullopt);
    EXPECT_EQ(LoopDelayCorrection("12,5", ","), std::nullopt);
    EXPECT_EQ(LoopDelayCorrection("1000", "."), std::nullopt);
    EXPECT_EQ(LoopDelayCorrection("1000.01", "."), "1000");
    EXPECT_EQ(LoopDelayCorrection("0", "."), std::nullopt);
    EXPECT_EQ(LoopDelayCorrection("-0.5", "."), "0");
}

TEST(LoopDelayTest, WaitIsTheFieldInWholeMilliseconds) {
    EXPECT_EQ(LoopDelayMs("0", "."), 0);
    EXPECT_EQ(LoopDelayMs("5", "."), 5);
    EXPECT_EQ(LoopDelayMs("12.5", "."), 13);
    EXPECT_EQ(LoopDelayMs("12,4", ","), 12);
    EXPECT_EQ(LoopDelayMs("1000", "."), 1000);
    EXPECT_EQ(LoopDelayMs("junk", "."), 0);
}
