// The Welch spectrum against series whose spectrum is known: white noise, a sine, a random
// walk; the segment rules; samples in pieces.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "analysis/Psd.h"

namespace {

using namespace tavrin::analysis;

std::vector<double> White(std::size_t n, double sigma, double offset, unsigned seed) {
    std::mt19937_64 g(seed);
    std::normal_distribution<double> d(0, sigma);
    std::vector<double> v(n);
    for (double& x : v) x = offset + d(g);
    return v;
}

Spectrum Of(const std::vector<double>& v, double rate, std::size_t segment = 0) {
    WelchPsd p(segment ? segment : ChooseSegment(static_cast<long long>(v.size())), rate);
    p.add(v);
    return p.spectrum();
}

// Half-overlapping segments; by default the longest giving 16 or more, else 8 of 16.
TEST(Psd, SegmentRules) {
    EXPECT_EQ(SegmentCount(1000, 64), 30);
    EXPECT_EQ(SegmentCount(23, 16), 1);
    for (const auto& [n, len] : std::vector<std::pair<long long, std::size_t>>{
             {71, 0}, {72, 16}, {271, 16}, {272, 32}, {10000000, 1 << 20}, {1LL << 40, 1 << 24}})
        EXPECT_EQ(ChooseSegment(n), len) << n << " samples";
    for (const long long len : {8LL, 24LL, 1LL << 25}) EXPECT_FALSE(IsSegmentLength(len)) << len;
}

// White noise of sigma at f: flat at 2 sigma^2 / f to the last bin, whatever the mean; its
// rms is sigma.
TEST(Psd, WhiteNoiseIsFlatAtTwiceTheVarianceOverTheRate) {
    const double sigma = 0.3, rate = 250, level = 2 * sigma * sigma / rate;
    const Spectrum s = Of(White(1 << 18, sigma, 9.8, 1), rate);
    ASSERT_EQ(s.density.size(), 1u << 13); // 31 segments of 2^14
    const std::size_t band = s.density.size() / 16;
    for (std::size_t b = 0; b < 16; ++b) {
        double sum = 0;
        for (std::size_t i = b * band; i < (b + 1) * band; ++i) sum += s.density[i];
        EXPECT_NEAR(sum / static_cast<double>(band) / level, 1, 0.05) << "band " << b;
    }
    EXPECT_NEAR(s.rms() / sigma, 1, 0.01);
    // The ends over many series: the first bin keeps 5/6 of the level, the window's share of
    // the mean removed (the offset would leak there in full); the last, half as wide, is a
    // density like the others.
    double first = 0, last = 0;
    for (int seed = 2; seed < 42; ++seed) {
        const auto d = Of(White(4096, sigma, 9.8, seed), rate).density;
        first += d.front() / 40 / level;
        last += d.back() / 40 / level;
    }
    EXPECT_NEAR(first, 5.0 / 6, 0.1);
    EXPECT_NEAR(last, 1, 0.15);
}

// A sine of amplitude A: its peak at its bin, its power A^2/2 (Parseval) within 1 %, and
// the window keeps it from leaking far.
TEST(Psd, SinePeaksAtItsBinWithItsPower) {
    const double rate = 1000, a = 2;
    for (const double bin : {100.0, 100.5, 333.25}) {
        const double f0 = bin * rate / 1024;
        std::vector<double> v = White(40000, 1e-4, 0, 7);
        for (std::size_t n = 0; n < v.size(); ++n)
            v[n] += a * std::sin(2 * std::numbers::pi * f0 * static_cast<double>(n) / rate + 0.3);
        const Spectrum s = Of(v, rate, 1024);
        const auto top = static_cast<std::size_t>(
            std::max_element(s.density.begin(), s.density.end()) - s.density.begin());
        EXPECT_LE(std::abs(s.frequency(top) - f0), s.resolution() / 2) << "bin " << bin;
        EXPECT_NEAR(s.rms() * s.rms() / (a * a / 2), 1, 0.01) << "bin " << bin;
        for (const std::size_t far : {top - 20, top + 20})
            EXPECT_LT(s.density[far], 1e-6 * s.density[top]) << "bin " << bin << ", " << far;
    }
}

// A random walk: a slope of -2 in log-log.
TEST(Psd, RandomWalkFallsAtMinusTwo) {
    std::vector<double> v = White(1 << 18, 0.01, 0, 3);
    for (std::size_t n = 1; n < v.size(); ++n) v[n] += v[n - 1];
    const Spectrum s = Of(v, 100);
    double sx = 0, sy = 0, sxx = 0, sxy = 0, m = 0;
    for (std::size_t i = 7; s.frequency(i) <= 5; ++i) {
        const double x = std::log10(s.frequency(i)), y = std::log10(s.density[i]);
        sx += x, sy += y, sxx += x * x, sxy += x * y, ++m;
    }
    EXPECT_NEAR((m * sxy - sx * sy) / (m * sxx - sx * sx), -2, 0.1);
}

// Samples in pieces of any size give the spectrum of all of them at once.
TEST(Psd, PiecesGiveTheSameSpectrum) {
    const std::vector<double> v = White(5000, 1, 0.5, 4);
    WelchPsd p(256, 50);
    std::mt19937 g(5);
    for (std::size_t at = 0, n = 0; at < v.size(); at += n) {
        n = std::min<std::size_t>(v.size() - at, g() % 700);
        p.add(v.data() + at, n);
    }
    const Spectrum pieces = p.spectrum();
    EXPECT_EQ(pieces.segments, 38);
    EXPECT_EQ(pieces.unused(), 5000 - (256 + 37 * 128));
    EXPECT_EQ(pieces.density, Of(v, 50, 256).density);
}

} // namespace
