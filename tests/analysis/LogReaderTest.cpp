// What tavrin-cli adev cannot show: progress and cancelling. The formats read and the
// refusals are in tests/data/cli/adev.txt.
#include <gtest/gtest.h>

#include <fstream>

#include "LogTestSupport.h"
#include "analysis/Analyse.h"

using namespace tavrin::analysis;

TEST(AnalyseLog, ReportsProgressReleasesTheSeriesAndStopsWhenCancelled) {
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
    const AnalysisResult r = AnalyseLog(file, o);
    ASSERT_EQ(r.error, "");
    EXPECT_GT(calls, 0);
    EXPECT_TRUE(r.channels.at(0).series.values.empty()); // released
    EXPECT_EQ(r.channels[0].curve.size(), 12u);          // 1 to 10, 13, 16
    o.progress = [](double) { return false; };
    EXPECT_TRUE(AnalyseLog(file, o).cancelled);
}
