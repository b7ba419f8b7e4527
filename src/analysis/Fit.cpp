#include "analysis/Fit.h"

#include <algorithm>
#include <cmath>

#include "analysis/Edf.h"

namespace tavrin::analysis {

namespace {

using Row = std::array<double, kTerms>;
using Matrix = std::array<Row, kTerms>;

constexpr std::array<int, kTerms> kSlope = {-2, -1, 0, 1, 2}; // of each term in sigma^2
constexpr double kFlicker = 0.664;
constexpr int kRounds = 6;         // reweighting rounds
constexpr double kSignificant = 2; // a coefficient this many standard deviations from 0
constexpr double kFloor = 0.02;
// Neighbouring points of one curve share most of their data: their errors are correlated,
// so the formal covariance of independent points is widened by this factor (from runs of
// synthetic series of known terms: the spread of the fitted terms over seeds).
constexpr double kCorrelation = 2;

double Basis(int k, double tau) {
    switch (k) {
    case 0:
        return 3 / (tau * tau);
    case 1:
        return 1 / tau;
    case 2:
        return kFlicker * kFlicker;
    case 3:
        return tau / 3;
    default:
        return tau * tau / 2;
    }
}

struct Solution {
    bool ok = false;
    Row c{};
    Matrix cov{};
    double rss = 0;
};

// Least squares on the columns in `mask` by modified Gram-Schmidt on unit-norm columns.
Solution SolveSubset(const std::vector<Row>& a, const std::vector<double>& b, unsigned mask) {
    Solution s;
    std::vector<int> cols;
    for (int k = 0; k < kTerms; ++k)
        if (mask & (1u << k)) cols.push_back(k);
    const std::size_t n = b.size(), p = cols.size();
    if (n < p) return s;
    std::vector<std::vector<double>> q(p, std::vector<double>(n));
    Matrix r{};
    Row scale{};
    for (std::size_t j = 0; j < p; ++j) {
        double norm = 0;
        for (std::size_t i = 0; i < n; ++i) norm += a[i][cols[j]] * a[i][cols[j]];
        scale[j] = std::sqrt(norm);
        if (!(scale[j] > 0)) return s;
        for (std::size_t i = 0; i < n; ++i) q[j][i] = a[i][cols[j]] / scale[j];
        for (std::size_t l = 0; l < j; ++l) {
            double dot = 0;
            for (std::size_t i = 0; i < n; ++i) dot += q[l][i] * q[j][i];
            r[l][j] = dot;
            for (std::size_t i = 0; i < n; ++i) q[j][i] -= dot * q[l][i];
        }
        double len = 0;
        for (std::size_t i = 0; i < n; ++i) len += q[j][i] * q[j][i];
        r[j][j] = std::sqrt(len);
        if (r[j][j] < 1e-9) return s; // the columns are (nearly) dependent
        for (std::size_t i = 0; i < n; ++i) q[j][i] /= r[j][j];
    }
    Row x{};
    for (std::size_t j = p; j-- > 0;) {
        double y = 0;
        for (std::size_t i = 0; i < n; ++i) y += q[j][i] * b[i];
        x[j] = y;
    }
    Matrix inv{}; // of R, upper triangular
    for (std::size_t j = p; j-- > 0;) {
        for (std::size_t l = j + 1; l < p; ++l) x[j] -= r[j][l] * x[l];
        x[j] /= r[j][j];
        inv[j][j] = 1 / r[j][j];
        for (std::size_t l = j + 1; l < p; ++l) {
            double sum = 0;
            for (std::size_t t = j + 1; t <= l; ++t) sum += r[j][t] * inv[t][l];
            inv[j][l] = -sum / r[j][j];
        }
    }
    for (std::size_t j = 0; j < p; ++j) {
        s.c[cols[j]] = x[j] / scale[j];
        for (std::size_t l = 0; l < p; ++l) {
            double sum = 0;
            for (std::size_t t = std::max(j, l); t < p; ++t) sum += inv[j][t] * inv[l][t];
            s.cov[cols[j]][cols[l]] = sum / (scale[j] * scale[l]);
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        double e = b[i];
        for (int k = 0; k < kTerms; ++k) e -= a[i][k] * s.c[k];
        s.rss += e * e;
    }
    s.ok = true;
    return s;
}

// Non-negative least squares: of every subset of terms whose unconstrained solution has
// no negative coefficient, the one that fits best (with five terms, 31 small solves).
Solution NonNegative(const std::vector<Row>& a, const std::vector<double>& b) {
    Solution best;
    for (unsigned mask = 1; mask < (1u << kTerms); ++mask) {
        const Solution s = SolveSubset(a, b, mask);
        if (!s.ok || std::any_of(s.c.begin(), s.c.end(), [](double c) { return c < 0; })) continue;
        if (!best.ok || s.rss < best.rss) best = s;
    }
    return best;
}

// Where term k is the largest, within [from, to]: each term is a power of tau, so the
// range is bounded by its crossings with the terms of lower and higher power.
void Dominance(const NoiseFit& f, int k, double from, double to, TermFit& t) {
    double lo = from, hi = to;
    const double ck = f.coefficient[k] * Basis(k, 1);
    for (int j = 0; j < kTerms; ++j) {
        if (j == k || !(f.coefficient[j] > 0)) continue;
        const double cj = f.coefficient[j] * Basis(j, 1);
        const double cross = std::pow(cj / ck, 1.0 / (kSlope[k] - kSlope[j]));
        if (kSlope[j] < kSlope[k])
            lo = std::max(lo, cross);
        else
            hi = std::min(hi, cross);
    }
    if (lo <= hi) t.from = lo, t.to = hi;
}

} // namespace

double NoiseFit::part(int k, double tau) const {
    return coefficient[k] * Basis(k, tau);
}

double NoiseFit::variance(double tau) const {
    double v = 0;
    for (int k = 0; k < kTerms; ++k) v += part(k, tau);
    return v;
}

int NoiseFit::dominant(double tau) const {
    int best = -1;
    for (int k = 0; k < kTerms; ++k)
        if (coefficient[k] > 0 && (best < 0 || part(k, tau) > part(best, tau))) best = k;
    return best;
}

namespace {

// The weighted system of one round: rows scaled by the inverse standard deviation of each
// point's sigma^2, from its EDF under the noise the last round found dominant there.
void Weighted(const std::vector<const AdevPoint*>& pts, const std::vector<double>& model,
              const std::vector<double>& edf, std::vector<Row>& a, std::vector<double>& b) {
    a.assign(pts.size(), Row{});
    b.assign(pts.size(), 0);
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const double sd = model[i] * std::max(std::sqrt(2 / edf[i]), kFloor);
        for (int k = 0; k < kTerms; ++k) a[i][k] = Basis(k, pts[i]->tau) / sd;
        b[i] = pts[i]->sigma * pts[i]->sigma / sd;
    }
}

void Judge(NoiseFit& f, const Matrix& cov) {
    for (int k = 0; k < kTerms; ++k) {
        TermFit& t = f.terms[k];
        const double c = f.coefficient[k];
        if (!(c > 0)) continue;
        const double sd = std::sqrt(std::max(cov[k][k], 0.0) * kCorrelation * kCorrelation);
        const double scale = 1;
        t.value = std::sqrt(c) * scale;
        t.uncertainty = sd / (2 * std::sqrt(c)) * scale;
        Dominance(f, k, f.tauFrom, f.tauTo, t);
        t.available = c >= kSignificant * sd && t.to > 0;
    }
}

} // namespace

NoiseFit FitNoise(std::vector<AdevPoint>& curve, long long samples) {
    NoiseFit f;
    const long long phasePoints = samples + 1;
    std::vector<const AdevPoint*> pts;
    for (const auto& p : curve)
        if (p.sigma > 0 && std::isfinite(p.sigma)) pts.push_back(&p);
    std::vector<double> model, edf(pts.size());
    for (const auto* p : pts) model.push_back(p->sigma * p->sigma);
    std::vector<int> alpha(pts.size(), 0);
    Solution s;
    for (int round = 0; round < kRounds && pts.size() >= 2; ++round) {
        for (std::size_t i = 0; i < pts.size(); ++i)
            edf[i] = std::max(EdfOverlapping(alpha[i], phasePoints, pts[i]->m), 1.0);
        std::vector<Row> a;
        std::vector<double> b;
        Weighted(pts, model, edf, a, b);
        s = NonNegative(a, b);
        if (!s.ok) break;
        f.coefficient = s.c;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const int d = f.dominant(pts[i]->tau);
            alpha[i] = d < 0 ? 0 : kTermAlpha[d];
        }
    }
    if (s.ok) {
        f.points = static_cast<int>(pts.size());
        f.tauFrom = pts.front()->tau;
        f.tauTo = pts.back()->tau;
        Judge(f, s.cov);
    } else {
        f.coefficient = {};
    }
    for (auto& p : curve) {
        const int d = f.dominant(p.tau);
        p.alpha = d < 0 ? 0 : kTermAlpha[d];
        p.edf = EdfOverlapping(p.alpha, phasePoints, p.m);
        const Interval iv = ChiSquaredInterval(p.sigma, p.edf);
        p.lower = iv.lower;
        p.upper = iv.upper;
    }
    return f;
}

} // namespace tavrin::analysis
