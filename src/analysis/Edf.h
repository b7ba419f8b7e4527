#pragma once
// Confidence intervals of the overlapping Allan deviation: the equivalent degrees of freedom
// of the estimator for a power-law noise (Greenhall and Riley's algorithm for variances of
// finite differences: here second differences of phase, unmodified, overlapping), and the
// chi-squared interval they give.
//
// alpha is the exponent of the noise's frequency spectrum S_y(f) ~ f^alpha:
//   2 white phase (quantisation), 1 flicker phase, 0 white frequency (random walk),
//  -1 flicker frequency (bias instability), -2 random-walk frequency (rate random walk).
namespace tavrin::analysis {

// EDF of the overlapping Allan variance at cluster size m from `phasePoints` phase values
// (one more than the rate samples), for noise alpha from -2 to 2.
double EdfOverlapping(int alpha, long long phasePoints, long long m);

// The p-quantile of the chi-squared distribution with `dof` (> 0, not necessarily whole)
// degrees of freedom.
double ChiSquaredQuantile(double p, double dof);

// The two-sided interval of a deviation `sigma` estimated with `edf` degrees of freedom at
// `confidence` (68.27 %: one standard deviation of a normal).
struct Interval {
    double lower = 0, upper = 0;
};
inline constexpr double kOneSigma = 0.682689492137086;
Interval ChiSquaredInterval(double sigma, double edf, double confidence = kOneSigma);

} // namespace tavrin::analysis
