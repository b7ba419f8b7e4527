// What tavrin-cli adev cannot show: progress and cancelling, and the series
// released once analysed. Formats and refusals are in tests/data/cli/adev.txt.
#include <gtest/gtest.h>

#include <fstream>

#include "LogTestSupport.h"
#include "analysis/Analyse.h"

using namespace tavrin::analysis;

TEST(AnalyseLog, ReportsProgressReleasesTheSeriesAndStopsWhenCancelled) {
    tavrin::test::ScratchDir dir;
    {
        std::ofstream f(dir.path / "n.csv", std::ios::binary);
        for (int n = 1; n <= 2000; ++n) f << n << ",1," << (n * 7919 % 2000) / 1000.0 << ",\r\n";
    }
    ReadOptions o;
    o.rateHz = 100;
    int calls = 0;
    o.progress = [&](double f) { return ++calls, f >= 0 && f <= 1; };
    const AnalysisResult r = AnalyseLog(dir.path / "n.csv", o);
    ASSERT_EQ(r.error, "");
    EXPECT_GT(calls, 0);
    ASSERT_EQ(r.channels.size(), 1u);
    EXPECT_TRUE(r.channels[0].series.values.empty());
    EXPECT_EQ(r.channels[0].curve.size(),
              29u); // 1 to 9, then ten a decade from 10 to 794
    o.progress = [](double) { return false; };
    EXPECT_TRUE(AnalyseLog(dir.path / "n.csv", o).cancelled);
}
