// The register tables against a transcription of the documented tables, and model
// selection: the factors of each model, the unknown number, the temperature warning.
#include <gtest/gtest.h>

#include <tuple>

#include "Golden.h"
#include "SimTestApp.h"
#include "registers/FrontEnd.h"
#include "registers/Model.h"

namespace tavrin::registers {
namespace {

// Position and the thirteen stored fields of every row of a table file.
std::vector<std::pair<int, RegisterRecord>> Transcribed(const std::string& name) {
    std::istringstream in(test::ReadData(name));
    std::vector<std::pair<int, RegisterRecord>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f(1);
        for (char c : line) c == '\t' ? (void)f.emplace_back() : f.back().push_back(c);
        const auto flag = [&](int i) { return f[i] == "T"; };
        rows.push_back({std::stoi(f[0]),
                        {f[1], f[2], std::stoi(f[3], nullptr, 16), uint8_t(std::stoi(f[4])),
                         int16_t(std::stoi(f[5])), flag(6), std::stof(f[7]), std::stof(f[8]),
                         flag(9), flag(10), flag(11), flag(12), flag(13)}});
    }
    return rows;
}

// The index variables in the order of the standard table.
constexpr int16_t RegisterMap::*kIndexVars[] = {
    &RegisterMap::iFLSH_CNT,  &RegisterMap::iSUPPLY_OUT, &RegisterMap::iXGYRO_OUT,
    &RegisterMap::iYGYRO_OUT, &RegisterMap::iZGYRO_OUT,  &RegisterMap::iXACCL_OUT,
    &RegisterMap::iYACCL_OUT, &RegisterMap::iZACCL_OUT,  &RegisterMap::iXTEMP_OUT,
    &RegisterMap::iYTEMP_OUT, &RegisterMap::iZTEMP_OUT,  &RegisterMap::iAUX_ADC,
    &RegisterMap::iXGYRO_OFF, &RegisterMap::iYGYRO_OFF,  &RegisterMap::iZGYRO_OFF,
    &RegisterMap::iXACCL_OFF, &RegisterMap::iYACCL_OFF,  &RegisterMap::iZACCL_OFF,
    &RegisterMap::iALM_MAG1,  &RegisterMap::iALM_MAG2,   &RegisterMap::iALM_SMPL1,
    &RegisterMap::iALM_SMPL2, &RegisterMap::iALM_CTRL,   &RegisterMap::iAUX_DAC,
    &RegisterMap::iGPIO_CTRL, &RegisterMap::iMSC_CTRL,   &RegisterMap::iSMPL_PRD,
    &RegisterMap::iSENS_AVG,  &RegisterMap::iSLP_CNT,    &RegisterMap::iCONT_SLP,
    &RegisterMap::iDIAG_STAT, &RegisterMap::iGLOB_CMD,   &RegisterMap::iLot_ID1,
    &RegisterMap::iLot_ID2,   &RegisterMap::iPROD_ID,    &RegisterMap::iSERIAL_NUM};

TEST(RegisterTables, EveryRowAndIndexAsDocumented) {
    const auto standard = Transcribed("registers/standard.tsv");
    ASSERT_EQ(standard.size(), 36u);
    // One map loaded again and again, as the Device menu does: a table leaves nothing of
    // the one before in the rows it has.
    RegisterMap m;
    for (const auto& [model, file] : {std::pair{41120.f, "registers/standard.tsv"},
                                      {41040.f, "registers/model41040.tsv"},
                                      {41190.f, "registers/standard.tsv"}}) {
        SCOPED_TRACE(model);
        LoadRegisterTable(m, model);
        const auto rows = Transcribed(file);
        EXPECT_EQ(m.LastRegIndex, int(rows.size()) - 1);
        for (const auto& [pos, record] : rows) EXPECT_EQ(m.RegisterTable[pos], record) << pos;
        // A variable holds its register's position; 99 when the table lacks it, and the
        // supply's points at the placeholder.
        for (std::size_t v = 0; v < std::size(kIndexVars); ++v) {
            int want = v == 1 ? 1 : kAbsentRegister;
            for (const auto& [pos, record] : rows)
                if (record.Label == standard[v].second.Label) want = pos;
            EXPECT_EQ(m.*kIndexVars[v], want) << standard[v].second.Label;
        }
    }
}

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
    const std::pair<int, double> models[] = {{41040, 0.05}, {41120, 0.05}, {41140, 0.05},
                                             {41160, 0.05}, {41170, 0.05}, {41190, 0.2}};
    for (const auto& [model, gyroBase] : models) {
        SCOPED_TRACE(model);
        test::SimTestApp s(static_cast<float>(model));
        s.app.plot.AccPlotMin = -2;
        s.app.plot.AccPlotMax = 2;
        FakeDisplay d(s.t.messages);
        SetDevice(s.app, static_cast<float>(model), d);
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
            ReadRegister(s.app, s.app.regs.iZACCL_OUT);
            zSum += s.app.res.RegScaled;
        }
        EXPECT_NEAR(zSum / 50, 1.0, 0.005);
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
    EXPECT_EQ(m.icon, base::MsgIcon::Critical);
    EXPECT_EQ(m.caption, "TAVRIN_3");
    // No model checked; the chart limits still reset; the labels follow the message.
    EXPECT_EQ(d.log, "uncheck|!limits -10 0 10|!Data Plot   Device = 41060|");
    EXPECT_EQ(s.app.model.ProductNumber, 41060.0f);
    EXPECT_EQ(s.app.model.GyroBaseScale, 0.2);
    EXPECT_EQ(s.app.regs.RegisterTable[5].RegScale, 0.002522f) << "the standard table's own";
    EXPECT_EQ(s.app.regs.RegisterTable[2].RegScale, 0.2f);
    for (float n : {0.0f, 41020.0f, 41060.0f, 41120.5f, -41120.0f})
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
} // namespace tavrin::registers
