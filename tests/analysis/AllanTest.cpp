// The Allan deviation, its intervals and the fit: cluster sizes, hand-worked and extreme
// series, the published values of the 1000-point test data set, the fit on synthetic
// series of known terms, the single-point readings and the sensor's samples counted.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "LogTestSupport.h"
#include "analysis/Analyse.h"
#include "analysis/Edf.h"
#include "sim/SimNoise.h"

using namespace tavrin::analysis;

namespace {

TEST(ClusterSizes, SpacingsAndTheClusterLimit) {
    struct Row {
        long long n;
        TauSpacing spacing;
        int perDecade;
        long long minClusters;
        std::vector<long long> head;
        long long last;
        bool workLimited;
    };
    const Row rows[] = {
        {1000000, TauSpacing::PerDecade, 10, 9, {1, 2, 3, 4, 5, 6, 8, 10, 13, 16}, 100000, false},
        {1000000, TauSpacing::PerDecade, 3, 9, {1, 2, 5, 10, 22, 46, 100}, 100000, false},
        {1000, TauSpacing::Octave, 0, 9, {1, 2, 4, 8, 16, 32, 64}, 64, false},
        {1000, TauSpacing::Decade, 0, 4, {1, 10, 100}, 100, false},
        {1000, TauSpacing::All, 0, 9, {1, 2, 3, 4, 5}, 111, false},
        {100000000, TauSpacing::All, 0, 9, {1, 2, 3}, 20, true},
        {7, TauSpacing::PerDecade, 10, 2, {1, 2, 3}, 3, false},
        {2, TauSpacing::PerDecade, 10, 9, {}, 0, false},
    };
    for (const auto& r : rows) {
        TauChoice c{r.spacing, r.perDecade, r.minClusters};
        const ClusterPlan p = ClusterSizes(r.n, c);
        const std::size_t k = std::min(p.sizes.size(), r.head.size());
        EXPECT_EQ(std::vector<long long>(p.sizes.begin(), p.sizes.begin() + k), r.head) << r.n;
        EXPECT_EQ(p.sizes.empty() ? 0 : p.sizes.back(), r.last) << r.n;
        EXPECT_EQ(p.workLimited, r.workLimited) << r.n;
    }
}

// 1, 2, 3, 5, 4, 0, 2: sigma 1.5, sqrt(53)/4 and 5/6 at m = 1, 2, 3, whatever its scale:
// scaled into [-1, 1] first, values near the largest double give finite deviations.
TEST(AllanDeviation, HandWorkedAtAnyScale) {
    for (const double scale : {1.0, 1e-300, 1e300, 1.7e307}) {
        std::vector<double> y{1, 2, 3, 5, 4, 0, 2};
        for (double& v : y) v *= scale;
        TauChoice t;
        t.minClusters = 2;
        const Curve c = AllanDeviation(y, 0.5, t);
        ASSERT_EQ(c.points.size(), 3u) << scale;
        const double want[] = {1.5, std::sqrt(53.0) / 4, 5.0 / 6};
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(c.points[i].sigma / scale, want[i], 1e-12) << scale;
        EXPECT_EQ(c.points[2].tau, 1.5);
        EXPECT_EQ(c.points[2].clusters, 2);
        EXPECT_NEAR(c.resolution, scale, 1e-12 * scale) << scale;
    }
}

// The 1000-point test data set (n(i+1) = 16807 n(i) mod 2^31 - 1, n(0) = 1234567890, over
// 2^31 - 1), as frequency and as phase. Deviations, EDF and 68 % intervals typed in from
// the standard tool's published results for it (four digits; seven for the handbook's
// frequency deviations), with the noise type the tool took at each averaging factor.
TEST(ReferenceData, DeviationsAndIntervalsOfThe1000PointSet) {
    std::vector<double> freq;
    for (long long n = 1234567890, i = 0; i < 1000; ++i, n = 16807 * n % 2147483647)
        freq.push_back(static_cast<double>(n) / 2147483647.0);
    std::vector<double> diffs;
    for (std::size_t i = 1; i < freq.size(); ++i) diffs.push_back(freq[i] - freq[i - 1]);
    struct Row {
        bool asPhase;
        long long m;
        double sigma, lower, upper, edf;
        int alpha;
    };
    const Row rows[] = {
        {false, 1, 2.922e-01, 2.852e-01, 2.999e-01, 7.820e+02, 0},
        {false, 2, 2.010e-01, 1.952e-01, 2.074e-01, 5.407e+02, 0},
        {false, 4, 1.448e-01, 1.393e-01, 1.510e-01, 3.061e+02, 0},
        {false, 8, 1.057e-01, 1.004e-01, 1.120e-01, 1.660e+02, 0},
        {false, 16, 6.191e-02, 5.770e-02, 6.722e-02, 8.637e+01, 0},
        {false, 32, 4.808e-02, 4.365e-02, 5.420e-02, 4.335e+01, 0},
        {false, 64, 3.624e-02, 3.176e-02, 4.338e-02, 2.123e+01, 0},
        {false, 128, 2.767e-02, 2.305e-02, 3.703e-02, 9.545e+00, 0},
        {true, 1, 5.099e-01, 4.948e-01, 5.265e-01, 5.135e+02, 2},
        {true, 2, 2.483e-01, 2.410e-01, 2.564e-01, 5.129e+02, 2},
        {true, 8, 6.328e-02, 6.139e-02, 6.535e-02, 5.083e+02, 2},
        {true, 32, 1.539e-02, 1.492e-02, 1.590e-02, 4.901e+02, 2},
        {true, 64, 7.832e-03, 6.863e-03, 9.377e-03, 2.120e+01, 0},
        {true, 128, 3.976e-03, 3.311e-03, 5.322e-03, 9.533e+00, 0},
    };
    TauChoice all{TauSpacing::All, 0, 2};
    std::vector<double> f = freq, p = diffs;
    const Curve asFreq = AllanDeviation(f, 1, all), asPhase = AllanDeviation(p, 1, all);
    for (const auto& r : rows) {
        const Curve& c = r.asPhase ? asPhase : asFreq;
        const double sigma = c.points.at(r.m - 1).sigma;
        EXPECT_NEAR(sigma, r.sigma, 5.01e-4 * r.sigma) << r.m;
        const long long phasePoints = r.asPhase ? 1000 : 1001;
        const double edf = EdfOverlapping(r.alpha, phasePoints, r.m);
        EXPECT_NEAR(edf, r.edf, 1e-3 * r.edf) << r.asPhase << " " << r.m;
        const Interval iv = ChiSquaredInterval(r.sigma, edf);
        EXPECT_NEAR(iv.lower, r.lower, 1e-3 * r.lower) << r.m;
        EXPECT_NEAR(iv.upper, r.upper, 1e-3 * r.upper) << r.m;
    }
    for (const auto& [m, sigma] : {std::pair{10, 9.159953e-02}, {100, 3.241343e-02}})
        EXPECT_NEAR(asFreq.points.at(m - 1).sigma, sigma, 5e-7 * sigma) << m;
}

// A rate series of known terms, 1 kHz: white noise N, flicker B (sums of Gauss-Markov
// processes from half a sample to far beyond the record, as the simulator makes them) and
// a rate random walk K.
std::vector<double> Synthetic(double N, double B, double K, long long n, unsigned seed) {
    constexpr double dt = 0.001;
    std::mt19937_64 g(seed);
    std::normal_distribution<double> unit;
    tavrin::sim::AxisNoise a;
    a.biasInstability = B;
    a.correlationMin = dt / 2;
    a.correlationMax = 1e5;
    a.rateRandomWalk = K;
    tavrin::sim::AxisDrift drift(a);
    auto gauss = [&] { return unit(g); };
    drift.start(gauss);
    std::vector<double> y(static_cast<std::size_t>(n));
    for (double& v : y) v = N / std::sqrt(dt) * gauss() + drift.step(dt, gauss);
    return y;
}

ChannelResult Analysed(std::vector<double> y, AnalysisOptions o = {}, double elapsed = 0) {
    ChannelResult c;
    c.series.title = "x";
    c.series.tau0 = 0.001;
    c.series.elapsed = elapsed;
    c.series.fresh = c.series.logged = static_cast<long long>(y.size());
    c.series.values = std::move(y);
    AnalyseChannel(c, o);
    return c;
}

// Five seeds of 10^6 samples each: with all three terms, each dominating about two decades,
// the means of the fitted N, B and K are within 2 %, 10 % and 10 %; a term the data does
// not hold is never reported (white noise alone: no B, no K; a random walk alone: no B).
TEST(Fit, RecoversTheTermsOfSyntheticSeriesAndNoOthers) {
    struct Row {
        double N, B, K;
        int seeds;
        std::array<double, kTerms> tolerance; // of the mean; negative: never available
    };
    const Row rows[] = {
        {1, 8.69, 5.77, 5, {-1, 0.02, 0.10, 0.10, -1}},
        {1, 0, 0, 5, {-1, 0.02, -1, -1, -1}},
        {0, 0, 5.77, 1, {-1, -1, -1, 0.10, -1}},
        {0, 8.69, 0, 1, {-1, -1, 0.10, -1, -1}},
    };
    for (const auto& r : rows) {
        const double truth[kTerms] = {0, r.N, r.B, r.K, 0};
        std::array<double, kTerms> sum{};
        for (int seed = 1; seed <= r.seeds; ++seed) {
            const ChannelResult c = Analysed(Synthetic(r.N, r.B, r.K, 1000000, seed));
            for (int k = 0; k < kTerms; ++k) {
                const TermFit& t = c.fit.terms[k];
                EXPECT_EQ(t.available, r.tolerance[k] >= 0)
                    << r.B << " seed " << seed << " term " << k;
                sum[k] += t.value;
                if (t.available) {
                    EXPECT_GT(t.uncertainty, 0);
                }
            }
        }
        for (int k = 0; k < kTerms; ++k) {
            if (r.tolerance[k] >= 0) {
                EXPECT_NEAR(sum[k] / r.seeds, truth[k], r.tolerance[k] * truth[k]) << k;
            }
        }
    }
}

// Where each term dominates, and the curve's intervals from the noise found there.
TEST(Fit, DominanceRangesAndIntervalsFollowTheTerms) {
    const ChannelResult c = Analysed(Synthetic(1, 8.69, 5.77, 200000, 7));
    const auto& t = c.fit.terms;
    ASSERT_TRUE(t[1].available && t[2].available);
    // N meets B where N^2/tau = (0.664 B)^2: near 0.03 s.
    EXPECT_NEAR(t[1].to, 0.03, 0.01);
    EXPECT_DOUBLE_EQ(t[1].to, t[2].from);
    EXPECT_EQ(t[1].from, c.curve.points.front().tau);
    for (const auto& p : c.curve.points) {
        EXPECT_EQ(p.alpha, p.tau < t[1].to ? 0 : p.tau < t[2].to ? -1 : -2) << p.tau;
        EXPECT_TRUE(p.lower < p.sigma && p.sigma < p.upper) << p.tau;
    }
}

// The single points of a curve of known shape: the slopes and the minimum, each only where
// the curve shows it.
TEST(Figures, SinglePointsWhereTheCurveShowsThem) {
    std::vector<AdevPoint> c;
    TauChoice t;
    for (long long m : ClusterSizes(100001, t).sizes) {
        const double tau = m * 0.01, s = std::sqrt(1e-4 / tau + 1e-6 * tau / 3);
        c.push_back({m, tau, s, 100000 / m, 100, s * 0.95, s * 1.05, 0});
    }
    NoiseFigures f = ReadFigures(c);
    ASSERT_TRUE(f.biasInstability.available && f.randomWalk.available &&
                f.rateRandomWalk.available);
    EXPECT_NEAR(f.biasInstability.tau, std::sqrt(300.0), 0.15 * std::sqrt(300.0));
    const double minimum = std::sqrt(2e-4 / std::sqrt(300.0)); // between the points
    EXPECT_NEAR(f.biasInstability.value, minimum / 0.664, 0.01 * minimum / 0.664);
    EXPECT_NEAR(f.randomWalk.value, 0.01, 0.0005);
    EXPECT_NEAR(f.rateRandomWalk.value, 1e-3, 1e-4);
    c.resize(c.size() * 2 / 3); // still falling where it ends: no floor, no rise
    f = ReadFigures(c);
    EXPECT_FALSE(f.rateRandomWalk.available || f.biasInstability.available);
    EXPECT_TRUE(f.randomWalk.available);
}

TEST(Figures, QuotedInTheUnitsEngineersUse) {
    NoiseFit fit;
    for (int k = 0; k < kTerms; ++k) fit.terms[k] = {true, 1e-3 * (k + 1), 1e-4, 0.1, 1};
    NoiseFigures single;
    single.randomWalk = {true, 0.002, 1};
    // Q, N, B, K, R, noise density; single-point N; and their units.
    const std::tuple<Quantity, std::array<double, 7>, std::string> wants[] = {
        {Quantity::Rate,
         {1e-3, 0.12, 10.8, 864, 5e-3 * 3600 * 3600, 0.002, 0.12},
         "deg deg/sqrt(h) deg/h deg/h/sqrt(h) deg/h/h deg/s/sqrt(Hz)"},
        {Quantity::Acceleration,
         {9.80665e-3, 2e-3 * 9.80665 * 60, 3, 240, 5e-3 * 3.6e6, 2000, 0.002 * 9.80665 * 60},
         "m/s m/s/sqrt(h) mg mg/sqrt(h) mg/h ug/sqrt(Hz)"},
        {Quantity::Other,
         {1e-3, 2e-3, 3e-3, 4e-3, 5e-3, 2e-3, 0.002},
         "V*s V*sqrt(s) V V/sqrt(s) V/s V/sqrt(Hz)"}};
    for (const auto& [q, want, units] : wants) {
        const QuotedFigures g = Quote(fit, single, q, "V");
        const double got[] = {g.fit[0].value,    g.fit[1].value, g.fit[2].value,
                              g.fit[3].value,    g.fit[4].value, g.noiseDensity.value,
                              g.randomWalk.value};
        for (int i = 0; i < 7; ++i) EXPECT_NEAR(got[i], want[i], 1e-9 * want[i]) << i;
        EXPECT_NEAR(g.fit[1].uncertainty / g.fit[1].value, 0.05, 1e-12);
        std::string u;
        for (const auto& f : g.fit) u += f.unit + " ";
        EXPECT_EQ(u + g.noiseDensity.unit, units);
    }
}

// With the sensor's period known, the samples the time held against those used; below
// 99 % the figures come from decimated data and tau0 is the mean interval of those used.
// A channel below its own resolution gives no figures, saying why (no new samples and
// constant channels: tests/data/cli/adev.txt).
TEST(AnalyseChannel, SensorSamplesCountedAndChannelsWithoutFigures) {
    auto white = Synthetic(1, 0, 0, 2000, 3);
    struct Row {
        std::vector<double> values;
        double period, elapsed, capture;
        ChannelStatus status;
        double caught, tau0;
        std::string warning;
    };
    const Row rows[] = {
        {white, 0.001, 2, 0, ChannelStatus::Ok, 1, 0.001, ""},
        {white, 0.0005, 2, 0, ChannelStatus::Ok, 0.5, 0.001,
         "x: 2000 new samples used of about 4000 the sensor made (50.0 %): the figures come "
         "from decimated data; white noise reads about 1.41 times too high (sqrt(made/used))"},
        {white, 0.001, 0, 2, ChannelStatus::Ok, 1, 0.001, ""},
        {[] {
             std::vector<double> v(500, 0.25);
             v[100] = 0.3; // one step of 0.05 in 500 samples
             return v;
         }(),
         0, 0, 0, ChannelStatus::BelowResolution, 0, 0.001, ""},
    };
    for (const auto& r : rows) {
        AnalysisOptions o;
        o.read.sensorPeriod = r.period;
        o.captureSeconds = r.capture;
        const ChannelResult c = Analysed(r.values, o, r.elapsed);
        EXPECT_EQ(c.status, r.status) << r.period;
        EXPECT_NEAR(c.accounting.caught, r.caught, 1e-9) << r.period;
        EXPECT_DOUBLE_EQ(c.series.tau0, r.tau0) << r.period;
        EXPECT_EQ(DecimationWarning(c), r.warning);
        EXPECT_EQ(c.status == ChannelStatus::Ok, !StatusText(c).empty() == false);
        EXPECT_EQ(c.curve.points.empty(), c.status != ChannelStatus::Ok);
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
    AnalysisOptions o;
    o.read.rateHz = 40;
    int calls = 0;
    o.read.progress = [&](double f) { return ++calls, f >= 0 && f <= 1; };
    EXPECT_TRUE(AnalyseLog(file, o).problem.ok());
    EXPECT_GT(calls, 0);
    o.read.progress = [](double) { return false; };
    EXPECT_EQ(AnalyseLog(file, o).problem.status, LogStatus::Cancelled);
}

} // namespace
