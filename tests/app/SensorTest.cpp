// Applying a model as both programs do it: its table and factors, what the display and the
// charts show of it, the message for an unknown number.
#include <gtest/gtest.h>

#include <sstream>

#include "Golden.h"
#include "SimTestApp.h"
#include "app/Sensor.h"

namespace tavrin {
namespace {

// Records what SetDevice shows, in order, with a mark where a message box came.
struct FakeDisplay : app::DeviceDisplay {
    explicit FakeDisplay(test::RecordingMessages& m) : messages(m) {}
    test::RecordingMessages& messages;
    std::string log;
    void add(const std::string& what) {
        log += std::string(messages.shown.size(), '!') + what + "|";
    }
    void uncheckAllModels() override { add("uncheck"); }
    void checkModel(int model) override { add("check " + std::to_string(model)); }
    void showAccLimits(const std::string& lo, const std::string& mid,
                       const std::string& hi) override {
        add("limits " + lo + " " + mid + " " + hi);
    }
    void showDeviceCaption(const std::string& c) override { add(c); }
};

TEST(SetDevice, AppliesEveryModelsFactors) {
    const std::pair<int, double> models[] = {{41040, 0.05}, {41120, 0.05}, {41140, 0.05},
                                             {41160, 0.05}, {41170, 0.05}, {41190, 0.2}};
    for (const auto& [model, gyroBase] : models) {
        SCOPED_TRACE(model);
        test::SimTestApp s(static_cast<float>(model));
        s.app.plot.AccPlotMin = -2;
        s.app.plot.AccPlotMax = 2;
        FakeDisplay d(s.t.messages);
        app::SetDevice(s.app, static_cast<float>(model), d);
        const auto& t = s.app.regs.RegisterTable;

        const std::string m = std::to_string(model);
        EXPECT_EQ(d.log, "uncheck|check " + m + "|limits -10 0 10|Data Plot   Device = " + m + "|");
        EXPECT_TRUE(s.t.messages.shown.empty());
        EXPECT_EQ(s.app.model.ProductNumber, static_cast<float>(model));
        EXPECT_EQ(s.app.model.GyroBaseScale, gyroBase);
        const auto& pl = s.app.plot;
        EXPECT_EQ((std::vector<double>{pl.AccPlotMin, pl.AccPlotMax, pl.GyPlotMin, pl.GyPlotMax}),
                  (std::vector<double>{-10, 10, -350, 350}));
        // Model, position and single-precision factor of every row a model sets (the gyroscopes
        // at the full base scale of range code 4, which the sensor reports).
        std::istringstream scales(test::ReadData("registers/model-scales.txt"));
        float scale = 0;
        for (int row = 0, pos = 0; scales >> row >> pos >> scale;) {
            if (row != model) continue;
            EXPECT_EQ(t[pos].RegScale, scale) << "position " << pos;
        }
        // The simulated sensor at rest through the program's reads: 1 g on Z, 1.00 on the
        // chart's axis (the command-line tests' golden files hold other outputs at rest).
        double zSum = 0;
        for (int pass = 0; pass < 50; ++pass) {
            zSum += app::Read(s.app, s.app.regs.iZACCL_OUT).RegScaled;
        }
        EXPECT_NEAR(zSum / 50, 1.0, 0.005);
    }
}

TEST(SetDevice, UnrecognisedNumberShowsTheMessageAndKeepsTheTable) {
    test::SimTestApp s(41060);
    EXPECT_EQ(app::ReadProductNumber(s.app), 41060.0f); // PROD_ID, not the serial number
    FakeDisplay d(s.t.messages);
    app::SetDevice(s.app, 41190, d); // a recognised model first: its base scale stays
    d.log.clear();
    s.app.plot.AccPlotMin = -2;
    s.app.plot.AccPlotMax = 2;

    app::SetDevice(s.app, 41060, d);
    ASSERT_EQ(s.t.messages.shown.size(), 1u);
    const test::RecordedMessage& m = s.t.messages.shown[0];
    EXPECT_EQ(m.text, "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\n"
                      "ProductNumber = 41060\r\nThis product number is NOT recognized.\r\n\r\n"
                      "USE 'Device' in the menu bar to select a product.\r\n");
    EXPECT_EQ(m.icon, base::MsgIcon::Critical);
    EXPECT_EQ(m.caption, "TAVRIN_3");
    // No model checked; the chart limits still reset; the labels follow the message.
    EXPECT_EQ(d.log, "uncheck|!limits -10 0 10|!Data Plot   Device = 41060|");
    EXPECT_EQ(s.app.model.ProductNumber, 41060.0f);
    EXPECT_EQ(s.app.model.GyroBaseScale, 0.2);
    EXPECT_EQ(s.app.regs.RegisterTable[5].RegScale, 0.002522f) << "the standard table's own";
    EXPECT_EQ(s.app.regs.RegisterTable[2].RegScale, 0.2f);
}

// Writing the gyroscope range starts the rate chart at its widest limits again, and only
// that write; a failure is said once, as its documented text, and later reads say nothing.
TEST(Sensor, ARangeWriteResetsTheRateChartAndFailuresAreSaidOnce) {
    test::SimTestApp s;
    const auto limits = [&] { return std::pair(s.app.plot.GyPlotMin, s.app.plot.GyPlotMax); };
    s.app.plot.GyPlotMin = -20, s.app.plot.GyPlotMax = 20;
    app::Write(s.app, s.app.regs.iXGYRO_OFF, 1);
    EXPECT_EQ(limits(), std::pair(-20.0, 20.0));
    app::Write(s.app, s.app.regs.iSENS_AVG, 0x0402);
    EXPECT_EQ(limits(), std::pair(-350.0, 350.0));
    EXPECT_TRUE(s.t.messages.shown.empty());
    s.driver.failBulk(1);
    app::Read(s.app, 2);
    app::Read(s.app, 3);
    EXPECT_EQ(s.t.messages.texts(), std::vector<std::string>{"Error Reading SPI"});
    EXPECT_FALSE(s.app.UsbReady());
}

} // namespace
} // namespace tavrin
