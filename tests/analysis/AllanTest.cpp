// Allan deviation against its definition and against theory, and the figures read from it.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <random>

#include "analysis/Allan.h"

using namespace tavrin::analysis;

namespace {

std::vector<double> White(std::size_t n, double sigma, double mean = 0, unsigned seed = 7) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> d(mean, sigma);
    std::vector<double> y(n);
    for (auto& v : y) v = d(g);
    return y;
}

// The definition, cluster averages and all, with no cumulative sums.
double NaiveAdev(const std::vector<double>& y, long long m) {
    const long long n = static_cast<long long>(y.size());
    double sum = 0;
    for (long long k = 0; k + 2 * m <= n; ++k) {
        double a = 0, b = 0;
        for (long long i = 0; i < m; ++i) a += y[k + i], b += y[k + m + i];
        const double d = (b - a) / static_cast<double>(m);
        sum += d * d;
    }
    return std::sqrt(sum / (2.0 * static_cast<double>(n - 2 * m + 1)));
}

} // namespace

TEST(ClusterSizes, TenPerDecadeEveryIntegerBelowTenAndBoundedByHalfTheSeries) {
    EXPECT_TRUE(ClusterSizes(2).empty());
    EXPECT_EQ(ClusterSizes(3), (std::vector<long long>{1}));
    EXPECT_EQ(ClusterSizes(12), (std::vector<long long>{1, 2, 3, 4, 5}));
    const auto m = ClusterSizes(1000001);
    EXPECT_EQ(std::vector<long long>(m.begin(), m.begin() + 14),
              (std::vector<long long>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 16, 20, 25}));
    EXPECT_EQ(m.back(), 398107); // 10^5.6; 10^5.7 is past 500000
    EXPECT_EQ(m.size(), 9u + 47u);
    for (std::size_t i = 1; i < m.size(); ++i) EXPECT_GT(m[i], m[i - 1]);
}

TEST(AllanDeviation, AgreesWithTheDefinitionOnSmallSeries) {
    for (const std::size_t n : {5u, 64u, 501u}) {
        std::vector<double> y = White(n, 0.3, 250.0, static_cast<unsigned>(n));
        for (std::size_t i = 0; i < n; ++i) y[i] += 0.01 * static_cast<double>(i); // a ramp too
        const std::vector<double> copy = y;
        const double tau0 = 0.004;
        const auto curve = AllanDeviation(y, tau0);
        ASSERT_EQ(curve.size(), ClusterSizes(static_cast<long long>(n)).size());
        EXPECT_EQ(y.size(), n + 1); // the workspace holds the sums now
        for (const auto& p : curve) {
            EXPECT_NEAR(p.sigma, NaiveAdev(copy, p.m), 1e-9 * p.sigma) << n << " m=" << p.m;
            EXPECT_DOUBLE_EQ(p.tau, static_cast<double>(p.m) * tau0);
            EXPECT_DOUBLE_EQ(p.relError, 1 / std::sqrt(2 * (double(n) / double(p.m) - 1)));
            EXPECT_EQ(p.clusters, static_cast<long long>(n) / p.m);
        }
    }
    std::vector<double> two{1, 2};
    EXPECT_TRUE(AllanDeviation(two, 1).empty());
    std::vector<double> some{1, 2, 3, 4};
    EXPECT_TRUE(AllanDeviation(some, 0).empty());
}

TEST(AllanDeviation, WhiteNoiseFollowsTheoryAndGivesItsRandomWalk) {
    const double sigma = 0.2, f = 100; // per-sample deviation, sample rate
    std::vector<double> y = White(200000, sigma, 5.0);
    const auto curve = AllanDeviation(y, 1 / f);
    int checked = 0;
    for (const auto& p : curve) {
        if (p.clusters < kMinClusters) continue;
        const double theory = sigma / std::sqrt(p.tau * f);
        EXPECT_NEAR(p.sigma / theory, 1.0, 3 * p.relError) << "tau=" << p.tau;
        ++checked;
    }
    EXPECT_GT(checked, 40);
    const NoiseFigures fig = ReadFigures(curve);
    ASSERT_TRUE(fig.randomWalk.available);
    EXPECT_NEAR(fig.randomWalk.value, sigma / std::sqrt(f), 0.05 * sigma / std::sqrt(f));
    // Still falling where the clusters run out: no minimum, no upturn.
    EXPECT_FALSE(fig.biasInstability.available);
    EXPECT_FALSE(fig.rateRandomWalk.available);
}

TEST(AllanDeviation, RandomWalkRisesWithSlopeOneHalfAndGivesItsCoefficient) {
    const double tau0 = 0.01, k = 0.003; // rate wanders by k*sqrt(tau0) per sample
    std::vector<double> y = White(200000, k * std::sqrt(tau0), 0, 11);
    for (std::size_t i = 1; i < y.size(); ++i) y[i] += y[i - 1];
    const auto curve = AllanDeviation(y, tau0);
    const auto& a = curve[10];
    const auto& b = curve[40];
    ASSERT_GE(b.clusters, kMinClusters);
    EXPECT_NEAR(std::log(b.sigma / a.sigma) / std::log(b.tau / a.tau), 0.5, 0.1);
    const NoiseFigures fig = ReadFigures(curve);
    ASSERT_TRUE(fig.rateRandomWalk.available);
    EXPECT_NEAR(fig.rateRandomWalk.value, k, 0.3 * k);
    EXPECT_FALSE(fig.randomWalk.available);
}

TEST(AllanDeviation, ConstantGivesZeroAndNoFigures) {
    std::vector<double> y(1000, 1.0e6 + 0.125);
    const auto curve = AllanDeviation(y, 0.001);
    ASSERT_FALSE(curve.empty());
    for (const auto& p : curve) EXPECT_EQ(p.sigma, 0.0) << p.m;
    const NoiseFigures fig = ReadFigures(curve);
    EXPECT_FALSE(fig.randomWalk.available || fig.biasInstability.available ||
                 fig.rateRandomWalk.available);
}

TEST(Figures, BiasInstabilityAtTheMinimumAndOnlyFromNineClusters) {
    // A valley: white noise falling, a random walk rising.
    std::vector<AdevPoint> c;
    for (long long m : ClusterSizes(100001)) {
        const double tau = m * 0.01;
        c.push_back({m, tau, std::sqrt(1e-4 / tau + 1e-6 * tau / 3), 0.1, 100000 / m});
    }
    NoiseFigures f = ReadFigures(c);
    ASSERT_TRUE(f.biasInstability.available);
    std::size_t min = 0;
    for (std::size_t i = 0; i < c.size(); ++i)
        if (c[i].clusters >= 9 && c[i].sigma < c[min].sigma) min = i;
    EXPECT_DOUBLE_EQ(f.biasInstability.value, c[min].sigma / 0.664);
    EXPECT_DOUBLE_EQ(f.biasInstability.tau, c[min].tau);
    ASSERT_TRUE(f.randomWalk.available && f.rateRandomWalk.available);
    EXPECT_NEAR(f.randomWalk.value, 0.01, 0.0005);
    EXPECT_NEAR(f.rateRandomWalk.value, 1e-3, 1e-4);
    EXPECT_LT(f.randomWalk.tau, f.biasInstability.tau);
    EXPECT_GT(f.rateRandomWalk.tau, f.biasInstability.tau);
    // The same curve with too few clusters past the valley: the upturn is not used.
    for (auto& p : c) p.clusters = p.tau > 0.5 ? 8 : 9;
    f = ReadFigures(c);
    EXPECT_FALSE(f.rateRandomWalk.available);
    EXPECT_FALSE(f.biasInstability.available); // still falling at the last usable point
    EXPECT_TRUE(f.randomWalk.available);
    // Too short a series for any figure.
    std::vector<double> y = White(20, 1.0);
    f = ReadFigures(AllanDeviation(y, 1));
    EXPECT_FALSE(f.randomWalk.available || f.biasInstability.available ||
                 f.rateRandomWalk.available);
}

TEST(Figures, QuotedInTheUnitsEngineersUse) {
    NoiseFigures f;
    f.randomWalk = {true, 0.002, 1};
    f.biasInstability = {true, 0.001, 50};
    f.rateRandomWalk = {false, 0, 0};
    const QuotedFigures g = Quote(f, Quantity::Rate);
    EXPECT_DOUBLE_EQ(g.randomWalk.value, 0.12);
    EXPECT_EQ(g.randomWalk.unit, "deg/sqrt(h)");
    EXPECT_DOUBLE_EQ(g.noiseDensity.value, 0.002);
    EXPECT_DOUBLE_EQ(g.biasInstability.value, 3.6);
    EXPECT_EQ(g.biasInstability.unit, "deg/h");
    EXPECT_DOUBLE_EQ(g.biasInstability.tau, 50);
    EXPECT_FALSE(g.rateRandomWalk.available);
    const QuotedFigures a = Quote(f, Quantity::Acceleration);
    EXPECT_DOUBLE_EQ(a.randomWalk.value, 0.002 * 9.80665 * 60);
    EXPECT_EQ(a.randomWalk.unit, "m/s/sqrt(h)");
    EXPECT_DOUBLE_EQ(a.noiseDensity.value, 2000);
    EXPECT_DOUBLE_EQ(a.biasInstability.value, 1);
    EXPECT_EQ(a.biasInstability.unit, "mg");
    const QuotedFigures o = Quote(f, Quantity::Other, "counts");
    EXPECT_DOUBLE_EQ(o.biasInstability.value, 0.001);
    EXPECT_EQ(o.biasInstability.unit, "counts");
}

TEST(CurveCsv, TitleLineThenTauSigmaAndErrorPerChannelWithADecimalPoint) {
    std::setlocale(LC_ALL, "de_DE.UTF-8"); // where installed; the text must not follow it
    const std::vector<CurveColumn> cols = {
        {"X Gryo", "deg/s", {{1, 0.001, 0.5, 0.25, 9}, {2, 0.002, 0.125, 0.5, 4}}},
        {"X acc", "g", {{1, 0.001, 1.5e-5, 0.25, 9}}},
    };
    EXPECT_EQ(CurveCsv(cols), "tau (s),X Gryo sigma (deg/s),X Gryo relative error,"
                              "X acc sigma (g),X acc relative error\n"
                              "0.001,0.5,0.25,1.5e-05,0.25\n"
                              "0.002,0.125,0.5,,\n");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(NumberText(1.0 / 3), "0.3333333333");
}
