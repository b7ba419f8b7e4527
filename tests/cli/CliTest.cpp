// The real tavrin-cli on the simulator, against recorded sessions
// (tests/data/cli/*.txt): statuses, both streams and the files written, byte
// for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <thread>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

void Replace(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, from.size(), to);
}

// Each line as "<tag>|text" with CR shown as \r, a last line without LF as
// "<tag>-text"; the clock lines of a log header, which change from run to run,
// as "Date,*" and so on.
std::string Shown(char tag, std::string text, const std::string& dir) {
    Replace(text, dir, "@DIR@");
    Replace(text, "\r", "\\r");
    std::string out;
    for (std::string line : SplitLines(text)) {
        for (const char* clock : {"Date", "Time", "Begin Seconds", "End Seconds", "Elapsed"})
            if (tag == 'f' && line.rfind(clock, 0) == 0 && line.find(',') != std::string::npos)
                line = line.substr(0, line.find(',') + 1) + (line.ends_with("\\r") ? "*\\r" : "*");
        out += std::string(1, tag) + "|" + line + "\n";
    }
    if (!text.empty() && text.back() != '\n') out[out.rfind(std::string(1, tag) + "|") + 1] = '-';
    return out;
}

// Before a command: "%\tNAME=value" sets the environment, "+\tname\ttext" makes
// a file
// (\r, \n, \t escaped), "=\tname" shows a file after it. "$" then the
// arguments, tab-separated.
std::string Run(const std::vector<std::string>& inputs, const std::string& command,
                const ScratchDir& dir) {
    std::vector<std::string> env, show;
    std::string out;
    for (const std::string& in : inputs) {
        out += in + "\n";
        std::string line = in;
        Replace(line, "@DIR@", dir.path.string());
        auto f = SplitFields(line, '\t');
        if (f[0] == "%") env.push_back(f.at(1));
        if (f[0] == "=") show.push_back(f.at(1));
        if (f[0] != "+") continue;
        for (const char* e : {"r\r", "n\n", "t\t"})
            Replace(f.at(2), std::string("\\") + e[0], std::string(1, e[1]));
        std::ofstream(dir.path / f.at(1), std::ios::binary) << f[2];
    }
    std::string line = command;
    Replace(line, "@DIR@", dir.path.string());
    auto args = SplitFields(line, '\t');
    args.erase(args.begin());
    const CliResult r = RunCli(args, env);
    out += command + "\n? " + std::to_string(r.status) + "\n";
    out += Shown('1', r.out, dir.path.string()) + Shown('2', r.err, dir.path.string());
    for (const auto& name : dir.names()) out += "ls " + name + "\n";
    for (const auto& name : show) out += Shown('f', dir.read(name), dir.path.string());
    return out;
}

// Blank lines start a fresh directory; "#" lines are notes.
// TAVRIN_REGEN_GOLDEN=1 rewrites the recording from what the program does now.
void Replay(const std::string& name) {
    const std::string path = std::string(TAVRIN_CLI_DATA) + "/" + name;
    std::vector<std::string> lines, inputs;
    std::ifstream file(path);
    for (std::string l; std::getline(file, l);) lines.push_back(l);
    ASSERT_FALSE(lines.empty()) << path;
    auto dir = std::make_unique<ScratchDir>();
    std::string now, expected;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        const bool input = !l.empty() && std::strchr("%+=", l[0]);
        if (l.empty() || l[0] == '#') {
            if (l.empty()) dir = std::make_unique<ScratchDir>();
            now += l + "\n";
        } else if (input) {
            inputs.push_back(l);
            expected += l + "\n";
        } else if (l[0] == '$') {
            expected += l + "\n";
            while (i + 1 < lines.size() && !lines[i + 1].empty() &&
                   !std::strchr("%+=$#", lines[i + 1][0]))
                expected += lines[++i] + "\n";
            const std::string got = Run(inputs, l, *dir);
            EXPECT_EQ(got, expected) << name << ": " << l;
            now += got;
            inputs.clear();
            expected.clear();
        }
    }
    if (std::getenv("TAVRIN_REGEN_GOLDEN")) std::ofstream(path, std::ios::binary) << now;
}

// Usage errors are status 2 and one line naming the fault, device failures
// status 1 with the program's message once.
TEST(Cli, RecordedSessions) {
    for (const char* name : {"usage.txt", "commands.txt", "failures.txt", "log.txt", "adev.txt"})
        Replay(name);
}

TEST(Cli, CtrlCDuringTheSecondFileCompletesItAndStartsNoThird) {
    ScratchDir dir;
    const auto p = StartCli({"--sim", "41120,seed=1", "log", "--samples", "200", "--files", "3",
                             "--delay", "10", "--dir", dir.path.string()});
    for (int i = 0; i < 3000 && dir.lines("DATALOG_1.csv").size() < 208; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(p.pid, SIGINT);
    EXPECT_EQ(WaitCli(p).status, 130);
    ASSERT_EQ(dir.names(), Lines({"DATALOG_1.csv", "DATALOG_2.csv"}));
    EXPECT_EQ(dir.lines().back().substr(0, 4), "200,");
    // Every sample taken is there, numbered without a gap, each line whole.
    const Lines two = dir.lines("DATALOG_2.csv");
    ASSERT_GT(two.size(), 8u);
    ASSERT_LT(two.size(), 8u + 200u);
    EXPECT_EQ(two[0], "File Name,DATALOG_2.csv");
    for (std::size_t i = 8; i < two.size(); ++i)
        EXPECT_EQ(two[i].substr(0, two[i].find(',')), std::to_string(i - 7));
}

} // namespace
