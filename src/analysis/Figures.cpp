#include "analysis/Figures.h"

#include <algorithm>
#include <cmath>

namespace tavrin::analysis {

namespace {

// Log-log slope at point i, fitted over up to two neighbours on each side: single steps
// of ten per decade are too noisy to choose by.
double Slope(const std::vector<AdevPoint>& c, std::size_t i, std::size_t usable) {
    const std::size_t lo = i >= 2 ? i - 2 : 0, hi = std::min(usable - 1, i + 2);
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int k = 0;
    for (std::size_t j = lo; j <= hi; ++j, ++k) {
        const double x = std::log(c[j].tau), yv = std::log(c[j].sigma);
        sx += x, sy += yv, sxx += x * x, sxy += x * yv;
    }
    const double den = k * sxx - sx * sx;
    return den > 0 ? (k * sxy - sx * sy) / den : NAN;
}

Figure AtSlope(const std::vector<AdevPoint>& c, std::size_t usable, double target,
               double (*value)(const AdevPoint&)) {
    Figure f;
    double best = 0.25;
    for (std::size_t i = 0; i < usable; ++i) {
        const double s = Slope(c, i, usable);
        if (std::fabs(s - target) <= best) {
            best = std::fabs(s - target);
            f = {true, value(c[i]), c[i].tau};
        }
    }
    return f;
}

// Units and factors from the series' own units: [term] for Q N B K R, then density.
struct UnitSet {
    std::array<double, kTerms + 1> factor;
    std::array<std::string, kTerms + 1> unit;
};

UnitSet UnitsFor(Quantity q, std::string_view u) {
    const std::string s = u.empty() ? "unit" : std::string(u); // a column without title
    switch (q) {
    case Quantity::Rate:
        return {{1, 60, 3600, 216000, 3600.0 * 3600, 1},
                {"deg", "deg/sqrt(h)", "deg/h", "deg/h/sqrt(h)", "deg/h/h", "deg/s/sqrt(Hz)"}};
    case Quantity::Acceleration:
        return {{kStandardGravity, kStandardGravity * 60, 1000, 60000, 3.6e6, 1e6},
                {"m/s", "m/s/sqrt(h)", "mg", "mg/sqrt(h)", "mg/h", "ug/sqrt(Hz)"}};
    case Quantity::Other:
        break;
    }
    return {{1, 1, 1, 1, 1, 1},
            {s + "*s", s + "*sqrt(s)", s, s + "/sqrt(s)", s + "/s", s + "/sqrt(Hz)"}};
}

Quoted Single(const Figure& g, double factor, const std::string& unit) {
    Quoted q;
    q.available = g.available;
    q.value = g.available ? g.value * factor : 0;
    q.unit = unit;
    q.tau = g.tau;
    return q;
}

} // namespace

NoiseFigures ReadFigures(const std::vector<AdevPoint>& c) {
    NoiseFigures f;
    std::size_t usable = 0;
    while (usable < c.size() && c[usable].sigma > 0 && std::isfinite(c[usable].sigma)) ++usable;
    if (usable == 0) return f;
    std::size_t min = 0;
    for (std::size_t i = 1; i < usable; ++i)
        if (c[i].sigma < c[min].sigma) min = i;
    // A minimum only where the curve is seen to turn up again beyond its interval; a curve
    // still falling where the clusters run out has not reached its floor.
    bool turns = false;
    for (std::size_t i = min + 1; i < usable; ++i) turns = turns || c[i].sigma > c[min].upper;
    if (turns) f.biasInstability = {true, c[min].sigma / 0.664, c[min].tau};
    if (usable < 3) return f; // no slope from fewer points
    f.randomWalk =
        AtSlope(c, usable, -0.5, [](const AdevPoint& p) { return p.sigma * std::sqrt(p.tau); });
    f.rateRandomWalk =
        AtSlope(c, usable, 0.5, [](const AdevPoint& p) { return p.sigma * std::sqrt(3 / p.tau); });
    return f;
}

QuotedFigures Quote(const NoiseFit& fit, const NoiseFigures& single, Quantity q,
                    std::string_view unit) {
    const UnitSet u = UnitsFor(q, unit);
    QuotedFigures o;
    for (int k = 0; k < kTerms; ++k) {
        const TermFit& t = fit.terms[k];
        Quoted& d = o.fit[k];
        d.available = t.available;
        d.value = t.value * u.factor[k];
        d.uncertainty = t.uncertainty * u.factor[k];
        d.unit = u.unit[k];
        d.from = t.from;
        d.to = t.to;
    }
    o.noiseDensity = o.fit[1];
    o.noiseDensity.value = fit.terms[1].value * u.factor[kTerms];
    o.noiseDensity.uncertainty = fit.terms[1].uncertainty * u.factor[kTerms];
    o.noiseDensity.unit = u.unit[kTerms];
    o.randomWalk = Single(single.randomWalk, u.factor[1], u.unit[1]);
    o.biasInstability = Single(single.biasInstability, u.factor[2], u.unit[2]);
    o.rateRandomWalk = Single(single.rateRandomWalk, u.factor[3], u.unit[3]);
    return o;
}

std::string_view TermName(int term) {
    static constexpr std::string_view kNames[] = {"quantisation Q", "random walk N",
                                                  "bias instability B", "rate random walk K",
                                                  "rate ramp R"};
    return kNames[std::clamp(term, 0, kTerms - 1)];
}

} // namespace tavrin::analysis
