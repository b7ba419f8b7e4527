// tavrin-cli adev on files the simulated sessions wrote: the analysis module's own
// table, curve and messages, and the usual exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "RunCli.h"
#include "analysis/Analyse.h"

using namespace tavrin::analysis;

using namespace tavrin::test;
namespace an = tavrin::analysis;
namespace fs = std::filesystem;

namespace {

bool Mentions(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

// A gyroscope and an accelerometer logged from the deterministic simulator.
fs::path LogFile(const ScratchDir& dir, bool header) {
    std::vector<std::string> args = {"--sim", "41120,seed=3",   "log",  "--boxes",
                                     "2,5",   "--samples",      "6000", "--burst",
                                     "--dir", dir.path.string()};
    if (!header) args.push_back("--no-header");
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return dir.path / "DATALOG_1.csv";
}

} // namespace

TEST(CliAdev, TableCurveAndJsonAreTheAnalysisModulesOwn) {
    ScratchDir dir;
    const fs::path file = LogFile(dir, false);
    const fs::path csv = dir.path / "curve.csv";
    const CliResult r = RunCli({"adev", file.string(), "--rate", "4000", "--csv", csv.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    an::ReadOptions ro;
    ro.rateHz = 4000;
    const an::AnalysisResult want = an::AnalyseLog(file, ro);
    ASSERT_EQ(want.error, "");
    ASSERT_EQ(want.channels.size(), 2u);
    EXPECT_EQ(r.out, an::FiguresTable(want));
    EXPECT_TRUE(Mentions(r.out, "random walk: ")) << r.out;
    EXPECT_EQ(ReadFileBytes(csv), an::CurveCsvOf(want));

    // One channel by number, as JSON; an absent figure is null, never a number.
    const CliResult j =
        RunCli({"--json", "adev", file.string(), "--rate", "4000", "--channels", "2"});
    ASSERT_EQ(j.status, 0) << j.err;
    const auto out = nlohmann::json::parse(j.out);
    ASSERT_EQ(out.size(), 1u);
    const an::ChannelResult& acc = want.channels[1];
    EXPECT_EQ(out[0]["channel"], acc.series.title);
    EXPECT_EQ(out[0]["unit"], acc.series.unit);
    EXPECT_EQ(out[0]["samples"], acc.series.fresh);
    EXPECT_DOUBLE_EQ(out[0]["tau0"].get<double>(), acc.series.tau0);
    EXPECT_EQ(out[0]["points"], acc.curve.size());
    const auto same = [&](const char* key, const an::QuotedFigure& q) {
        SCOPED_TRACE(key);
        if (!q.available) {
            EXPECT_TRUE(out[0][key].is_null());
            return;
        }
        EXPECT_DOUBLE_EQ(out[0][key]["value"].get<double>(), q.value);
        EXPECT_DOUBLE_EQ(out[0][key]["tau"].get<double>(), q.tau);
        EXPECT_EQ(out[0][key]["unit"], q.unit);
    };
    ASSERT_TRUE(acc.quoted.randomWalk.available);
    same("random_walk", acc.quoted.randomWalk);
    same("noise_density", acc.quoted.noiseDensity);
    same("bias_instability", acc.quoted.biasInstability);
    same("rate_random_walk", acc.quoted.rateRandomWalk);
}

TEST(CliAdev, SensorPeriodForTheNewSamplesOfAFlaggedLog) {
    ScratchDir dir;
    const fs::path file = LogFile(dir, true);
    const CliResult r =
        RunCli({"adev", file.string(), "--period", "0.001", "--channels", "X Gryo"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Mentions(r.out, "tau0 = 0.001 s (sensor sample period; ")) << r.out;
    EXPECT_FALSE(Mentions(r.out, "X acc")) << r.out;
}

TEST(CliAdev, BadFilesAreStatusOneWithFileAndLineAndNothingWritten) {
    ScratchDir dir;
    const fs::path file = LogFile(dir, false);
    const fs::path empty = dir.path / "empty.csv";
    std::FILE* f = std::fopen(empty.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    const fs::path csv = dir.path / "curve.csv";
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const std::vector<Case> cases = {
        {{"adev", empty.string(), "--rate", "100"}, "empty.csv: line 1: the file is empty"},
        {{"adev", file.string()},
         "DATALOG_1.csv: line 1: the file has no header: give the "
         "sample rate"},
        {{"adev", file.string(), "--rate", "100", "--channels", "Y acc"}, "no channel \"Y acc\""},
        {{"adev", (dir.path / "none.csv").string(), "--rate", "100"}, "none.csv"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--csv", csv.string()});
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 1) << c.mentions;
        EXPECT_EQ(r.out, "");
        const auto lines = SplitLines(r.err);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_TRUE(Mentions(lines[0], c.mentions)) << r.err;
        EXPECT_FALSE(fs::exists(csv)) << c.mentions;
    }
    const CliResult unwritable = RunCli({"adev", file.string(), "--rate", "100", "--csv",
                                         (dir.path / "no" / "such" / "c.csv").string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(Mentions(unwritable.err, "c.csv: the curve could not be written"))
        << unwritable.err;
}

TEST(CliAdev, UsageErrorsAreStatusTwoAndOneLine) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"adev"},
                                               {"adev", "f.csv", "--rate", "0"},
                                               {"adev", "f.csv", "--rate", "fast"},
                                               {"adev", "f.csv", "--period", "-1"},
                                               {"adev", "f.csv", "--bogus"}}) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 2) << args.back();
        const auto lines = SplitLines(r.err);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_TRUE(Mentions(lines[0], "tavrin-cli adev --help")) << r.err;
        EXPECT_EQ(r.out, "");
    }
}
