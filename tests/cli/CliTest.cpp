// The real tavrin-cli on the simulator: exit statuses, messages, output, cancellation.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <nlohmann/json.hpp>
#include <thread>

#include "RunCli.h"

using namespace tavrin::test;
namespace fs = std::filesystem;

namespace {

const std::string kSim = "41120,seed=1";

bool Mentions(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

} // namespace

TEST(CliUsage, EveryUsageErrorIsStatusTwoAndOneLineNamingIt) {
    struct Case {
        std::vector<std::string> args;
        std::string mentions;
    };
    const std::vector<Case> cases = {
        {{}, "subcommand"},
        {{"--bogus", "info"}, "--bogus"},
        {{"frobnicate"}, "frobnicate"},
        {{"--adapter", "4", "info"}, "--adapter"},
        {{"--adapter", "x", "info"}, "--adapter"},
        {{"--model", "abc", "info"}, "--model"},
        {{"--sim", "9:41120", "info"}, "\"9\""},
        {{"--sim", "41120,fail=bulk3@1", "info"}, "fail=bulk3@1"},
        {{"--sim", kSim, "log", "--samples", "0"}, "--samples: 0 is below the lower bound 1"},
        {{"--sim", kSim, "log", "--samples", "2147483648"},
         "--samples: 2147483648 is above the upper bound 2147483647"},
        {{"--sim", kSim, "log", "--samples", "many"}, "--samples: \"many\" is not a number"},
        {{"--sim", kSim, "log", "--files", "0"}, "--files: 0 is below the lower bound 1"},
        {{"--sim", kSim, "log", "--files", "2000000001"}, "upper bound 2000000000"},
        {{"--sim", kSim, "log", "--delay", "32001"},
         "--delay: 32001 is above the upper bound 32000"},
        {{"--sim", kSim, "log", "--delay", "-1"}, "--delay: -1 is below the lower bound 0"},
        {{"--sim", kSim, "log", "--boxes", "0"}, "--boxes: 0"},
        {{"--sim", kSim, "log", "--boxes", "2,9"}, "--boxes: 9"},
        {{"--sim", kSim, "log", "--boxes", "2", "--regs", "XGYRO_OUT"}, "--regs"},
        {{"--sim", kSim, "log", "--regs", "SMPL_PRD"}, "SMPL_PRD"},
        {{"--sim", kSim, "log", "--stem", "../up"}, "--stem"},
        {{"--sim", kSim, "log", "--rate", "5"}, "--rate"},
        {{"--sim", kSim, "read", "NOSUCH"}, "\"NOSUCH\""},
        {{"--sim", kSim, "read", "XGYRO_OUT", "--all"}, "--all"},
        {{"--sim", kSim, "read", "GLOB_CMD"}, "GLOB_CMD cannot be read"},
        {{"--sim", kSim, "write", "PROD_ID", "1"}, "PROD_ID cannot be written"},
        {{"--sim", kSim, "write", "SMPL_PRD", "12345"}, "more than four hexadecimal digits"},
        {{"--sim", kSim, "write", "SMPL_PRD", "0x1"}, "\"0x1\" is not a hexadecimal value"},
        {{"--sim", kSim, "write", "SMPL_PRD"}, "VALUE"},
        {{"--sim", kSim, "dump", "-o"}, "-o"},
    };
    for (const Case& c : cases) {
        std::string cmd;
        for (const auto& a : c.args) cmd += a + " ";
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, 2) << cmd;
        const auto lines = SplitLines(r.err);
        ASSERT_EQ(lines.size(), 1u) << cmd << "\n" << r.err;
        EXPECT_TRUE(Mentions(lines[0], c.mentions)) << cmd << "\n" << r.err;
        EXPECT_TRUE(Mentions(lines[0], "--help")) << cmd << "\n" << r.err;
        EXPECT_EQ(r.out, "") << cmd;
    }
}

TEST(CliUsage, HelpForEachCommandAndTheVersion) {
    for (const char* cmd : {"scan", "info", "read", "write", "dump", "log", "flash", "adev"}) {
        const CliResult r = RunCli({cmd, "--help"});
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_TRUE(Mentions(r.out, cmd)) << r.out;
    }
    EXPECT_TRUE(Mentions(RunCli({"log", "--help"}).out, "--samples"));
    const CliResult v = RunCli({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "tavrin-cli 3.0\n");
}

TEST(CliDevice, FailuresAreStatusOneWithTheProgramsMessageOnce) {
    ScratchDir dir;
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    // Start-up takes three replies on pipe 1 and five sends on pipe 0.
    const std::vector<Case> cases = {
        {{"--sim", "seed=1", "info"}, "No USB Buffers Found, Please Verify Setup and Restart\n"},
        {{"--sim", "41120,seed=1,fail=bulk1@2", "info"}, "Error Reading SPI\n"},
        {{"--sim", "41120,seed=1,fail=bulk1@10", "read", "--all"}, "Error Reading SPI\n"},
        {{"--sim", "41120,seed=1,fail=bulk1@10", "dump"}, "Error Reading SPI\n"},
        {{"--sim", "41120,seed=1,fail=bulk0@6", "write", "SMPL_PRD", "4"}, "Error Writing SPI\n"},
        {{"--sim", "41120,seed=1,fail=bulk0@6", "flash"}, "Error Writing SPI\n"},
        {{"--sim", "41120,seed=1,fail=bulk0@1", "scan"},
         "Error getting Board Info\nNo Valid USB Buffers Found, Please Verify Setup and Restart\n"},
        {{"--sim", kSim, "dump", "-o", (dir.path / "no" / "such" / "dir.txt").string()},
         "The register listing could not be saved. The file \"" +
             (dir.path / "no" / "such" / "dir.txt").string() +
             "\" could not be saved: No such file or directory. Any earlier file of that name "
             "is unchanged.\n"},
        {{"--sim", kSim, "log", "--dir", (dir.path / "missing").string()},
         "FILE ACCESS ERROR\n\nFile name = DATALOG_1.csv\n\nThe directory \"" +
             (dir.path / "missing").string() +
             "\" does not exist.\n\nClose the file or choose a different file name.\n"},
        {{"--sim", "0:41120,2:41190,seed=1", "--adapter", "1", "info"},
         "EzUsb1: no usable adapter in this slot\n"},
    };
    for (const Case& c : cases) {
        std::string cmd;
        for (const auto& a : c.args) cmd += a + " ";
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, 1) << cmd;
        if (!c.message.empty()) {
            EXPECT_EQ(r.err, c.message) << cmd;
        }
    }
    // A failure during a session ends it there; the file keeps the samples before it.
    const CliResult r = RunCli({"--sim", "41120,seed=1,fail=bulk1@40", "log", "--samples", "100",
                                "--files", "2", "--dir", dir.path.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error Reading SPI\nLOGGING STOPPED\n\nFile name = DATALOG_1.csv\n\nReading "
                     "the sensor failed during sample 37 of file 1. The file holds the 36 samples "
                     "read before the failure.\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>({"DATALOG_1.csv"}));
    const auto lines = SplitLines(ReadFileBytes(dir.path / "DATALOG_1.csv"));
    ASSERT_GT(lines.size(), 8u);
    EXPECT_EQ(lines.back().substr(0, 3), "36,"); // the 37th read of the session failed
}

TEST(CliDevice, InfoReadWriteAndScanOnTheSimulator) {
    CliResult r = RunCli({"--sim", kSim, "info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Adapter EzUsb0: Corvane, USB 2.0 (simulated)\nProduct number 41120\nModel "
                     "41120\n");

    // TAVRIN_SIM is honoured; --sim wins over it.
    r = RunCli({"info"}, {"TAVRIN_SIM=2:41190"});
    EXPECT_TRUE(Mentions(r.out, "Adapter EzUsb2") && Mentions(r.out, "Model 41190")) << r.out;
    r = RunCli({"--sim", "41040", "info"}, {"TAVRIN_SIM=2:41190"});
    EXPECT_TRUE(Mentions(r.out, "Model 41040")) << r.out;

    // An unknown part: the program's message, and the model shown as not recognised.
    r = RunCli({"--sim", "12345", "info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Mentions(r.err, "ProductNumber = 12345\nThis product number is NOT recognized."))
        << r.err;
    EXPECT_TRUE(Mentions(r.out, "Model 12345 not recognised")) << r.out;
    r = RunCli({"--sim", "12345", "--model", "41160", "--json", "info"});
    const auto info = nlohmann::json::parse(r.out);
    EXPECT_EQ(info["product_number"], 12345);
    EXPECT_EQ(info["model"], 41160);
    EXPECT_EQ(info["recognised"], true);
    EXPECT_EQ(r.err, "");

    // The seven outputs by default; names in any letter case.
    r = RunCli({"--sim", kSim, "read"});
    std::vector<std::string> labels;
    for (const auto& line : SplitLines(r.out)) labels.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(labels, std::vector<std::string>({"XGYRO_OUT", "YGYRO_OUT", "ZGYRO_OUT", "XACCL_OUT",
                                                "YACCL_OUT", "ZACCL_OUT", "XTEMP_OUT"}));
    r = RunCli({"--sim", kSim, "--json", "read", "prod_id", "SUPPLY_OUT"});
    const auto rows = nlohmann::json::parse(r.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["label"], "PROD_ID");
    EXPECT_EQ(rows[0]["address_hex"], "0056");
    EXPECT_EQ(rows[0]["word"], 41120);
    EXPECT_EQ(rows[0]["word_hex"], "A0A0");
    EXPECT_EQ(rows[1]["address"], 2);
    // Supply near 5 V: a 12-bit value with the new-data flag above it, scaled.
    EXPECT_NEAR(rows[1]["scaled"].get<double>(), 5.0, 0.1);
    EXPECT_EQ(rows[1]["value"].get<int>(), rows[1]["word"].get<int>() & 0xFFF);

    // A write is read back; every line of --all is a readable register.
    r = RunCli({"--sim", kSim, "write", "SMPL_PRD", " 0a "});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "SMPL_PRD\t0036\t000A\t10\t10\n");
    r = RunCli({"--sim", kSim, "--json", "write", "XGYRO_OFF", "FFF"});
    EXPECT_EQ(nlohmann::json::parse(r.out)[0]["word_hex"], "0FFF");
    r = RunCli({"--sim", "41040,seed=1", "read", "--all"});
    EXPECT_FALSE(Mentions(r.out, "GLOB_CMD"));
    EXPECT_TRUE(Mentions(r.out, "PROD_ID\t0056\tA050\t41040\t41040\n")) << r.out;

    r = RunCli({"--sim", "0:41120,2:41190", "--json", "scan"});
    EXPECT_EQ(r.status, 0);
    const auto slots = nlohmann::json::parse(r.out);
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[1]["slot"], 2);
    EXPECT_EQ(slots[1]["device"], "Ezusb-2");
    EXPECT_EQ(slots[1]["firmware"], "2.1");
    EXPECT_EQ(slots[1]["speed"], "2.0");
    EXPECT_EQ(slots[1]["usable"], true);
    r = RunCli({"--sim", "0:41120,2:41190", "--adapter", "2", "info"});
    EXPECT_TRUE(Mentions(r.out, "Adapter EzUsb2") && Mentions(r.out, "Product number 41190"));
}

TEST(CliLog, FilesNamedAndLaidOutAsTheWindowsWithNoProgressOffATerminal) {
    ScratchDir dir;
    const CliResult r =
        RunCli({"--sim", kSim, "log", "--regs", "xgyro_out,ZACCL_OUT", "--samples", "3", "--files",
                "2", "--stem", "bench", "--raw", "--dir", dir.path.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.names(), std::vector<std::string>({"bench_1.csv", "bench_2.csv"}));
    const auto lines = SplitLines(ReadFileBytes(dir.path / "bench_2.csv"));
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[0], "File Name,bench_2.csv\r");
    EXPECT_EQ(lines[7], "Sample #,XgND,X Gryo,ZaND,Z acc,\r");
    EXPECT_EQ(lines[10].substr(0, 2), "3,");

    // A comma decimal separator gives tab-separated .txt files.
    ScratchDir comma;
    const CliResult c = RunCli(
        {"--sim", kSim, "log", "--samples", "2", "--dir", comma.path.string(), "--delay", "0.5"},
        {"LC_ALL=de_DE.UTF-8"});
    EXPECT_EQ(c.status, 0) << c.err;
    if (!comma.names().empty() && comma.names()[0] == "DATALOG_1.txt") {
        EXPECT_TRUE(Mentions(ReadFileBytes(comma.path / "DATALOG_1.txt"), "Sample #\tXgND\t"));
    } else {
        EXPECT_EQ(comma.names(), std::vector<std::string>({"DATALOG_1.csv"}))
            << "no German locale here: the point stays";
    }
}

TEST(CliLog, BurstGivesTheSameLayoutInFewerAdapterCommands) {
    // Opening the sensor takes three replies on pipe 1; five samples of three registers
    // then take five more with --burst, fifteen without. The tenth reply fails.
    const std::string failing = "41120,seed=1,fail=bulk1@10";
    const std::vector<std::string> session = {"log", "--boxes", "2,3,4", "--samples", "5"};
    const auto run = [&](const std::string& sim, bool burst, const ScratchDir& dir) {
        std::vector<std::string> args = {"--sim", sim};
        args.insert(args.end(), session.begin(), session.end());
        args.insert(args.end(), {"--dir", dir.path.string()});
        if (burst) args.push_back("--burst");
        return RunCli(args);
    };
    ScratchDir single, burst, failedSingle, fine;
    EXPECT_EQ(run(kSim, false, single).status, 0);
    EXPECT_EQ(run(kSim, true, burst).status, 0);
    const auto a = SplitLines(ReadFileBytes(single.path / "DATALOG_1.csv"));
    const auto b = SplitLines(ReadFileBytes(burst.path / "DATALOG_1.csv"));
    ASSERT_EQ(a.size(), 13u);
    ASSERT_EQ(b.size(), a.size());
    EXPECT_EQ(b[0], a[0]);
    EXPECT_EQ(b[7], a[7]);
    EXPECT_EQ(b[7], "Sample #,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,\r");
    for (std::size_t i = 8; i < b.size(); ++i) {
        EXPECT_EQ(b[i].substr(0, b[i].find(',')), std::to_string(i - 7));
        EXPECT_EQ(std::count(b[i].begin(), b[i].end(), ','), 7) << b[i];
    }
    // The first sample is read before the sensor moves on in both.
    EXPECT_EQ(b[8], a[8]);

    const CliResult fewer = run(failing, true, fine);
    EXPECT_EQ(fewer.status, 0) << fewer.err;
    EXPECT_EQ(SplitLines(ReadFileBytes(fine.path / "DATALOG_1.csv")).size(), 13u);
    const CliResult more = run(failing, false, failedSingle);
    EXPECT_EQ(more.status, 1);
    EXPECT_TRUE(Mentions(more.err, "failed during sample 3 of file 1")) << more.err;
}

TEST(CliLog, CtrlCDuringTheSecondFileCompletesItAndStartsNoThird) {
    ScratchDir dir;
    const auto p = StartCli({"--sim", kSim, "log", "--samples", "200", "--files", "3", "--delay",
                             "10", "--dir", dir.path.string()});
    const auto first = dir.path / "DATALOG_1.csv";
    std::error_code ec;
    for (int i = 0; i < 3000; ++i) {
        if (fs::exists(first) && fs::file_size(first, ec) > 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GT(fs::file_size(first, ec), 0u) << "file 1 never completed";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(p.pid, SIGINT);
    const CliResult r = WaitCli(p);
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(dir.names(), std::vector<std::string>({"DATALOG_1.csv", "DATALOG_2.csv"}));

    const auto one = SplitLines(ReadFileBytes(first));
    ASSERT_EQ(one.size(), 8u + 200u);
    EXPECT_EQ(one.back().substr(0, 4), "200,");
    const auto two = SplitLines(ReadFileBytes(dir.path / "DATALOG_2.csv"));
    ASSERT_GT(two.size(), 8u);
    ASSERT_LT(two.size(), 8u + 200u);
    EXPECT_EQ(two[0], "File Name,DATALOG_2.csv\r");
    // Every sample taken is there, numbered without a gap, each line whole.
    for (std::size_t i = 8; i < two.size(); ++i) {
        EXPECT_EQ(two[i].substr(0, two[i].find(',')), std::to_string(i - 7));
        EXPECT_EQ(two[i].back(), '\r');
    }
}
