#include "view/ChartCore.h"

#include <algorithm>
#include <cmath>

#include "base/NumberText.h"

namespace tavrin::view {

StepDrawing PlotStep(TraceState& trace, const Samples& samples, int firstChannel, double max,
                     double& min, const ChannelFlags& checked) {
    StepDrawing d;
    if (max - min == 0) min = -1;
    d.max = max;
    d.min = min;

    ++trace.PlotX;
    if (trace.PlotX > kSweepWidth) {
        trace.PlotX = 0;
        trace.PlotXPrev = 0;
    }
    d.clearFrom = trace.PlotX;
    d.clearTo = trace.PlotX + 1;
    d.marker = trace.PlotX + 1;

    for (int c = firstChannel; c < firstChannel + 3; ++c) {
        if (checked[c])
            d.segments[d.segmentCount++] = {c, double(trace.PlotXPrev), trace.PlotYPrev[c],
                                            double(trace.PlotX), samples[c]};
    }
    for (int c = firstChannel; c < firstChannel + 3; ++c) {
        trace.PlotXPrev = trace.PlotX;
        trace.PlotYPrev[c] = samples[c];
    }
    return d;
}

LimitTexts LimitLabels(double max, double min, std::string_view sep) {
    return {base::GeneralText(max, sep), base::GeneralText((max - min) / 2 + min, sep),
            base::GeneralText(min, sep)};
}

double NextScale(Axis axis, std::string_view upperLabelText, std::string_view sep) {
    const std::optional<double> now = base::ParseNumber(upperLabelText, sep);
    const double v = now.value_or(std::nan(""));
    if (axis == Axis::Gyro) {
        if (v == 350) return 175;
        if (v == 175) return 50;
        if (v == 50) return 5;
        return 350;
    }
    if (v == 10) return 5;
    if (v == 5) return 1.25;
    if (v == 1.25) return 0.1;
    return 10;
}

HoverTexts HoverReadout(Axis axis, double x, double y, std::string_view sep) {
    const double value =
        axis == Axis::Gyro ? base::RoundHalfEven(y) : base::RoundHalfEven(y * 10) / 10;
    return {base::GeneralText(base::RoundHalfEven(x), sep), base::GeneralText(value, sep)};
}

bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double xlo, double ylo, double xhi,
                 double yhi) {
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return false;
    // Liang-Barsky: keep the parameter range [t0, t1] of the segment inside all edges.
    const double dx = x1 - x0, dy = y1 - y0;
    if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
    double t0 = 0, t1 = 1;
    int edge0 = -1, edge1 = -1; // which edge cut each end, if any
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - xlo, xhi - x0, y0 - ylo, yhi - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            if (t > t1) return false;
            if (t > t0) t0 = t, edge0 = i;
        } else {
            if (t < t0) return false;
            if (t < t1) t1 = t, edge1 = i;
        }
    }
    const double edges[4] = {xlo, xhi, ylo, yhi};
    // With huge coordinates ox + t * dx loses all precision in the huge component, so a
    // cut end takes its edge exactly, and everything is kept inside the rectangle.
    auto place = [&](double t, int edge, double& x, double& y) {
        x = x0 + t * dx;
        y = y0 + t * dy;
        if (edge == 0 || edge == 1) x = edges[edge];
        if (edge == 2 || edge == 3) y = edges[edge];
        x = std::clamp(x, xlo, xhi);
        y = std::clamp(y, ylo, yhi);
    };
    double ax, ay, bx, by;
    place(t0, edge0, ax, ay);
    place(t1, edge1, bx, by);
    x0 = ax, y0 = ay, x1 = bx, y1 = by;
    return true;
}

std::optional<std::string> LoopDelayCorrection(std::string_view text, std::string_view sep) {
    const std::optional<double> v = base::ParseNumber(text, sep);
    if (!v) return std::string("0");
    std::optional<std::string> fixed;
    double value = *v;
    if (value > 1000) {
        fixed = "1000";
        value = 1000;
    }
    if (value < 0) fixed = "0";
    return fixed;
}

int LoopDelayMs(std::string_view text, std::string_view sep) {
    const double v = base::ParseNumber(text, sep).value_or(0);
    if (!(v > 0)) return 0;
    return static_cast<int>(std::lround(std::min(v, 1000.0)));
}

} // namespace tavrin::view
