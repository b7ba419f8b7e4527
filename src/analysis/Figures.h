#pragma once
// The figures engineers quote, in their units: the fitted terms, and the single-point
// readings of the curve (random walk where the log-log slope is -1/2, bias instability at
// the minimum, rate random walk where the slope is +1/2), kept for users who expect them.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/Allan.h"
#include "analysis/Fit.h"

namespace tavrin::analysis {

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

// Single points of the curve: random walk where the log-log slope is closest to -1/2,
// bias instability at the minimum (when the curve turns up beyond its interval after it),
// rate random walk where the slope is closest to +1/2; a slope figure only when the curve
// comes within a quarter of its slope.
NoiseFigures ReadFigures(const std::vector<AdevPoint>& curve);

// A figure as engineers quote it, with its unit text.
struct Quoted {
    bool available = false;
    double value = 0, uncertainty = 0; // uncertainty: 0 for single points
    std::string unit;
    double tau = 0;          // single points: where read
    double from = 0, to = 0; // fitted terms: where dominant
};
// Q, N, B, K, R as fitted, the noise density from N, and the three single points.
struct QuotedFigures {
    std::array<Quoted, kTerms> fit;
    Quoted noiseDensity;
    Quoted randomWalk, biasInstability, rateRandomWalk; // single points
};
// `unit` names the series' unit for Quantity::Other ("counts", "V", ...).
QuotedFigures Quote(const NoiseFit& fit, const NoiseFigures& single, Quantity q,
                    std::string_view unit);

// "quantisation Q", "random walk N", ...
std::string_view TermName(int term);

} // namespace tavrin::analysis
