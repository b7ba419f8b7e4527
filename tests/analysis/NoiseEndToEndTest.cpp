// The simulated sensor's noise, captured through the logging session and analysed from
// its log file, gives back the parameters it was configured with.
#include <gtest/gtest.h>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "analysis/Analyse.h"
#include "datalog/LogSession.h"
#include "registers/RegisterMap.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

using namespace tavrin;
using namespace tavrin::analysis;

TEST(NoiseEndToEnd, LoggedGyroscopeGivesItsRandomWalkAndBiasInstability) {
    // Time scales shortened so that 100 s of samples show all three terms: white noise
    // down to 10 ms, bias processes of 10 ms to 300 ms, the rate walk rising past 1 s.
    sim::SimOptions o;
    o.noise.gyro = {0.0447, 0.674, 0.01, 0.3, 0.43};
    o.seed = 5;
    test::SimTestApp s(41120, o);
    s.sensor.setWord(sim::SimSensor::kSmplPrd, 0); // 0.5 ms sample period
    test::ScratchDir dir;
    datalog::DiskFileSystem fs;
    datalog::LogSettings settings;
    settings.directory = dir.path;
    settings.columns.box[2] = true;
    settings.samplesPerFile = 100;
    const double start = s.sensor.now();
    ASSERT_EQ(datalog::RunLogSession(s.app, settings, {}, fs).outcome,
              datalog::LogOutcome::Completed);
    const double period = (s.sensor.now() - start) / 100;
    const long long want = 200000; // sensor samples
    settings.samplesPerFile = static_cast<double>(want) * 0.0005 / period;
    ASSERT_EQ(datalog::RunLogSession(s.app, settings, {}, fs).outcome,
              datalog::LogOutcome::Completed);

    ReadOptions read;
    read.sensorPeriod = 0.0005;
    const AnalysisResult r = AnalyseLog(dir.path / "DATALOG_1.csv", read);
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.channels.size(), 1u);
    const ChannelResult& c = r.channels[0];
    EXPECT_EQ(c.series.source, Tau0Source::SensorPeriod);
    EXPECT_LT(c.series.fresh, c.series.logged); // logged faster than the sensor updates
    EXPECT_NEAR(static_cast<double>(c.series.fresh), want, 0.01 * want);
    // The sensor makes counts of its own scale; the log holds them at the program's.
    const double units = s.app.regs.at(2)->RegScale / s.sensor.gyroBaseScale();
    ASSERT_TRUE(c.figures.randomWalk.available);
    ASSERT_TRUE(c.figures.biasInstability.available);
    EXPECT_NEAR(c.figures.randomWalk.value / units, 0.0447, 0.1 * 0.0447);
    EXPECT_NEAR(c.figures.biasInstability.value / units, 0.674, 0.3 * 0.674);
    EXPECT_GT(c.figures.biasInstability.tau, 0.05);
    EXPECT_LT(c.figures.biasInstability.tau, 5);
}
