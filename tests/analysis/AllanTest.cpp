// Allan deviation: cluster sizes and counts, the figures read from a curve of known shape,
// and an analysis' progress. The formats read, the refusals and the hand-worked series'
// sigma and relative errors are in tests/data/cli/adev.txt, through tavrin-cli adev.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>

#include "LogTestSupport.h"
#include "analysis/Allan.h"
#include "analysis/Analyse.h"

using namespace tavrin::analysis;

namespace {

TEST(AllanDeviation, ClusterSizesTenPerDecadeEveryIntegerBelowTenUpToHalfTheSeries) {
    EXPECT_TRUE(ClusterSizes(2).empty());
    const auto m = ClusterSizes(1000001);
    EXPECT_EQ(std::vector<long long>(m.begin(), m.begin() + 14),
              (std::vector<long long>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 16, 20, 25}));
    EXPECT_EQ(m.back(), 398107); // 10^5.6; 10^5.7 is past 500000
}

// The hand-worked series' sigma and relative errors are in tests/data/cli/adev.txt.
TEST(AllanDeviation, ClustersOfAHandWorkedSeriesNoRoundingNoiseOnALargeConstant) {
    std::vector<double> y{1, 2, 3, 5, 4, 0, 2}, big(1000, 1.0e6 + 0.125);
    const auto c = AllanDeviation(y, 0.5);
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(std::vector<long long>({c[0].clusters, c[1].clusters, c[2].clusters}),
              (std::vector<long long>{7, 3, 2}));
    EXPECT_DOUBLE_EQ(c[2].tau, 1.5);
    for (const auto& p : AllanDeviation(big, 0.001)) EXPECT_EQ(p.sigma, 0.0) << p.m;
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
    // Random walk, noise density, bias instability, rate random walk; their units.
    const std::tuple<Quantity, std::array<double, 4>, const char*> wants[] = {
        {Quantity::Rate, {0.12, 0.002, 3.6, 0.36 * 60}, "deg/sqrt(h) deg/h deg/h/sqrt(h)"},
        {Quantity::Acceleration,
         {0.002 * 9.80665 * 60, 2000, 1, 0.1 * 60},
         "m/s/sqrt(h) mg mg/sqrt(h)"},
        {Quantity::Other, {0.002, 0.002, 0.001, 0.0001}, "counts*sqrt(s) counts counts/sqrt(s)"}};
    for (const auto& [q, want, units] : wants) {
        const QuotedFigures g = Quote(f, q, "counts");
        const double got[] = {g.randomWalk.value, g.noiseDensity.value, g.biasInstability.value,
                              g.rateRandomWalk.value};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], want[i], 1e-9 * want[i]) << i;
        EXPECT_EQ(g.randomWalk.unit + " " + g.biasInstability.unit + " " + g.rateRandomWalk.unit,
                  units);
    }
}

// What tavrin-cli adev cannot show: progress and cancelling.
TEST(AnalyseLog, ReportsProgressAndStopsWhenCancelled) {
    tavrin::test::ScratchDir dir;
    const auto file = dir.path / "f.csv";
    {
        std::ofstream out(file, std::ios::binary);
        for (int n = 1; n <= 40; ++n) out << n << ",1," << 0.25 * n << ",\r\n";
    }
    ReadOptions o;
    o.rateHz = 40;
    int calls = 0;
    o.progress = [&](double f) { return ++calls, f >= 0 && f <= 1; };
    EXPECT_EQ(AnalyseLog(file, o).error, "");
    EXPECT_GT(calls, 0);
    o.progress = [](double) { return false; };
    EXPECT_TRUE(AnalyseLog(file, o).cancelled);
}

} // namespace
