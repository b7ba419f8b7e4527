// The real tavrin-cli on the simulator, against recorded sessions
// (tests/data/cli/*.txt, README there): statuses, both streams and the files
// written, byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "Golden.h"
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
    for (std::string line : SplitFields(text, '\n')) {
        for (const char* clock : {"Date", "Time", "Begin Seconds", "End Seconds", "Elapsed"})
            if (tag == 'f' && line.rfind(clock, 0) == 0 && line.find(',') != std::string::npos)
                line = line.substr(0, line.find(',') + 1) + (line.ends_with("\\r") ? "*\\r" : "*");
        out += std::string(1, tag) + "|" + line + "\n";
    }
    if (text.empty()) return "";
    if (text.back() == '\n') return out.substr(0, out.size() - 3); // no line after the last LF
    out[out.rfind(std::string(1, tag) + "|") + 1] = '-';
    return out;
}

// The command of a "$" line, run after the lines before it: "%" sets the environment,
// "+" makes a file (\r, \n, \t escaped), "=" shows a file afterwards.
std::string RunCommand(const Lines& inputs, const std::string& command, const ScratchDir& dir) {
    std::vector<std::string> env, show;
    const auto fields = [&](std::string line) {
        Replace(line, "@DIR@", dir.path.string());
        return SplitFields(line, '\t');
    };
    for (const std::string& in : inputs) {
        auto f = fields(in);
        if (f[0] == "%") env.push_back(f.at(1));
        if (f[0] == "=") show.push_back(f.at(1));
        if (f[0] != "+") continue;
        for (const char* e : {"r\r", "n\n", "t\t"})
            Replace(f.at(2), std::string("\\") + e[0], std::string(1, e[1]));
        std::ofstream(dir.path / f.at(1), std::ios::binary) << f[2];
    }
    auto args = fields(command);
    args.erase(args.begin());
    const CliResult r = RunCli(args, env);
    std::string out = command + "\n? " + std::to_string(r.status) + "\n";
    out += Shown('1', r.out, dir.path.string()) + Shown('2', r.err, dir.path.string());
    for (const auto& name : dir.names()) out += "ls " + name + "\n";
    for (const auto& name : show) out += Shown('f', dir.read(name), dir.path.string());
    return out;
}

// Usage errors are status 2 and one line naming the fault, device failures
// status 1 with the program's message once. The results after each "$" line
// are made again; blank lines start a fresh directory, "#" lines are notes.
TEST(Cli, RecordedSessions) {
    for (const char* name : {"usage.txt", "commands.txt", "failures.txt", "log.txt", "adev.txt"}) {
        std::istringstream recording(ReadData(std::string("cli/") + name));
        auto dir = std::make_unique<ScratchDir>();
        Lines inputs;
        std::string now;
        for (std::string l; std::getline(recording, l);) {
            if (l.empty()) dir = std::make_unique<ScratchDir>();
            if (l.empty() || std::strchr("#%+=", l[0])) now += l + "\n";
            if (!l.empty() && std::strchr("%+=", l[0])) inputs.push_back(l);
            if (l.empty() || l[0] != '$') continue;
            now += RunCommand(inputs, l, *dir);
            inputs.clear();
        }
        ExpectGolden(std::string("cli/") + name, now);
    }
}

} // namespace
