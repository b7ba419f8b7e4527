#pragma once
// A log file in, the Allan deviation curve, the fitted noise terms and the single-point
// figures of each channel out, with the count of the sensor's samples the data holds:
// what the command line and the window call.
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/Allan.h"
#include "analysis/Figures.h"
#include "analysis/Fit.h"
#include "analysis/LogReader.h"

namespace tavrin::analysis {

struct AnalysisOptions {
    ReadOptions read;
    TauChoice taus;
    // A capture: the seconds it lasted on the capture's clock, with read.sensorPeriod the
    // sensor's period read at its start; tau0 is then that period. 0 for a log file.
    double captureSeconds = 0;
};

// Below this share of the sensor's samples the figures come from decimated data.
inline constexpr double kCaughtEnough = 0.99;

// Sensor samples the elapsed time held against the new samples found, where the sensor's
// period is known.
struct Accounting {
    bool known = false;
    double sensorPeriod = 0; // s
    long long expected = 0;  // samples the sensor made in the elapsed time
    long long used = 0;      // new samples in the data
    double caught = 0;       // used / expected
    bool decimated() const { return known && caught < kCaughtEnough; }
    // More new samples than the sensor can have made: the period or the times are wrong.
    bool impossible() const { return known && caught > 2 - kCaughtEnough; }
};

enum class ChannelStatus { Ok, NoNewSamples, TooFewSamples, Constant, BelowResolution };

struct ChannelResult {
    Series series; // values released once the curve is made
    ChannelStatus status = ChannelStatus::Ok;
    Curve curve;
    NoiseFit fit;
    NoiseFigures single;
    QuotedFigures quoted;
    Accounting accounting;
};

struct AnalysisResult {
    LogProblem problem;
    TauChoice taus;
    std::vector<ChannelResult> channels;
};

// Reads the file and analyses every chosen channel; each series is freed as soon as its
// curve is made.
AnalysisResult AnalyseLog(const std::filesystem::path& file, const AnalysisOptions& options);
// The same for a series already read (tests, benchmarks).
void AnalyseChannel(ChannelResult& c, const AnalysisOptions& options);

// Why a channel has no figures ("no new samples (every new-data flag is 0)", ...); empty
// for ChannelStatus::Ok.
std::string StatusText(const ChannelResult& c);
// The warning for figures from decimated data; empty when every sample was caught.
std::string DecimationWarning(const ChannelResult& c);
// "28 points, tau = 0.001 to 0.631 s; the curve stops where fewer than 9 clusters remain"
std::string CurveText(const ChannelResult& c, const TauChoice& taus);

// The curve CSV of all channels: "tau (s)" then per channel its clusters, sigma and the
// interval's lower and upper end, comma-separated, decimal point whatever the locale.
std::string CurveCsvOf(const AnalysisResult& r);
// A plain-text report: per channel its samples, tau0, the accounting, the curve's extent and
// the table of terms, fitted and read at single points.
std::string FiguresTable(const AnalysisResult& r);

} // namespace tavrin::analysis
