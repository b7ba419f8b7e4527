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

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "app/App.h"
#include "base/SafeFile.h"
#include "datalog/LogSession.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

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
        return RunLogSession(t.app, settings, hooks, fs,
                             [this](const RegisterAccess& io, int16_t pos) {
                                 ++reads;
                                 if (script.count(pos))
                                     std::tie(io.res.RegScaled, io.res.RegValue, io.res.RegNDBit) =
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
    EXPECT_EQ(events, 3 * (1 + 4 + 1));   // after opening, each sample, and finishing
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

TEST_F(SessionTest, FileThatCannotBeCreatedStopsTheSessionNamingTheCause) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 5;
    fs.refuseCreate = {{".DATALOG_2.csv.rows.", 0}};
    EXPECT_EQ(run().outcome, LogOutcome::CreateFailed);
    expectOneMessage("\r\nFILE ACCESS ERROR\r\n\r\nFile name = DATALOG_2.csv\r\n\r\nThis file may "
                     "already be open by another application.\r\n\r\nClose the file or choose a "
                     "different file name.");
    EXPECT_EQ(dir.files(), "DATALOG_1.csv:13 ");
    EXPECT_EQ(reads, 5);
    // A directory that takes no file is named.
    fs.refuseCreate = {{".DATALOG_1.csv.rows.", EROFS}};
    run();
    expectOneMessage("File name = DATALOG_1.csv\r\n\r\nThe directory \"" + dir.path.string() +
                     "\" is not writable.");
    fs.refuseCreate = {{".DATALOG_1.csv.rows.", ENOSPC}};
    run();
    expectOneMessage("The disk is full.");
    // On the real disk: a directory that is not there.
    settings.directory = dir.path / "gone";
    DiskFileSystem disk;
    EXPECT_EQ(
        RunLogSession(t.app, settings, hooks, disk, [](const RegisterAccess&, int16_t) {}).outcome,
        LogOutcome::CreateFailed);
    expectOneMessage("File name = DATALOG_1.csv\r\n\r\nThe directory \"" +
                     (dir.path / "gone").string() + "\" does not exist.");
}

// Every line of a kept file is whole, and its rows are numbered 1, 2, ... without a gap.
void ExpectWholeRows(const Lines& l, std::size_t first) {
    ASSERT_GT(l.size(), first);
    for (std::size_t i = first; i < l.size(); ++i) {
        ASSERT_EQ(l[i].find("<no CRLF>"), std::string::npos) << l[i];
        ASSERT_EQ(test::SplitFields(l[i])[0], std::to_string(i - first + 1));
    }
}

TEST_F(SessionTest, WriteFailuresKeepWhatReachedTheDiskAndEarlierFiles) {
    settings.filesPerSession = 3;
    settings.samplesPerFile = 100000; // about 2 MB of rows per file
    settings.noHeader = true;
    run();
    const std::string earlier2 = dir.read("DATALOG_2.csv");
    settings.noHeader = false;
    fs.failAfterBytes[".DATALOG_2.csv.rows."] = 300000;
    reads = 0;
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
    expectOneMessage("FILE WRITE ERROR\r\n\r\nFile name = DATALOG_2.csv\r\n\r\nThe file could not "
                     "be written completely. The disk is full.\r\n\r\nThe session has stopped. "
                     "The samples that reached the disk are kept in DATALOG_2_incomplete.csv;");
    EXPECT_LT(reads, 140000);                       // sampling stopped at the failure
    EXPECT_EQ(dir.read("DATALOG_2.csv"), earlier2); // replaced only by a whole file
    const Lines kept = dir.lines("DATALOG_2_incomplete.csv");
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept[0], "Sample #,XgND,X Gryo,");
    ExpectWholeRows(kept, 1);
    EXPECT_GT(kept.size(), 10000u);
    EXPECT_LE(dir.read("DATALOG_2_incomplete.csv").size(), 300000u);
    EXPECT_EQ(dir.names(), (Lines{"DATALOG_1.csv", "DATALOG_2.csv", "DATALOG_2_incomplete.csv",
                                  "DATALOG_3.csv"}));

    // Failing while the finished file is written: every sample is kept, the earlier stays.
    settings.filesPerSession = 1;
    settings.samplesPerFile = 50;
    const std::string earlier1 = dir.read("DATALOG_1.csv");
    fs.failAfterBytes = {{".DATALOG_1.csv.part.", 500}};
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
    expectOneMessage("kept in DATALOG_1_incomplete.csv;");
    EXPECT_EQ(dir.read("DATALOG_1.csv"), earlier1);
    EXPECT_EQ(dir.lines("DATALOG_1_incomplete.csv").size(), 51u);
    ExpectWholeRows(dir.lines("DATALOG_1_incomplete.csv"), 1);

    // Too little room to finish: said before anything is removed; a second keep gets _2.
    fs.failAfterBytes.clear();
    fs.free = 100;
    EXPECT_EQ(run().outcome, LogOutcome::WriteFailed);
    ASSERT_EQ(t.messages.shown.size(), 1u);
    EXPECT_NE(t.messages.shown[0].text.find(" bytes; the disk has 100."), std::string::npos);
    expectOneMessage("DISK FULL\r\n\r\nFile name = DATALOG_1.csv\r\n\r\nFinishing this file "
                     "needs ");
    EXPECT_EQ(dir.read("DATALOG_1.csv"), earlier1);
    EXPECT_EQ(dir.lines("DATALOG_1_incomplete_2.csv").size(), 51u);
    EXPECT_EQ(dir.names().size(), 6u); // no temporary left behind
    // Nothing reached the disk: no empty file is kept.
    fs.failAfterBytes = {{".DATALOG_1.csv.rows.", 0}};
    run();
    expectOneMessage("No sample of this file could be kept; the files before it are complete.");
    EXPECT_EQ(dir.names().size(), 6u);
}

TEST_F(SessionTest, PlantedSymlinksAreReplacedNeverWrittenThrough) {
#ifdef _WIN32
    GTEST_SKIP() << "links need a privilege on Windows (and are not made under Wine)";
#endif
    { std::ofstream(dir.path / "victim") << "precious"; }
    for (const char* name : {"DATALOG_1.csv", "DATALOG_1.csv.rows", "DATALOG_1.csv.partial"})
        std::filesystem::create_symlink(dir.path / "victim", dir.path / name);
    settings.samplesPerFile = 20;
    EXPECT_EQ(run().outcome, LogOutcome::Completed);
    EXPECT_EQ(dir.read("victim"), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.path / "DATALOG_1.csv"));
    EXPECT_EQ(dir.lines().size(), 28u);
    // A planted lock is refused, not followed.
    std::filesystem::create_symlink(dir.path / "victim", dir.path / ".DATALOG.csv.lock");
    EXPECT_EQ(run().outcome, LogOutcome::CreateFailed);
    expectOneMessage("FILE ACCESS ERROR");
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
        second = RunLogSession(t.app, same, {}, fs, [](const RegisterAccess&, int16_t) {});
        same.stem = "OTHER";
        same.samplesPerFile = 3;
        other = RunLogSession(t.app, same, {}, fs, [](const RegisterAccess&, int16_t) {});
    };
    EXPECT_EQ(run().outcome, LogOutcome::Completed);
    EXPECT_EQ(second.outcome, LogOutcome::InUse);
    EXPECT_EQ(other.outcome, LogOutcome::Completed); // another stem may log beside it
    expectOneMessage("\r\nFILE IN USE\r\n\r\nFile name = DATALOG_1.csv\r\n\r\nAnother logging "
                     "session is writing the files of this name.");
    EXPECT_EQ(dir.files(), "DATALOG_1.csv:2008 DATALOG_2.csv:2008 OTHER_1.csv:11 OTHER_2.csv:11 ");
    ExpectWholeRows(dir.lines("DATALOG_1.csv"), 8);
    // Once the first has ended, the name is free again.
    settings.samplesPerFile = 1;
    onEvents = [] {};
    EXPECT_EQ(run().outcome, LogOutcome::Completed);
}

TEST_F(SessionTest, ACrashLosesAtMostASecondAndIsRecoveredAtTheNextStart) {
#ifdef _WIN32
    GTEST_SKIP() << "fork and SIGKILL are POSIX; LeftoversAreKept... plants the leftovers";
#else
    settings.samplesPerFile = 1000000;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Sampling for a second and a bit, then a crash: nothing is finished or closed.
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
    EXPECT_TRUE(RecoverUnfinished(dir.path / "gone").empty());
    // A spool a live session holds is not touched.
    std::filesystem::path live;
    const int fd = CreateTempBeside(dir.path, ".LIVE_1.csv.rows.", live);
    ASSERT_GE(fd, 0);
    ::write(fd, "x", 1);
    EXPECT_EQ(RecoverUnfinished(dir.path), (Lines{"DATALOG_1_incomplete.csv"}));
    EXPECT_TRUE(std::filesystem::exists(live));
    ::close(fd);
    const Lines kept = dir.lines("DATALOG_1_incomplete.csv");
    ASSERT_GE(kept.size(), 5001u); // every sample taken a second before the crash was on disk
    EXPECT_EQ(kept[0], "Sample #,XgND,X Gryo,");
    ExpectWholeRows(kept, 1);
    // At the next start the message names the file.
    ReportUnfinished(t.app.messages, dir.path);
    expectOneMessage("UNFINISHED LOG FILES\r\n\r\nA logging session ended without finishing its "
                     "files. Its samples are kept in \"" +
                     dir.path.string() + "\" as:\r\n\r\nLIVE_1_incomplete.csv");
    EXPECT_TRUE(std::filesystem::exists(dir.path / "LIVE_1_incomplete.csv"));
#endif
}

// Leftovers of a session that ended without finishing, planted as it leaves them: its
// spool becomes an "_incomplete" file beside any earlier one, an empty spool and a finishing
// copy with its spool go, and files a live session holds are not touched.
TEST_F(SessionTest, LeftoversAreKeptButFilesOfALiveSessionAreNot) {
    auto plant = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir.path / name, std::ios::binary) << text;
    };
    plant("DATALOG_1_incomplete.csv", "earlier\r\n");
    plant(".DATALOG_1.csv.rows.Ab12Cd", "Sample #,XgND,\r\n1,2,\r\n");
    plant(".DATALOG_1.csv.part.Ef34Gh", "half a copy");
    plant(".EMPTY_1.csv.rows.Ij56Kl", "");
    plant(".ALONE_2.csv.part.Mn78Op", "1,2,\r\n");
    plant(".short.rows.x", "not a spool name");
    std::filesystem::path live, livePart;
    const int fd = CreateTempBeside(dir.path, ".LIVE_1.csv.rows.", live);
    const int partFd = CreateTempBeside(dir.path, ".LIVE_1.csv.part.", livePart);
    ASSERT_GE(fd, 0);
    ASSERT_GE(partFd, 0);
    ASSERT_EQ(::write(fd, "x", 1), 1);

    Lines kept = RecoverUnfinished(dir.path);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (Lines{"ALONE_2_incomplete.csv", "DATALOG_1_incomplete_2.csv"}));
    EXPECT_EQ(dir.read("DATALOG_1_incomplete.csv"), "earlier\r\n");
    EXPECT_EQ(dir.read("DATALOG_1_incomplete_2.csv"), "Sample #,XgND,\r\n1,2,\r\n");
    EXPECT_EQ(dir.read("ALONE_2_incomplete.csv"), "1,2,\r\n");
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(livePart));
    EXPECT_EQ(dir.names().size(), 6u) << dir.files();
    ::close(fd);
    ::close(partFd);
    // Once closed they are leftovers too: the spool is kept, its finishing copy goes.
    EXPECT_EQ(RecoverUnfinished(dir.path), Lines{"LIVE_1_incomplete.csv"});
    EXPECT_EQ(dir.read("LIVE_1_incomplete.csv"), "x");
    EXPECT_FALSE(std::filesystem::exists(livePart));
}

TEST_F(SessionTest, AFailedTransferEndsTheSessionWithTheSamplesBefore) {
    settings.samplesPerFile = 4000;
    settings.filesPerSession = 2;
    long long samples = 0;
    hooks.sampleTaken = [&](long long, long long n) {
        if ((samples = n) == 500) s.driver.unplug(0);
    };
    EXPECT_EQ(RunLogSession(t.app, settings, hooks, fs).outcome, LogOutcome::TransferFailed);
    const auto texts = t.messages.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Error Writing SPI");
    EXPECT_EQ(texts[1], "\r\nLOGGING STOPPED\r\n\r\nFile name = DATALOG_1.csv\r\n\r\nReading the "
                        "sensor failed during sample 501 of file 1. The file holds the 500 "
                        "samples read before the failure.");
    const Lines l = dir.lines();
    EXPECT_EQ(l.size(), 8u + 500u);
    ExpectWholeRows(l, 8);
    EXPECT_EQ(dir.names(), Lines{"DATALOG_1.csv"});
}

TEST_F(SessionTest, StemsTooLongForTheFileSystemGetTheLongestThatFits) {
    for (std::size_t len : {235u, 245u, 250u, 300u}) {
        settings.stem = std::string(len, 'L');
        EXPECT_EQ(run().outcome, LogOutcome::BadStem) << len;
        expectOneMessage("\r\nINVALID FILE NAME\r\n\r\nFile name = " + settings.stem +
                         "\r\n\r\nThe file name is too long for this file system. The longest "
                         "that fits is 234 characters:\r\n\r\n" +
                         std::string(234, 'L'));
    }
    EXPECT_EQ(reads, 0);
    settings.stem = std::string(234, 'L');
    settings.samplesPerFile = 3;
    EXPECT_EQ(run().outcome, LogOutcome::Completed);
    EXPECT_EQ(dir.names(), Lines{settings.stem + "_1.csv"});
    // A cut never splits a character.
    settings.stem = std::string(233, 'L') + "\xC3\xA9\xC3\xA9";
    run();
    expectOneMessage("characters:\r\n\r\n" + std::string(233, 'L'));
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
