// The register listing read from the simulated sensor, its file, and the hexadecimal
// text a write accepts.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <fstream>
#include <tuple>

#include "Golden.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "registers/Listing.h"

using namespace tavrin;
using namespace tavrin::registers;

// One to four hexadecimal digits with blanks around; anything else is refused, says why
// and leaves the value alone.
TEST(WriteValueText, AcceptsHexDigitsOnlyAndSaysWhyNot) {
    const char *none = "no value", *notHex = "not a hexadecimal value",
               *tooLong = "more than four hexadecimal digits";
    const std::tuple<const char*, int32_t, const char*> rows[] = {
        {"0", 0, ""},          {"ff", 255, ""},          {"FFFF", 65535, ""},
        {" 0402 ", 0x402, ""}, {"\t1a2B\t", 0x1A2B, ""}, {"0001", 1, ""},
        {"", -77, none},       {"   ", -77, none},       {"1G", -77, notHex},
        {"0x12", -77, notHex}, {"-1", -77, notHex},      {"12 34", -77, notHex},
        {"1,5", -77, notHex},  {"12345", -77, tooLong},  {" 00000 ", -77, tooLong}};
    for (const auto& [text, value, reason] : rows) {
        int32_t v = -77;
        std::string error;
        EXPECT_EQ(ParseWriteValue(text, v, error), !*reason) << '"' << text << '"';
        EXPECT_EQ(v, value) << '"' << text << '"';
        EXPECT_EQ(error.empty(), !*reason) << error;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        EXPECT_NE(error.find(*reason ? "Nothing was written" : ""), std::string::npos) << error;
    }
}

TEST(RegisterListing, BothTablesByteForByte) {
    for (const auto& [model, sep] : {std::pair{41120, ","}, std::pair{41040, "."}}) {
        test::SimTestApp s{float(model)};
        // Address and word of every register but PROD_ID (the model number), in hex.
        std::istringstream words(test::ReadData("registers/listing-words.txt"));
        for (int addr = 0, word = 0; words >> std::hex >> addr >> word;) {
            if (addr >= 0x02 && addr <= 0x16)
                s.sensor.hold(addr, static_cast<uint16_t>(word)); // outputs would move
            else
                s.sensor.setWord(addr, static_cast<uint16_t>(word));
        }
        LoadRegisterTable(s.app.regs, float(model)); // the table's own scales
        s.t.platform.decimalSep = sep;
        test::ExpectGolden("registers/listing-" + std::to_string(model) + ".txt",
                           BuildRegisterListing(s.app.registers()).text);
        EXPECT_TRUE(s.t.messages.texts().empty());
    }
    // Update Flash: the store command, then 250 ms for the sensor to store its settings.
    test::SimTestApp f;
    const long long steps = f.t.delaySteps, flashes = f.sensor.flashCount();
    EXPECT_EQ(UpdateFlash(f.app.registers()), transport::Status::Ok);
    EXPECT_EQ(f.sensor.flashCount(), flashes + 1);
    EXPECT_EQ(f.t.delaySteps - steps, 25000);
    // Info registers as whole numbers.
    const RegisterRecord info{"FLSH_CNT", "Info", 0x00, 2, 16};
    for (const auto& [scaled, text] : {std::pair{12.4, "12"}, {12.6, "13"}})
        EXPECT_EQ(ListingLine(info, {7, 7, scaled, 0}, "."),
                  std::string("FLSH_CNT     \t0000\t0007\t   ") + text + "\r\n");
}

TEST(RegisterListing, SaveNeverLosesTheOldListingNorWritesThroughALink) {
    test::ScratchDir dir;
    const auto file = dir.path / "Registers_LOG.txt";
    std::string error;
    ASSERT_TRUE(SaveListing(file, "old listing\r\n", error)) << error;
#ifndef _WIN32
    // A full disk, by a real file-size limit: the old listing stays whole, no temporary stays.
    struct rlimit was {};
    ::getrlimit(RLIMIT_FSIZE, &was);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = was;
    small.rlim_cur = 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = SaveListing(file, std::string(100000, 'x'), error);
    ::setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_NE(error.find("\"" + file.string() + "\""), std::string::npos) << error;
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << error;
    EXPECT_EQ(dir.read("Registers_LOG.txt"), "old listing\r\n");
    EXPECT_EQ(dir.names(), test::Lines{"Registers_LOG.txt"});

    // A planted symlink is replaced by the listing; the file it points to is untouched.
    std::filesystem::remove(file);
    { std::ofstream(dir.path / "victim") << "keep me"; }
    std::filesystem::create_symlink(dir.path / "victim", file);
#endif // links need a privilege on Windows (and Wine makes none)
    ASSERT_TRUE(SaveListing(file, "new\r\n", error)) << error;
    EXPECT_FALSE(std::filesystem::is_symlink(file));
    EXPECT_EQ(dir.read("Registers_LOG.txt"), "new\r\n");
    // A directory that takes no file: the cause is named.
    EXPECT_FALSE(SaveListing(dir.path / "gone" / "Registers_LOG.txt", "x", error));
    EXPECT_NE(error.find((dir.path / "gone" / "Registers_LOG.txt").string() + "\""),
              std::string::npos)
        << error;
}
