// The register tables against a transcription of the documented tables.
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "Golden.h"
#include "registers/RegisterMap.h"

using namespace tavrin::registers;

namespace {

RegisterMap Loaded(float model) {
    RegisterMap m;
    LoadRegisterTable(m, model);
    return m;
}

// Position and the thirteen stored fields of every row of a table file.
std::vector<std::pair<int, RegisterRecord>> Transcribed(const std::string& name) {
    std::istringstream in(tavrin::test::ReadData(name));
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

} // namespace

TEST(RegisterTables, EveryRowAndIndexAsDocumented) {
    const auto standard = Transcribed("registers/standard.tsv");
    ASSERT_EQ(standard.size(), 36u);
    for (const auto& [model, file] : {std::pair{41120.f, "registers/standard.tsv"},
                                      {41190.f, "registers/standard.tsv"},
                                      {41040.f, "registers/model41040.tsv"}}) {
        SCOPED_TRACE(model);
        const auto m = Loaded(model);
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

TEST(RegisterTables, ReloadingTouchesOnlyItsOwnSlotsAndOutsideIsRefused) {
    RegisterMap once = Loaded(41120), swapped = Loaded(41120);
    LoadRegisterTable(swapped, 41040);
    EXPECT_EQ(swapped.RegisterTable[35].Label, "SERIAL_NUM"); // beyond LastRegIndex now
    LoadRegisterTable(swapped, 41120);
    EXPECT_EQ(swapped.RegisterTable, once.RegisterTable);
    EXPECT_EQ(swapped.iYTEMP_OUT, 9);
    EXPECT_EQ(once.at(296), &once.RegisterTable[296]);
    for (int p : {297, -1, 32767}) EXPECT_EQ(once.at(p), nullptr) << p;
}

TEST(RegisterDecoding, DataBitsOnlyThenScaleAndOffset) {
    const auto m = Loaded(41120);
    // Position, word, value, scaled; flag bits 15 and 14 never enter the value.
    const std::tuple<int, int, int, double> rows[] = {
        {2, 0x3FFF, -1, -0.07326},  {2, 0xDFFF, 8191, 600.0727}, {2, 0x2000, -8192, -600.1459},
        {8, 0x0000, 0, 25},         {8, 0x0FFF, -1, 24.8547},    {1, 0xCFFF, 4095, 7.4999},
        {1, 0x8ABC, 0xABC, 5.0330}, {30, 0xFFFF, 0xFFFF, 65535}, {11, 0x0800, 0x800, 1.2503}};
    for (const auto& [pos, word, value, scaled] : rows) {
        const RegisterRecord& r = m.RegisterTable[pos];
        EXPECT_EQ(DecodeValue(r, word), value) << pos << " " << word;
        EXPECT_NEAR(ScaleValue(r, value), scaled, 0.001) << pos << " " << word;
    }
    EXPECT_DOUBLE_EQ(ScaleValue(m.RegisterTable[2], -1), -static_cast<double>(0.07326f));
}
