#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimTestApp.h"
#include "app/Model.h"

namespace tavrin {
namespace {

// Records what SetDevice shows, and how many messages had been shown at each step.
struct FakeDisplay : DeviceDisplay {
    explicit FakeDisplay(test::RecordingMessages& m) : messages(m) {}
    test::RecordingMessages& messages;
    std::vector<std::string> calls;
    std::vector<int> checked;
    std::string lower, middle, upper, caption;
    std::size_t messagesBeforeLabels = 0;

    void uncheckAllModels() override {
        calls.push_back("uncheck");
        checked.clear();
    }
    void checkModel(int model) override {
        calls.push_back("check");
        checked.push_back(model);
    }
    void showAccLimits(const std::string& lo, const std::string& mid,
                       const std::string& hi) override {
        calls.push_back("limits");
        lower = lo, middle = mid, upper = hi;
        messagesBeforeLabels = messages.shown.size();
    }
    void showDeviceCaption(const std::string& c) override {
        calls.push_back("caption");
        caption = c;
    }
};

struct Expected {
    int model;
    float acc;
    double gyroBase;
};

constexpr int kSensAvg = 0x38;

TEST(SetDevice, AppliesEveryModelsFactors) {
    const Expected models[] = {{41040, 0.001f, 0.05},    {41120, 0.003333f, 0.05},
                               {41140, 0.000333f, 0.05}, {41160, 0.001f, 0.05},
                               {41170, 0.003333f, 0.05}, {41190, 0.003333f, 0.2}};
    for (const Expected& e : models) {
        SCOPED_TRACE(e.model);
        test::SimTestApp s(static_cast<float>(e.model));
        FakeDisplay d(s.t.messages);
        SetDevice(s.app, static_cast<float>(e.model), d);
        const RegisterMap& r = s.app.regs;

        EXPECT_TRUE(s.t.messages.shown.empty());
        EXPECT_EQ(d.calls, (std::vector<std::string>{"uncheck", "check", "limits", "caption"}));
        EXPECT_EQ(d.checked, std::vector<int>{e.model});
        EXPECT_EQ(d.caption, "Data Plot   Device = " + std::to_string(e.model));
        EXPECT_EQ(d.lower + " " + d.middle + " " + d.upper, "-10 0 10");
        EXPECT_EQ(s.app.model.ProductNumber, static_cast<float>(e.model));
        EXPECT_EQ(s.app.model.GyroBaseScale, e.gyroBase);
        EXPECT_EQ(s.app.plot.AccPlotMax, 10);
        EXPECT_EQ(s.app.plot.AccPlotMin, -10);
        EXPECT_EQ(s.app.plot.GyPlotMax, 350);
        EXPECT_EQ(s.app.plot.GyPlotMin, -350);
        EXPECT_EQ(r.LastRegIndex, e.model == 41040 ? 32 : 35);

        for (int16_t p :
             {r.iXACCL_OUT, r.iYACCL_OUT, r.iZACCL_OUT, r.iXACCL_OFF, r.iYACCL_OFF, r.iZACCL_OFF})
            EXPECT_EQ(r.RegisterTable[p].RegScale, e.acc) << "position " << p;
        // The sensor reports range code 4: the full base scale, in single precision.
        for (int p = 2; p <= 4; ++p)
            EXPECT_EQ(r.RegisterTable[p].RegScale, static_cast<float>(e.gyroBase));
        EXPECT_EQ(r.RegisterTable[r.iSUPPLY_OUT].ReadLen, 12);
        EXPECT_EQ(r.RegisterTable[r.iSUPPLY_OUT].RegScale, 0.002418f);
        EXPECT_EQ(r.RegisterTable[r.iXTEMP_OUT].RegScale, 0.136f);
        if (e.model == 41040) {
            // Absent registers point at spare slot 99; the last write there is AUX_ADC's.
            EXPECT_EQ(r.iSUPPLY_OUT, 1);
            EXPECT_EQ(r.RegisterTable[1].Label, "not used");
            EXPECT_EQ(r.RegisterTable[99].RegScale, 0.0008058f);
        } else {
            EXPECT_EQ(r.RegisterTable[r.iYTEMP_OUT].RegScale, 0.136f);
            EXPECT_EQ(r.RegisterTable[r.iZTEMP_OUT].RegScale, 0.136f);
            EXPECT_EQ(r.RegisterTable[r.iAUX_ADC].RegScale, 0.0008058f);
        }
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
    s.t.messages.clear();

    SetDevice(s.app, 41060, d);
    ASSERT_EQ(s.t.messages.shown.size(), 1u);
    const test::RecordedMessage& m = s.t.messages.shown[0];
    EXPECT_EQ(m.text, "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\n"
                      "ProductNumber = 41060\r\nThis product number is NOT recognized.\r\n\r\n"
                      "USE 'Device' in the menu bar to select a product.\r\n");
    EXPECT_EQ(m.icon, MsgIcon::Critical);
    EXPECT_EQ(m.caption, "TAVRIN_3");
    EXPECT_EQ(d.messagesBeforeLabels, 1u) << "the labels follow the message";
    EXPECT_TRUE(d.checked.empty());
    EXPECT_EQ(d.caption, "Data Plot   Device = 41060");
    EXPECT_EQ(d.lower + " " + d.middle + " " + d.upper, "-10 0 10");
    EXPECT_EQ(s.app.model.ProductNumber, 41060.0f);
    EXPECT_EQ(s.app.model.GyroBaseScale, 0.2);
    EXPECT_EQ(s.app.regs.RegisterTable[5].RegScale, 0.002522f) << "the standard table's own";
    EXPECT_EQ(s.app.regs.RegisterTable[1].ReadLen, 12);
    EXPECT_EQ(s.app.regs.RegisterTable[1].RegScale, 0.0018315f);
    EXPECT_EQ(s.app.regs.RegisterTable[2].RegScale, 0.2f);
}

TEST(SetDevice, NoTransportReadsZeroAndReportsProductZero) {
    test::TestApp t; // no driver, no interface
    FakeDisplay d(t.messages);
    SetDevice(t.app, 0, d);
    ASSERT_EQ(t.messages.texts().size(), 1u);
    EXPECT_NE(t.messages.texts()[0].find("\r\nProductNumber = 0\r\nThis product"),
              std::string::npos);
    EXPECT_EQ(t.app.model.GyroBaseScale, 0);
    EXPECT_EQ(t.app.regs.RegisterTable[2].RegScale, 0.0f) << "range code 0 from a word of 0";
    EXPECT_EQ(d.caption, "Data Plot   Device = 0");
}

TEST(SetDevice, RecognisesOnlyTheSixNumbersExactly) {
    for (int m : kDeviceModels) EXPECT_EQ(RecognisedModel(static_cast<float>(m)), m);
    for (float n : {0.0f, 41020.0f, 41060.0f, 41080.0f, 41090.0f, 41120.5f, -41120.0f})
        EXPECT_FALSE(RecognisedModel(n)) << n;
}

TEST(TemperatureWarning, WarnsOnlyBeyondTheLimits) {
    const std::string high = "Temperature > 600'C,  Check Dut Connections / Power";
    const std::string low = "Temperature < -99'C,  Check Dut Connections / Power";
    EXPECT_FALSE(TemperatureWarning("600.00", "."));
    EXPECT_EQ(TemperatureWarning("600.01", "."), high);
    EXPECT_FALSE(TemperatureWarning("-99.00", "."));
    EXPECT_EQ(TemperatureWarning("-99.50", "."), low);
    EXPECT_EQ(TemperatureWarning("-99.01", "."), low);
    EXPECT_FALSE(TemperatureWarning("25.00", "."));
    // The readout uses the user's decimal separator.
    EXPECT_EQ(TemperatureWarning("600,01", ","), high);
    EXPECT_FALSE(TemperatureWarning("-99,00", ","));
    EXPECT_EQ(TemperatureWarning("-99,5", ","), low);
    // No number, no warning.
    EXPECT_FALSE(TemperatureWarning("", "."));
    EXPECT_FALSE(TemperatureWarning("abc", "."));
}

} // namespace
} // namespace tavrin
