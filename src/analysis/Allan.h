#pragma once
// Overlapping Allan deviation of a rate (or acceleration) series and the noise figures
// read from it. No Qt, no program state: a series in, a curve and figures out.
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::analysis {

struct AdevPoint {
    long long m = 0;        // cluster size in samples
    double tau = 0;         // m * tau0, seconds
    double sigma = 0;       // Allan deviation, in the series' units
    double relError = 0;    // approximate 1-sigma relative error of sigma
    long long clusters = 0; // N / m, whole clusters of the series
};

// Cluster sizes about ten per decade (every integer where that is finer), 1 ..
// floor((n - 1) / 2), ascending and distinct.
std::vector<long long> ClusterSizes(long long n);

// The overlapping Allan deviation at ClusterSizes(n), from cumulative sums. `series` is
// used as the workspace: it holds the cumulative sums afterwards (one more element).
std::vector<AdevPoint> AllanDeviation(std::vector<double>& series, double tau0);

// Fewer whole clusters than this and a point gives no figure.
inline constexpr long long kMinClusters = 9;

enum class Quantity { Rate, Acceleration, Other }; // deg/s, g, anything else (counts...)

struct Figure {
    bool available = false;
    double value = 0; // in the series' own units: see ReadFigures
    double tau = 0;   // seconds, where it was read
};

struct NoiseFigures {
    Figure randomWalk;      // sigma * sqrt(tau): units * sqrt(s)
    Figure biasInstability; // sigma_min / 0.664: units
    Figure rateRandomWalk;  // sigma * sqrt(3 / tau): units / sqrt(s)
};

// Random walk where the log-log slope is closest to -1/2, bias instability at the
// minimum (when the curve turns up after it), rate random walk where the slope is closest to +1/2;
// only from points with at least kMinClusters clusters, and a slope figure only when the curve
// comes within a quarter of its slope.
NoiseFigures ReadFigures(const std::vector<AdevPoint>& curve);

inline constexpr double kStandardGravity = 9.80665;

// A figure as engineers quote it, with its unit text.
struct QuotedFigure {
    bool available = false;
    double value = 0;
    std::string unit;
    double tau = 0;
};
struct QuotedFigures {
    QuotedFigure randomWalk;      // deg/sqrt(h) or m/s/sqrt(h)
    QuotedFigure noiseDensity;    // deg/s/sqrt(Hz) or ug/sqrt(Hz)
    QuotedFigure biasInstability; // deg/h or mg
    QuotedFigure rateRandomWalk;  // deg/h/sqrt(h) or mg/sqrt(h)
};
// `unit` names the series' unit for Quantity::Other ("counts", "V", ...).
QuotedFigures Quote(const NoiseFigures& f, Quantity q, std::string_view unit = "");

// Number text with a decimal point whatever the locale, up to 10 significant digits.
std::string NumberText(double v);

struct CurveColumn {
    std::string name; // channel title
    std::string unit; // the series' unit
    std::vector<AdevPoint> curve;
};
// One title line, then one line per tau of the first column: tau in seconds, then sigma
// and its relative error for each column, comma-separated, lines ended by "\n". Columns
// computed from series of different lengths leave a field empty where they lack a tau.
std::string CurveCsv(const std::vector<CurveColumn>& columns);

} // namespace tavrin::analysis
