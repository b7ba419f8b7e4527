#include "analysis/Edf.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavrin::analysis {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr long long kJmax = 100; // longest sum before the large-record forms take over

// The generalised autocovariance of phase for noise alpha (up to sign and scale, which
// cancel in the ratios below).
double Sw(double t, int alpha) {
    const double a = std::fabs(t);
    switch (alpha) {
    case 2:
        return -a;
    case 1:
        return a == 0 ? 0 : t * t * std::log(a);
    case 0:
        return a * a * a;
    case -1:
        return a == 0 ? 0 : -t * t * t * t * std::log(a);
    case -2:
        return -a * a * a * a * a;
    case -3:
        return a == 0 ? 0 : std::pow(t, 6) * std::log(a);
    default:
        return std::pow(a, 7);
    }
}

// Phase averaged over 1/F (F infinite: not averaged) ...
double Sx(double t, double F, int alpha) {
    if (std::isinf(F)) return Sw(t, alpha + 2);
    return F * F * (2 * Sw(t, alpha) - Sw(t - 1 / F, alpha) - Sw(t + 1 / F, alpha));
}

// ... then differenced twice.
double Sz(double t, double F, int alpha) {
    return 6 * Sx(t, F, alpha) - 4 * (Sx(t - 1, F, alpha) + Sx(t + 1, F, alpha)) +
           Sx(t - 2, F, alpha) + Sx(t + 2, F, alpha);
}

double BasicSum(double J, double M, double S, double F, int alpha) {
    const double z0 = Sz(0, F, alpha), zJ = Sz(J / S, F, alpha);
    double sum = z0 * z0 + (1 - J / M) * zJ * zJ;
    for (long long j = 1; j < static_cast<long long>(J); ++j) {
        const double z = Sz(static_cast<double>(j) / S, F, alpha);
        sum += 2 * (1 - static_cast<double>(j) / M) * z * z;
    }
    return sum;
}

// 1/edf of a long record (r = M/S beyond d + 1): (a0 - a1/r)/r.
double LongRecord(int alpha, double r) {
    struct A {
        double a0, a1;
    };
    const A a = alpha == 0 ? A{2.0 / 3, 1.0 / 3} : alpha == -1 ? A{0.852, 0.375} : A{1.079, 0.368};
    return (a.a0 - a.a1 / r) / r;
}

// The upper tail 1 - P(a, x) of the regularised incomplete gamma function.
double GammaQ(double a, double x) {
    if (x <= 0) return 1;
    const double lead = std::exp(-x + a * std::log(x) - std::lgamma(a));
    if (x < a + 1) { // series for P
        double term = 1 / a, sum = term;
        for (int n = 1; n < 100000 && std::fabs(term) > std::fabs(sum) * 1e-16; ++n) {
            term *= x / (a + n);
            sum += term;
        }
        return 1 - sum * lead;
    }
    // Continued fraction for Q (modified Lentz).
    const double tiny = 1e-300;
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1; i < 100000; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        d = std::fabs(d) < tiny ? tiny : d;
        c = b + an / c;
        c = std::fabs(c) < tiny ? tiny : c;
        d = 1 / d;
        const double del = d * c;
        h *= del;
        if (std::fabs(del - 1) < 1e-16) break;
    }
    return lead * h;
}

} // namespace

double EdfOverlapping(int alpha, long long N, long long m) {
    const double M = static_cast<double>(N - 2 * m); // second differences
    if (m < 1 || M < 1) return 0;
    const double md = static_cast<double>(m);
    if (alpha >= 1) {
        // White phase: only lags 0, m and 2m correlate (6, -4, 1): exact.
        const double var = 36 * M + 32 * std::max(0.0, M - md) + 2 * std::max(0.0, M - 2 * md);
        return 36 * M * M / var;
    }
    alpha = std::max(alpha, -2);
    const double S = md, J = std::min(M, 3 * md), r = M / S;
    if (J <= kJmax) {
        const double F = 3 * md <= kJmax ? md : kInf;
        const double z0 = Sz(0, F, alpha);
        return M * z0 * z0 / BasicSum(J, M, S, F, alpha);
    }
    if (r > 3) return 1 / LongRecord(alpha, r);
    const double z0 = Sz(0, kInf, alpha);
    return kJmax * z0 * z0 / BasicSum(kJmax, kJmax, kJmax / r, kInf, alpha);
}

double ChiSquaredQuantile(double p, double dof) {
    // Bisection on the distribution function, bracketed around the mean.
    const double a = dof / 2;
    double lo = 0, hi = dof + 20 * std::sqrt(2 * dof) + 50;
    for (int i = 0; i < 200 && hi - lo > 1e-12 * hi; ++i) {
        const double mid = (lo + hi) / 2;
        (1 - GammaQ(a, mid / 2) < p ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

Interval ChiSquaredInterval(double sigma, double edf, double confidence) {
    if (!(edf > 0)) return {0, 0};
    const double tail = (1 - confidence) / 2;
    return {sigma * std::sqrt(edf / ChiSquaredQuantile(1 - tail, edf)),
            sigma * std::sqrt(edf / ChiSquaredQuantile(tail, edf))};
}

} // namespace tavrin::analysis
