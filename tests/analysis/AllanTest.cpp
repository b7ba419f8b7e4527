// Allan deviation against hand-worked values and against theory, and the
// figures read from it.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/Allan.h"

using namespace tavrin::analysis;

namespace {

std::vector<double> White(std::size_t n, double sigma, double mean, unsigned seed) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> d(mean, sigma);
    std::vector<double> y(n);
    for (auto& v : y) v = d(g);
    return y;
}

bool None(const NoiseFigures& f) {
    return !f.randomWalk.available && !f.biasInstability.available && !f.rateRandomWalk.available;
}

TEST(AllanDeviation, ClusterSizesTenPerDecadeEveryIntegerBelowTenUpToHalfTheSeries) {
    EXPECT_TRUE(ClusterSizes(2).empty());
    const auto m = ClusterSizes(1000001);
    EXPECT_EQ(std::vector<long long>(m.begin(), m.begin() + 14),
              (std::vector<long long>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 16, 20, 25}));
    EXPECT_EQ(m.back(), 398107); // 10^5.6; 10^5.7 is past 500000
    EXPECT_EQ(m.size(), 9u + 47u);
}

TEST(AllanDeviation, WorkedByHandOnSevenSamples) {
    std::vector<double> y{1, 2, 3, 5, 4, 0, 2};
    const auto c = AllanDeviation(y, 0.5);
    ASSERT_EQ(c.size(), 3u);
    const double sigma[] = {1.5, std::sqrt(53.0) / 4, 5.0 / 6};
    const double relError[] = {1 / std::sqrt(12.0), 1 / std::sqrt(5.0), std::sqrt(3.0 / 8)};
    const long long clusters[] = {7, 3, 2};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(c[i].m, i + 1);
        EXPECT_DOUBLE_EQ(c[i].tau, 0.5 * (i + 1));
        EXPECT_NEAR(c[i].sigma, sigma[i], 1e-12) << i;
        EXPECT_NEAR(c[i].relError, relError[i], 1e-12) << i;
        EXPECT_EQ(c[i].clusters, clusters[i]);
    }
    std::vector<double> flat(1000, 1.0e6 + 0.125);
    for (const auto& p : AllanDeviation(flat, 0.001)) EXPECT_EQ(p.sigma, 0.0) << p.m;
    EXPECT_TRUE(None(ReadFigures(AllanDeviation(flat, 0.001))));
}

TEST(AllanDeviation, WhiteNoiseFollowsTheoryAndGivesItsRandomWalk) {
    const double sigma = 0.2, f = 100; // per-sample deviation, sample rate
    std::vector<double> y = White(200000, sigma, 5.0, 7);
    const auto curve = AllanDeviation(y, 1 / f);
    int checked = 0;
    for (const auto& p : curve) {
        if (p.clusters < kMinClusters) continue;
        // Four standard errors, 1 / sqrt(2 (K - 1)) for K clusters.
        EXPECT_NEAR(p.sigma / (sigma / std::sqrt(p.tau * f)), 1,
                    4 / std::sqrt(2 * (p.clusters - 1.0)))
            << "tau=" << p.tau;
        ++checked;
    }
    EXPECT_GT(checked, 40);
    const NoiseFigures fig = ReadFigures(curve);
    ASSERT_TRUE(fig.randomWalk.available);
    EXPECT_NEAR(fig.randomWalk.value, sigma / std::sqrt(f), 0.05 * sigma / std::sqrt(f));
    // Still falling where the clusters run out: no minimum, no upturn.
    EXPECT_FALSE(fig.biasInstability.available || fig.rateRandomWalk.available);
}

TEST(AllanDeviation, RandomWalkGivesItsCoefficient) {
    const double tau0 = 0.01,
                 k = 0.003; // rate wanders by k*sqrt(tau0) per sample
    std::vector<double> y = White(200000, k * std::sqrt(tau0), 0, 11);
    for (std::size_t i = 1; i < y.size(); ++i) y[i] += y[i - 1];
    const auto curve = AllanDeviation(y, tau0);
    const NoiseFigures fig = ReadFigures(curve);
    ASSERT_TRUE(fig.rateRandomWalk.available);
    EXPECT_NEAR(fig.rateRandomWalk.value, k, 0.3 * k);
    EXPECT_FALSE(fig.randomWalk.available);
}

TEST(Figures, BiasInstabilityAtTheMinimumOnlyFromNineClusters) {
    // A valley: white noise falling, a random walk rising; the minimum is at tau
    // = sqrt(300).
    std::vector<AdevPoint> c;
    for (long long m : ClusterSizes(100001)) {
        const double tau = m * 0.01;
        c.push_back({m, tau, std::sqrt(1e-4 / tau + 1e-6 * tau / 3), 0.1, 100000 / m});
    }
    NoiseFigures f = ReadFigures(c);
    ASSERT_TRUE(f.biasInstability.available && f.randomWalk.available &&
                f.rateRandomWalk.available);
    EXPECT_NEAR(f.biasInstability.tau, std::sqrt(300.0), 0.15 * std::sqrt(300.0));
    const double minimum = std::sqrt(2e-4 / std::sqrt(300.0)); // on the curve between the points
    EXPECT_NEAR(f.biasInstability.value, minimum / 0.664, 0.01 * minimum / 0.664);
    EXPECT_NEAR(f.randomWalk.value, 0.01, 0.0005);
    EXPECT_NEAR(f.rateRandomWalk.value, 1e-3, 1e-4);
    // Too few clusters past the valley: the upturn is not used.
    for (auto& p : c) p.clusters = p.tau > 0.5 ? 8 : 9;
    f = ReadFigures(c);
    EXPECT_FALSE(f.rateRandomWalk.available || f.biasInstability.available);
    EXPECT_TRUE(f.randomWalk.available);
}

TEST(Figures, QuotedInTheUnitsEngineersUse) {
    NoiseFigures f;
    f.randomWalk = {true, 0.002, 1};
    f.biasInstability = {true, 0.001, 50};
    f.rateRandomWalk = {true, 0.0001, 900};
    struct Want {
        Quantity q;
        double rw, nd, bi, rrw;
        const char *rwUnit, *biUnit, *rrwUnit;
    };
    for (const Want& w : {Want{Quantity::Rate, 0.12, 0.002, 3.6, 0.36 * 60, "deg/sqrt(h)", "deg/h",
                               "deg/h/sqrt(h)"},
                          Want{Quantity::Acceleration, 0.002 * 9.80665 * 60, 2000, 1, 0.1 * 60,
                               "m/s/sqrt(h)", "mg", "mg/sqrt(h)"},
                          Want{Quantity::Other, 0.002, 0.002, 0.001, 0.0001, "counts*sqrt(s)",
                               "counts", "counts/sqrt(s)"}}) {
        const QuotedFigures g = Quote(f, w.q, "counts");
        EXPECT_NEAR(g.randomWalk.value, w.rw, 1e-9 * w.rw);
        EXPECT_NEAR(g.noiseDensity.value, w.nd, 1e-9 * w.nd);
        EXPECT_NEAR(g.biasInstability.value, w.bi, 1e-9 * w.bi);
        EXPECT_NEAR(g.rateRandomWalk.value, w.rrw, 1e-9 * w.rrw);
        EXPECT_EQ(g.randomWalk.unit, w.rwUnit);
        EXPECT_EQ(g.biasInstability.unit, w.biUnit);
        EXPECT_EQ(g.rateRandomWalk.unit, w.rrwUnit);
        EXPECT_DOUBLE_EQ(g.biasInstability.tau, 50);
    }
}

} // namespace
