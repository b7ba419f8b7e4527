// What the analysis window shows of a log: the min/max pyramid against every sample, and one
// reading giving the Allan fit, the spectrum and the time view (every sample the reader
// handed out, once), whose two white-noise levels agree on the simulated sensor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "LogTestSupport.h"
#include "analysis/LogViews.h"
#include "sim/SimSensor.h"

namespace {

using namespace tavrin::analysis;
using tavrin::test::ScratchDir;

MinMax Brute(const std::vector<double>& v, std::size_t first, std::size_t last) {
    const auto [lo, hi] = std::minmax_element(v.begin() + first, v.begin() + last);
    return {*lo, *hi};
}

MinMax Extremes(const std::vector<ViewPoint>& points) {
    MinMax m{points.at(0).value, points[0].value};
    for (const auto& p : points) m = {std::min(m.min, p.value), std::max(m.max, p.value)};
    return m;
}

// Any range, whatever pieces the samples came in: the same extremes as every sample gives,
// from a pyramid of 1.3 bytes a sample.
TEST(Decimation, ExtremesOfAnyRangeAreExact) {
    std::mt19937_64 g(3);
    std::normal_distribution<double> step;
    std::vector<double> v(300007);
    double x = 0;
    for (double& s : v) s = x += step(g);
    MinMaxPyramid p;
    for (std::size_t at = 0; at < v.size();) {
        const std::size_t n = std::min<std::size_t>(v.size() - at, g() % 5000);
        p.add(v.data() + at, n);
        at += n;
    }
    p.finish();
    EXPECT_EQ(p.samples(), v.size());
    EXPECT_LE(p.bytes(), v.size() * 4 / 3 + 1000);
    for (int k = 0; k < 3000; ++k) {
        std::size_t a = g() % v.size(), b = g() % v.size();
        if (k % 3 == 0) b = a + g() % 40; // short ones, within a block or across one
        std::tie(a, b) = std::minmax(a, std::min(b, v.size() - 1));
        const MinMax want = Brute(v, a, b + 1), got = p.range(v, a, b + 1);
        ASSERT_EQ(got.min, want.min) << a << ".." << b;
        ASSERT_EQ(got.max, want.max) << a << ".." << b;
    }
    // Samples the pyramid has not seen yet are taken from the values.
    v.push_back(1e9);
    EXPECT_EQ(p.range(v, 10, v.size()).max, 1e9);
}

// A ramp with a spike (up, then down) every million samples: at every zoom, wherever the
// view stands, each spike in view is drawn and the view's extremes are the data's.
TEST(Decimation, EverySpikeShowsAtEveryZoom) {
    constexpr std::size_t kN = 5000000, kEvery = 1000000, kColumns = 1000;
    std::vector<double> v(kN);
    for (std::size_t i = 0; i < kN; ++i) v[i] = static_cast<double>(i) * 1e-6;
    std::vector<std::size_t> spikes;
    for (std::size_t i = 123457; i < kN; i += kEvery) {
        v[i] = spikes.size() % 2 ? -50.0 - static_cast<double>(spikes.size()) : 50.0 + i * 1e-6;
        spikes.push_back(i);
    }
    MinMaxPyramid p;
    p.add(v);
    std::mt19937_64 g(5);
    for (const std::size_t width : {kN, kEvery, std::size_t{100000}, std::size_t{10000},
                                    std::size_t{1000}, std::size_t{100}}) {
        for (const std::size_t s : spikes) {
            // A window of this width somewhere around the spike, and one beside it.
            const std::size_t lo = s >= width ? s - width + 1 : 0;
            const std::size_t first = std::min(lo + g() % width, s),
                              last = std::min(first + width, kN);
            for (const std::size_t from : {first, last < kN ? last : std::size_t{0}}) {
                const std::size_t to = std::min(from + width, kN);
                const auto view = ViewOf(v, p, from, to, kColumns);
                ASSERT_LE(view.size(), 2 * kColumns);
                const MinMax want = Brute(v, from, to), got = Extremes(view);
                EXPECT_EQ(got.min, want.min) << width << " at " << from;
                EXPECT_EQ(got.max, want.max) << width << " at " << from;
                for (const std::size_t t : spikes) {
                    if (t < from || t >= to) continue;
                    EXPECT_TRUE(std::any_of(view.begin(), view.end(),
                                            [&](const ViewPoint& q) { return q.value == v[t]; }))
                        << "spike at " << t << " not drawn, width " << width << " at " << from;
                }
            }
        }
    }
    // Two samples a column or fewer: every sample, as it is.
    const auto close = ViewOf(v, p, 123450, 123470, 10);
    ASSERT_EQ(close.size(), 20u);
    for (const auto& q : close) EXPECT_EQ(q.value, v[q.index]);
    EXPECT_TRUE(ViewOf(v, p, 10, 10, 100).empty());
}

// The simulated sensor, seeded, logged at its 1 ms period: rates in deg/s and
// accelerations in g as the program scales the output words.
std::filesystem::path SimulatorLog(const ScratchDir& dir, std::size_t n) {
    tavrin::sim::SimSensor s(41120, true, 11);
    const auto value = [&](int addr, double scale) {
        int w = s.word(addr) & 0x3FFF;
        if (w & 0x2000) w -= 0x4000;
        return w * scale;
    };
    const auto file = dir.path / "sim.csv";
    std::FILE* f = std::fopen(file.string().c_str(), "wb");
    std::fprintf(f, "Sample #,X Gryo,Z acc,\r\n");
    for (std::size_t i = 1; i <= n; ++i) {
        s.tick(1000);
        std::fprintf(f, "%zu,%.15g,%.15g,\r\n", i,
                     value(tavrin::sim::SimSensor::kXGyro, s.gyroBaseScale()),
                     value(tavrin::sim::SimSensor::kZAccl, s.acclScale()));
    }
    std::fclose(f);
    return file;
}

// One reading of the simulated sensor's log: the random walk N the spectrum's white level
// gives (sqrt(density / 2) over the upper half of the band) and the N the Allan fit gives
// agree within 5 %, and the line the window draws for the fit is 2 N^2. The time view holds
// every sample at the period logged.
TEST(LogViews, WhiteLevelsOfSpectrumAndFitAgreeOnTheSimulatedSensor) {
    ScratchDir dir;
    AnalysisOptions o;
    o.read.rateHz = 1000;
    const LogViews v = AnalyseLogViews(SimulatorLog(dir, 1 << 20), o);
    ASSERT_TRUE(v.analysis.problem.ok()) << v.analysis.problem.detail;
    ASSERT_EQ(v.analysis.channels.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const ChannelResult& c = v.analysis.channels[i];
        ASSERT_TRUE(v.spectra[i]) << v.spectrumProblems[i];
        const Spectrum& s = *v.spectra[i];
        double sum = 0;
        std::size_t bins = 0;
        for (std::size_t k = 0; k < s.density.size(); ++k)
            if (s.frequency(k) > s.sampleRate / 4) sum += s.density[k], ++bins;
        const double fromSpectrum = std::sqrt(sum / static_cast<double>(bins) / 2);
        const TermFit& n = c.fit.terms[static_cast<int>(Term::RandomWalk)];
        ASSERT_TRUE(n.available) << c.series.title;
        EXPECT_NEAR(fromSpectrum / n.value, 1, 0.05) << c.series.title;
        EXPECT_DOUBLE_EQ(WhiteLevel(c), 2 * n.value * n.value);
        const TimeSeries& t = v.time[i];
        EXPECT_EQ(t.values.size(), std::size_t{1} << 20);
        EXPECT_EQ(t.pyramid.samples(), t.values.size());
        EXPECT_DOUBLE_EQ(t.tau0, 0.001);
        EXPECT_EQ(t.title, c.series.title);
    }
    EXPECT_EQ(v.time[0].values[2], std::stod(dir.lines("sim.csv")[3].substr(2)));
    const std::string csv = SpectrumCsv(SpectraOf(v));
    EXPECT_TRUE(csv.starts_with("frequency (Hz),X Gryo PSD ((deg/s)^2/Hz),Z acc PSD (g^2/Hz)\n"));
}

} // namespace
