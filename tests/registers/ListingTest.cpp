// The register listing read from the simulated sensor, its file, and the hexadecimal
// text a write accepts.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <fstream>

#include <algorithm>
#include <cstdio>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "registers/Listing.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

using namespace tavrin;

namespace {

// One listing row: the word the sensor holds and the line it gives. Outputs (0x02..0x16)
// are held so they do not move; supply, Y/Z temperature and the auxiliary input are
// registers model 41040 lacks. A word of -1 is the model number. 0x8A9C has the new-data
// bit set, 0x418D flag bit 14; 0x2000 is the most negative 14-bit value.
struct Row {
    int addr, word;
    const char *label, *dec;
};

// clang-format off
const Row kRows[] = {
    {0x00, 0x0007, "FLSH_CNT", "7"}, {0x02, 0x8A9C, "SUPPLY_OUT", "4.9744"},
    {0x04, 0x3FFF, "XGYRO_OUT", "-0.0733"}, {0x06, 0x0010, "YGYRO_OUT", "1.1722"},
    {0x08, 0x2000, "ZGYRO_OUT", "-600.1459"}, {0x0A, 0x418D, "XACCL_OUT", "1.0012"},
    {0x0C, 0x0000, "YACCL_OUT", "0.0000"}, {0x0E, 0x3FFE, "ZACCL_OUT", "-0.0050"},
    {0x10, 0x0FFF, "XTEMP_OUT", "24.8547"}, {0x12, 0x0000, "YTEMP_OUT", "25.0000"},
    {0x14, 0x0007, "ZTEMP_OUT", "26.0171"}, {0x16, 0x0800, "AUX_ADC", "1.2503"},
    {0x1A, 0x1FFF, "XGYRO_ OFF", "-0.0183"}, {0x1C, 0x0064, "YGYRO_ OFF", "1.8315"},
    {0x1E, 0x0000, "ZGYRO_ OFF", "0.0000"}, {0x20, 0x0FF6, "XACCL_ OFF", "-0.0254"},
    {0x22, 0x0000, "YACCL_ OFF", "0.0000"}, {0x24, 0x0001, "ZACCL_ OFF", "0.0025"},
    {0x26, 0x1234, "ALM_MAG1", ""}, {0x28, 0x0000, "ALM_MAG2", ""},
    {0x2A, 0x00FF, "ALM_SMPL1", ""}, {0x2C, 0x0000, "ALM_SMPL2", ""},
    {0x2E, 0x0000, "ALM_CTRL", ""}, {0x30, 0x0000, "AUX_DAC", ""},
    {0x32, 0x0000, "GPIO_CTRL", ""}, {0x34, 0x0006, "MSC_CTRL", ""},
    {0x36, 0x0001, "SMPL_PRD", ""}, {0x38, 0x0402, "SENS_AVG", ""},
    {0x3A, 0x0000, "SLP_CNT", ""}, {0x3C, 0x0000, "DIAG_STAT", ""},
    {0x52, 0xABCD, "Lot_ID1", ""}, {0x54, 0x0123, "Lot_ID2", ""},
    {0x56, -1, "PROD_ID", ""}, {0x58, 0x0042, "SERIAL_NUM", ""},
};
// clang-format on

std::string Hex4(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%04X", v);
    return b;
}

// Loads the words into the sensor and returns the expected listing, written out by hand
// from the rows. CONT_SLP and GLOB_CMD cannot be read and have no line; for 41040 the
// unreadable placeholder at position 1 is left out too.
std::string Prepare(test::SimTestApp& s, int model, char sep) {
    std::string out = "Name\t\tAddr\thexValue\t   decValue\r\n"
                      "--------------------\t---------\t---------\t   ---------\r\n";
    for (const Row& r : kRows) {
        const bool standardOnly = r.addr == 0x02 || (r.addr >= 0x12 && r.addr <= 0x16);
        if (standardOnly && model == 41040) continue;
        const int word = r.word >= 0 ? r.word : model == 41040 ? 0xA050 : 0xA0A0;
        if (r.addr >= 0x02 && r.addr <= 0x16)
            s.sensor.hold(r.addr, uint16_t(word));
        else if (r.word >= 0)
            s.sensor.setWord(r.addr, uint16_t(word));
        std::string dec = r.dec;
        std::replace(dec.begin(), dec.end(), '.', sep);
        out += std::string(r.label) + "     \t" + Hex4(r.addr) + "\t" + Hex4(word) + "\t   " + dec +
               "\r\n";
    }
    LoadRegisterTable(s.app.regs, float(model)); // the table's own scales
    s.t.platform.decimalSep = std::string(1, sep);
    return out;
}

} // namespace

// One to four hexadecimal digits with blanks around; anything else is refused, says why
// and leaves the value alone.
TEST(WriteValueText, AcceptsHexDigitsOnlyAndSaysWhyNot) {
    const std::pair<const char*, int32_t> good[] = {
        {"0", 0},        {"7", 7},          {"ff", 255},          {"FF", 255},
        {"FFFF", 65535}, {" 0402 ", 0x402}, {"\t1a2B\t", 0x1A2B}, {"0001", 1}};
    const char *none = "no value", *notHex = "not a hexadecimal value",
               *tooLong = "more than four hexadecimal digits";
    const std::pair<const char*, const char*> bad[] = {
        {"", none},        {"   ", none},   {"1G", notHex},     {"0x12", notHex},    {"-1", notHex},
        {"12 34", notHex}, {"1,5", notHex}, {"12345", tooLong}, {" 00000 ", tooLong}};
    for (const auto& [text, value] : good) {
        int32_t v = -77;
        std::string error;
        EXPECT_TRUE(ParseWriteValue(text, v, error)) << text;
        EXPECT_EQ(v, value) << text;
        EXPECT_TRUE(error.empty()) << text;
    }
    for (const auto& [text, reason] : bad) {
        int32_t v = -77;
        std::string error;
        EXPECT_FALSE(ParseWriteValue(text, v, error)) << '"' << text << '"';
        EXPECT_EQ(v, -77) << "value changed for \"" << text << '"';
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        EXPECT_NE(error.find("Nothing was written"), std::string::npos) << error;
    }
}

TEST(RegisterListing, BothTablesByteForByte) {
    for (const auto& [model, sep] : {std::pair{41120, '.'}, std::pair{41040, ','}}) {
        SCOPED_TRACE(model);
        test::SimTestApp s{float(model)};
        const std::string expected = Prepare(s, model, sep);
        int events = 0;
        s.app.doEvents = [&] { ++events; };
        EXPECT_EQ(BuildRegisterListing(s.app), expected);
        EXPECT_EQ(events, 0) << "the listing let window events run between reads";
        EXPECT_TRUE(s.t.messages.texts().empty());
    }
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
    ASSERT_TRUE(SaveListing(file, "new\r\n", error)) << error;
    EXPECT_EQ(dir.read("victim"), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(file));
    EXPECT_EQ(dir.read("Registers_LOG.txt"), "new\r\n");
#else
    // No file-size limit to make a disk full on Windows, and links need a privilege there
    // (Wine makes none): a plain replacement instead.
    ASSERT_TRUE(SaveListing(file, "new\r\n", error)) << error;
    EXPECT_EQ(dir.read("Registers_LOG.txt"), "new\r\n");
    EXPECT_EQ(dir.names(), test::Lines{"Registers_LOG.txt"});
#endif

    // A directory that takes no file: the cause is named, nothing changes.
    EXPECT_FALSE(SaveListing(dir.path / "gone" / "Registers_LOG.txt", "x", error));
    EXPECT_NE(error.find((dir.path / "gone" / "Registers_LOG.txt").string() + "\""),
              std::string::npos)
        << error;
}
