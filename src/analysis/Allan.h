#pragma once
// Overlapping Allan deviation of a rate (or acceleration) series at a chosen set of cluster
// sizes. No Qt, no program state: a series in, a curve out.
#include <string>
#include <vector>

namespace tavrin::analysis {

enum class Quantity { Rate, Acceleration, Other }; // deg/s, g, anything else (counts...)

inline constexpr double kStandardGravity = 9.80665; // m/s^2 in one g

struct AdevPoint {
    long long m = 0;        // cluster size in samples
    double tau = 0;         // m * tau0, seconds
    double sigma = 0;       // Allan deviation, in the series' units
    long long clusters = 0; // n / m, whole clusters of the series
    // Its confidence interval (68.3 %, chi-squared with `edf` degrees of freedom for the
    // noise type `alpha` that dominates there); set by FitNoise.
    double edf = 0, lower = 0, upper = 0;
    int alpha = 0;
};

// Which cluster sizes: n per decade (round(10^(j/n)), distinct), every power of two,
// every power of ten, or every size.
enum class TauSpacing { PerDecade, Octave, Decade, All };
struct TauChoice {
    TauSpacing spacing = TauSpacing::PerDecade;
    int perDecade = 10;
    long long minClusters = 9; // the curve stops where fewer whole clusters remain
};
inline constexpr long long kMinClusters = 9;
inline constexpr int kMaxPerDecade = 1000;
// "All" on a long series stops where the work (samples times points) would pass this.
inline constexpr double kMaxWork = 2e9;

struct ClusterPlan {
    std::vector<long long> sizes; // ascending
    bool workLimited = false;     // "All" stopped before the clusters ran out
};
ClusterPlan ClusterSizes(long long n, const TauChoice& choice);

struct Curve {
    std::vector<AdevPoint> points;
    bool workLimited = false;
    bool constant = false; // every value the same: no deviation at all
    double resolution = 0; // smallest step between successive values (0 when constant)
};

// The overlapping Allan deviation at ClusterSizes(n), from cumulative sums of the values
// scaled into [-1, 1], so no value within the range of doubles overflows or loses the
// others. `series` is used as the workspace: it holds the sums afterwards (one more element).
Curve AllanDeviation(std::vector<double>& series, double tau0, const TauChoice& choice);

// Number text with a decimal point whatever the locale, up to 10 significant digits.
std::string NumberText(double v);
// Three significant digits, trailing zeros kept ("0.150", "1.00e-05", "1.20e+03").
std::string Sig3(double v);

} // namespace tavrin::analysis
