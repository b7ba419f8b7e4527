// The register tables against a transcription of the documented tables, the models known,
// the temperature warning. (What applying a model does is tested in tests/app.)
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

TEST(Models, OnlyTheTableNumbersAreRecognised) {
    for (const ModelInfo& m : kModels)
        EXPECT_EQ(RecognisedModel(static_cast<float>(m.number)), m.number);
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
