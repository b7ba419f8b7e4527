#include <gtest/gtest.h>

#include "registers/RegisterMap.h"

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
    EXPECT_EQ(t[0], (RegisterRecord{"FLSH_CNT", "Info", 0x00, 2, 16, false, 1, 0, true, false,
                                    false, false, false}));
    EXPECT_EQ(t[1], (RegisterRecord{"SUPPLY_OUT", "Output", 0x02, 2, 12, false, 0.0018315f, 0,
                                    true, false, true, true, false}));
    EXPECT_EQ(t[8], (RegisterRecord{"XTEMP_OUT", "Output", 0x10, 2, 12, true, 0.1453f, 25, true,
                                    false, true, true, false}));
    EXPECT_EQ(t[11], (RegisterRecord{"AUX_ADC", "Output", 0x16, 2, 12, false, 0.0006105f, 0, true,
                                     false, true, true, false}));
    EXPECT_EQ(t[15], (RegisterRecord{"XACCL_ OFF", "UserCal", 0x20, 2, 12, true, 0.002543235f, 0,
                                     true, true, false, false, false}));
    EXPECT_EQ(t[26], (RegisterRecord{"SMPL_PRD", "Control", 0x36, 1, 16, false, 1, 0, true, true,
                                     false, false, false}));
    EXPECT_EQ(t[29], (RegisterRecord{"CONT_SLP", "Control", 0x3B, 1, 8, false, 1, 0, false, true,
                                     false, false, false}));
    EXPECT_EQ(t[31], (RegisterRecord{"GLOB_CMD", "Command", 0x3E, 1, 8, false, 1, 0, false, true,
                                     false, false, false}));
    EXPECT_EQ(t[32].Label, "Lot_ID1");
    EXPECT_EQ(t[35], (RegisterRecord{"SERIAL_NUM", "ID", 0x58, 1, 16, false, 1, 0, true, false,
                                     false, false, false}));
    // Addresses rise in table order and stay within 0x00..0x58.
    for (int i = 1; i <= 35; ++i) EXPECT_GT(t[i].Address, t[i - 1].Address) << i;
}

TEST(RegisterTables, IndexVariablesOfBothTables) {
    auto s = Loaded(41190);
    EXPECT_EQ(s.iSUPPLY_OUT, 1);
    EXPECT_EQ(s.iYTEMP_OUT, 9);
    EXPECT_EQ(s.iAUX_ADC, 11);
    EXPECT_EQ(s.iXGYRO_OFF, 12);
    EXPECT_EQ(s.iSENS_AVG, 27);
    EXPECT_EQ(s.iDIAG_STAT, 30);
    EXPECT_EQ(s.iGLOB_CMD, 31);
    EXPECT_EQ(s.iSERIAL_NUM, 35);
    EXPECT_EQ(s.RegisterTable[s.iSENS_AVG].Label, "SENS_AVG");
    EXPECT_EQ(s.RegisterTable[s.iLot_ID1].Label, "Lot_ID1");

    auto o = Loaded(41040.0f);
    EXPECT_EQ(o.LastRegIndex, 32);
    EXPECT_EQ(o.iSUPPLY_OUT, 1);
    EXPECT_EQ(o.RegisterTable[1], (RegisterRecord{"not used", "", 0x02, 2, 12, false, 1, 0, false,
                                                  false, true, true, true}));
    EXPECT_EQ(o.iYTEMP_OUT, kAbsentRegister);
    EXPECT_EQ(o.iZTEMP_OUT, kAbsentRegister);
    EXPECT_EQ(o.iAUX_ADC, kAbsentRegister);
    EXPECT_EQ(o.iXGYRO_OFF, 9);
    EXPECT_EQ(o.iSENS_AVG, 24);
    EXPECT_EQ(o.iDIAG_STAT, 27);
    EXPECT_EQ(o.iGLOB_CMD, 28);
    EXPECT_EQ(o.iSERIAL_NUM, 32);
    // Every register both tables hold has equal fields.
    for (int i = 9; i <= 32; ++i) EXPECT_EQ(o.RegisterTable[i], s.RegisterTable[i + 3]) << i;
}

TEST(RegisterTables, SharedPositionsIdenticalInBothTables) {
    const auto s = Loaded(41120);
    const auto o = Loaded(41040);
    for (int p : {0, 2, 3, 4, 5, 6, 7, 8}) EXPECT_EQ(s.RegisterTable[p], o.RegisterTable[p]) << p;
    const char* names[] = {"FLSH_CNT",  "",          "XGYRO_OUT", "YGYRO_OUT", "ZGYRO_OUT",
                           "XACCL_OUT", "YACCL_OUT", "ZACCL_OUT", "XTEMP_OUT"};
    for (int p : {0, 2, 3, 4, 5, 6, 7, 8}) EXPECT_EQ(s.RegisterTable[p].Label, names[p]);
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
    EXPECT_NE(m.at(0), nullptr);
    EXPECT_NE(m.at(296), nullptr);
    EXPECT_EQ(m.at(297), nullptr);
    EXPECT_EQ(m.at(-1), nullptr);
    EXPECT_EQ(m.at(32767), nullptr);
}

TEST(RegisterDecoding, ExamplesThroughTheMapFields) {
    const auto m = Loaded(41120);
    const auto& xg = ByLabel(m, "XGYRO_OUT");
    EXPECT_EQ(DecodeValue(xg, 0x3FFF), -1);
    EXPECT_DOUBLE_EQ(ScaleValue(xg, -1), -static_cast<double>(0.07326f));
    EXPECT_EQ(DecodeValue(xg, 0xDFFF), 8191); // flag bits 15, 14 ignored, like 0x1FFF
    EXPECT_EQ(DecodeValue(xg, 0x2000), -8192);
    EXPECT_EQ(DecodeValue(xg, 0xFFFF), -1);

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
