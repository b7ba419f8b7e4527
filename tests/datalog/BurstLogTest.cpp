// Logging sessions with burst reads on the simulated sensor: the same file as single
// reads, one adapter command per sample, and transfer failures as with single reads.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "datalog/LogSession.h"

using namespace tavrin;
using namespace tavrin::datalog;

namespace {

// One session in its own directory on its own simulated sensor.
struct Session {
    explicit Session(float model) : s(model, test::Noisy()) {
        s.t.platform.clockScript = {100.25f, 101.5f};
        settings.directory = dir.path;
    }
    LogOutcome go(bool burst) {
        settings.burst = burst;
        s.driver.clearCommands();
        return RunLogSession(s.app, settings, hooks, fs).outcome;
    }
    test::ScratchDir dir;
    test::SimTestApp s;
    test::FaultyFileSystem fs;
    LogSettings settings;
    LogHooks hooks;
};

TEST(BurstSession, SameFileAsSingleReadsOneCommandPerSample) {
    // Every box (the 41040's box 1 repeats the read before it), scaled and raw. Each
    // sensor moves on to its next sample after every second logged sample, so both
    // sessions log the same samples, every second one with its new-data flags cleared.
    for (float model : {41120.f, 41040.f}) {
        for (bool raw : {false, true}) {
            SCOPED_TRACE(::testing::Message() << model << (raw ? " raw" : " scaled"));
            Session single(model), burst(model);
            for (Session* r : {&single, &burst}) {
                for (int b = 1; b <= 8; ++b) r->settings.columns.box[b] = true;
                r->settings.samplesPerFile = 40;
                r->settings.noScale = raw;
                sim::SimSensor& sensor = r->s.sensor;
                const auto toSample = [&sensor](long long k) {
                    sensor.tick(1000 + k * 128000 - std::llround(sensor.now() * 1e6));
                };
                sensor.setWord(0x36, 0x00FF); // a sample every 128 ms
                toSample(0);
                r->s.app.res = {0, 3, 7.5, 32768};
                r->hooks.sampleTaken = [toSample](long long, long long n) {
                    if (n % 2 == 0) toSample(n / 2);
                };
            }
            EXPECT_EQ(single.go(false), LogOutcome::Completed);
            EXPECT_EQ(burst.go(true), LogOutcome::Completed);
            EXPECT_EQ(burst.dir.read("DATALOG_1.csv"), single.dir.read("DATALOG_1.csv"));
            const test::Lines lines = burst.dir.lines();
            ASSERT_EQ(lines.size(), 48u);
            EXPECT_EQ(lines[7], "Sample #,PvND,Power V,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,XaND,"
                                "X acc,YaND,Y acc,ZaND,Z acc,XtND,X Temp,");
            EXPECT_EQ(test::SplitFields(lines[8])[3] + test::SplitFields(lines[9])[3], "10");
            EXPECT_NE(test::SplitFields(lines[8])[4], test::SplitFields(lines[10])[4]);
            EXPECT_EQ(burst.s.driver.commands().size(), 40u);
            EXPECT_EQ(single.s.driver.commands().size(), model == 41040.f ? 280u : 320u);
        }
    }
}

TEST(BurstSession, TransferFailureEndsTheSessionWithTheSamplesBefore) {
    using sim::SimDriver;
    const std::pair<std::function<void(SimDriver&)>, const char*> arms[] = {
        {[](SimDriver& d) { d.failBulk(0, 5); }, "Error Writing SPI"},
        {[](SimDriver& d) { d.failBulk(1, 5); }, "Error Reading SPI"},
        {[](SimDriver& d) { d.shortReply(5, 9); }, "Error Reading SPI"}}; // 4 words and a byte
    for (const auto& [arm, message] : arms) {
        SCOPED_TRACE(message);
        Session r(41120);
        for (int b : {2, 3, 4, 8}) r.settings.columns.box[b] = true;
        r.settings.samplesPerFile = 20;
        r.settings.noHeader = true;
        arm(r.s.driver);
        EXPECT_EQ(r.go(true), LogOutcome::TransferFailed);
        EXPECT_EQ(r.s.t.messages.texts(),
                  (test::Lines{message, "\r\nLOGGING STOPPED\r\n\r\nFile name = DATALOG_1.csv\r\n"
                                        "\r\nReading the sensor failed during sample 5 of file "
                                        "1. The file holds the 4 samples read before the "
                                        "failure."}));
        EXPECT_FALSE(r.s.app.usb.UsbReady);
        // Nothing is sent after the failure (a failed send never reached the adapter).
        EXPECT_EQ(r.s.driver.commands().size(), message[6] == 'W' ? 4u : 5u);
        EXPECT_EQ(r.dir.files(), "DATALOG_1.csv:4 ");
    }
}

} // namespace
