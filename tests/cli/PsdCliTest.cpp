// tavrin-cli psd as a shell runs it: a log of the simulator's gyroscopes in, its spectrum
// out; errors and statuses as adev's.
#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

TEST(CliPsd, SpectrumOfASimulatorLog) {
    ScratchDir dir;
    const std::string log = (dir.path / "DATALOG_1.csv").string();
    ASSERT_EQ(RunCli({"--sim", "41120,seed=1", "log", "--boxes", "2,3", "--samples", "8000",
                      "--burst", "--dir", dir.path.string()})
                  .status,
              0);
    // 2000 new samples a channel at the sensor's 1 ms: 30 segments of 128, 7.8125 Hz apart.
    CliResult r =
        RunCli({"psd", log, "--period", "0.001", "--csv", (dir.path / "psd.csv").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("X Gryo: 2000 samples, tau0 = 0.001 s"), std::string::npos) << r.out;
    const Lines lines = SplitFields(dir.read("psd.csv"), '\n');
    ASSERT_EQ(lines.size(), 1u + 64u + 1u); // titles, 64 bins, "" after the last "\n"
    EXPECT_EQ(lines[0], "frequency (Hz),X Gryo PSD ((deg/s)^2/Hz),Y Gyro PSD ((deg/s)^2/Hz)");
    // White noise of 0.15 deg/sqrt(h) = 0.0025 deg/sqrt(s): one-sided 2 N^2 = 1.25e-5.
    double mean[2] = {0, 0};
    for (std::size_t i = 1; i <= 64; ++i) {
        const Lines f = SplitFields(lines[i]);
        ASSERT_EQ(f.size(), 3u) << lines[i];
        EXPECT_DOUBLE_EQ(std::stod(f[0]), 7.8125 * static_cast<double>(i));
        for (int c = 0; c < 2; ++c) mean[c] += std::stod(f[c + 1]) / 64;
    }
    for (const double m : mean) EXPECT_NEAR(m / 1.25e-5, 1, 0.1);

    r = RunCli({"--json", "psd", log, "--period", "0.001", "--channels", "2", "--segment", "1024"});
    for (const char* field : {"\"channel\": \"Y Gyro\"", "\"segments\": 2,", "\"unused\": 464,"})
        EXPECT_NE(r.out.find(field), std::string::npos) << field << "\n" << r.out;

    // The log itself as the output is refused before anything is written.
    const std::string before = dir.read("DATALOG_1.csv");
    EXPECT_EQ(RunCli({"psd", log, "--period", "0.001", "--csv", log}).status, 1);
    EXPECT_EQ(dir.read("DATALOG_1.csv"), before);
}

// The reader's errors exactly as adev gives them; a series too short names the channel; a
// segment that is not a power of two is a usage error.
TEST(CliPsd, Failures) {
    ScratchDir dir;
    const std::string bad = (dir.path / "bad.csv").string(), csv = (dir.path / "o.csv").string();
    std::ofstream(bad) << "hello\n";
    const CliResult adev = RunCli({"adev", bad});
    CliResult r = RunCli({"psd", bad, "--csv", csv});
    EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tie(adev.status, adev.out, adev.err));
    EXPECT_EQ(r.status, 1);
    std::ofstream s(bad);
    for (int i = 1; i <= 71; ++i) s << i << ",0.5,\n";
    s.close();
    r = RunCli({"psd", bad, "--rate", "100", "--csv", csv});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "bad.csv: column 1: 71 samples are too few for a spectrum (it needs 72)\n");
    EXPECT_EQ(dir.names(), Lines{"bad.csv"});
    r = RunCli({"psd", bad, "--rate", "100", "--segment", "48"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tavrin-cli: --segment: 48 is not a power of two from 16 to 16777216 (see "
                     "'tavrin-cli psd --help')\n");
}

} // namespace
