// Logging sessions: file shapes, refused and failing files, the spool, and the simulated
// sensor read through the register front end. Cancelling is tested through the window.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "app/State.h"
#include "datalog/LogSession.h"

using namespace tavrin;
using namespace tavrin::datalog;
using sim::SimSensor;
using test::Lines;

namespace {

using Reading = std::tuple<double, int32_t, int32_t>; // scaled, value, new-data bit

// Results scripted per position, by how often that position was read before; unscripted
// positions leave the results alone.
struct SessionTest : ::testing::Test {
    test::ScratchDir dir;
    test::SimTestApp s; // scripted reads unless a test reads the simulated sensor
    test::TestApp& t = s.t;
    test::FaultyFileSystem fs;
    LogSettings settings;
    LogHooks hooks;
    std::map<int, std::function<Reading(long long)>> script;
    std::map<int, long long> calls;
    long long reads = 0;
    std::function<void()> onEvents = [] {};

    void SetUp() override {
        settings.directory = dir.path;
        settings.columns.box[2] = true;
        t.platform.clockScript = {100.25f, 101.5f};
        t.app.doEvents = [this] { onEvents(); };
        script[2] = [](long long n) { return Reading{-0.0125, -1, n % 2 ? 0 : 0x8000}; };
    }
    LogReport run() {
        return RunLogSession(t.app, settings, hooks, fs, [this](App& app, int16_t pos) {
            ++reads;
            if (script.count(pos))
                std::tie(app.res.RegScaled, app.res.RegValue, app.res.RegNDBit) =
                    script[pos](calls[pos]++);
        });
    }
    Lines titleAndData() {
        const Lines l = dir.lines();
        return l.size() < 7 ? l : Lines(l.begin() + 7, l.end());
    }
    // Exactly one message, with the warning icon and the program's title, containing `part`.
    void expectOneMessage(const std::string& part) {
        ASSERT_EQ(t.messages.shown.size(), 1u);
        EXPECT_NE(t.messages.shown[0].text.find(part), std::string::npos) << part;
        EXPECT_EQ(t.messages.shown[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(t.messages.shown[0].caption, "TAVRIN_3");
        t.messages.clear();
    }
};

} // namespace

TEST_F(SessionTest, FormatBoxesShapeTitlesAndData) {
    settings.samplesPerFile = 2;
    settings.columns.box[5] = true;
    script[5] = [](long long) { return Reading{0.998046875, 4088, 0}; };
    settings.columns.disableND = true;
    run();
    EXPECT_EQ(titleAndData(), (Lines{"Sample #,X Gryo,X acc,", "1,-0.0125,0.998046875,",
                                     "2,-0.0125,0.998046875,"}));
    settings.columns.disableND = false;
    settings.noScale = true;
    run();
    EXPECT_EQ(titleAndData(),
              (Lines{"Sample #,XgND,X Gryo,XaND,X acc,", "1,1,-1,0,4088,", "2,0,-1,0,4088,"}));
    // Also shows the longer earlier file was replaced, not overwritten in place.
    settings.noHeader = true;
    run();
    EXPECT_EQ(dir.read("DATALOG_1.csv"), "1,1,-1,0,4088,\r\n2,0,-1,0,4088,\r\n");
    EXPECT_EQ(dir.names(), Lines{"DATALOG_1.csv"}); // no spool left over
}

TEST_F(SessionTest, ThreeFilesEachWithTheirOwnTimesNumbersAndDelays) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 4;
    settings.sampleDelay = 2.5f;
    t.platform.clockScript = {10, 11, 20, 22.5f, 30, 33.75f};
    int events = 0;
    onEvents = [&] { ++events; };
    EXPECT_EQ(run().filesWritten, 3);
    EXPECT_EQ(events, 3 * (1 + 4));       // after opening each file, and after each sample
    EXPECT_EQ(t.delaySteps, 3 * 4 * 250); // after every sample
    const char* elapsed[] = {"1", "2.5", "3.75"};
    for (int n = 1; n <= 3; ++n) {
        const std::string name = "DATALOG_" + std::to_string(n) + ".csv";
        const Lines l = dir.lines(name);
        ASSERT_EQ(l.size(), 12u);
        EXPECT_EQ(l[0], "File Name," + name);
        EXPECT_EQ(l[3], "Begin Seconds," + std::to_string(n * 10));
        EXPECT_EQ(l[5], std::string("Elapsed Seconds,") + elapsed[n - 1]);
        EXPECT_EQ(l[11].substr(0, 2), "4,");
    }
}

TEST_F(SessionTest, FileThatCannotBeCreatedStopsTheSession) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 5;
    fs.refuseCreate = {"DATALOG_2.csv"};
    EXPECT_EQ(run().outcome, LogOutcome::CreateFailed);
    expectOneMessage("\r\nFILE ACCESS ERROR\r\n\r\nFile name = DATALOG_2.csv\r\n\r\nThis file may "
                     "already be open by another application.\r\n\r\nClose the file or choose a "
                     "different file name.");
    EXPECT_EQ(dir.files(), "DATALOG_1.csv:13 ");
    EXPECT_EQ(reads, 5);
    // The same on the real disk: a directory that is not there.
    settings.directory = dir.path / "gone";
    DiskFileSystem disk;
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, disk, [](App&, int16_t) {}).outcome,
              LogOutcome::CreateFailed);
    expectOneMessage("File name = DATALOG_1.csv\r\n");
}

TEST_F(SessionTest, WriteFailuresKeepEarlierFilesAndNoFinishedLookingFile) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 100000; // about 900 kB spooled per file
    fs.failAfterBytes["DATALOG_2.csv.rows"] = 100000;
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
    expectOneMessage("FILE WRITE ERROR");
    EXPECT_LT(reads, 200000); // sampling stopped at the failure
    EXPECT_EQ(dir.files(), "DATALOG_1.csv:100008 ");
    // Failing while the finished file is written out: nothing is left under any name.
    std::filesystem::remove(dir.path / "DATALOG_1.csv");
    settings.samplesPerFile = 50;
    fs.failAfterBytes = {{"DATALOG_1.csv.partial", 500}};
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
    expectOneMessage("File name = DATALOG_1.csv\r\n");
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(SessionTest, EverySampleSurvivesTheSpoolWhichIsWrittenWhileSampling) {
    // 72 bytes per sample: records straddle the read chunks of the assembly.
    settings.samplesPerFile = 30000;
    settings.noHeader = true;
    for (int b = 1; b <= 8; ++b) {
        settings.columns.box[b] = true;
        script[b] = [b](long long n) { return Reading{b * 1000.0 + n + 0.5, 0, (n + b) % 3 == 0}; };
    }
    long long mostHeld = 0; // sampled bytes not yet in the spool file
    hooks.sampleTaken = [&](long long, long long s) {
        if (s % 64) return; // often enough to see any block held back
        const auto spooled = std::filesystem::file_size(dir.path / "DATALOG_1.csv.rows");
        mostHeld = std::max(mostHeld, s * 72 - static_cast<long long>(spooled));
    };
    run();
    EXPECT_LE(mostHeld, 512 * 1024);
    std::string expected;
    for (int i = 0; i < 30000; ++i) {
        expected += std::to_string(i + 1) + ",";
        for (int b = 1; b <= 8; ++b)
            expected += ((i + b) % 3 ? "0," : "1,") + std::to_string(b * 1000 + i) + ".5,";
        expected += "\r\n";
    }
    const std::string got = dir.read("DATALOG_1.csv");
    const auto at = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    EXPECT_TRUE(got == expected) << "differs at byte " << at.first - got.begin();
}

TEST_F(SessionTest, HeaderTimesAcrossMidnightAndDateReadAtTheEnd) {
    settings.samplesPerFile = 3;
    t.platform.clockScript = {86399.5f, 0.25f};
    onEvents = [&] { t.platform.date = "12/7/2026"; };
    run();
    const Lines l = dir.lines();
    EXPECT_EQ(Lines(l.begin() + 1, l.begin() + 6),
              (Lines{"Date,12/7/2026", "Time,8:15 PM", "Begin Seconds,86399.5", "End Seconds,0.25",
                     "Elapsed Seconds,-86399.25"}));
    // Seven significant digits, the difference taken in single precision.
    t.platform.clockScript = {72000.123f, 72001.1f};
    run();
    EXPECT_EQ(dir.lines()[3], "Begin Seconds,72000.12");
    EXPECT_EQ(dir.lines()[5], "Elapsed Seconds,0.9765625");
}

TEST_F(SessionTest, DecimalCommaGivesTabsAndTxt) {
    t.platform.decimalSep = ",";
    settings.samplesPerFile = 2;
    settings.columns.box[8] = true;
    script[8] = [](long long) { return Reading{25.5, 0, 1}; };
    run();
    EXPECT_EQ(dir.names(), Lines{"DATALOG_1.txt"});
    EXPECT_EQ(dir.read("DATALOG_1.txt"),
              "File Name\tDATALOG_1.txt\r\nDate\t12/6/2026\r\nTime\t8:15 PM\r\n"
              "Begin Seconds\t100,25\r\nEnd Seconds\t101,5\r\nElapsed Seconds\t1,25\r\n \r\n"
              "Sample #\tXgND\tX Gryo\tXtND\tX Temp\t\r\n"
              "1\t1\t-0,0125\t1\t25,5\t\r\n2\t0\t-0,0125\t1\t25,5\t\r\n");
}

TEST_F(SessionTest, StemsLeadingOutsideTheDirectoryWriteNothing) {
    using namespace std::string_literals;
    for (auto stem : {""s, ".."s, "../DATALOG"s, "sub/DATALOG"s, "sub\\DATALOG"s, "a\0b"s}) {
        settings.stem = stem;
        EXPECT_EQ(run().outcome, LogOutcome::BadStem) << stem;
        expectOneMessage("INVALID FILE NAME");
    }
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(SessionTest, DefaultSessionOnTheSensorByteForByte) {
    t.platform.clockScript = {45296.5f, 45297.75f};
    s.sensor.hold(SimSensor::kXGyro, 0x8000 | (0x3FFF & -5)); // new data, -5 in 14 bits
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, fs).outcome, LogOutcome::Completed);
    std::string expected = "File Name,DATALOG_1.csv\r\nDate,12/6/2026\r\nTime,8:15 PM\r\n"
                           "Begin Seconds,45296.5\r\nEnd Seconds,45297.75\r\n"
                           "Elapsed Seconds,1.25\r\n \r\nSample #,XgND,X Gryo,\r\n";
    // The single-precision scale is widened before it multiplies.
    for (int n = 1; n <= 1000; ++n) expected += std::to_string(n) + ",1,-0.366300009191036,\r\n";
    EXPECT_EQ(dir.read("DATALOG_1.csv"), expected);
    EXPECT_EQ(dir.names(), Lines{"DATALOG_1.csv"});
    EXPECT_TRUE(t.messages.shown.empty());
    // Raw values are the data bits, negative for two's complement below zero.
    s.sensor.hold(SimSensor::kXGyro, 0x3FFF & -5);
    s.sensor.hold(SimSensor::kXTemp, 0x8000 | 0x07FF);
    settings.columns.box[8] = true;
    settings.noScale = settings.noHeader = true;
    settings.samplesPerFile = 2;
    RunLogSession(t.app, settings, hooks, fs);
    EXPECT_EQ(dir.read("DATALOG_1.csv"), "1,0,-5,1,2047,\r\n2,0,-5,1,2047,\r\n");
}

TEST_F(SessionTest, PlaceholderBoxOfThe41040RepeatsThePreviousRead) {
    test::SimTestApp s41040(41040);
    s41040.app.res = {0, 3, 7.5, 0}; // left by whatever was read before the session
    settings.columns.box[1] = true;
    settings.samplesPerFile = 50;
    settings.noHeader = true;
    RunLogSession(s41040.app, settings, hooks, fs);
    const Lines lines = dir.lines();
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(lines[0].substr(0, 8), "1,0,7.5,");
    std::set<std::string> gyro;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto prev = test::SplitFields(lines[i - 1]), f = test::SplitFields(lines[i]);
        EXPECT_EQ(f[1] + f[2], prev[3] + prev[4]) << lines[i];
        gyro.insert(f[4]);
    }
    EXPECT_GT(gyro.size(), 1u); // the gyroscope moves: the repeat is no coincidence
}
