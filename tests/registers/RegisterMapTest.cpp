#include <gtest/gtest.h>

#include "registers/RegisterMap.h"

using namespace tavrin::registers;

using namespace tavrin;

namespace {

RegisterMap Loaded(float model) {
    RegisterMap m;
    LoadRegisterTable(m, model);
    return m;
}

const RegisterRecord& ByLabel(const RegisterMap& m, const std::string& label) {
    for (int i = 0; i <= m.LastRegIndex; ++i)
        if (m.RegisterTable[i].Label == label) return m.RegisterTable[i];
    throw std::runtime_error("no register " + label);
}

} // namespace

TEST(RegisterTables, StandardTableRowsAsListed) {
    const auto m = Loaded(41120);
    EXPECT_EQ(m.LastRegIndex, 35);
    const auto& t = m.RegisterTable;
    // Flags as T/F: two's complement; after scale and offset read, write, end-of-conversion,
    // new-data, hidden.
    constexpr bool T = true, F = false;
    // clang-format off
    const std::pair<int, RegisterRecord> rows[] = {
        {0, {"FLSH_CNT", "Info", 0x00, 2, 16, F, 1, 0, T, F, F, F, F}},
        {1, {"SUPPLY_OUT", "Output", 0x02, 2, 12, F, 0.0018315f, 0, T, F, T, T, F}},
        {8, {"XTEMP_OUT", "Output", 0x10, 2, 12, T, 0.1453f, 25, T, F, T, T, F}},
        {11, {"AUX_ADC", "Output", 0x16, 2, 12, F, 0.0006105f, 0, T, F, T, T, F}},
        {15, {"XACCL_ OFF", "UserCal", 0x20, 2, 12, T, 0.002543235f, 0, T, T, F, F, F}},
        {26, {"SMPL_PRD", "Control", 0x36, 1, 16, F, 1, 0, T, T, F, F, F}},
        {29, {"CONT_SLP", "Control", 0x3B, 1, 8, F, 1, 0, F, T, F, F, F}},
        {31, {"GLOB_CMD", "Command", 0x3E, 1, 8, F, 1, 0, F, T, F, F, F}},
        {35, {"SERIAL_NUM", "ID", 0x58, 1, 16, F, 1, 0, T, F, F, F, F}},
    };
    // clang-format on
    for (const auto& [pos, record] : rows) EXPECT_EQ(t[pos], record) << pos;
    EXPECT_EQ(t[32].Label, "Lot_ID1");
    // Addresses rise in table order and stay within 0x00..0x58.
    for (int i = 1; i <= 35; ++i) EXPECT_GT(t[i].Address, t[i - 1].Address) << i;
}

TEST(RegisterTables, IndexVariablesOfBothTables) {
    auto s = Loaded(41190);
    auto o = Loaded(41040.0f);
    auto indices = [](const RegisterMap& m) {
        return std::vector<int>{m.LastRegIndex, m.iSUPPLY_OUT, m.iYTEMP_OUT, m.iZTEMP_OUT,
                                m.iAUX_ADC,     m.iXGYRO_OFF,  m.iSENS_AVG,  m.iDIAG_STAT,
                                m.iGLOB_CMD,    m.iSERIAL_NUM};
    };
    const int absent = kAbsentRegister;
    EXPECT_EQ(indices(s), (std::vector<int>{35, 1, 9, 10, 11, 12, 27, 30, 31, 35}));
    EXPECT_EQ(indices(o), (std::vector<int>{32, 1, absent, absent, absent, 9, 24, 27, 28, 32}));
    EXPECT_EQ(s.RegisterTable[s.iSENS_AVG].Label, "SENS_AVG");
    EXPECT_EQ(s.RegisterTable[s.iLot_ID1].Label, "Lot_ID1");
    const RegisterRecord notUsed{"not used", "",    2,     2,    12,   false, 1,
                                 0,          false, false, true, true, true};
    EXPECT_EQ(o.RegisterTable[1], notUsed);
    // Every register both tables hold has equal fields.
    for (int i = 9; i <= 32; ++i) EXPECT_EQ(o.RegisterTable[i], s.RegisterTable[i + 3]) << i;
}

TEST(RegisterTables, SharedPositionsIdenticalInBothTables) {
    const auto s = Loaded(41120);
    const auto o = Loaded(41040);
    const char* names[] = {"FLSH_CNT",  "",          "XGYRO_OUT", "YGYRO_OUT", "ZGYRO_OUT",
                           "XACCL_OUT", "YACCL_OUT", "ZACCL_OUT", "XTEMP_OUT"};
    for (int p : {0, 2, 3, 4, 5, 6, 7, 8}) {
        EXPECT_EQ(s.RegisterTable[p], o.RegisterTable[p]) << p;
        EXPECT_EQ(s.RegisterTable[p].Label, names[p]);
    }
}

TEST(RegisterTables, LoadingTouchesOnlyItsOwnSlots) {
    RegisterMap once;
    LoadStandardRegisterTable(once);

    RegisterMap swapped;
    LoadStandardRegisterTable(swapped);
    Load41040RegisterTable(swapped);
    // Slots 33..35 keep their standard entries beyond LastRegIndex.
    EXPECT_EQ(swapped.RegisterTable[35].Label, "SERIAL_NUM");
    EXPECT_EQ(swapped.RegisterTable[36], RegisterRecord{});
    LoadStandardRegisterTable(swapped);
    EXPECT_EQ(swapped.RegisterTable, once.RegisterTable);
    EXPECT_EQ(swapped.iYTEMP_OUT, once.iYTEMP_OUT);
    EXPECT_EQ(swapped.LastRegIndex, once.LastRegIndex);
}

TEST(RegisterTables, AbsentRegisterSlotIsHarmless) {
    auto m = Loaded(41040);
    const auto before = m.RegisterTable;
    m.RegisterTable[m.iYTEMP_OUT].RegScale = 0.136f; // lands in spare slot 99
    for (int i = 0; i <= m.LastRegIndex; ++i) EXPECT_EQ(m.RegisterTable[i], before[i]);
    EXPECT_EQ(m.RegisterTable[99].RegScale, 0.136f);
}

TEST(RegisterTables, PositionsOutsideTheTableAreRefused) {
    RegisterMap m;
    EXPECT_EQ(m.at(0), &m.RegisterTable[0]);
    EXPECT_EQ(m.at(296), &m.RegisterTable[296]);
    for (int p : {297, -1, 32767}) EXPECT_EQ(m.at(p), nullptr) << p;
}

TEST(RegisterDecoding, ExamplesThroughTheMapFields) {
    const auto m = Loaded(41120);
    const auto& xg = ByLabel(m, "XGYRO_OUT");
    // Flag bits 15 and 14 are ignored: 0xDFFF reads like 0x1FFF.
    for (auto [w, v] : {std::pair{0x3FFF, -1}, {0xDFFF, 8191}, {0x2000, -8192}, {0xFFFF, -1}})
        EXPECT_EQ(DecodeValue(xg, uint16_t(w)), v) << w;
    EXPECT_DOUBLE_EQ(ScaleValue(xg, -1), -static_cast<double>(0.07326f));

    const auto& xt = ByLabel(m, "XTEMP_OUT");
    EXPECT_EQ(ScaleValue(xt, DecodeValue(xt, 0x0000)), 25.0);
    EXPECT_EQ(DecodeValue(xt, 0x0FFF), -1);
    EXPECT_NEAR(ScaleValue(xt, DecodeValue(xt, 0x0FFF)), 24.8547, 1e-6);

    const auto& sup = ByLabel(m, "SUPPLY_OUT");
    EXPECT_EQ(DecodeValue(sup, 0xCFFF), 4095);
    EXPECT_EQ(DecodeValue(sup, 0x8ABC), 0x0ABC);

    const auto& diag = ByLabel(m, "DIAG_STAT");
    EXPECT_EQ(DecodeValue(diag, 0xFFFF), 0xFFFF);
}
