// The listing's file and the hexadecimal text a write accepts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "registers/Listing.h"

namespace fs = std::filesystem;
using namespace tavrin;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct Parsed {
    bool ok;
    int32_t value;
    std::string error;
};

Parsed Parse(std::string_view text) {
    Parsed p{false, -77, {}};
    p.ok = ParseWriteValue(text, p.value, p.error);
    return p;
}

} // namespace

TEST(WriteValueText, AcceptsOneToFourHexDigitsWithBlanksAround) {
    const std::pair<const char*, int32_t> good[] = {
        {"0", 0},        {"7", 7},          {"ff", 255},          {"FF", 255},
        {"FFFF", 65535}, {" 0402 ", 0x402}, {"\t1a2B\t", 0x1A2B}, {"0001", 1},
    };
    for (const auto& [text, value] : good) {
        const Parsed p = Parse(text);
        EXPECT_TRUE(p.ok) << text;
        EXPECT_EQ(p.value, value) << text;
        EXPECT_TRUE(p.error.empty()) << text;
    }
}

TEST(WriteValueText, RefusesWhatIsNotAValueAndSaysWhy) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case bad[] = {
        {"", "no value"},
        {"   ", "no value"},
        {"1G", "not a hexadecimal value"},
        {"0x12", "not a hexadecimal value"},
        {"-1", "not a hexadecimal value"},
        {"12 34", "not a hexadecimal value"},
        {"1,5", "not a hexadecimal value"},
        {"12345", "more than four hexadecimal digits"},
        {" 00000 ", "more than four hexadecimal digits"},
    };
    for (const auto& c : bad) {
        const Parsed p = Parse(c.text);
        EXPECT_FALSE(p.ok) << '"' << c.text << '"';
        EXPECT_EQ(p.value, -77) << "value changed for \"" << c.text << '"';
        EXPECT_NE(p.error.find(c.reason), std::string::npos) << p.error;
        EXPECT_NE(p.error.find("Nothing was written"), std::string::npos) << p.error;
    }
}

class ListingFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir =
            fs::temp_directory_path() /
            ("tavrin-listing-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(ListingFile, KeepsLineEndsAndHoldsOnlyTheLastListing) {
    const fs::path file = dir / std::string(kListingFileName);
    std::string error;
    ASSERT_TRUE(SaveListing(file, "first listing, longer than the second\r\n", error)) << error;
    ASSERT_TRUE(SaveListing(file, "A\tB\r\nC\r\n", error)) << error;
    EXPECT_EQ(ReadFile(file), "A\tB\r\nC\r\n");
    EXPECT_TRUE(error.empty());
}

TEST_F(ListingFile, ReportsAFileThatCannotBeCreated) {
    const fs::path blocker = dir / "plain-file";
    std::ofstream(blocker) << "x";
    const fs::path file = blocker / std::string(kListingFileName);
    std::string error;
    EXPECT_FALSE(SaveListing(file, "text\r\n", error));
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(ListingFile, ReportsAWriteThatFails) {
    // /dev/full accepts the open and fails the write: a full disk.
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    std::string error;
    EXPECT_FALSE(SaveListing("/dev/full", std::string(100000, 'x'), error));
    EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
}
