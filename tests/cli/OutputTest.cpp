// Every output of the real tavrin-cli is checked: a command whose output could not be written
// fails, a special file named as output is written into and never replaced, and closed
// standard descriptors never end up as a log file's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

// Runs tavrin-cli with standard output on `out` ("-": a file read back; "closed": none) and
// standard error in `err` ("closed": none). The status, and what reached standard output.
std::pair<int, std::string> RunWith(const std::vector<std::string>& args, const std::string& out,
                                    const std::string& errFile, const std::string& scratch) {
    std::vector<std::string> all{"/usr/bin/env", "-u", "TAVRIN_SIM", "LC_ALL=C", TAVRIN_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outFile = out == "-" ? scratch + "/stdout" : out;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        if (out == "closed")
            ::close(1);
        else
            ::dup2(::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        if (errFile == "closed")
            ::close(2);
        else
            ::dup2(::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    std::string text;
    if (out == "-") {
        std::ifstream in(outFile, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    return {WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st), text};
}

const std::string kSim = "41120,seed=1";

} // namespace

// Output that could not be written is a failure, said on standard error.
TEST(CliOutputs, AFullDiskOrDeviceIsAFailureNeverSuccess) {
    ScratchDir dir;
    const std::string err = (dir.path / "err").string();
    const std::vector<std::vector<std::string>> commands = {
        {"--sim", kSim, "dump"},
        {"--sim", kSim, "read", "--all"},
        {"--sim", kSim, "--json", "read", "XGYRO_OUT"},
        {"--sim", kSim, "info"},
        {"--sim", kSim, "scan"},
        {"--sim", kSim, "write", "SMPL_PRD", "0A"},
        {"--sim", kSim, "dump", "-o", "-"},
        {"--help"}};
    for (const auto& args : commands) {
        const auto [status, _] = RunWith(args, "/dev/full", err, dir.path.string());
        EXPECT_EQ(status, 1) << args.back();
        EXPECT_NE(dir.read("err").find("the standard output could not be written: the disk is "
                                       "full"),
                  std::string::npos)
            << args.back() << ": " << dir.read("err");
    }
    // The same commands with somewhere to write succeed; "-" is standard output.
    const auto [status, listing] =
        RunWith({"--sim", kSim, "dump", "-o", "-"}, "-", err, dir.path.string());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(listing.rfind("\n", 0), std::string::npos);
    EXPECT_GT(listing.size(), 1000u);
}

// A FIFO with a reader gets the listing and stays a FIFO; a device is written into, and
// its failure is said; neither is ever replaced by a regular file.
TEST(CliOutputs, SpecialFilesAreWrittenIntoNeverReplaced) {
    ScratchDir dir;
    const auto fifo = dir.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = dir.read("fifo"); });
    const auto toFifo = RunCli({"--sim", kSim, "dump", "-o", fifo.string()});
    reader.join();
    EXPECT_EQ(toFifo.status, 0) << toFifo.err;
    EXPECT_NE(got.find("XGYRO_OUT"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    const auto toFull = RunCli({"--sim", kSim, "dump", "-o", "/dev/full"});
    EXPECT_EQ(toFull.status, 1);
    EXPECT_NE(toFull.err.find("the disk is full"), std::string::npos) << toFull.err;
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

// With standard output and error closed, the program's messages go nowhere rather than into
// the first file it opens.
TEST(CliOutputs, ClosedStandardDescriptorsNeverBecomeALogFile) {
    ScratchDir dir;
    const auto [status, _] =
        RunWith({"--sim", "41120,seed=1,fail=bulk1@50", "log", "--boxes", "2,3", "--samples", "100",
                 "--stem", "c", "--dir", dir.path.string()},
                "closed", "closed", dir.path.string());
    EXPECT_EQ(status, 1);
    EXPECT_EQ(dir.names(), Lines{"c_1.csv"});
    const Lines log = dir.lines("c_1.csv");
    ASSERT_GT(log.size(), 8u);
    EXPECT_EQ(log[0], "File Name,c_1.csv");
    for (std::size_t i = 7; i < log.size(); ++i)
        EXPECT_EQ(SplitFields(log[i]).size(), 6u) << log[i];
}
