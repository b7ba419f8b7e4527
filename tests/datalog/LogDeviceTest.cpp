// Logging sessions reading the simulated sensor through the register front end.
#include <gtest/gtest.h>

#include <set>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "app/State.h"
#include "datalog/LogSession.h"

using namespace tavrin;
using namespace tavrin::datalog;
using sim::SimSensor;

namespace {
LogSettings Defaults(const test::ScratchDir& dir) {
    LogSettings s;
    s.directory = dir.path;
    s.columns.box[2] = true;
    return s;
}
} // namespace

TEST(LogDevice, DefaultSessionFileByteForByte) {
    test::ScratchDir dir;
    test::SimTestApp s;
    s.t.platform.clockScript = {45296.5f, 45297.75f};
    s.sensor.hold(SimSensor::kXGyro, 0x8000 | (0x3FFF & -5)); // new data, -5 in 14 bits
    DiskFileSystem disk;
    EXPECT_EQ(RunLogSession(s.app, Defaults(dir), {}, disk).outcome, LogOutcome::Completed);
    std::string expected = "File Name,DATALOG_1.csv\r\nDate,12/6/2026\r\nTime,8:15 PM\r\n"
                           "Begin Seconds,45296.5\r\nEnd Seconds,45297.75\r\n"
                           "Elapsed Seconds,1.25\r\n \r\nSample #,XgND,X Gryo,\r\n";
    // The single-precision scale is widened before it multiplies.
    for (int n = 1; n <= 1000; ++n) expected += std::to_string(n) + ",1,-0.366300009191036,\r\n";
    EXPECT_EQ(dir.read("DATALOG_1.csv"), expected);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"DATALOG_1.csv"});
    EXPECT_TRUE(s.t.messages.shown.empty());

    // Raw values are the data bits, negative for two's complement below zero.
    s.sensor.hold(SimSensor::kXGyro, 0x3FFF & -5);
    s.sensor.hold(SimSensor::kXTemp, 0x8000 | 0x07FF);
    auto raw = Defaults(dir);
    raw.columns.box[8] = true;
    raw.noScale = raw.noHeader = true;
    raw.samplesPerFile = 2;
    RunLogSession(s.app, raw, {}, disk);
    EXPECT_EQ(dir.read("DATALOG_1.csv"), "1,0,-5,1,2047,\r\n2,0,-5,1,2047,\r\n");
}

TEST(LogDevice, PlaceholderBoxRepeatsThePreviousRead) {
    test::ScratchDir dir;
    test::SimTestApp s(41040);
    s.app.res = {0, 3, 7.5, 0}; // left by whatever was read before the session
    auto settings = Defaults(dir);
    settings.columns.box[1] = true;
    settings.samplesPerFile = 50;
    settings.noHeader = true;
    DiskFileSystem disk;
    RunLogSession(s.app, settings, {}, disk);
    const auto lines = test::CrLfLines(dir.read("DATALOG_1.csv"));
    ASSERT_EQ(lines.size(), 50u);
    EXPECT_EQ(lines[0].substr(0, 8), "1,0,7.5,");
    std::set<std::string> gyro;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto prev = test::SplitFields(lines[i - 1], ',');
        const auto f = test::SplitFields(lines[i], ',');
        EXPECT_EQ(f[1] + f[2], prev[3] + prev[4]) << lines[i];
        gyro.insert(f[4]);
    }
    EXPECT_GT(gyro.size(), 1u); // the gyroscope moves: the repeat is no coincidence
}
