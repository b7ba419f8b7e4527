// Logging sessions against scripted register results: file shapes, refused and
// failing files, the spool. Cancelling is tested through the window.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "LogTestSupport.h"
#include "TestApp.h"
#include "app/State.h"
#include "datalog/LogSession.h"

using namespace tavrin;
using namespace tavrin::datalog;

namespace {

struct Reading {
    double scaled;
    int32_t value;
    int32_t nd;
};

struct SessionTest : ::testing::Test {
    test::ScratchDir dir;
    test::TestApp t;
    test::FaultyFileSystem fs;
    LogSettings settings;
    LogHooks hooks;
    // Results per position, by how often that position was read before; unscripted
    // positions leave the results alone.
    std::map<int, std::function<Reading(long long)>> script;
    std::map<int, long long> calls;
    long long reads = 0;
    std::function<void()> onEvents;

    void SetUp() override {
        settings.directory = dir.path;
        settings.columns.box[2] = true;
        t.platform.clockScript = {100.25f, 101.5f};
        t.app.doEvents = [this] {
            if (onEvents) onEvents();
        };
        script[2] = [](long long n) { return Reading{-0.0125, -1, n % 2 ? 0 : 0x8000}; };
    }
    LogReport run() {
        return RunLogSession(t.app, settings, hooks, fs, [this](App& app, int16_t pos) {
            ++reads;
            const auto it = script.find(pos);
            if (it == script.end()) return;
            const Reading r = it->second(calls[pos]++);
            app.res.RegScaled = r.scaled;
            app.res.RegValue = r.value;
            app.res.RegNDBit = r.nd;
        });
    }
    std::size_t lineCount(const std::string& name) {
        return test::CrLfLines(dir.read(name)).size();
    }
};

} // namespace

TEST_F(SessionTest, FormatBoxesShapeTitlesAndData) {
    settings.samplesPerFile = 2;
    settings.columns.box[5] = true;
    script[5] = [](long long) { return Reading{0.998046875, 4088, 0}; };
    settings.columns.disableND = true;
    run();
    auto lines = test::CrLfLines(dir.read("DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[7], "Sample #,X Gryo,X acc,");
    EXPECT_EQ(lines[8], "1,-0.0125,0.998046875,");

    settings.columns.disableND = false;
    settings.noScale = true;
    run();
    lines = test::CrLfLines(dir.read("DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[7], "Sample #,XgND,X Gryo,XaND,X acc,");
    EXPECT_EQ(lines[8], "1,1,-1,0,4088,");
    EXPECT_EQ(lines[9], "2,0,-1,0,4088,");

    // Also shows the longer earlier file was replaced, not overwritten in place.
    settings.noHeader = true;
    run();
    EXPECT_EQ(dir.read("DATALOG_1.csv"), "1,1,-1,0,4088,\r\n2,0,-1,0,4088,\r\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.csv"}); // no spool left over
}

TEST_F(SessionTest, ThreeFilesEachWithTheirOwnTimesAndNumbers) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 4;
    t.platform.clockScript = {10, 11, 20, 22.5f, 30, 33.75f};
    int events = 0;
    onEvents = [&] { ++events; };
    EXPECT_EQ(run().filesWritten, 3);
    EXPECT_EQ(events, 3 * (1 + 4)); // after opening each file, and after each sample
    const char* elapsed[] = {"1", "2.5", "3.75"};
    for (int n = 1; n <= 3; ++n) {
        const auto lines = test::CrLfLines(dir.read("DATALOG_" + std::to_string(n) + ".csv"));
        ASSERT_EQ(lines.size(), 12u);
        EXPECT_EQ(lines[0], "File Name,DATALOG_" + std::to_string(n) + ".csv");
        EXPECT_EQ(lines[3], "Begin Seconds," + std::to_string(n * 10));
        EXPECT_EQ(lines[5], std::string("Elapsed Seconds,") + elapsed[n - 1]);
        EXPECT_EQ(lines[11].substr(0, 2), "4,");
    }
}

TEST_F(SessionTest, FileThatCannotBeCreatedStopsTheSession) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 5;
    fs.refuseCreate = {"DATALOG_2.csv"};
    const auto rep = run();
    EXPECT_EQ(rep.outcome, LogOutcome::CreateFailed);
    ASSERT_EQ(t.messages.shown.size(), 1u);
    EXPECT_EQ(t.messages.shown[0].text,
              "\r\nFILE ACCESS ERROR\r\n\r\nFile name = DATALOG_2.csv\r\n\r\nThis file may "
              "already be open by another application.\r\n\r\nClose the file or choose a "
              "different file name.");
    EXPECT_EQ(t.messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(t.messages.shown[0].caption, "TAVRIN_3");
    EXPECT_EQ(lineCount("DATALOG_1.csv"), 8u + 5u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.csv"});
    EXPECT_EQ(reads, 5);

    // The same on the real disk: a directory that is not there.
    t.messages.clear();
    settings.directory = dir.path / "gone";
    DiskFileSystem disk;
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, disk, [](App&, int16_t) {}).outcome,
              LogOutcome::CreateFailed);
    ASSERT_EQ(t.messages.texts().size(), 1u);
    EXPECT_NE(t.messages.texts()[0].find("File name = DATALOG_1.csv\r\n"), std::string::npos);
}

TEST_F(SessionTest, WriteFailuresKeepEarlierFilesAndNoFinishedLookingFile) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 100000; // about 900 kB spooled per file
    fs.failAfterBytes["DATALOG_2.csv.rows"] = 100000;
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
    ASSERT_EQ(t.messages.shown.size(), 1u);
    EXPECT_NE(t.messages.shown[0].text.find("FILE WRITE ERROR"), std::string::npos);
    EXPECT_NE(t.messages.shown[0].text.find("File name = DATALOG_2.csv\r\n"), std::string::npos);
    EXPECT_EQ(t.messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_LT(reads, 200000); // sampling stopped at the failure
    EXPECT_EQ(lineCount("DATALOG_1.csv"), 8u + 100000u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.csv"});

    // Failing while the finished file is written out: nothing is left under any name.
    std::filesystem::remove(dir.path / "DATALOG_1.csv");
    settings.samplesPerFile = 50;
    fs.failAfterBytes = {{"DATALOG_1.csv.partial", 500}};
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
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
    std::size_t spoolWritesBeforeEnd = 0;
    hooks.sampleTaken = [&](long long, long long s) {
        if (s == 29999) spoolWritesBeforeEnd = fs.writes["DATALOG_1.csv.rows"].size();
    };
    run();
    EXPECT_GE(spoolWritesBeforeEnd, 3u);
    for (auto n : fs.writes["DATALOG_1.csv.rows"]) EXPECT_LE(n, 512u * 1024u);
    const auto lines = test::CrLfLines(dir.read("DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 30000u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto f = test::SplitFields(lines[i], ',');
        ASSERT_EQ(f.size(), 18u) << i;
        ASSERT_EQ(f[0], std::to_string(i + 1));
        for (int b = 1; b <= 8; ++b) {
            ASSERT_EQ(f[2 * b - 1], (i + b) % 3 == 0 ? "1" : "0") << i;
            ASSERT_EQ(f[2 * b], std::to_string(b * 1000 + i) + ".5") << i;
        }
    }
}

TEST_F(SessionTest, HeaderTimesAcrossMidnightAndDateReadAtTheEnd) {
    settings.samplesPerFile = 3;
    t.platform.clockScript = {86399.5f, 0.25f};
    onEvents = [&] { t.platform.date = "12/7/2026"; };
    run();
    auto lines = test::CrLfLines(dir.read("DATALOG_1.csv"));
    EXPECT_EQ(lines[1], "Date,12/7/2026");
    EXPECT_EQ(lines[3], "Begin Seconds,86399.5");
    EXPECT_EQ(lines[4], "End Seconds,0.25");
    EXPECT_EQ(lines[5], "Elapsed Seconds,-86399.25");
    // Seven significant digits, the difference taken in single precision.
    t.platform.clockScript = {72000.123f, 72001.1f};
    run();
    lines = test::CrLfLines(dir.read("DATALOG_1.csv"));
    EXPECT_EQ(lines[3], "Begin Seconds,72000.12");
    EXPECT_EQ(lines[5], "Elapsed Seconds,0.9765625");
}

TEST_F(SessionTest, DecimalCommaGivesTabsAndTxt) {
    t.platform.decimalSep = ",";
    settings.samplesPerFile = 2;
    settings.columns.box[8] = true;
    script[8] = [](long long) { return Reading{25.5, 0, 1}; };
    run();
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.txt"});
    EXPECT_EQ(dir.read("DATALOG_1.txt"),
              "File Name\tDATALOG_1.txt\r\nDate\t12/6/2026\r\nTime\t8:15 PM\r\n"
              "Begin Seconds\t100,25\r\nEnd Seconds\t101,5\r\nElapsed Seconds\t1,25\r\n \r\n"
              "Sample #\tXgND\tX Gryo\tXtND\tX Temp\t\r\n"
              "1\t1\t-0,0125\t1\t25,5\t\r\n2\t0\t-0,0125\t1\t25,5\t\r\n");
}

TEST_F(SessionTest, SampleDelayWaitsAfterEverySample) {
    settings.samplesPerFile = 4;
    settings.sampleDelay = 2.5f;
    run();
    EXPECT_EQ(t.delaySteps, 4 * 250);
}

TEST_F(SessionTest, StemsLeadingOutsideTheDirectoryWriteNothing) {
    for (const char* stem : {"", "..", "../DATALOG", "sub/DATALOG", "sub\\DATALOG", "a\0b"}) {
        t.messages.clear();
        settings.stem = stem[0] == 'a' ? std::string(stem, 3) : stem;
        EXPECT_EQ(run().outcome, LogOutcome::BadStem) << stem;
        ASSERT_EQ(t.messages.shown.size(), 1u) << stem;
        EXPECT_NE(t.messages.shown[0].text.find("INVALID FILE NAME"), std::string::npos);
    }
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(dir.names().empty());
}
