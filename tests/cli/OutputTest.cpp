// Every output of the real tavrin-cli is checked: a command whose output could not be written
// fails, a special file named as output is written into and never replaced, and closed
// standard descriptors never end up as a log file's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "LogTestSupport.h"
#include "RunCli.h"

using namespace tavrin::test;

namespace {

const std::string kSim = "41120,seed=1";

} // namespace

// Output that could not be written is a failure, said on standard error.
TEST(CliOutputs, AFullDiskOrDeviceIsAFailureNeverSuccess) {
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
        const CliResult r = RunCli(args, {}, {"/dev/full"});
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_NE(r.err.find("the standard output could not be written: the disk is full"),
                  std::string::npos)
            << args.back() << ": " << r.err;
        // A closed standard output is no place to write either.
        const CliResult closed = RunCli(args, {}, {"closed"});
        EXPECT_EQ(closed.status, 1) << args.back();
        EXPECT_NE(closed.err.find("the standard output is closed: nothing was written to it"),
                  std::string::npos)
            << args.back() << ": " << closed.err;
    }
    // A stream of rows to a closed standard output is refused before any sample is taken.
    const CliResult rows = RunCli({"--sim", kSim, "log", "--stdout"}, {}, {"closed"});
    EXPECT_EQ(rows.status, 2);
    EXPECT_EQ(rows.err, "tavrin-cli: --stdout: the standard output is closed (see 'tavrin-cli "
                        "log --help')\n");
    // With somewhere to write it succeeds; "-" is standard output.
    const CliResult listing = RunCli({"--sim", kSim, "dump", "-o", "-"});
    EXPECT_EQ(listing.status, 0);
    EXPECT_NE(listing.out.find("XGYRO_OUT"), std::string::npos);
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
    const CliResult r = RunCli({"--sim", "41120,seed=1,fail=bulk1@50", "log", "--boxes", "2,3",
                                "--samples", "100", "--stem", "c", "--dir", dir.path.string()},
                               {}, {"closed", "closed"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.names(), Lines{"c_1.csv"});
    const Lines log = dir.lines("c_1.csv");
    ASSERT_GT(log.size(), 8u);
    EXPECT_EQ(log[0], "File Name,c_1.csv");
    for (std::size_t i = 7; i < log.size(); ++i)
        EXPECT_EQ(SplitFields(log[i]).size(), 6u) << log[i];
}
