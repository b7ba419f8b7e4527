// Logging sessions reading the simulated sensor through the real register front end.
#include <gtest/gtest.h>

#include <set>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "app/State.h"
#include "datalog/LogSession.h"
#include "sim/SimSensor.h"

using namespace tavrin;
using namespace tavrin::datalog;
using sim::SimSensor;

namespace {

LogSettings Defaults(const std::filesystem::path& dir) {
    LogSettings s;
    s.directory = dir;
    s.columns.box[2] = true;
    return s;
}

} // namespace

TEST(LogDevice, DefaultSessionFileByteForByte) {
    test::ScratchDir dir;
    test::SimTestApp s;
    s.t.platform.clockScript = {45296.5f, 45297.75f};
    // New-data bit set, 14-bit two's complement -5.
    s.sensor.hold(SimSensor::kXGyro, 0x8000 | (0x3FFF & -5));
    DiskFileSystem disk;
    const auto rep = RunLogSession(s.app, Defaults(dir.path), {}, disk);
    EXPECT_EQ(rep.outcome, LogOutcome::Completed);
    std::string expected = "File Name,DATALOG_1.csv\r\nDate,12/6/2026\r\nTime,8:15 PM\r\n"
                           "Begin Seconds,45296.5\r\nEnd Seconds,45297.75\r\n"
                           "Elapsed Seconds,1.25\r\n \r\nSample #,XgND,X Gryo,\r\n";
    // The scale is single precision, widened before it multiplies.
    for (int n = 1; n <= 1000; ++n) expected += std::to_string(n) + ",1,-0.366300009191036,\r\n";
    EXPECT_EQ(test::ReadWholeFile(dir.path / "DATALOG_1.csv"), expected);
    EXPECT_EQ(s.driver.openHandles(), 0);
    EXPECT_TRUE(s.t.messages.shown.empty());
}

TEST(LogDevice, RawValuesAreTheDataBitsWithSign) {
    test::ScratchDir dir;
    test::SimTestApp s;
    s.sensor.hold(SimSensor::kXGyro, 0x3FFF & -5); // no new data
    s.sensor.hold(SimSensor::kXTemp, 0x8000 | 0x07FF);
    auto settings = Defaults(dir.path);
    settings.columns.box[8] = true;
    settings.noScale = true;
    settings.noHeader = true;
    settings.samplesPerFile = 2;
    DiskFileSystem disk;
    RunLogSession(s.app, settings, {}, disk);
    EXPECT_EQ(test::ReadWholeFile(dir.path / "DATALOG_1.csv"),
              "1,0,-5,1,2047,\r\n2,0,-5,1,2047,\r\n");
}

TEST(LogDevice, PlaceholderBoxRepeatsThePreviousRead) {
    test::ScratchDir dir;
    test::SimTestApp s(41040);
    // Whatever was read last before the session shows in the first sample.
    s.app.res.RegScaled = 7.5;
    s.app.res.RegValue = 3;
    s.app.res.RegNDBit = 0;
    auto settings = Defaults(dir.path);
    settings.columns.box[1] = true;
    settings.samplesPerFile = 50;
    settings.noHeader = true;
    DiskFileSystem disk;
    RunLogSession(s.app, settings, {}, disk);
    const auto lines = test::CrLfLines(test::ReadWholeFile(dir.path / "DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 50u);
    auto f = test::SplitFields(lines[0], ',');
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[1], "0");
    EXPECT_EQ(f[2], "7.5");
    std::set<std::string> distinct;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto prev = test::SplitFields(lines[i - 1], ',');
        f = test::SplitFields(lines[i], ',');
        EXPECT_EQ(f[1], prev[3]) << lines[i];
        EXPECT_EQ(f[2], prev[4]) << lines[i];
        distinct.insert(f[4]);
    }
    // The simulated gyroscope moves, so the repetition is not a coincidence of equal values.
    EXPECT_GT(distinct.size(), 1u);
}
