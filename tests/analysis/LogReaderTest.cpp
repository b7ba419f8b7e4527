// Reading back the files the logging session writes, in every format it has, and
// refusing what is not such a file with the file and line named.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>

#include "LogTestSupport.h"
#include "TestApp.h"
#include "analysis/Analyse.h"
#include "datalog/LogSession.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::transport;
using namespace tavrin::view;

using namespace tavrin;
using namespace tavrin::analysis;

namespace {

struct ReaderTest : ::testing::Test {
    test::ScratchDir dir;
    test::TestApp t;
    test::FaultyFileSystem fs;
    datalog::LogSettings settings;
    // Value and new-data flag of read n of a position.
    std::function<std::pair<double, bool>(int pos, long long n)> script = [](int pos, long long n) {
        return std::pair{pos * 0.5 + 0.05 * static_cast<double>(n), true};
    };
    std::map<int, long long> calls;

    void SetUp() override {
        settings.directory = dir.path;
        settings.columns.box[2] = settings.columns.box[5] = true;
        settings.samplesPerFile = 40;
        t.platform.clockScript = {100.25f, 101.25f};
    }
    std::filesystem::path log() {
        calls.clear();
        datalog::RunLogSession(t.app, settings, {}, fs,
                               [this](const RegisterAccess& io, int16_t pos) {
                                   const auto [v, flag] = script(pos, calls[pos]++);
                                   io.res.RegScaled = v;
                                   io.res.RegValue = static_cast<int32_t>(std::lround(v * 20));
                                   io.res.RegNDBit = flag ? 0x8000 : 0;
                               });
        const auto names = dir.names();
        return dir.path / names.at(0);
    }
    std::filesystem::path write(const std::string& name, const std::string& text) {
        std::ofstream(dir.path / name, std::ios::binary) << text;
        return dir.path / name;
    }
};

} // namespace

TEST_F(ReaderTest, EveryFormatTheSessionWritesReadsBack) {
    for (const char* decimal : {".", ","})
        for (const bool noHeader : {false, true})
            for (const bool noFlags : {false, true})
                for (const bool raw : {false, true}) {
                    std::filesystem::remove_all(dir.path);
                    std::filesystem::create_directory(dir.path);
                    t.platform.decimalSep = decimal;
                    t.platform.clockScript = {100.25f, 101.25f};
                    settings.noHeader = noHeader;
                    settings.columns.disableND = noFlags;
                    settings.noScale = raw;
                    ReadOptions o;
                    if (noHeader) o.rateHz = 50;
                    const std::string what = std::string(decimal) + (noHeader ? " no header" : "") +
                                             (noFlags ? " no flags" : "") + (raw ? " raw" : "");
                    const ReadResult r = ReadLog(log(), o);
                    ASSERT_EQ(r.error, "") << what;
                    EXPECT_EQ(r.data.header, !noHeader) << what;
                    EXPECT_EQ(r.data.lines, 40);
                    ASSERT_EQ(r.data.channels.size(), 2u) << what;
                    for (int c = 0; c < 2; ++c) {
                        const Series& s = r.data.channels[c];
                        const int pos = c == 0 ? 2 : 5;
                        ASSERT_EQ(s.values.size(), 40u) << what;
                        for (int n = 0; n < 40; ++n) {
                            const double v = pos * 0.5 + 0.05 * n;
                            EXPECT_NEAR(s.values[n], raw ? std::lround(v * 20) : v, 1e-12) << what;
                        }
                        EXPECT_DOUBLE_EQ(s.tau0, noHeader ? 0.02 : 1.0 / 40) << what;
                        EXPECT_EQ(s.source,
                                  noHeader ? Tau0Source::GivenRate : Tau0Source::LogHeader);
                        EXPECT_EQ(s.fresh, 40);
                    }
                    if (!noHeader) {
                        EXPECT_EQ(r.data.channels[0].title, "X Gryo");
                        EXPECT_EQ(r.data.channels[1].title, "X acc");
                        EXPECT_EQ(r.data.channels[0].unit, raw ? "counts" : "deg/s") << what;
                        EXPECT_EQ(r.data.channels[1].quantity,
                                  raw ? Quantity::Other : Quantity::Acceleration);
                    } else {
                        EXPECT_EQ(r.data.channels[1].title, "column 2");
                    }
                }
}

TEST_F(ReaderTest, OverSampledChannelsKeepOnlyNewSamplesAtTheSensorPeriod) {
    // The gyroscope is new on every fourth read, the accelerometer on every other one.
    script = [](int pos, long long n) {
        return std::pair{0.01 * static_cast<double>(n), n % (pos == 2 ? 4 : 2) == 0};
    };
    settings.samplesPerFile = 400;
    const auto file = log();
    ReadResult r = ReadLog(file, {});
    ASSERT_EQ(r.error, "");
    const Series& g = r.data.channels[0];
    EXPECT_EQ(g.logged, 400);
    EXPECT_EQ(g.fresh, 100);
    ASSERT_EQ(g.values.size(), 100u);
    EXPECT_DOUBLE_EQ(g.values[1], 0.04);
    EXPECT_EQ(g.source, Tau0Source::NewDataCount);
    EXPECT_DOUBLE_EQ(g.tau0, 1.0 / 100);
    EXPECT_DOUBLE_EQ(r.data.channels[1].tau0, 1.0 / 200);
    EXPECT_EQ(Tau0Text(g),
              "tau0 = 0.01 s (logged time over the number of new samples; 100 of 400 lines "
              "were new samples)");
    ReadOptions o;
    o.sensorPeriod = 0.008;
    o.channels = {"X acc"};
    r = ReadLog(file, o);
    ASSERT_EQ(r.data.channels.size(), 1u);
    EXPECT_EQ(r.data.channels[0].source, Tau0Source::SensorPeriod);
    EXPECT_DOUBLE_EQ(r.data.channels[0].tau0, 0.008);
    EXPECT_NE(Tau0Text(r.data.channels[0]).find("sensor sample period"), std::string::npos);
    // Without titles the flags are still recognised.
    settings.noHeader = true;
    std::filesystem::remove(file);
    o.channels = {"1"};
    o.rateHz = 1000;
    o.sensorPeriod = 0;
    r = ReadLog(log(), o);
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.data.channels.size(), 1u);
    EXPECT_EQ(r.data.channels[0].fresh, 100);
    EXPECT_DOUBLE_EQ(r.data.channels[0].tau0, 0.004);
}

TEST_F(ReaderTest, BadInputIsNamedByFileAndLineAndGivesNothing) {
    const std::string head = "File Name,D_1.csv\r\nDate,1/1/2027\r\nTime,1:00 AM\r\n"
                             "Begin Seconds,10\r\nEnd Seconds,12\r\nElapsed Seconds,2\r\n \r\n"
                             "Sample #,XgND,X Gryo,\r\n";
    auto error = [&](const std::string& text, ReadOptions o = {}) {
        const ReadResult r = ReadLog(write("bad.csv", text), o);
        if (!r.error.empty()) {
            EXPECT_TRUE(r.data.channels.empty()) << r.error;
        }
        return r.error;
    };
    EXPECT_EQ(error(head + "1,1,0.5,\r\n2,1,0.25,\r\n"), "");
    EXPECT_EQ(error(""), "bad.csv: line 1: the file is empty");
    EXPECT_EQ(error("Name,Value\r\nspeed,3\r\n"),
              "bad.csv: line 1: not a log file of this program (it starts neither with "
              "\"File Name\" nor with sample 1)");
    EXPECT_EQ(error(head + "1,1,0.5,\r\n2,1,0.2"),
              "bad.csv: line 10: the last line is incomplete (the file was cut short)");
    EXPECT_EQ(error(head + "1,1,0.5,\r\n2,1,O.25,\r\n"),
              "bad.csv: line 10: field 3: \"O.25\" is not a number");
    EXPECT_EQ(error(head + "1,1,0.5,\r\n2,2,0.25,\r\n"),
              "bad.csv: line 10: field 2: new-data flag \"2\" is not 0 or 1");
    EXPECT_EQ(error(head + "1,1,0.5,\r\n3,1,0.25,\r\n"),
              "bad.csv: line 10: sample 3 where 2 was expected");
    EXPECT_EQ(error(head + "1,1,0.5,\r\n2,1,\r\n"),
              "bad.csv: line 10: field 3: \"\" is not a number");
    EXPECT_EQ(error(head + "1,1,0.5,\r\n2\r\n"), "bad.csv: line 10: expected 3 fields");
    EXPECT_EQ(error(head + "1,1,0.5,7,\r\n"), "bad.csv: line 9: expected 3 fields");
    EXPECT_EQ(error(head), "bad.csv: line 8: no data lines");
    EXPECT_EQ(error(head.substr(0, head.find("Time"))),
              "bad.csv: line 2: the header ends before the column titles");
    std::string midnight = head;
    midnight.replace(midnight.find("Elapsed Seconds,2"), 17, "Elapsed Seconds,-86398");
    const std::string why = "bad.csv: line 6: the elapsed time is zero or negative (did the "
                            "logging span midnight?); give the sample rate";
    EXPECT_EQ(error(midnight + "1,1,0.5,\r\n2,1,0.25,\r\n"), why);
    midnight.replace(midnight.find("-86398"), 6, "0");
    EXPECT_EQ(error(midnight + "1,1,0.5,\r\n2,1,0.25,\r\n"), why);
    ReadOptions rate;
    rate.rateHz = 10;
    EXPECT_EQ(error(midnight + "1,1,0.5,\r\n", rate), "") << "a given rate needs no elapsed time";
    EXPECT_EQ(error("1,1,0.5,\r\n2,1,0.25,\r\n"),
              "bad.csv: line 1: the file has no header: give the sample rate");
    std::string titles = head;
    titles.replace(titles.find("X Gryo"), 6, "Speed");
    EXPECT_EQ(error(titles + "1,1,0.5,\r\n"), "bad.csv: line 8: unknown column title \"Speed\"");
    ReadOptions pick;
    pick.channels = {"Z acc"};
    EXPECT_EQ(error(head + "1,1,0.5,\r\n", pick),
              "bad.csv: line 8: no channel \"Z acc\" (the file has X Gryo)");
    EXPECT_EQ(ReadLog(dir.path / "missing.csv", {}).error, "missing.csv: cannot be opened");
}

TEST_F(ReaderTest, AnalysisOfAFileGivesCurveAndFiguresTable) {
    script = [](int pos, long long n) {
        // Deterministic, noise-like: a scrambled sequence in [-1, 1).
        const unsigned long long h =
            (static_cast<unsigned long long>(n) * 0x9E3779B97F4A7C15ull) >> 40;
        return std::pair{pos + static_cast<double>(h % 2000) / 1000.0 - 1.0, true};
    };
    settings.samplesPerFile = 2000;
    ReadOptions o;
    int calls = 0;
    o.progress = [&](double f) { return ++calls, f >= 0 && f <= 1; };
    const AnalysisResult r = AnalyseLog(log(), o);
    ASSERT_EQ(r.error, "");
    EXPECT_GT(calls, 0);
    ASSERT_EQ(r.channels.size(), 2u);
    EXPECT_TRUE(r.channels[0].series.values.empty()); // released
    EXPECT_EQ(r.channels[0].curve.size(), ClusterSizes(2000).size());
    const std::string csv = CurveCsvOf(r);
    EXPECT_EQ(csv.substr(0, csv.find('\n')),
              "tau (s),X Gryo sigma (deg/s),X Gryo relative error,X acc sigma (g),X acc "
              "relative error");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'),
              1 + static_cast<long>(r.channels[0].curve.size()));
    const std::string table = FiguresTable(r);
    EXPECT_NE(table.find("X Gryo: 2000 samples, tau0 = 0.0005 s (logging rate from the file's "
                         "elapsed time)\n  random walk: "),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("deg/sqrt(h) (tau = "), std::string::npos) << table;
    EXPECT_NE(table.find("  rate random walk: not available\n"), std::string::npos) << table;
    o.progress = [](double) { return false; };
    EXPECT_TRUE(AnalyseLog(dir.path / dir.names().at(0), o).cancelled);
}
