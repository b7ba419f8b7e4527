#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "SimTestApp.h"
#include "registers/Model.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

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

constexpr int kSensAvg = 0x38;

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
        FakeDisplay d(s.t.messages);
        SetDevice(s.app, static_cast<float>(e.model), d);
        const RegisterMap& r = s.app.regs;

        const std::string m = std::to_string(e.model);
        EXPECT_EQ(d.log, "uncheck|check " + m + "|limits -10 0 10|Data Plot   Device = " + m + "|");
        EXPECT_TRUE(s.t.messages.shown.empty());
        EXPECT_EQ(s.app.model.ProductNumber, static_cast<float>(e.model));
        EXPECT_EQ(s.app.model.GyroBaseScale, e.gyroBase);
        const ChartLimits& pl = s.app.plot;
        EXPECT_EQ((std::vector<double>{pl.AccPlotMin, pl.AccPlotMax, pl.GyPlotMin, pl.GyPlotMax}),
                  (std::vector<double>{-10, 10, -350, 350}));
        EXPECT_EQ(r.LastRegIndex, e.model == 41040 ? 32 : 35);

        for (int16_t p :
             {r.iXACCL_OUT, r.iYACCL_OUT, r.iZACCL_OUT, r.iXACCL_OFF, r.iYACCL_OFF, r.iZACCL_OFF})
            EXPECT_EQ(r.RegisterTable[p].RegScale, e.acc) << "position " << p;
        // The sensor reports range code 4: the full base scale, in single precision.
        for (int p = 2; p <= 4; ++p)
            EXPECT_EQ(r.RegisterTable[p].RegScale, static_cast<float>(e.gyroBase));
        // On 41040 absent registers point at spare slot 99 (the last write there is
        // AUX_ADC's) and SUPPLY_OUT at the "not used" row.
        const auto& t = r.RegisterTable;
        EXPECT_EQ((std::vector<float>{t[r.iSUPPLY_OUT].RegScale, t[r.iXTEMP_OUT].RegScale,
                                      t[r.iYTEMP_OUT].RegScale, t[r.iZTEMP_OUT].RegScale,
                                      t[r.iAUX_ADC].RegScale}),
                  (std::vector<float>{0.002418f, 0.136f, e.model == 41040 ? 0.0008058f : 0.136f,
                                      e.model == 41040 ? 0.0008058f : 0.136f, 0.0008058f}));
        EXPECT_EQ(t[r.iSUPPLY_OUT].ReadLen, 12);
        EXPECT_EQ(t[r.iSUPPLY_OUT].Label, e.model == 41040 ? "not used" : "SUPPLY_OUT");
    }
}

TEST(SetDevice, GyroScaleFollowsTheSensorsRange) {
    const std::pair<uint16_t, float> cases[] = {
        {0x0400, 0.2f}, {0x0200, 0.1f}, {0x0100, 0.05f}, {0x0300, 0.0f}, {0x0000, 0.0f}};
    for (const auto& [sensAvg, scale] : cases) {
        SCOPED_TRACE(sensAvg);
        test::SimTestApp s(41190);
        s.sensor.setWord(kSensAvg, sensAvg);
        FakeDisplay d(s.t.messages);
        SetDevice(s.app, 41190, d);
        EXPECT_EQ(s.app.model.GyroBaseScale, 0.2);
        for (int p = 2; p <= 4; ++p) EXPECT_EQ(s.app.regs.RegisterTable[p].RegScale, scale);
    }
}

TEST(SetDevice, UnrecognisedNumberShowsTheMessageAndKeepsTheTable) {
    test::SimTestApp s(41060);
    FakeDisplay d(s.t.messages);
    SetDevice(s.app, 41190, d); // a recognised model first: its base scale stays
    d.log.clear();

    SetDevice(s.app, 41060, d);
    ASSERT_EQ(s.t.messages.shown.size(), 1u);
    const test::RecordedMessage& m = s.t.messages.shown[0];
    EXPECT_EQ(m.text, "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\n"
                      "ProductNumber = 41060\r\nThis product number is NOT recognized.\r\n\r\n"
                      "USE 'Device' in the menu bar to select a product.\r\n");
    EXPECT_EQ(m.icon, MsgIcon::Critical);
    EXPECT_EQ(m.caption, "TAVRIN_3");
    // No model checked; the labels follow the message.
    EXPECT_EQ(d.log, "uncheck|!limits -10 0 10|!Data Plot   Device = 41060|");
    EXPECT_EQ(s.app.model.ProductNumber, 41060.0f);
    EXPECT_EQ(s.app.model.GyroBaseScale, 0.2);
    EXPECT_EQ(s.app.regs.RegisterTable[5].RegScale, 0.002522f) << "the standard table's own";
    EXPECT_EQ(s.app.regs.RegisterTable[1].ReadLen, 12);
    EXPECT_EQ(s.app.regs.RegisterTable[1].RegScale, 0.0018315f);
    EXPECT_EQ(s.app.regs.RegisterTable[2].RegScale, 0.2f);
}

TEST(SetDevice, RecognisesOnlyTheSixNumbersExactly) {
    for (int m : kDeviceModels) EXPECT_EQ(RecognisedModel(static_cast<float>(m)), m);
    for (float n : {0.0f, 41020.0f, 41060.0f, 41080.0f, 41090.0f, 41120.5f, -41120.0f})
        EXPECT_FALSE(RecognisedModel(n)) << n;
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
