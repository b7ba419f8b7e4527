// Logging sessions with burst reads on the simulated sensor: the same file as single
// reads, one adapter command per sample, and transfer failures as with single reads.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "app/App.h"
#include "datalog/LogSession.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

using namespace tavrin;
using namespace tavrin::datalog;
using test::Lines;

namespace {

// One session in its own directory on its own simulated sensor.
struct Session {
    explicit Session(float model) : s(model, test::Noisy()) {
        s.t.platform.clockScript = {100.25f, 101.5f};
        settings.directory = dir.path;
    }
    LogReport go(bool burst) {
        settings.burst = burst;
        s.driver.clearCommands();
        return RunLogSession(s.app, settings, hooks, fs);
    }
    test::ScratchDir dir;
    test::SimTestApp s;
    test::FaultyFileSystem fs;
    LogSettings settings;
    LogHooks hooks;
};

TEST(BurstSession, SameFileAsSingleReadsOneCommandPerSample) {
    // Both tables, every box (the 41040's box 1 is its unreadable placeholder, which
    // repeats the read before it), scaled and raw. Each sensor is moved on to its next
    // sample after every second logged sample, so that both sessions log the same
    // samples, every second one with its new-data flags cleared.
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
            EXPECT_EQ(single.go(false).outcome, LogOutcome::Completed);
            EXPECT_EQ(burst.go(true).outcome, LogOutcome::Completed);
            const std::string file = burst.dir.read("DATALOG_1.csv");
            EXPECT_EQ(file, single.dir.read("DATALOG_1.csv"));
            const Lines lines = burst.dir.lines();
            ASSERT_EQ(lines.size(), 48u);
            EXPECT_EQ(lines[7], "Sample #,PvND,Power V,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,XaND,"
                                "X acc,YaND,Y acc,ZaND,Z acc,XtND,X Temp,");
            EXPECT_EQ(test::SplitFields(lines[8])[3], "1");
            EXPECT_EQ(test::SplitFields(lines[9])[3], "0");
            EXPECT_NE(test::SplitFields(lines[8])[4], test::SplitFields(lines[10])[4]);
            EXPECT_EQ(burst.s.driver.commands().size(), 40u);
            EXPECT_EQ(single.s.driver.commands().size(), model == 41040.f ? 280u : 320u);
            EXPECT_TRUE(burst.s.t.messages.shown.empty());
        }
    }
}

TEST(BurstSession, TransferFailureEndsTheSessionWithTheSamplesBefore) {
    using sim::SimDriver;
    const std::vector<std::function<void(SimDriver&)>> arms = {
        [](SimDriver& d) { d.failBulk(0, 5); }, [](SimDriver& d) { d.failBulk(1, 5); },
        [](SimDriver& d) { d.shortReply(5, 9); }, // four words and a byte of five
    };
    const char* messages[] = {"Error Writing SPI", "Error Reading SPI", "Error Reading SPI"};
    for (std::size_t k = 0; k < arms.size(); ++k) {
        SCOPED_TRACE(messages[k]);
        Session r(41120);
        for (int b : {2, 3, 4, 8}) r.settings.columns.box[b] = true;
        r.settings.samplesPerFile = 20;
        r.settings.noHeader = true;
        arms[k](r.s.driver);
        EXPECT_EQ(r.go(true).outcome, LogOutcome::TransferFailed);
        EXPECT_EQ(r.s.t.messages.texts(),
                  (std::vector<std::string>{
                      messages[k],
                      "\r\nLOGGING STOPPED\r\n\r\nFile name = DATALOG_1.csv\r\n\r\nReading the "
                      "sensor failed during sample 5 of file 1. The file holds the 4 samples "
                      "read before the failure."}));
        EXPECT_FALSE(r.s.app.usb.UsbReady);
        // Nothing is sent after the failure (a failed send never reached the adapter).
        EXPECT_EQ(r.s.driver.commands().size(), k == 0 ? 4u : 5u);
        EXPECT_EQ(r.dir.lines().size(), 4u);
        EXPECT_EQ(r.dir.names(), Lines{"DATALOG_1.csv"});
        EXPECT_EQ(r.s.driver.openHandles(), 0);
    }
}

} // namespace
