// Model selection: the factors of each model, the unknown number, the temperature warning.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "SimTestApp.h"
#include "registers/Model.h"

using namespace tavrin::base;
using namespace tavrin::registers;

namespace tavrin {
namespace {

// Records what SetDevice shows, in order, with a mark where a message box came.
struct FakeDisplay : DeviceDisplay {
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
    const struct {
        int model;
        float acc;
        double gyroBase;
    } models[] = {{41040, 0.001f, 0.05}, {41120, 0.003333f, 0.05}, {41140, 0.000333f, 0.05},
                  {41160, 0.001f, 0.05}, {41170, 0.003333f, 0.05}, {41190, 0.003333f, 0.2}};
    for (const auto& e : models) {
        SCOPED_TRACE(e.model);
        test::SimTestApp s(static_cast<float>(e.model));
        s.app.plot.AccPlotMin = -2;
        s.app.plot.AccPlotMax = 2;
        FakeDisplay d(s.t.messages);
        SetDevice(s.app, static_cast<float>(e.model), d);
        const RegisterMap& r = s.app.regs;
        const auto& t = r.RegisterTable;

        const std::string m = std::to_string(e.model);
        EXPECT_EQ(d.log, "uncheck|check " + m + "|limits -10 0 10|Data Plot   Device = " + m + "|");
        EXPECT_TRUE(s.t.messages.shown.empty());
        EXPECT_EQ(s.app.model.ProductNumber, static_cast<float>(e.model));
        EXPECT_EQ(s.app.model.GyroBaseScale, e.gyroBase);
        const auto& pl = s.app.plot;
        EXPECT_EQ((std::vector<double>{pl.AccPlotMin, pl.AccPlotMax, pl.GyPlotMin, pl.GyPlotMax}),
                  (std::vector<double>{-10, 10, -350, 350}));
        // Accelerometer outputs and offsets at 5..7 and 15..17 (12..14 on the 41040).
        const int off = e.model == 41040 ? 12 : 15;
        for (int p : {5, 6, 7, off, off + 1, off + 2})
            EXPECT_EQ(t[p].RegScale, e.acc) << "position " << p;
        // The sensor reports range code 4: the full base scale, in single precision.
        for (int p = 2; p <= 4; ++p) EXPECT_EQ(t[p].RegScale, static_cast<float>(e.gyroBase));
        EXPECT_EQ(t[8].RegScale, 0.136f);
        EXPECT_EQ(t[1].ReadLen, 12);
        EXPECT_EQ(t[1].RegScale, 0.002418f);
        EXPECT_EQ(t[1].Label, e.model == 41040 ? "not used" : "SUPPLY_OUT");
        if (e.model != 41040) {
            EXPECT_EQ((std::vector<float>{t[9].RegScale, t[10].RegScale, t[11].RegScale}),
                      (std::vector<float>{0.136f, 0.136f, 0.0008058f}));
        } else { // the temperatures and auxiliary input it lacks change no row it has
            EXPECT_EQ(t[9].RegScale, 0.018315f);
        }
    }
}

TEST(SetDevice, UnrecognisedNumberShowsTheMessageAndKeepsTheTable) {
    test::SimTestApp s(41060);
    EXPECT_EQ(ReadProductNumber(s.app), 41060.0f); // PROD_ID, not the serial number
    FakeDisplay d(s.t.messages);
    SetDevice(s.app, 41190, d); // a recognised model first: its base scale stays
    d.log.clear();
    s.app.plot.AccPlotMin = -2;
    s.app.plot.AccPlotMax = 2;

    SetDevice(s.app, 41060, d);
    ASSERT_EQ(s.t.messages.shown.size(), 1u);
    const test::RecordedMessage& m = s.t.messages.shown[0];
    EXPECT_EQ(m.text, "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\n"
                      "ProductNumber = 41060\r\nThis product number is NOT recognized.\r\n\r\n"
                      "USE 'Device' in the menu bar to select a product.\r\n");
    EXPECT_EQ(m.icon, MsgIcon::Critical);
    EXPECT_EQ(m.caption, "TAVRIN_3");
    // No model checked; the chart limits still reset; the labels follow the message.
    EXPECT_EQ(d.log, "uncheck|!limits -10 0 10|!Data Plot   Device = 41060|");
    EXPECT_EQ(s.app.plot.AccPlotMax, 10);
    EXPECT_EQ(s.app.model.ProductNumber, 41060.0f);
    EXPECT_EQ(s.app.model.GyroBaseScale, 0.2);
    EXPECT_EQ(s.app.regs.RegisterTable[5].RegScale, 0.002522f) << "the standard table's own";
    EXPECT_EQ(s.app.regs.RegisterTable[1].RegScale, 0.0018315f);
    EXPECT_EQ(s.app.regs.RegisterTable[2].RegScale, 0.2f);
    for (float n : {0.0f, 41020.0f, 41060.0f, 41120.5f, -41120.0f})
        EXPECT_FALSE(RecognisedModel(n)) << n;
    for (int n : {41040, 41120, 41140, 41160, 41170, 41190})
        EXPECT_EQ(RecognisedModel(static_cast<float>(n)), n);
}

TEST(TemperatureWarning, WarnsOnlyBeyondTheLimits) {
    const std::string high = "Temperature > 600'C,  Check Dut Connections / Power";
    const std::string low = "Temperature < -99'C,  Check Dut Connections / Power";
    // The readout uses the user's decimal separator; no number, no warning.
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"600.00", ".", ""},  {"600.01", ".", high}, {"-99.00", ".", ""},   {"-99.50", ".", low},
        {"-99.01", ".", low}, {"25.00", ".", ""},    {"600,01", ",", high}, {"-99,00", ",", ""},
        {"-99,5", ",", low},  {"", ".", ""},         {"abc", ".", ""}};
    for (const auto& [shown, sep, warning] : cases)
        EXPECT_EQ(TemperatureWarning(shown, sep).value_or(""), warning) << shown;
}

} // namespace
} // namespace tavrin
