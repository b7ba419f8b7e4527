// tavrin-cli adev where the process boundary matters: what it reads that is no file, and how
// much of a hostile input reaches the terminal and the memory.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

struct Ran {
    CliResult r;
    long peakKb = 0;
    bool timedOut = false;
};

// Runs tavrin-cli, ending it after ten seconds, with its peak resident memory.
Ran RunAdev(const std::vector<std::string>& args) {
    Ran out;
    const CliProcess p = StartCli(args);
    int st = 0;
    rusage use{};
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::wait4(p.pid, &st, WNOHANG, &use) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            out.timedOut = true;
            ::kill(p.pid, SIGKILL);
            ::wait4(p.pid, &st, 0, &use);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    out.r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    for (auto [f, text] : {std::pair{p.out, &out.r.out}, {p.err, &out.r.err}}) {
        std::rewind(f);
        for (int c; (c = std::getc(f)) != EOF;) text->push_back(static_cast<char>(c));
        std::fclose(f);
    }
    out.peakKb = use.ru_maxrss;
    return out;
}

const std::string kHeader = "File Name,D_1.csv\r\nDate,1/1/2027\r\nTime,1:00 AM\r\nBegin "
                            "Seconds,10\r\nEnd Seconds,12\r\nElapsed Seconds,2\r\n \r\n";

TEST(AdevCli, InputThatIsNoLogFileIsRefusedAtOnceAndQuotedShort) {
    ScratchDir dir;
    const auto at = [&](const char* name) { return (dir.path / name).string(); };
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);
    std::ofstream(at("long.csv"), std::ios::binary) << std::string(50 << 20, '1') << "\r\n";
    std::ofstream(at("field.csv"), std::ios::binary)
        << kHeader << "Sample #,X Gryo,\r\n1,0.5,\r\n2," << std::string(60000, 'x') << ",\r\n";
    std::ofstream(at("esc.csv"), std::ios::binary)
        << kHeader << "Sample #,X Gryo,\r\n1,\x1b[2J" << std::string(1, '\0') << ",\r\n";
    struct Row {
        const char* file;
        std::string err;
    };
    const Row rows[] = {
        {"fifo", "\"fifo\": not a file (a directory, FIFO, device or socket): nothing read\n"},
        {".", "\".\": not a file (a directory, FIFO, device or socket): nothing read\n"},
        {"long.csv", "\"long.csv\": line 1: longer than 65536 bytes\n"},
        {"field.csv", "\"field.csv\": line 10: field 2: \"" + std::string(80, 'x') +
                          "\u2026\" is not a number\n"},
        {"esc.csv", "\"esc.csv\": line 9: field 2: \"\\x1B[2J\\x00\" is not a number\n"},
    };
    // The peak counts the test process forked before the exec (large under a sanitizer).
    const long baseKb = RunAdev({"--version"}).peakKb;
    for (const auto& row : rows) {
        const Ran ran = RunAdev({"adev", at(row.file), "--csv", at("c.csv")});
        EXPECT_FALSE(ran.timedOut) << row.file;
        EXPECT_EQ(ran.r.status, 1) << row.file;
        EXPECT_EQ(ran.r.err, row.err);
        EXPECT_LT(ran.peakKb, baseKb + 20000) << row.file; // never the size of a line
    }
    EXPECT_EQ(dir.names(), Lines({"esc.csv", "field.csv", "fifo", "long.csv"}));
}

} // namespace
