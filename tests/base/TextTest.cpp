#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <tuple>

#include "LogTestSupport.h"
#include "TestApp.h"
#include "base/FileLocation.h"
#include "base/HexText.h"
#include "base/NumberText.h"

using namespace tavrin::base;

TEST(HexText, BothDirections) {
    const std::pair<int32_t, const char*> toHex[] = {{0, "0000"},    {0x1F, "001F"},
                                                     {0x3A, "003A"}, {0x12345, "2345"},
                                                     {-1, "FFFF"},   {0xABCD, "ABCD"}};
    for (const auto& [v, text] : toHex) EXPECT_EQ(LongToHex4(v), text) << v;
    // Odd characters count as digits of their own; longer than four is reported invalid.
    const std::pair<const char*, int32_t> fromHex[] = {
        {"ff", 255},     {"FF", 255},      {"", 0},       {"1G", 16},   {" 7", 7},
        {"FFFF", 65535}, {"aBc1", 0xABC1}, {"12345", -1}, {" FFFF", -1}};
    for (const auto& [text, v] : fromHex) EXPECT_EQ(HexToLong(text), v) << text;
}

TEST(NumberText, FixedAndGeneralFormsWithTheUsersSeparator) {
    const std::tuple<double, int, const char*, const char*> fixed[] = {
        {25, 2, ".", "25.00"},       {1234.5678, 2, ".", "1234.57"},
        {-3.14159, 2, ".", "-3.14"}, {1234567.891, 2, ",", "1234567,89"},
        {12.4, 0, ".", "12"},        {1.1, 1, ".", "1.1"},
        {2, 1, ".", "2.0"}}; // no digit grouping
    for (const auto& [v, d, sep, text] : fixed) EXPECT_EQ(FixedText(v, d, sep), text) << v;
    // 15 significant digits: 0.1 + 0.2 shows as 0.3.
    const std::pair<double, const char*> general[] = {
        {350, "350"},   {-350, "-350"},     {0, "0"},        {-0.0, "0"},           {1.25, "1.25"},
        {-0.1, "-0.1"}, {0.1 + 0.2, "0.3"}, {1e-5, "1E-05"}, {-0.07326, "-0.07326"}};
    for (const auto& [v, text] : general) EXPECT_EQ(GeneralText(v, "."), text) << v;
    EXPECT_EQ(GeneralText(1.23456789012345, "."), "1.23456789012345");
    EXPECT_EQ(GeneralText(24.8547, ","), "24,8547");
    EXPECT_EQ(GeneralTextSingle(45296.53f), "45296.53");
    EXPECT_EQ(GeneralTextSingle(0.1f), "0.1"); // 7 digits hide the float's tail
    EXPECT_EQ(GeneralTextSingle(-2.5f, ","), "-2,5");
    for (const auto& [v, r] : {std::pair{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.51, 3}})
        EXPECT_EQ(RoundHalfEven(v), r) << v;
}

TEST(NumberText, ParseNumberAcceptsWholeTextNumbersOnly) {
    const std::tuple<const char*, const char*, double> good[] = {
        {"12.5", ".", 12.5},      {" -5 ", ".", -5}, {"+3", ".", 3},   {"1e3", ".", 1000},
        {"5000000000", ".", 5e9}, {"2,5", ",", 2.5}, {"2.5", ",", 2.5}};
    for (const auto& [text, sep, v] : good) EXPECT_EQ(ParseNumber(text, sep), v) << text;
    for (const char* bad : {"", "  ", "abc", "12a", "1.2.3", "-", ".", "1e", "e5", "2,5"})
        EXPECT_FALSE(ParseNumber(bad).has_value()) << bad;
}

// The program's own folder when it is the user's and takes files (the window tests save
// there); otherwise the user's folder, made when needed, and said when it cannot be used.
TEST(FileLocation, TheProgramsFolderWhenTheUsersElseTheDocumentsFolder) {
    tavrin::test::FakePlatform p;
    tavrin::test::ScratchDir dir;
    std::string problem = "unset";
    p.progDir = dir.path;
    EXPECT_EQ(FilesDirectory(p, &problem), dir.path);
    EXPECT_EQ(problem, "");
    p.dataDir = dir.path / "user" / "tavrin";
    std::ofstream(dir.path / "plain") << "x"; // a file where the program directory should be
#ifdef _WIN32
    const char* system = "missing"; // no /usr there
#else
    const char* system = "/usr/bin";
#endif
    for (const char* prog : {"missing", "plain", system}) {
        p.progDir = prog[0] == '/' ? std::filesystem::path(prog) : dir.path / prog;
        EXPECT_EQ(FilesDirectory(p, &problem), p.dataDir) << prog;
        EXPECT_EQ(problem, "") << prog;
        EXPECT_TRUE(std::filesystem::is_directory(p.dataDir));
    }
    p.dataDir.clear(); // no home at all
    FilesDirectory(p, &problem);
    EXPECT_NE(problem.find("no home folder"), std::string::npos) << problem;
#ifndef _WIN32
    // A folder another user made first is not used; as root the test can make one.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a folder to another user";
    p.dataDir = dir.path / "other" / "tavrin";
    std::filesystem::create_directories(p.dataDir);
    ASSERT_EQ(::chown((dir.path / "other").c_str(), 65534, 65534), 0);
    FilesDirectory(p, &problem);
    EXPECT_NE(problem.find("belongs to another user"), std::string::npos) << problem;
#endif
}
