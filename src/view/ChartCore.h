#pragma once
// Strip-chart arithmetic without any drawing: the sweep state of one chart, what one
// plot step draws in chart units, the scale-button cycles, the limit and hover texts,
// the mapping of chart units to image pixels with segment clipping, the status flags
// and the loop-delay field's rules.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::view {

// Chart limits; zero until model selection or the gyroscope-range update sets them.
struct ChartLimits {
    double GyPlotMax = 0;
    double GyPlotMin = 0;
    double AccPlotMax = 0;
    double AccPlotMin = 0;
};

// x runs 0..350, one unit per sample.
inline constexpr int kSweepWidth = 350;
inline constexpr int kChannels = 13;
using Samples = std::array<double, kChannels>;
using ChannelFlags = std::array<bool, kChannels>;

enum class Axis { Gyro, Accel };
inline constexpr int FirstChannel(Axis a) {
    return a == Axis::Gyro ? 2 : 5;
}

// Sweep state of one chart; never reset while the window lives.
struct TraceState {
    int PlotX = 0;
    int PlotXPrev = 0;
    Samples PlotYPrev{};
};

struct Segment {
    int channel = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Everything one step draws, in chart units; `max`/`min` are its coordinate system.
struct StepDrawing {
    double max = 0, min = 0;
    int clearFrom = 0, clearTo = 0; // box over the full height
    int marker = 0;                 // vertical write-position line
    std::array<Segment, 3> segments{};
    int segmentCount = 0;
};

// Advances the sweep by one sample of the chart's three channels (firstChannel ..
// firstChannel + 2). Equal limits turn the caller's `min` into -1. Unchecked channels
// draw nothing but still remember their value.
StepDrawing PlotStep(TraceState& trace, const Samples& samples, int firstChannel, double max,
                     double& min, const ChannelFlags& checked);

struct LimitTexts {
    std::string upper, middle, lower;
};
// Texts of the three scale labels: Max, the middle, Min, in general form.
LimitTexts LimitLabels(double max, double min, std::string_view sep);

// The scale button's next upper limit for the text its upper label shows now.
double NextScale(Axis axis, std::string_view upperLabelText, std::string_view sep);

// Hover readout: position rounded to whole, value to whole (gyro) or one decimal
// (accel), halves to the even neighbour.
struct HoverTexts {
    std::string sample, value;
};
HoverTexts HoverReadout(Axis axis, double x, double y, std::string_view sep);

// Chart units to pixels of a width x height image: x 0 at the left column and 350 at
// the right one, Max on the top row and Min on the bottom row.
struct PixelMap {
    double max = 1, min = -1;
    int width = 1, height = 1;
    double px(double x) const { return x * (width - 1) / kSweepWidth; }
    // Divide before multiplying so values near the double range stay finite.
    double py(double y) const { return (max - y) / (max - min) * (height - 1); }
    // Inverse, for the pointer position.
    double ux(double px) const { return px * kSweepWidth / (width - 1); }
    double uy(double py) const { return max - py * (max - min) / (height - 1); }
};

// Cuts the segment to the rectangle [xlo, xhi] x [ylo, yhi]. False when nothing of it
// lies inside or a coordinate is not finite.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double xlo, double ylo, double xhi,
                 double yhi);

// DIAG_STAT bits shown by the six status rows, top to bottom.
inline constexpr std::array<uint16_t, 6> kStatusMasks{0x0001, 0x0002, 0x0004,
                                                      0x0008, 0x0100, 0x0200};

// The loop-delay field's correction for `text`, or nothing when it stands.
std::optional<std::string> LoopDelayCorrection(std::string_view text, std::string_view sep);
// Milliseconds to wait between passes for a (corrected) field text.
int LoopDelayMs(std::string_view text, std::string_view sep);

} // namespace tavrin::view
