// Logging sessions: file shapes, refused and failing files, the spool and crash recovery.
// The simulated sensor's files, single and burst reads, and transfer failures are tested
// through tavrin-cli (tests/data/cli/log.txt, failures.txt), cancelling through the window.
#include <gtest/gtest.h>

#include <unistd.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <csignal>
#include <regex>

#include "Golden.h"
#include "LogTestSupport.h"
#include "TestApp.h"
#include "base/SafeFile.h"
#include "datalog/LogSession.h"
#include "datalog/Recovery.h"

using namespace tavrin;
using namespace tavrin::datalog;
using test::Lines;

namespace {

using Reading = std::tuple<double, int32_t, int32_t>; // scaled, value, new-data bit

// The reader gives X gyro (position 2) new data every second read, X acc and X temp
// (positions 5 and 8) fixed values.
struct SessionTest : ::testing::Test {
    test::ScratchDir dir;
    test::TestApp t;
    test::FaultyFileSystem fs;
    LogSettings settings;
    long long reads = 0;
    std::function<void()> onEvents = [] {};

    void SetUp() override {
        settings.directory = dir.path;
        settings.columns.box[2] = true;
        t.platform.clockScript = {100.25f, 101.5f};
        t.app.doEvents = [this] { onEvents(); };
    }
    LogOutcome run() {
        const auto read = [this, xGyro = 0LL](const registers::RegisterAccess& io,
                                              int16_t pos) mutable {
            ++reads;
            std::tie(io.res.RegScaled, io.res.RegValue, io.res.RegNDBit) =
                pos == 5   ? Reading{0.998046875, 4088, 0}
                : pos == 8 ? Reading{25.5, 0, 1}
                           : Reading{-0.0125, -1, xGyro++ % 2 ? 0 : 0x8000};
            return registers::Reading{transport::Status::Ok, io.res};
        };
        return session(settings, read);
    }
    // A session as the front ends run it: its message shown at its end.
    LogOutcome session(const LogSettings& s, const RegisterReader& read) {
        const LogReport r = RunLogSession(t.app.logging(), s, {}, fs, read);
        if (!r.message.empty())
            t.app.messages.show(r.message, base::MsgIcon::Exclamation, base::kAppTitle);
        return r.outcome;
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
        // Temporaries end in six random characters.
        static const std::regex kTemp(R"(\.(rows|part)\.[A-Za-z0-9]{6})");
        return std::regex_replace(out + dir.files(), kTemp, ".$1.XXXXXX") + "\n";
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

// The sessions of tests/data/datalog/sessions.tsv, each file of each kept.
TEST_F(SessionTest, FileShapesByteForByte) {
    std::string all;
    t.platform.clockScript.clear();
    for (const auto& row : test::SplitFields(test::ReadData("datalog/sessions.tsv"), '\n')) {
        if (row.empty() || row[0] == '#') continue;
        std::istringstream in(row);
        std::string boxes, sep, clock, date, name;
        settings.columns = {};
        in >> boxes >> settings.columns.disableND >> settings.noScale >> settings.noHeader >> sep >>
            settings.samplesPerFile >> settings.filesPerSession >> settings.sampleDelay >> clock >>
            date;
        std::getline(in >> std::ws, name);
        t.platform.decimalSep = sep;
        for (const auto& b : test::SplitFields(boxes)) settings.columns.box[std::stoi(b)] = true;
        for (const auto& c : test::SplitFields(clock, '/'))
            t.platform.clockScript.push_back(std::stof(c));
        onEvents = [this, date] {
            if (date != "-") t.platform.date = date;
        };
        EXPECT_EQ(run(), LogOutcome::Completed) << name;
        all += "== " + name + "\n" + everyFile();
    }
    test::ExpectGolden("datalog/sessions.txt", all);
    EXPECT_EQ(t.delaySteps, 3 * 4 * 250); // after every sample
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
    for (const auto& [file, err, what] : {std::tuple{"_2", 0, "second file refused"},
                                          {"_1", EROFS, "read-only directory"},
                                          {"_1", ENOSPC, "full disk"}}) {
        fs.refuse = std::string(".DATALOG") + file + ".csv.rows.";
        fs.refuseErrno = err;
        step(what, LogOutcome::CreateFailed);
    }
    fs.refuse.clear();
    using namespace std::string_literals;
    for (const auto& stem : {""s, ".."s, "../DATALOG"s, "sub/DATALOG"s, "sub\\DATALOG"s, "a\0b"s,
                             std::string(235, 'L'), std::string(300, 'L'),
                             std::string(233, 'L') + "\xC3\xA9\xC3\xA9"}) {
        settings.stem = stem; // a cut to fit never splits a character
        step("stem of " + std::to_string(stem.size()), LogOutcome::BadStem);
    }
    settings.stem = std::string(234, 'L');
    step("longest stem that fits", LogOutcome::Completed);
    settings.stem = "DATALOG";
    reads = 0;
    settings.samplesPerFile = 100000; // about 2 MB of rows per file
    fs.shortFile = ".DATALOG_2.csv.rows.";
    fs.shortAfter = 300000;
    step("rows of the second file fail", LogOutcome::WriteFailed);
    EXPECT_LT(reads, 140000);                                  // sampling stopped at the failure
    ExpectWholeRows(dir.lines("DATALOG_2_incomplete.csv"), 1); // its length is in the log

    // Failing while the finished file is written: every sample is kept, the earlier stays.
    settings.filesPerSession = 1;
    settings.samplesPerFile = 50;
    fs.shortFile = ".DATALOG_1.csv.part.";
    fs.shortAfter = 500;
    step("finishing copy fails", LogOutcome::WriteFailed);
    ExpectWholeRows(dir.lines("DATALOG_1_incomplete.csv"), 1);
    fs.shortFile.clear();
    fs.free = 100;
    step("too little room to finish", LogOutcome::WriteFailed);
    fs.shortFile = ".DATALOG_1.csv.rows.";
    fs.shortAfter = 0;
    step("nothing reached the disk", LogOutcome::WriteFailed);
    fs.shortAfter = 300000;
    fs.keepFails = true; // the rows stay in the hidden spool, which the message names
    settings.samplesPerFile = 100000;
    step("rows kept where they are", LogOutcome::WriteFailed);
    fs.keepFails = false;
    settings.samplesPerFile = 50;
    for (const auto& name : dir.names())
        if (name.rfind(".DATALOG_1.csv.rows.", 0) == 0) std::filesystem::remove(dir.path / name);

    // A second session of the same name is refused and touches nothing; another name
    // may log beside it, and once the first has ended the name is free again.
    fs.shortFile.clear();
    fs.free.reset();
    settings.samplesPerFile = 2000;
    settings.filesPerSession = 2;
    bool tried = false;
    onEvents = [&] {
        if (tried || reads != 1500) return;
        tried = true;
        LogSettings same = settings;
        const auto nothing = [](const registers::RegisterAccess& io, int16_t) {
            return registers::Reading{transport::Status::Ok, io.res};
        };
        session(same, nothing);
        same.stem = "OTHER";
        same.samplesPerFile = 3;
        session(same, nothing);
    };
    reads = 0;
    step("a second session of the same name", LogOutcome::Completed);
    settings.samplesPerFile = 1;
    step("the same name afterwards", LogOutcome::Completed);
    test::ExpectGolden("datalog/failures.txt", log);
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
    EXPECT_EQ(dir.lines().size(), 28u);
    // A planted lock is refused, not followed.
    std::filesystem::create_symlink(dir.path / "victim", dir.path / ".DATALOG.csv.lock");
    EXPECT_EQ(run(), LogOutcome::CreateFailed);
    EXPECT_EQ(dir.read("victim"), "precious");
    // The message names the planted lock, which the user could not otherwise find.
    ASSERT_EQ(t.messages.shown.size(), 1u);
    EXPECT_NE(t.messages.shown[0].text.find("File name = .DATALOG.csv.lock"), std::string::npos);
}

TEST_F(SessionTest, ACrashLosesAtMostASecondAndIsRecoveredAtTheNextStart) {
#ifdef _WIN32
    GTEST_SKIP() << "fork and SIGKILL are POSIX";
#else
    settings.samplesPerFile = 1000000;
    const pid_t child = ::fork();
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
    // Planted leftovers: an earlier keep, a finishing copy beside the crash's rows, an empty
    // spool, a lone copy, and what a session never makes under its names.
    const std::pair<const char*, const char*> planted[] = {
        {"DATALOG_1_incomplete.csv", "earlier\r\n"},
        {".DATALOG_1.csv.part.Ef34Gh", "File Name,DATALOG_1.csv\r\n"},
        {".EMPTY_1.csv.rows.Ij56Kl", ""},
        {".ALONE_2.csv.part.Mn78Op", "1,2,\r\n"},
        {".GARBAGE_1.csv.rows.Qr90St", "1,2,\r\n"}, // then zeros: a file only begun
        {".NOTNUMBERED.csv.rows.Uv12Wx", "1,2,\r\n"},
        {".short.rows.x", "not a spool name"}};
    for (const auto& [name, text] : planted)
        std::ofstream(dir.path / name, std::ios::binary) << text;
    std::filesystem::resize_file(dir.path / ".GARBAGE_1.csv.rows.Qr90St", 1ull << 30); // sparse
    std::filesystem::create_directory(dir.path / ".DIR_1.csv.rows.Yz34Ab");
    std::filesystem::create_symlink("DATALOG_1_incomplete.csv",
                                    dir.path / ".LINK_1.csv.rows.Cd56Ef");
    ASSERT_EQ(::mkfifo((dir.path / ".FIFO_1.csv.rows.Gh78Ij").c_str(), 0600), 0);
    // Files a live session holds are not touched: by its stem's lock, or by their own.
    std::filesystem::path live, livePart;
    const int fd = base::CreateTempBeside(dir.path, ".LIVE_1.csv.rows.", live);
    const int partFd = base::CreateTempBeside(dir.path, ".LIVE_1.csv.part.", livePart);
    ASSERT_EQ(::write(fd, "1,x,\r\n", 6), 6);
    std::ofstream(dir.path / ".HELD_3.csv.rows.Kl90Mn") << "Sample #,XgND,X Gryo,\r\n";
    auto held = base::FileLock::tryAcquire(dir.path / StemLockName("HELD", ".csv"));
    ASSERT_TRUE(held);
    const Recovery r = RecoverUnfinished(dir.path);
    EXPECT_EQ(r.kept, (Lines{"ALONE_2_incomplete.csv", "DATALOG_1_incomplete_2.csv"}));
    Lines inUse{live.filename().string(), livePart.filename().string(), ".HELD_3.csv.rows.Kl90Mn"};
    std::sort(inUse.begin(), inUse.end());
    EXPECT_EQ(r.inUse, inUse);
    EXPECT_EQ(r.notOurs, (Lines{".DIR_1.csv.rows.Yz34Ab", ".FIFO_1.csv.rows.Gh78Ij",
                                ".GARBAGE_1.csv.rows.Qr90St", ".LINK_1.csv.rows.Cd56Ef",
                                ".NOTNUMBERED.csv.rows.Uv12Wx"}));
    const Lines kept = dir.lines("DATALOG_1_incomplete_2.csv");
    ASSERT_GE(kept.size(), 5001u); // every sample taken a second before the crash was on disk
    EXPECT_EQ(kept[0], "Sample #,XgND,X Gryo,");
    ExpectWholeRows(kept, 1);
    ::close(fd);
    ::close(partFd);
    held.reset();
    // Once closed they are leftovers too, named at the next start.
    t.app.messages.show(RecoveryText(RecoverUnfinished(dir.path), dir.path.string()),
                        base::MsgIcon::Exclamation, base::kAppTitle);
    for (const char* varies : {"DATALOG_1_incomplete_2.csv", ".GARBAGE_1.csv.rows.Qr90St",
                               ".FIFO_1.csv.rows.Gh78Ij", ".DIR_1.csv.rows.Yz34Ab"})
        std::filesystem::remove(dir.path / varies);
    test::ExpectGolden("datalog/recovery.txt", said() + everyFile());
    // However many were found, a message names ten and counts the rest.
    Recovery many;
    for (int i = 1; i <= 400; ++i) many.kept.push_back("F_" + std::to_string(i) + ".csv");
    const std::string text = RecoveryText(many, "D");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 15) << text;
    EXPECT_TRUE(text.ends_with("\r\nF_10.csv\r\nand 390 more in \"D\"")) << text;
#endif
}
