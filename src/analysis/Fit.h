#pragma once
// The standard noise terms fitted to an Allan curve:
//   sigma^2(tau) = 3 Q^2 / tau^2 + N^2 / tau + (0.664 B)^2 + K^2 tau / 3 + R^2 tau^2 / 2
// (quantisation, random walk, bias instability, rate random walk, rate ramp), by weighted
// least squares with non-negative coefficients. Each point's weight is the inverse variance
// of its sigma^2 from the equivalent degrees of freedom of the noise that dominates there,
// refined with the fit itself; the same degrees of freedom give the points' intervals.
#include <array>
#include <vector>

#include "analysis/Allan.h"

namespace tavrin::analysis {

enum class Term { Quantization, RandomWalk, BiasInstability, RateRandomWalk, RateRamp };
inline constexpr int kTerms = 5;
// The spectral exponent alpha of each term's noise (rate ramp: random-walk frequency, the
// steepest noise the Allan variance converges for).
inline constexpr std::array<int, kTerms> kTermAlpha = {2, 0, -1, -2, -2};

struct TermFit {
    bool available = false;  // in the fit, significant and dominant somewhere
    double value = 0;        // series' units times s, sqrt(s), 1, 1/sqrt(s), 1/s
    double uncertainty = 0;  // one standard deviation, same units
    double from = 0, to = 0; // tau range (s) where it is the largest term
};

struct NoiseFit {
    std::array<TermFit, kTerms> terms{};
    std::array<double, kTerms> coefficient{}; // of sigma^2 as written above: Q^2, N^2, B^2, ...
    int points = 0;                           // points fitted
    double tauFrom = 0, tauTo = 0;            // their span
    double variance(double tau) const;        // the fitted sigma^2
    double part(int term, double tau) const;  // one term's share of it
    int dominant(double tau) const;           // the largest term there; -1 when none
};

// Fits the points of `curve` (a series of `samples` values) and sets every point's EDF,
// noise type and interval.
NoiseFit FitNoise(std::vector<AdevPoint>& curve, long long samples);

} // namespace tavrin::analysis
