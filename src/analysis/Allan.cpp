#include "analysis/Allan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tavrin::analysis {

ClusterPlan ClusterSizes(long long n, const TauChoice& c) {
    ClusterPlan plan;
    const long long minClusters = std::max<long long>(c.minClusters, 2);
    const long long top = std::min((n - 1) / 2, n / minClusters);
    auto add = [&](long long m) {
        if (m >= 1 && m <= top && (plan.sizes.empty() || m > plan.sizes.back()))
            plan.sizes.push_back(m);
    };
    switch (c.spacing) {
    case TauSpacing::Octave:
        for (long long m = 1; m <= top; m *= 2) add(m);
        break;
    case TauSpacing::Decade:
        for (long long m = 1; m <= top; m *= 10) add(m);
        break;
    case TauSpacing::All: {
        const auto most = static_cast<long long>(kMaxWork / std::max<double>(n, 1));
        const long long last = std::min(top, std::max<long long>(most, 1));
        for (long long m = 1; m <= last; ++m) add(m);
        plan.workLimited = last < top;
        break;
    }
    case TauSpacing::PerDecade: {
        const int per = std::clamp(c.perDecade, 1, kMaxPerDecade);
        for (int j = 0;; ++j) {
            const long long m = std::llround(std::pow(10.0, static_cast<double>(j) / per));
            if (m > top) break;
            add(m);
        }
        break;
    }
    }
    return plan;
}

namespace {

// Sum of squared second differences of the cumulative sums at cluster size m, with four
// accumulators so the additions overlap.
double SecondDifferenceSum(const double* th, long long terms, long long m) {
    double s[4] = {0, 0, 0, 0};
    long long k = 0;
    for (; k + 4 <= terms; k += 4)
        for (int j = 0; j < 4; ++j) {
            const double d = th[k + j + 2 * m] - 2 * th[k + j + m] + th[k + j];
            s[j] += d * d;
        }
    for (; k < terms; ++k) {
        const double d = th[k + 2 * m] - 2 * th[k + m] + th[k];
        s[0] += d * d;
    }
    return (s[0] + s[1]) + (s[2] + s[3]);
}

} // namespace

Curve AllanDeviation(std::vector<double>& y, double tau0, const TauChoice& choice) {
    Curve curve;
    const long long n = static_cast<long long>(y.size());
    if (n < 3 || !(tau0 > 0) || !std::isfinite(tau0)) return curve;
    double scale = 0, step = 0;
    for (long long i = 0; i < n; ++i) {
        scale = std::max(scale, std::fabs(y[i]));
        const double d = i ? std::fabs(y[i] - y[i - 1]) : 0;
        if (d > 0 && (step == 0 || d < step)) step = d;
    }
    curve.resolution = step;
    curve.constant = step == 0;
    if (curve.constant) return curve;
    // The variance ignores a constant offset; removing the mean keeps the sums small and
    // so keeps their differences exact.
    double mean = 0;
    for (const double v : y) mean += v / scale;
    mean /= static_cast<double>(n);
    y.push_back(0);
    for (long long i = n; i > 0; --i) y[i] = y[i - 1]; // shift: theta_0 = 0
    y[0] = 0;
    double acc = 0;
    for (long long i = 1; i <= n; ++i) {
        acc += y[i] / scale - mean;
        y[i] = acc;
    }
    const ClusterPlan plan = ClusterSizes(n, choice);
    curve.workLimited = plan.workLimited;
    for (const long long m : plan.sizes) {
        const long long terms = n - 2 * m + 1;
        const double sum = SecondDifferenceSum(y.data(), terms, m);
        const auto md = static_cast<double>(m);
        AdevPoint p;
        p.m = m;
        p.tau = md * tau0;
        p.sigma = scale * std::sqrt(sum / (2 * md * md * static_cast<double>(terms)));
        p.clusters = n / m;
        curve.points.push_back(p);
    }
    return curve;
}

std::string NumberText(double v) {
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10);
    return std::string(buf, r.ptr);
}

std::string Sig3(double v) {
    if (!std::isfinite(v)) return "-";
    if (v == 0) return "0";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2e", v); // rounds to three digits first
    const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    if (exponent < -3 || exponent > 4) return buf;
    std::snprintf(buf, sizeof buf, "%.*f", std::max(0, 2 - exponent), std::strtod(buf, nullptr));
    return buf;
}

} // namespace tavrin::analysis
