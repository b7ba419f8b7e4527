// Texts of the log files and the settings rewrites, without a window or a device.
#include <gtest/gtest.h>

#include "TestApp.h"
#include "datalog/LogFormat.h"

using namespace tavrin;
using namespace tavrin::datalog;

TEST(LogFieldRewrite, SamplesPerFileDefaultsAndBounds) {
    const auto& r = kSamplesPerFileRule;
    EXPECT_EQ(FieldRewrite("", r, "."), "1000");
    EXPECT_EQ(FieldRewrite("abc", r, "."), "1000");
    EXPECT_EQ(FieldRewrite("0", r, "."), "1");
    EXPECT_EQ(FieldRewrite("-7", r, "."), "1");
    EXPECT_EQ(FieldRewrite("5000000000", r, "."), "2147483647");
    EXPECT_EQ(FieldRewrite("2147483648", r, "."), "2147483647");
    EXPECT_EQ(FieldRewrite("2147483647", r, "."), std::nullopt);
    EXPECT_EQ(FieldRewrite("1", r, "."), std::nullopt);
    EXPECT_EQ(FieldRewrite(" 250 ", r, "."), std::nullopt);
}

TEST(LogFieldRewrite, FilesPerSessionBounds) {
    const auto& r = kFilesPerSessionRule;
    EXPECT_EQ(FieldRewrite("3000000000", r, "."), "2000000000");
    EXPECT_EQ(FieldRewrite("-2", r, "."), "1");
    EXPECT_EQ(FieldRewrite("x", r, "."), "1");
    EXPECT_EQ(FieldRewrite("2000000000", r, "."), std::nullopt);
}

TEST(LogFieldRewrite, SampleDelayBoundsAndFractions) {
    const auto& r = kSampleDelayRule;
    EXPECT_EQ(FieldRewrite("40000", r, "."), "32000");
    EXPECT_EQ(FieldRewrite("-5", r, "."), "0");
    EXPECT_EQ(FieldRewrite("letters", r, "."), "0");
    EXPECT_EQ(FieldRewrite("", r, "."), "0");
    EXPECT_EQ(FieldRewrite("2.5", r, "."), std::nullopt);
    // With a decimal comma both forms are numbers.
    EXPECT_EQ(FieldRewrite("2,5", r, ","), std::nullopt);
    EXPECT_EQ(FieldRewrite("2,5", r, "."), "0");
}

TEST(LogFileFormat, DecimalCommaMeansTabAndTxt) {
    test::FakePlatform p;
    p.decimalSep = ".";
    auto f = DecideFileFormat(p);
    EXPECT_EQ(f.fieldSep, ",");
    EXPECT_EQ(f.ext, ".csv");
    p.decimalSep = ",";
    f = DecideFileFormat(p);
    EXPECT_EQ(f.fieldSep, "\t");
    EXPECT_EQ(f.ext, ".txt");
    EXPECT_EQ(f.decimalSep, ",");
}

TEST(LogFileFormat, FileNamesCountWithoutPadding) {
    EXPECT_EQ(LogFileNameFor("DATALOG", 1, ".csv"), "DATALOG_1.csv");
    EXPECT_EQ(LogFileNameFor("run a", 2000000000, ".txt"), "run a_2000000000.txt");
}

TEST(LogFileFormat, StemsLeadingOutsideTheDirectoryAreRefused) {
    for (const char* bad : {"", "..", "../up", "sub/name", "C:\\x\\name", "a..b"})
        EXPECT_NE(StemProblem(bad), "") << bad;
    EXPECT_NE(StemProblem(std::string("a\0b", 3)), "");
    for (const char* good : {"DATALOG", "run 7", "x.y", "-"}) EXPECT_EQ(StemProblem(good), "");
    EXPECT_NE(StemProblem("../up").find("File name = ../up"), std::string::npos);
}

TEST(LogFileFormat, TitleLineFollowsBoxOrderAndFlagChoice) {
    ColumnChoice c;
    c.box[5] = c.box[2] = true;
    EXPECT_EQ(TitleLine(c, ","), "Sample #,XgND,X Gryo,XaND,X acc,\r\n");
    c.disableND = true;
    EXPECT_EQ(TitleLine(c, "\t"), "Sample #\tX Gryo\tX acc\t\r\n");
    ColumnChoice all;
    for (int b = 1; b <= 8; ++b) all.box[b] = true;
    EXPECT_EQ(TitleLine(all, ","),
              "Sample #,PvND,Power V,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,XaND,X acc,YaND,Y acc,"
              "ZaND,Z acc,XtND,X Temp,\r\n");
}

TEST(LogFileFormat, HeaderUsesSinglePrecisionAndTheUsersSeparator) {
    FileFormat dot{",", ".csv", "."};
    EXPECT_EQ(HeaderLines("DATALOG_1.csv", "12/6/2026", "8:15 PM", 100.25f, 101.5f, dot),
              "File Name,DATALOG_1.csv\r\nDate,12/6/2026\r\nTime,8:15 PM\r\n"
              "Begin Seconds,100.25\r\nEnd Seconds,101.5\r\nElapsed Seconds,1.25\r\n \r\n");
    // Seven significant digits; the difference is taken in single precision.
    FileFormat comma{"\t", ".txt", ","};
    EXPECT_EQ(HeaderLines("L_1.txt", "06.12.2026", "20:15", 72000.123f, 72001.1f, comma),
              "File Name\tL_1.txt\r\nDate\t06.12.2026\r\nTime\t20:15\r\n"
              "Begin Seconds\t72000,12\r\nEnd Seconds\t72001,1\r\nElapsed Seconds\t0,9765625\r\n"
              " \r\n");
}

TEST(LogMessages, FileAccessErrorIsExact) {
    EXPECT_EQ(FileAccessErrorText("DATALOG_2.csv"),
              "\r\nFILE ACCESS ERROR\r\n\r\nFile name = DATALOG_2.csv\r\n\r\nThis file may "
              "already be open by another application.\r\n\r\nClose the file or choose a "
              "different file name.");
    EXPECT_NE(FileWriteErrorText("DATALOG_2.csv").find("File name = DATALOG_2.csv"),
              std::string::npos);
}
