// Logging sessions: file shapes, refused and failing files, the spool, and the simulated
// sensor read through the register front end. Cancelling is tested through the window.
#include <gtest/gtest.h>

#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <csignal>
#include <functional>
#include <map>

#include "Golden.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "base/SafeFile.h"
#include "datalog/LogSession.h"

using namespace tavrin;
using namespace tavrin::datalog;
using tavrin::base::CreateTempBeside;
using test::Lines;

namespace {

using Reading = std::tuple<double, int32_t, int32_t>; // scaled, value, new-data bit

// Results scripted per position, by how often that position was read before; unscripted
// positions leave the results alone.
struct SessionTest : ::testing::Test {
    test::ScratchDir dir;
    test::SimTestApp s;
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
    LogOutcome run() {
        return RunLogSession(t.app, settings, hooks, fs,
                             [this](const registers::RegisterAccess& io, int16_t pos) {
                                 ++reads;
                                 if (script.count(pos))
                                     std::tie(io.res.RegScaled, io.res.RegValue, io.res.RegNDBit) =
                                         script[pos](calls[pos]++);
                             })
            .outcome;
    }
    // The messages shown since the last call with their icon and caption, then every file
    // with its number of lines; the scratch directory reads <dir>.
    std::string said() {
        std::string out;
        for (const auto& m : t.messages.shown)
            out += "[" + m.caption + " " + std::to_string(int(m.icon)) + "]" + m.text + "\n";
        t.messages.clear();
        for (std::size_t at; (at = out.find(dir.path.string())) != std::string::npos;)
            out.replace(at, dir.path.string().size(), "<dir>");
        return out + dir.files() + "\n";
    }
    std::string everyFile() {
        std::string out;
        for (const auto& n : dir.names()) out += "-- " + n + "\n" + dir.read(n);
        return out;
    }
};

// Every line of a kept file is whole, and its rows are numbered 1, 2, ... without a gap.
void ExpectWholeRows(const Lines& l, std::size_t first) {
    ASSERT_GT(l.size(), first);
    for (std::size_t i = first; i < l.size(); ++i) {
        ASSERT_EQ(l[i].find("<no CRLF>"), std::string::npos) << l[i];
        ASSERT_EQ(test::SplitFields(l[i])[0], std::to_string(i - first + 1));
    }
}

} // namespace

TEST_F(SessionTest, FileShapesByteForByte) {
    // Each step changes the settings of the one before; the files of every step are kept.
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"boxes without ND",
         [&] {
             settings.samplesPerFile = 2;
             settings.columns.box[5] = true;
             script[5] = [](long long) { return Reading{0.998046875, 4088, 0}; };
             settings.columns.disableND = true;
         }},
        {"raw with ND",
         [&] {
             settings.columns.disableND = false;
             settings.noScale = true;
         }},
        {"no header replaces the longer file", [&] { settings.noHeader = true; }},
        {"decimal comma",
         [&] {
             settings.noHeader = settings.noScale = settings.columns.box[5] = false;
             t.platform.decimalSep = ",";
             t.platform.clockScript = {100.25f, 101.5f};
             settings.columns.box[8] = true;
             script[8] = [](long long) { return Reading{25.5, 0, 1}; };
         }},
        {"across midnight, date read at the end",
         [&] {
             t.platform.decimalSep = ".";
             t.platform.clockScript = {86399.5f, 0.25f};
             onEvents = [&] { t.platform.date = "12/7/2026"; };
         }},
        {"seven digits, difference in single precision",
         [&] {
             t.platform.clockScript = {72000.123f, 72001.1f};
         }},
        {"three files, own times and numbers", [&] {
             settings.filesPerSession = 3;
             settings.samplesPerFile = 4;
             settings.sampleDelay = 2.5f;
             t.platform.clockScript = {10, 11, 20, 22.5f, 30, 33.75f};
         }}};
    std::string all;
    for (const auto& [name, change] : steps) {
        change();
        EXPECT_EQ(run(), LogOutcome::Completed) << name;
        all += std::string("== ") + name + "\n" + everyFile();
    }
    test::ExpectGolden("datalog/sessions.txt", all);
    EXPECT_EQ(t.delaySteps, 3 * 4 * 250); // after every sample
    int events = 0;
    onEvents = [&] { ++events; };
    run();
    EXPECT_EQ(events, 3 * (1 + 4 + 1)); // after opening, each sample, and finishing
    EXPECT_TRUE(t.messages.shown.empty());
}

TEST_F(SessionTest, RefusedAndFailingFilesStopTheSessionAndSayWhy) {
    std::string log;
    const auto step = [&](const std::string& what, LogOutcome want) {
        EXPECT_EQ(run(), want) << what;
        log += "== " + what + "\n" + said();
    };
    settings.filesPerSession = 3;
    settings.samplesPerFile = 5;
    fs.refuseCreate = {{".DATALOG_2.csv.rows.", 0}};
    step("second file refused", LogOutcome::CreateFailed);
    EXPECT_EQ(reads, 5);
    fs.refuseCreate = {{".DATALOG_1.csv.rows.", EROFS}};
    step("read-only directory", LogOutcome::CreateFailed);
    fs.refuseCreate = {{".DATALOG_1.csv.rows.", ENOSPC}};
    step("full disk", LogOutcome::CreateFailed);
    fs.refuseCreate.clear();
    using namespace std::string_literals;
    for (const auto& stem : {""s, ".."s, "../DATALOG"s, "sub/DATALOG"s, "sub\\DATALOG"s, "a\0b"s,
                             std::string(235, 'L'), std::string(300, 'L'),
                             std::string(233, 'L') + "\xC3\xA9\xC3\xA9"}) {
        settings.stem = stem; // a cut to fit never splits a character
        step("stem of " + std::to_string(stem.size()), LogOutcome::BadStem);
    }
    EXPECT_EQ(reads, 5);
    settings.stem = std::string(234, 'L');
    step("longest stem that fits", LogOutcome::Completed);
    settings.stem = "DATALOG";
    reads = 0;
    settings.samplesPerFile = 100000; // about 2 MB of rows per file
    fs.failAfterBytes[".DATALOG_2.csv.rows."] = 300000;
    step("rows of the second file fail", LogOutcome::WriteFailed);
    EXPECT_LT(reads, 140000); // sampling stopped at the failure
    const Lines kept = dir.lines("DATALOG_2_incomplete.csv");
    ExpectWholeRows(kept, 1);
    EXPECT_GT(kept.size(), 10000u);
    EXPECT_LE(dir.read("DATALOG_2_incomplete.csv").size(), 300000u);

    // Failing while the finished file is written: every sample is kept, the earlier stays.
    settings.filesPerSession = 1;
    settings.samplesPerFile = 50;
    fs.failAfterBytes = {{".DATALOG_1.csv.part.", 500}};
    step("finishing copy fails", LogOutcome::WriteFailed);
    ExpectWholeRows(dir.lines("DATALOG_1_incomplete.csv"), 1);
    fs.failAfterBytes.clear();
    fs.free = 100;
    step("too little room to finish", LogOutcome::WriteFailed);
    fs.failAfterBytes = {{".DATALOG_1.csv.rows.", 0}};
    step("nothing reached the disk", LogOutcome::WriteFailed);
    test::ExpectGolden("datalog/failures.txt", log);

    settings.directory = dir.path / "gone";
    DiskFileSystem disk;
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, disk,
                            [](const registers::RegisterAccess&, int16_t) {})
                  .outcome,
              LogOutcome::CreateFailed);
    const auto gone = (std::filesystem::path("<dir>") / "gone").string(); // "\\" on Windows
    EXPECT_NE(said().find("The directory \"" + gone + "\" does not exist."), std::string::npos);
}

TEST_F(SessionTest, PlantedSymlinksAreReplacedNeverWrittenThrough) {
#ifdef _WIN32
    GTEST_SKIP() << "links need a privilege on Windows (and are not made under Wine)";
#endif
    { std::ofstream(dir.path / "victim") << "precious"; }
    for (const char* name : {"DATALOG_1.csv", "DATALOG_1.csv.rows", "DATALOG_1.csv.partial"})
        std::filesystem::create_symlink(dir.path / "victim", dir.path / name);
    settings.samplesPerFile = 20;
    EXPECT_EQ(run(), LogOutcome::Completed);
    EXPECT_FALSE(std::filesystem::is_symlink(dir.path / "DATALOG_1.csv"));
    EXPECT_EQ(dir.lines().size(), 28u);
    // A planted lock is refused, not followed.
    std::filesystem::create_symlink(dir.path / "victim", dir.path / ".DATALOG.csv.lock");
    EXPECT_EQ(run(), LogOutcome::CreateFailed);
    EXPECT_EQ(dir.read("victim"), "precious");
}

TEST_F(SessionTest, ASecondSessionOfTheSameNameIsRefusedAndTouchesNothing) {
    settings.samplesPerFile = 2000;
    settings.filesPerSession = 2;
    LogReport second, other;
    bool tried = false;
    onEvents = [&] {
        if (tried || reads != 1500) return;
        tried = true;
        LogSettings same = settings;
        second =
            RunLogSession(t.app, same, {}, fs, [](const registers::RegisterAccess&, int16_t) {});
        same.stem = "OTHER";
        same.samplesPerFile = 3;
        other =
            RunLogSession(t.app, same, {}, fs, [](const registers::RegisterAccess&, int16_t) {});
    };
    EXPECT_EQ(run(), LogOutcome::Completed);
    EXPECT_EQ(second.outcome, LogOutcome::InUse);
    EXPECT_EQ(other.outcome, LogOutcome::Completed); // another stem may log beside it
    EXPECT_EQ(said(),
              "[TAVRIN_3 " + std::to_string(int(base::MsgIcon::Exclamation)) +
                  "]\r\nFILE IN USE\r\n\r\nFile name = DATALOG_1.csv\r\n\r\nAnother logging "
                  "session is writing the files of this name.\r\n\r\nWait for it to end or "
                  "choose a different file name.\n"
                  "DATALOG_1.csv:2008 DATALOG_2.csv:2008 OTHER_1.csv:11 OTHER_2.csv:11 \n");
    ExpectWholeRows(dir.lines("DATALOG_1.csv"), 8);
    settings.samplesPerFile = 1; // once the first has ended, the name is free again
    EXPECT_EQ(run(), LogOutcome::Completed);
}

TEST_F(SessionTest, ACrashLosesAtMostASecondAndIsRecoveredAtTheNextStart) {
#ifdef _WIN32
    GTEST_SKIP() << "fork and SIGKILL are POSIX";
#else
    settings.samplesPerFile = 1000000;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // sampling for a second and a bit, then a crash
        onEvents = [&] {
            if (reads == 5000) ::usleep(1100 * 1000);
            if (reads == 5100) ::kill(::getpid(), SIGKILL);
        };
        run();
        ::_exit(3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_EQ(dir.names().size(), 2u); // the lock and the spool
    // Planted leftovers: an earlier keep, a finishing copy, an empty spool, a lone copy.
    for (const auto& [name, text] :
         std::map<std::string, std::string>{{"DATALOG_1_incomplete.csv", "earlier\r\n"},
                                            {".DATALOG_1.csv.part.Ef34Gh", "half a copy"},
                                            {".EMPTY_1.csv.rows.Ij56Kl", ""},
                                            {".ALONE_2.csv.part.Mn78Op", "1,2,\r\n"},
                                            {".short.rows.x", "not a spool name"}})
        std::ofstream(dir.path / name, std::ios::binary) << text;
    // Files a live session holds are not touched.
    std::filesystem::path live, livePart;
    const int fd = CreateTempBeside(dir.path, ".LIVE_1.csv.rows.", live);
    const int partFd = CreateTempBeside(dir.path, ".LIVE_1.csv.part.", livePart);
    ASSERT_EQ(::write(fd, "x", 1), 1);
    Lines recovered = RecoverUnfinished(dir.path);
    std::sort(recovered.begin(), recovered.end());
    EXPECT_EQ(recovered, (Lines{"ALONE_2_incomplete.csv", "DATALOG_1_incomplete_2.csv"}));
    EXPECT_EQ(dir.read("DATALOG_1_incomplete.csv"), "earlier\r\n");
    EXPECT_EQ(dir.read("ALONE_2_incomplete.csv"), "1,2,\r\n");
    EXPECT_EQ(dir.names().size(), 7u) << dir.files();
    const Lines kept = dir.lines("DATALOG_1_incomplete_2.csv");
    ASSERT_GE(kept.size(), 5001u); // every sample taken a second before the crash was on disk
    EXPECT_EQ(kept[0], "Sample #,XgND,X Gryo,");
    ExpectWholeRows(kept, 1);
    ::close(fd);
    ::close(partFd);
    // Once closed they are leftovers too, named at the next start.
    ReportUnfinished(t.app.messages, dir.path);
    EXPECT_NE(said().find("UNFINISHED LOG FILES\r\n\r\nA logging session ended without "
                          "finishing its files. Its samples are kept in \"<dir>\" as:\r\n\r\n"
                          "LIVE_1_incomplete.csv"),
              std::string::npos);
    EXPECT_EQ(dir.read("LIVE_1_incomplete.csv"), "x");
    EXPECT_FALSE(std::filesystem::exists(livePart));
#endif
}

TEST_F(SessionTest, OnTheSensorAndAFailedTransfer) {
    t.platform.clockScript = {45296.5f, 45297.75f};
    s.sensor.hold(sim::SimSensor::kXGyro, 0x8000 | (0x3FFF & -5)); // new data, -5 in 14 bits
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, fs).outcome, LogOutcome::Completed);
    std::string all = everyFile();
    // Raw values are the data bits, negative for two's complement below zero.
    s.sensor.hold(sim::SimSensor::kXGyro, 0x3FFF & -5);
    s.sensor.hold(sim::SimSensor::kXTemp, 0x8000 | 0x07FF);
    settings.columns.box[8] = true;
    settings.noScale = settings.noHeader = true;
    settings.samplesPerFile = 2;
    RunLogSession(t.app, settings, hooks, fs);
    all += everyFile();
    // The placeholder box of the 41040 repeats the read before it: first what was left.
    test::SimTestApp s41040(41040);
    s41040.app.res = {0, 3, 7.5, 0};
    settings.columns.box[1] = true;
    settings.samplesPerFile = 20;
    settings.noScale = false;
    RunLogSession(s41040.app, settings, hooks, fs);
    test::ExpectGolden("datalog/sensor.txt", all + everyFile());
    EXPECT_TRUE(t.messages.shown.empty());

    settings.samplesPerFile = 4000;
    settings.filesPerSession = 2;
    settings.columns.box[1] = false;
    settings.noHeader = false;
    hooks.sampleTaken = [&](long long, long long n) {
        if (n == 500) s.driver.unplug(0);
    };
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, fs).outcome, LogOutcome::TransferFailed);
    EXPECT_EQ(t.messages.texts(),
              (Lines{"Error Writing SPI",
                     "\r\nLOGGING STOPPED\r\n\r\nFile name = DATALOG_1.csv\r\n\r\nReading the "
                     "sensor failed during sample 501 of file 1. The file holds the 500 "
                     "samples read before the failure."}));
    ExpectWholeRows(dir.lines(), 8);
    EXPECT_EQ(dir.files(), "DATALOG_1.csv:508 ");
}
