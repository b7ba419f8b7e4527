#include "analysis/Allan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace tavrin::analysis {

std::vector<long long> ClusterSizes(long long n) {
    std::vector<long long> out;
    const long long top = (n - 1) / 2;
    // Below ten, ten per decade is finer than whole samples: every integer.
    for (long long m = 1; m < 10 && m <= top; ++m) out.push_back(m);
    for (int j = 10;; ++j) {
        const long long m = std::llround(std::pow(10.0, j / 10.0));
        if (m > top) break;
        if (m > out.back()) out.push_back(m);
    }
    return out;
}

std::vector<AdevPoint> AllanDeviation(std::vector<double>& y, double tau0) {
    const long long n = static_cast<long long>(y.size());
    std::vector<AdevPoint> curve;
    if (n < 3 || !(tau0 > 0)) return curve;
    // The variance ignores a constant offset; removing the mean keeps the sums small and
    // so keeps their differences exact.
    double mean = 0;
    for (const double v : y) mean += v;
    mean /= static_cast<double>(n);
    y.push_back(0);
    double acc = 0;
    for (long long i = n; i > 0; --i) y[i] = y[i - 1]; // shift: theta_0 = 0
    y[0] = 0;
    for (long long i = 1; i <= n; ++i) {
        acc += (y[i] - mean) * tau0;
        y[i] = acc;
    }
    const double* th = y.data();
    for (const long long m : ClusterSizes(n)) {
        const long long terms = n - 2 * m + 1;
        double sum = 0;
        for (long long k = 0; k < terms; ++k) {
            const double d = th[k + 2 * m] - 2 * th[k + m] + th[k];
            sum += d * d;
        }
        const double tau = static_cast<double>(m) * tau0;
        AdevPoint p;
        p.m = m;
        p.tau = tau;
        p.sigma = std::sqrt(sum / (2 * tau * tau * static_cast<double>(terms)));
        p.clusters = n / m;
        const double ratio = static_cast<double>(n) / static_cast<double>(m) - 1;
        p.relError = ratio > 0 ? 1 / std::sqrt(2 * ratio) : INFINITY;
        curve.push_back(p);
    }
    return curve;
}

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

} // namespace

NoiseFigures ReadFigures(const std::vector<AdevPoint>& c) {
    NoiseFigures f;
    std::size_t usable = 0;
    while (usable < c.size() && c[usable].clusters >= kMinClusters && c[usable].sigma > 0 &&
           std::isfinite(c[usable].sigma))
        ++usable;
    if (usable == 0) return f;
    std::size_t min = 0;
    for (std::size_t i = 1; i < usable; ++i)
        if (c[i].sigma < c[min].sigma) min = i;
    // A minimum only where the curve is seen to turn up again beyond its error; a curve
    // still falling where the clusters run out has not reached its floor.
    bool turns = false;
    for (std::size_t i = min + 1; i < usable; ++i)
        turns = turns || c[i].sigma > c[min].sigma * (1 + c[min].relError);
    if (turns) f.biasInstability = {true, c[min].sigma / 0.664, c[min].tau};
    if (usable < 3) return f; // no slope from fewer points
    f.randomWalk =
        AtSlope(c, usable, -0.5, [](const AdevPoint& p) { return p.sigma * std::sqrt(p.tau); });
    f.rateRandomWalk =
        AtSlope(c, usable, 0.5, [](const AdevPoint& p) { return p.sigma * std::sqrt(3 / p.tau); });
    return f;
}

QuotedFigures Quote(const NoiseFigures& f, Quantity q, std::string_view unit) {
    auto make = [](const Figure& g, double factor, std::string u) {
        return QuotedFigure{g.available, g.available ? g.value * factor : 0, std::move(u), g.tau};
    };
    QuotedFigures o;
    const std::string u(unit);
    switch (q) {
    case Quantity::Rate:
        o.randomWalk = make(f.randomWalk, 60, "deg/sqrt(h)");
        o.noiseDensity = make(f.randomWalk, 1, "deg/s/sqrt(Hz)");
        o.biasInstability = make(f.biasInstability, 3600, "deg/h");
        o.rateRandomWalk = make(f.rateRandomWalk, 3600 * 60, "deg/h/sqrt(h)");
        break;
    case Quantity::Acceleration:
        o.randomWalk = make(f.randomWalk, kStandardGravity * 60, "m/s/sqrt(h)");
        o.noiseDensity = make(f.randomWalk, 1e6, "ug/sqrt(Hz)");
        o.biasInstability = make(f.biasInstability, 1000, "mg");
        o.rateRandomWalk = make(f.rateRandomWalk, 1000 * 60, "mg/sqrt(h)");
        break;
    case Quantity::Other:
        o.randomWalk = make(f.randomWalk, 1, u + "*sqrt(s)");
        o.noiseDensity = make(f.randomWalk, 1, u + "/sqrt(Hz)");
        o.biasInstability = make(f.biasInstability, 1, u);
        o.rateRandomWalk = make(f.rateRandomWalk, 1, u + "/sqrt(s)");
        break;
    }
    return o;
}

std::string NumberText(double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10);
    return std::string(buf, r.ptr);
}

std::string CurveCsv(const std::vector<CurveColumn>& cols) {
    std::string out = "tau (s)";
    for (const auto& c : cols) {
        out += "," + c.name + " sigma (" + c.unit + ")";
        out += "," + c.name + " relative error";
    }
    out += '\n';
    // Channels may have different lengths or sample periods: one line per tau of any.
    std::map<double, std::vector<const AdevPoint*>> rows;
    for (std::size_t i = 0; i < cols.size(); ++i)
        for (const auto& p : cols[i].curve) {
            auto& row = rows[p.tau];
            row.resize(cols.size(), nullptr);
            row[i] = &p;
        }
    for (const auto& [tau, row] : rows) {
        out += NumberText(tau);
        for (const AdevPoint* p : row) {
            out += ',';
            if (p) out += NumberText(p->sigma);
            out += ',';
            if (p) out += NumberText(p->relError);
        }
        out += '\n';
    }
    return out;
}

} // namespace tavrin::analysis
