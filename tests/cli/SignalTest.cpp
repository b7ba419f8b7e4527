// A bench script's signals and crashes against the real tavrin-cli: each session is held
// (TAVRIN_HOLD_AT stops it at a named step) while the signal is sent or a second process
// runs recovery, so every case is exact, not a race.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

// Waits (bounded) until the session stops itself at its step.
bool WaitHeld(pid_t pid) {
    for (int i = 0; i < 6000; ++i) {
        int st = 0;
        const pid_t got = ::waitpid(pid, &st, WNOHANG | WUNTRACED);
        if (got == pid) return WIFSTOPPED(st);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

CliProcess StartHeld(const std::string& at, const std::vector<std::string>& args) {
    return StartCli(args, {"TAVRIN_HOLD_AT=" + at});
}

// A file the session finished: CR LF lines of one field count, header and titles, rows
// numbered 1..rows without a gap.
void ExpectWhole(const ScratchDir& dir, const std::string& name, std::size_t rows) {
    const Lines l = dir.lines(name);
    ASSERT_EQ(l.size(), 8 + rows) << name;
    EXPECT_EQ(l[0], "File Name," + name);
    EXPECT_EQ(l[7], "Sample #,XgND,X Gryo,");
    for (std::size_t i = 8; i < l.size(); ++i) {
        EXPECT_EQ(SplitFields(l[i]).size(), 4u) << l[i];
        EXPECT_EQ(SplitFields(l[i])[0], std::to_string(i - 7));
    }
}

const std::vector<std::string> kSession = {
    "--sim", "41120,seed=1", "log", "--samples", "100", "--files", "3", "--stem", "s"};

std::vector<std::string> In(const ScratchDir& dir, std::vector<std::string> args) {
    args.insert(args.end(), {"--dir", dir.path.string()});
    return args;
}

} // namespace

// SIGTERM, SIGHUP and SIGINT act as Cancel wherever they land: the file under way is
// completed, nothing is begun after it, no temporary or lock is left, status 128 + n.
TEST(CliSignals, EndTheSessionAfterTheSampleUnderWayWhereverTheyLand) {
    const std::pair<const char*, std::size_t> points[] = {
        {"sample,1,50", 50}, {"finishing,1", 100}, {"part,1", 100}, {"renamed,1", 100}};
    for (const int sig : {SIGTERM, SIGHUP, SIGINT}) {
        for (const auto& [at, rows] : points) {
            ScratchDir dir;
            std::ofstream(dir.path / "s_2.csv") << "earlier\r\n";
            const auto p = StartHeld(at, In(dir, kSession));
            ASSERT_TRUE(WaitHeld(p.pid)) << at;
            ::kill(p.pid, sig);
            ::kill(p.pid, SIGCONT);
            const auto r = WaitCli(p);
            SCOPED_TRACE(std::string(at) + " signal " + std::to_string(sig));
            EXPECT_EQ(r.status, 128 + sig) << r.err;
            EXPECT_EQ(dir.names(), Lines({"s_1.csv", "s_2.csv"}));
            ExpectWhole(dir, "s_1.csv", rows);
            EXPECT_EQ(dir.read("s_2.csv"), "earlier\r\n"); // nothing begun after the signal
            EXPECT_EQ(r.err, (dir.path / "s_1.csv").string() + "\n");
        }
    }
}

// A kill -9 in the delay after a slow session's first sample: that sample is on the disk,
// and the next session (or `recover`) brings it back under a name of its own.
TEST(CliSignals, AKillLosesNoSampleOfASlowSessionAndTheNextRunRecoversThem) {
    ScratchDir dir;
    const auto killAfter1 = [&](const std::string& stem) {
        const auto p =
            StartHeld("sample,1,1", In(dir, {"--sim", "41120,seed=1", "log", "--delay", "1000",
                                             "--samples", "100", "--stem", stem}));
        ASSERT_TRUE(WaitHeld(p.pid));
        ::kill(p.pid, SIGKILL);
        EXPECT_EQ(WaitCli(p).status, 128 + SIGKILL);
        EXPECT_EQ(dir.names().size(), 2u + (stem == "c")); // its spool and its lock
    };
    const auto expectKept = [&](const std::string& kept) {
        const Lines l = dir.lines(kept);
        EXPECT_EQ(l, Lines({"Sample #,XgND,X Gryo,", l.at(1)}));
        EXPECT_EQ(l[1].substr(0, 2), "1,");
    };
    killAfter1("a");
    const auto rec = RunCli({"--json", "recover", "--dir", dir.path.string()});
    EXPECT_EQ(rec.status, 0);
    EXPECT_NE(rec.out.find("\"recovered\": [\n    \"a_1_incomplete.csv\"\n  ]"), std::string::npos)
        << rec.out;
    expectKept("a_1_incomplete.csv");
    // The next session recovers first, and names what it kept.
    killAfter1("c");
    const auto next = RunCli(In(dir, {"--sim", "41120,seed=1", "log", "--samples", "1"}));
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_NE(next.err.find("\nc_1_incomplete.csv\n"), std::string::npos) << next.err;
    EXPECT_EQ(dir.names(), Lines({"DATALOG_1.csv", "a_1_incomplete.csv", "c_1_incomplete.csv"}));
    expectKept("c_1_incomplete.csv");
}

// Recovery in another process while a session is held at each of its steps: the session's
// files are named as in use and left alone, and the session then finishes whole.
TEST(CliSignals, RecoveryNeverTouchesALiveSession) {
    for (const char* at : {"spool,1", "sample,1,10", "finishing,1", "part,1", "renamed,1"}) {
        ScratchDir dir;
        const auto p = StartHeld(at, In(dir, kSession));
        ASSERT_TRUE(WaitHeld(p.pid)) << at;
        const Lines before = dir.names();
        const auto rec = RunCli({"recover", "--dir", dir.path.string()});
        EXPECT_EQ(rec.status, 0);
        EXPECT_EQ(rec.out, "") << at; // nothing recovered
        EXPECT_EQ(dir.names(), before) << at;
        if (std::string(at) != "renamed,1") {
            EXPECT_NE(rec.err.find("a logging session is still writing them"), std::string::npos)
                << at << rec.err;
        }
        ::kill(p.pid, SIGCONT);
        const auto r = WaitCli(p);
        EXPECT_EQ(r.status, 0) << at << r.err;
        EXPECT_EQ(dir.names(), Lines({"s_1.csv", "s_2.csv", "s_3.csv"})) << at;
        for (const char* f : {"s_1.csv", "s_2.csv", "s_3.csv"}) ExpectWhole(dir, f, 100);
    }
}
