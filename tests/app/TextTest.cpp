#include <gtest/gtest.h>

#include "app/HexText.h"
#include "app/NumberText.h"

using namespace tavrin;

TEST(HexText, LongToHex4KeepsTheLowSixteenBits) {
    EXPECT_EQ(LongToHex4(0), "0000");
    EXPECT_EQ(LongToHex4(0x1F), "001F");
    EXPECT_EQ(LongToHex4(0x12345), "2345");
    EXPECT_EQ(LongToHex4(-1), "FFFF");
    EXPECT_EQ(LongToHex4(0x3A), "003A");
    EXPECT_EQ(LongToHex4(0xABCD), "ABCD");
}

TEST(HexText, HexToLongDigitsAndOddCharacters) {
    EXPECT_EQ(HexToLong("ff"), 255);
    EXPECT_EQ(HexToLong("FF"), 255);
    EXPECT_EQ(HexToLong(""), 0);
    EXPECT_EQ(HexToLong("1G"), 16);
    EXPECT_EQ(HexToLong(" 7"), 7);
    EXPECT_EQ(HexToLong("FFFF"), 65535);
    EXPECT_EQ(HexToLong("aBc1"), 0xABC1);
}

TEST(HexText, TextLongerThanFourIsReportedInvalid) {
    EXPECT_EQ(HexToLong("12345"), kHexTooLong);
    EXPECT_EQ(HexToLong(" FFFF"), kHexTooLong);
    EXPECT_LT(kHexTooLong, 0); // outside every valid result 0..65535
}

TEST(NumberText, FixedPatternsRoundAndUseTheUsersSeparator) {
    EXPECT_EQ(FixedText(25, 2), "25.00");
    EXPECT_EQ(FixedText(1234.5678, 2), "1234.57");
    EXPECT_EQ(FixedText(-3.14159, 2), "-3.14");
    EXPECT_EQ(FixedText(1234567.891, 2, ","), "1234567,89"); // no digit grouping
    EXPECT_EQ(FixedText(12.4, 0), "12");
    EXPECT_EQ(FixedText(1.1, 1), "1.1");
    EXPECT_EQ(FixedText(2, 1), "2.0");
}

TEST(NumberText, GeneralForms) {
    EXPECT_EQ(GeneralText(350), "350");
    EXPECT_EQ(GeneralText(-350), "-350");
    EXPECT_EQ(GeneralText(0), "0");
    EXPECT_EQ(GeneralText(-0.0), "0");
    EXPECT_EQ(GeneralText(1.25), "1.25");
    EXPECT_EQ(GeneralText(-0.1), "-0.1");
    EXPECT_EQ(GeneralText(0.1 + 0.2), "0.3"); // 15 significant digits
    EXPECT_EQ(GeneralText(-0.07326), "-0.07326");
    EXPECT_EQ(GeneralText(24.8547, ","), "24,8547");
    EXPECT_EQ(GeneralText(0.00001), "1E-05");
    EXPECT_EQ(GeneralTextSingle(45296.53f), "45296.53");
    EXPECT_EQ(GeneralTextSingle(0.1f), "0.1"); // 7 digits hide the float's tail
    EXPECT_EQ(GeneralTextSingle(-2.5f, ","), "-2,5");
}

TEST(NumberText, HalvesRoundToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.51), 3);
}

TEST(NumberText, ParseNumberAcceptsWholeTextNumbersOnly) {
    EXPECT_EQ(ParseNumber("12.5"), 12.5);
    EXPECT_EQ(ParseNumber(" -5 "), -5);
    EXPECT_EQ(ParseNumber("+3"), 3);
    EXPECT_EQ(ParseNumber("1e3"), 1000);
    EXPECT_EQ(ParseNumber("5000000000"), 5e9);
    EXPECT_EQ(ParseNumber("2,5", ","), 2.5);
    EXPECT_EQ(ParseNumber("2.5", ","), 2.5);
    for (const char* bad : {"", "  ", "abc", "12a", "1.2.3", "-", ".", "1e", "e5", "2,5"})
        EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
}

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "TestApp.h"
#include "app/FileLocation.h"

TEST(FileLocation, ProgramDirectoryWhenWritableElseUserFolder) {
    namespace fs = std::filesystem;
    tavrin::test::FakePlatform p;
    const fs::path base = fs::temp_directory_path() / ("tavrin-loc-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "prog");
    p.progDir = base / "prog";
    p.dataDir = base / "user" / "tavrin";
    EXPECT_EQ(FilesDirectory(p), p.progDir);

    if (::geteuid() != 0) { // root writes anywhere; the permission case needs a user
        ::chmod(p.progDir.c_str(), 0555);
        EXPECT_EQ(FilesDirectory(p), p.dataDir);
        EXPECT_TRUE(fs::is_directory(p.dataDir));
        ::chmod(p.progDir.c_str(), 0755);
    }
    p.progDir = base / "missing";
    EXPECT_EQ(FilesDirectory(p), p.dataDir);
    EXPECT_TRUE(fs::is_directory(p.dataDir));
    fs::remove_all(base);
}
