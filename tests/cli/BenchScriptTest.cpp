// tavrin-cli as a production bench script drives it: rows streamed into another program, one
// file format whatever the locale, several sensors logged at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

// The lines of a log file without the header lines that hold the clock.
Lines WithoutClock(const Lines& lines) {
    Lines out;
    for (const auto& l : lines)
        if (l.rfind("Date", 0) && l.rfind("Time", 0) && l.find("Seconds") == std::string::npos)
            out.push_back(l);
    return out;
}

const std::vector<std::string> kLog = {"log", "--boxes", "2,5", "--samples", "200", "--burst"};

std::vector<std::string> With(std::vector<std::string> front, std::vector<std::string> back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

} // namespace

// --stdout gives the file's column titles and rows as they are taken, byte for byte; a
// reader that goes away ends the session by SIGPIPE, as other filters, and no file is left.
TEST(CliBench, RowsStreamToAnotherProgramAsTheFileWouldHoldThem) {
    ScratchDir dir;
    const auto file =
        RunCli(With({"--sim", "41120,seed=1"}, With(kLog, {"--dir", dir.path.string()})));
    ASSERT_EQ(file.status, 0) << file.err;
    const auto stream = RunCli(With({"--sim", "41120,seed=1"}, With(kLog, {"--stdout"})));
    EXPECT_EQ(stream.status, 0) << stream.err;
    const std::string rows = dir.read("DATALOG_1.csv");
    EXPECT_EQ(stream.out, rows.substr(rows.find("Sample #")));
    EXPECT_EQ(stream.err, "");

    // | head -n 5
    int pipefd[2];
    ASSERT_EQ(::pipe(pipefd), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipefd[1], 1);
        ::close(pipefd[0]);
        ::chdir(dir.path.c_str());
        ::execl("/usr/bin/env", "env", "-u", "TAVRIN_SIM", TAVRIN_CLI_PATH, "--sim", "41120", "log",
                "--stdout", "--samples", "100000000", nullptr);
        ::_exit(127);
    }
    ::close(pipefd[1]);
    std::string got;
    char c;
    while (std::count(got.begin(), got.end(), '\n') < 5 && ::read(pipefd[0], &c, 1) == 1) got += c;
    ::close(pipefd[0]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGPIPE) << st;
    EXPECT_EQ(got.rfind("Sample #,XgND,X Gryo,\r\n1,", 0), 0u) << got;
    EXPECT_EQ(dir.names(), Lines{"DATALOG_1.csv"}); // the earlier run's, nothing new
}

// --format fixes separator and decimal point whatever the locale; without it the window's
// rule holds (a decimal comma: tab-separated .txt).
TEST(CliBench, AFormatAskedForHoldsUnderADecimalCommaLocale) {
    ScratchDir locales, c, comma, fixed;
    const std::string make = "localedef -i de_DE -f UTF-8 " +
                             (locales.path / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "no locale sources (Debian's locales)";
    const std::vector<std::string> german = {"LOCPATH=" + locales.path.string(),
                                             "LC_ALL=de_DE.UTF-8"};
    const auto sim = [](const ScratchDir& d, std::vector<std::string> more) {
        return With(With({"--sim", "41120,seed=1"}, kLog), With({"--dir", d.path.string()}, more));
    };
    ASSERT_EQ(RunCli(sim(c, {})).status, 0);
    ASSERT_EQ(RunCli(sim(comma, {}), german).status, 0);
    ASSERT_EQ(RunCli(sim(fixed, {"--format", "csv"}), german).status, 0);
    EXPECT_EQ(comma.names(), Lines{"DATALOG_1.txt"});
    EXPECT_EQ(WithoutClock(comma.lines("DATALOG_1.txt"))[3], "1\t1\t-0,0500000007450581\t1\t0\t");
    EXPECT_EQ(fixed.names(), Lines{"DATALOG_1.csv"});
    EXPECT_EQ(WithoutClock(fixed.lines("DATALOG_1.csv")), WithoutClock(c.lines("DATALOG_1.csv")));
    ASSERT_EQ(RunCli(sim(fixed, {"--format", "tsv", "--stem", "T"}), german).status, 0);
    EXPECT_EQ(WithoutClock(fixed.lines("T_1.txt"))[3], "1\t1\t-0.0500000007450581\t1\t0\t");
    EXPECT_EQ(RunCli(sim(fixed, {"--format", "xls"})).status, 2);
}

// Three sensors at once write the files three separate runs write, each named with its
// slot; one that fails midway stops alone, named with its slot, and the status is the worst.
TEST(CliBench, SeveralSensorsAtOnceAsSeparateRunsEachFailingAlone) {
    const std::string sim = "0:41120,1:41120,2:41190,seed=4";
    ScratchDir together, apart;
    const auto all = RunCli(
        With({"--sim", sim, "--adapter", "0,1,2"}, With(kLog, {"--dir", together.path.string()})));
    EXPECT_EQ(all.status, 0) << all.err;
    for (const char* slot : {"0", "1", "2"}) {
        const auto one = RunCli(With(
            {"--sim", sim, "--adapter", slot},
            With(kLog, {"--dir", apart.path.string(), "--stem", std::string("DATALOG-") + slot})));
        ASSERT_EQ(one.status, 0) << one.err;
        const std::string name = std::string("DATALOG-") + slot + "_1.csv";
        EXPECT_EQ(WithoutClock(together.lines(name)), WithoutClock(apart.lines(name))) << name;
        EXPECT_EQ(together.lines(name).size(), 208u);
    }
    ScratchDir failing;
    const auto broken = RunCli(With({"--sim", sim + ",fail=1:bulk1@60", "--adapter", "all"},
                                    With(kLog, {"--dir", failing.path.string()})));
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("EzUsb1: Error Reading SPI"), std::string::npos) << broken.err;
    EXPECT_NE(broken.err.find("EzUsb1: LOGGING STOPPED"), std::string::npos) << broken.err;
    for (const char* whole : {"DATALOG-0_1.csv", "DATALOG-2_1.csv"})
        EXPECT_EQ(WithoutClock(failing.lines(whole)), WithoutClock(apart.lines(whole))) << whole;
    EXPECT_LT(failing.lines("DATALOG-1_1.csv").size(), 208u);
}
