// What tavrin-cli adev cannot show: a decimal-comma session's file read back, progress and
// cancelling. The other formats and the refusals are in tests/data/cli/adev.txt.
#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "TestApp.h"
#include "analysis/Analyse.h"
#include "datalog/LogSession.h"

using namespace tavrin;
using namespace tavrin::analysis;

TEST(AnalyseLog, ReadsADecimalCommaSessionReportsProgressAndStopsWhenCancelled) {
    test::ScratchDir dir;
    test::TestApp t;
    t.platform.decimalSep = ",";
    t.platform.clockScript = {100.25f, 101.25f};
    datalog::DiskFileSystem fs;
    datalog::LogSettings settings;
    settings.directory = dir.path;
    settings.columns.box[2] = true;
    settings.samplesPerFile = 40;
    int n = 0;
    datalog::RunLogSession(t.app, settings, {}, fs,
                           [&](const registers::RegisterAccess& io, int16_t) {
                               io.res.RegScaled = 0.25 * ++n;
                               io.res.RegNDBit = 0x8000;
                           });
    const auto file = dir.path / "DATALOG_1.txt";
    const ReadResult read = ReadLog(file, {});
    ASSERT_EQ(read.error, "");
    EXPECT_EQ(read.data.channels.at(0).values.at(1), 0.5);
    EXPECT_EQ(read.data.channels[0].values.at(39), 10);
    EXPECT_DOUBLE_EQ(read.data.channels[0].tau0, 0.025); // 40 samples in one second

    ReadOptions o;
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
