// Logging sessions against a scripted register source: file contents byte for byte,
// cancel, refused and failing files, memory that stays flat.
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
    double scaled = 0;
    int32_t value = 0;
    int32_t nd = 0;
};

// Stands in for the register front end: each position reads as scripted (by how
// often that position was read before), and every read is recorded.
struct ScriptedRegisters {
    std::map<int, std::function<Reading(long long call)>> script;
    std::vector<int> reads;
    std::map<int, long long> calls;
    RegisterReader reader() {
        return [this](App& app, int16_t pos) {
            const long long call = calls[pos]++;
            reads.push_back(pos);
            auto it = script.find(pos);
            if (it == script.end()) return; // like a placeholder: results stay as they were
            const Reading r = it->second(call);
            app.res.RegScaled = r.scaled;
            app.res.RegValue = r.value;
            app.res.RegNDBit = r.nd;
        };
    }
};

struct SessionFixture : ::testing::Test {
    test::ScratchDir dir;
    test::TestApp t;
    ScriptedRegisters regs;
    test::FaultyFileSystem fs;
    LogSettings settings;
    LogHooks hooks;
    int events = 0;
    std::function<void()> onEvents;

    void SetUp() override {
        settings.directory = dir.path;
        settings.columns.box[2] = true;
        t.platform.clockScript = {100.25f, 101.5f};
        t.app.doEvents = [this] {
            ++events;
            if (onEvents) onEvents();
        };
        regs.script[2] = [](long long call) {
            return Reading{-0.0125, -1, static_cast<int32_t>(call % 2 ? 0 : 0x8000)};
        };
    }
    LogReport run() { return RunLogSession(t.app, settings, hooks, fs, regs.reader()); }
    std::string file(const std::string& name) { return test::ReadWholeFile(dir.path / name); }
};

} // namespace

TEST_F(SessionFixture, DefaultSessionWritesTheDocumentedFile) {
    const auto rep = run();
    EXPECT_EQ(rep.outcome, LogOutcome::Completed);
    EXPECT_EQ(rep.filesWritten, 1);
    std::string expected = "File Name,DATALOG_1.csv\r\nDate,12/6/2026\r\nTime,8:15 PM\r\n"
                           "Begin Seconds,100.25\r\nEnd Seconds,101.5\r\n"
                           "Elapsed Seconds,1.25\r\n \r\nSample #,XgND,X Gryo,\r\n";
    for (int s = 1; s <= 1000; ++s)
        expected += std::to_string(s) + (s % 2 ? ",1" : ",0") + ",-0.0125,\r\n";
    EXPECT_EQ(file("DATALOG_1.csv"), expected);
    // Spool and assembly files are gone; only the log file stays.
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.csv"});
    EXPECT_EQ(regs.reads.size(), 1000u);
    EXPECT_EQ(events, 1001); // once after opening the file, once per sample
    EXPECT_TRUE(t.messages.shown.empty());
}

TEST_F(SessionFixture, FormatBoxesShapeTitlesAndData) {
    settings.samplesPerFile = 2;
    settings.columns.box[5] = true;
    regs.script[5] = [](long long) { return Reading{0.998046875, 4088, 0}; };

    settings.columns.disableND = true;
    run();
    auto lines = test::CrLfLines(file("DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[7], "Sample #,X Gryo,X acc,");
    EXPECT_EQ(lines[8], "1,-0.0125,0.998046875,");

    settings.columns.disableND = false;
    settings.noScale = true;
    t.platform.clockScript = {1, 2};
    run();
    lines = test::CrLfLines(file("DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[7], "Sample #,XgND,X Gryo,XaND,X acc,"); // titles unchanged
    EXPECT_EQ(lines[8], "1,1,-1,0,4088,");
    EXPECT_EQ(lines[9], "2,0,-1,0,4088,");

    settings.noHeader = true;
    run();
    EXPECT_EQ(file("DATALOG_1.csv"), "1,1,-1,0,4088,\r\n2,0,-1,0,4088,\r\n");
    // Boxes are read in ascending order whatever order they were chosen in.
    EXPECT_EQ(regs.reads[regs.reads.size() - 2], 2);
    EXPECT_EQ(regs.reads.back(), 5);
}

TEST_F(SessionFixture, ThreeFilesEachWithTheirOwnTimesAndNumbers) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 4;
    t.platform.clockScript = {10, 11, 20, 22.5f, 30, 33.75f};
    std::vector<long long> shown;
    hooks.fileStarted = [&](long long n) { shown.push_back(n); };
    EXPECT_EQ(run().filesWritten, 3);
    EXPECT_EQ(shown, (std::vector<long long>{1, 2, 3}));
    EXPECT_EQ(dir.names(),
              (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv", "DATALOG_3.csv"}));
    const char* begins[] = {"10", "20", "30"};
    const char* elapsed[] = {"1", "2.5", "3.75"};
    for (int n = 1; n <= 3; ++n) {
        const auto lines = test::CrLfLines(file("DATALOG_" + std::to_string(n) + ".csv"));
        ASSERT_EQ(lines.size(), 12u);
        EXPECT_EQ(lines[0], "File Name,DATALOG_" + std::to_string(n) + ".csv");
        EXPECT_EQ(lines[3], std::string("Begin Seconds,") + begins[n - 1]);
        EXPECT_EQ(lines[5], std::string("Elapsed Seconds,") + elapsed[n - 1]);
        for (int s = 1; s <= 4; ++s)
            EXPECT_EQ(test::SplitFields(lines[7 + s], ',')[0], std::to_string(s));
    }
}

TEST_F(SessionFixture, CancelDuringFileTwoCompletesItAndStartsNoMore) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 10;
    long long fileNo = 0, sample = 0;
    bool cancel = false;
    hooks.fileStarted = [&](long long n) { fileNo = n, sample = 0; };
    hooks.sampleTaken = [&](long long, long long s) { sample = s; };
    hooks.cancelRequested = [&] { return cancel; };
    // The cancel click arrives while events run after sample 3 of file 2.
    onEvents = [&] {
        if (fileNo == 2 && sample == 3) cancel = true;
    };
    const auto rep = run();
    EXPECT_EQ(rep.outcome, LogOutcome::Cancelled);
    EXPECT_EQ(rep.filesWritten, 2);
    EXPECT_EQ(test::CrLfLines(file("DATALOG_2.csv")).size(), 8u + 3u);
    EXPECT_EQ(test::CrLfLines(file("DATALOG_1.csv")).size(), 8u + 10u);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv"}));
    EXPECT_EQ(regs.reads.size(), 13u);
}

TEST_F(SessionFixture, FileThatCannotBeCreatedStopsTheSession) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 5;
    fs.refuseCreate = {"DATALOG_2.csv"};
    const auto rep = run();
    EXPECT_EQ(rep.outcome, LogOutcome::CreateFailed);
    EXPECT_EQ(rep.filesWritten, 1);
    ASSERT_EQ(t.messages.shown.size(), 1u);
    EXPECT_EQ(t.messages.shown[0].text,
              "\r\nFILE ACCESS ERROR\r\n\r\nFile name = DATALOG_2.csv\r\n\r\nThis file may "
              "already be open by another application.\r\n\r\nClose the file or choose a "
              "different file name.");
    EXPECT_EQ(t.messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(t.messages.shown[0].caption, "TAVRIN_3");
    EXPECT_EQ(test::CrLfLines(file("DATALOG_1.csv")).size(), 8u + 5u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.csv"});
    for (const auto& n : fs.created) EXPECT_EQ(n.find("DATALOG_3"), std::string::npos) << n;
    EXPECT_EQ(regs.reads.size(), 5u);
}

TEST_F(SessionFixture, MissingDirectoryOnDiskGivesTheAccessMessage) {
    settings.directory = dir.path / "gone";
    DiskFileSystem disk;
    const auto rep = RunLogSession(t.app, settings, hooks, disk, regs.reader());
    EXPECT_EQ(rep.outcome, LogOutcome::CreateFailed);
    ASSERT_EQ(t.messages.texts().size(), 1u);
    EXPECT_NE(t.messages.texts()[0].find("File name = DATALOG_1.csv\r\n"), std::string::npos);
    EXPECT_TRUE(regs.reads.empty());
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(SessionFixture, WriteFailureWhileSamplingKeepsEarlierFilesOnly) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 100000; // about 900 kB spooled per file
    fs.failAfterBytes["DATALOG_2.csv.rows"] = 100000;
    const auto rep = run();
    EXPECT_EQ(rep.outcome, LogOutcome::WriteFailed);
    EXPECT_EQ(rep.filesWritten, 1);
    ASSERT_EQ(t.messages.shown.size(), 1u);
    EXPECT_NE(t.messages.shown[0].text.find("FILE WRITE ERROR"), std::string::npos);
    EXPECT_NE(t.messages.shown[0].text.find("File name = DATALOG_2.csv\r\n"), std::string::npos);
    EXPECT_EQ(t.messages.shown[0].icon, MsgIcon::Exclamation);
    // Sampling stopped at the failure instead of reading on into the void.
    EXPECT_LT(regs.reads.size(), 200000u);
    EXPECT_EQ(test::CrLfLines(file("DATALOG_1.csv")).size(), 8u + 100000u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.csv"});
}

TEST_F(SessionFixture, WriteFailureWhileAssemblingLeavesNoFinishedLookingFile) {
    settings.filesPerSession = 2;
    settings.samplesPerFile = 50;
    fs.failAfterBytes["DATALOG_1.csv.partial"] = 500;
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
    EXPECT_TRUE(dir.names().empty());
    ASSERT_EQ(t.messages.texts().size(), 1u);
    EXPECT_NE(t.messages.texts()[0].find("File name = DATALOG_1.csv\r\n"), std::string::npos);
}

TEST_F(SessionFixture, RowsAreSpooledInBlocksNotHeldInMemory) {
    struct CountingFs : test::FaultyFileSystem {
        struct W : LogWriter {
            std::unique_ptr<LogWriter> in;
            std::vector<std::size_t>* sizes;
            bool write(std::string_view d) override {
                sizes->push_back(d.size());
                return in->write(d);
            }
            bool close() override { return in->close(); }
        };
        std::vector<std::size_t> spoolWrites;
        std::unique_ptr<LogWriter> create(const std::filesystem::path& p) override {
            auto w = FaultyFileSystem::create(p);
            if (p.extension() != ".rows") return w;
            auto c = std::make_unique<W>();
            c->in = std::move(w);
            c->sizes = &spoolWrites;
            return c;
        }
    } counting;
    settings.samplesPerFile = 100000;
    std::size_t writesBeforeEnd = 0;
    hooks.sampleTaken = [&](long long, long long s) {
        if (s == 99999) writesBeforeEnd = counting.spoolWrites.size();
    };
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, counting, regs.reader()).filesWritten, 1);
    // About 900 kB of samples: written out while sampling, never in one piece.
    EXPECT_GE(writesBeforeEnd, 3u);
    for (auto n : counting.spoolWrites) EXPECT_LE(n, 512u * 1024u);
    EXPECT_EQ(test::CrLfLines(file("DATALOG_1.csv")).size(), 8u + 100000u);
}

TEST_F(SessionFixture, SamplingAcrossMidnightGivesNegativeElapsedTime) {
    settings.samplesPerFile = 3;
    t.platform.clockScript = {86399.5f, 0.25f};
    run();
    const auto lines = test::CrLfLines(file("DATALOG_1.csv"));
    EXPECT_EQ(lines[3], "Begin Seconds,86399.5");
    EXPECT_EQ(lines[4], "End Seconds,0.25");
    EXPECT_EQ(lines[5], "Elapsed Seconds,-86399.25");
}

TEST_F(SessionFixture, DateAndTimeAreReadWhenSamplingEnds) {
    settings.samplesPerFile = 3;
    onEvents = [&] {
        t.platform.date = "12/7/2026";
        t.platform.time = "12:00 AM";
    };
    run();
    const auto lines = test::CrLfLines(file("DATALOG_1.csv"));
    EXPECT_EQ(lines[1], "Date,12/7/2026");
    EXPECT_EQ(lines[2], "Time,12:00 AM");
}

TEST_F(SessionFixture, DecimalCommaGivesTabsAndTxt) {
    t.platform.decimalSep = ",";
    settings.samplesPerFile = 2;
    settings.columns.box[8] = true;
    regs.script[8] = [](long long) { return Reading{25.5, 0, 1}; };
    run();
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.txt"});
    EXPECT_EQ(file("DATALOG_1.txt"),
              "File Name\tDATALOG_1.txt\r\nDate\t12/6/2026\r\nTime\t8:15 PM\r\n"
              "Begin Seconds\t100,25\r\nEnd Seconds\t101,5\r\nElapsed Seconds\t1,25\r\n \r\n"
              "Sample #\tXgND\tX Gryo\tXtND\tX Temp\t\r\n"
              "1\t1\t-0,0125\t1\t25,5\t\r\n2\t0\t-0,0125\t1\t25,5\t\r\n");
}

TEST_F(SessionFixture, SampleDelayWaitsAfterEverySample) {
    settings.samplesPerFile = 4;
    settings.sampleDelay = 2.5f;
    run();
    EXPECT_EQ(t.delaySteps, 4 * 250);
    t.delaySteps = 0;
    settings.sampleDelay = 0;
    run();
    EXPECT_EQ(t.delaySteps, 0);
}

TEST_F(SessionFixture, RefusedStemsWriteNothing) {
    for (const char* stem : {"", "../DATALOG", "sub/DATALOG", "sub\\DATALOG", ".."}) {
        t.messages.clear();
        settings.stem = stem;
        EXPECT_EQ(run().outcome, LogOutcome::BadStem) << stem;
        ASSERT_EQ(t.messages.shown.size(), 1u) << stem;
        EXPECT_NE(t.messages.shown[0].text.find("INVALID FILE NAME"), std::string::npos);
    }
    EXPECT_TRUE(regs.reads.empty());
    EXPECT_TRUE(fs.created.empty());
    EXPECT_TRUE(dir.names().empty());
}

TEST_F(SessionFixture, ExistingFileIsReplaced) {
    {
        auto w = DiskFileSystem().create(dir.path / "DATALOG_1.csv");
        w->write(std::string(100000, 'x'));
        w->close();
    }
    settings.samplesPerFile = 1;
    settings.noHeader = true;
    run();
    EXPECT_EQ(file("DATALOG_1.csv"), "1,1,-0.0125,\r\n");
}

TEST_F(SessionFixture, EveryBoxAndSampleSurvivesTheSpoolIntact) {
    // 72 bytes per sample: records straddle every read chunk of the assembly.
    settings.samplesPerFile = 30000;
    settings.noHeader = true;
    for (int b = 1; b <= 8; ++b) {
        settings.columns.box[b] = true;
        regs.script[b] = [b](long long call) {
            return Reading{b * 1000.0 + call + 0.5, 0, static_cast<int32_t>((call + b) % 3 == 0)};
        };
    }
    run();
    const auto lines = test::CrLfLines(file("DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 30000u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto f = test::SplitFields(lines[i], ',');
        ASSERT_EQ(f.size(), 18u) << i;
        ASSERT_EQ(f[0], std::to_string(i + 1));
        for (int b = 1; b <= 8; ++b) {
            ASSERT_EQ(f[2 * b - 1], (i + b) % 3 == 0 ? "1" : "0") << i;
            ASSERT_EQ(f[2 * b], std::to_string(b * 1000 + i) + ".5") << i;
        }
        ASSERT_EQ(f[17], "");
    }
}
