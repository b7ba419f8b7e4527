#include "registers/RegisterMap.h"

#include "registers/Models.h"

#include <span>

namespace tavrin::registers {

namespace {

constexpr bool T = true;
constexpr bool F = false;

struct Row {
    const char* label;
    const char* type;
    int32_t address;
    uint8_t numBytes;
    int16_t readLen;
    bool twos;
    float scale;
    float offset;
    bool read, write, ec, nd, hidden;
};

// Registers that both tables hold, with equal fields.
constexpr Row kFlshCnt{"FLSH_CNT", "Info", 0x00, 2, 16, F, 1, 0, T, F, F, F, F};
constexpr Row kOutputs[] = {
    {"XGYRO_OUT", "Output", 0x04, 2, 14, T, 0.07326f, 0, T, F, T, T, F},
    {"YGYRO_OUT", "Output", 0x06, 2, 14, T, 0.07326f, 0, T, F, T, T, F},
    {"ZGYRO_OUT", "Output", 0x08, 2, 14, T, 0.07326f, 0, T, F, T, T, F},
    {"XACCL_OUT", "Output", 0x0A, 2, 14, T, 0.002522f, 0, T, F, T, T, F},
    {"YACCL_OUT", "Output", 0x0C, 2, 14, T, 0.002522f, 0, T, F, T, T, F},
    {"ZACCL_OUT", "Output", 0x0E, 2, 14, T, 0.002522f, 0, T, F, T, T, F},
    {"XTEMP_OUT", "Output", 0x10, 2, 12, T, 0.1453f, 25, T, F, T, T, F},
};
constexpr Row kStandardOnly[] = {
    {"YTEMP_OUT", "Output", 0x12, 2, 12, T, 0.1453f, 25, T, F, T, T, F},
    {"ZTEMP_OUT", "Output", 0x14, 2, 12, T, 0.1453f, 25, T, F, T, T, F},
    {"AUX_ADC", "Output", 0x16, 2, 12, F, 0.0006105f, 0, T, F, T, T, F},
};
constexpr Row kCalToId[] = {
    {"XGYRO_ OFF", "UserCal", 0x1A, 2, 13, T, 0.018315f, 0, T, T, F, F, F},
    {"YGYRO_ OFF", "UserCal", 0x1C, 2, 13, T, 0.018315f, 0, T, T, F, F, F},
    {"ZGYRO_ OFF", "UserCal", 0x1E, 2, 13, T, 0.018315f, 0, T, T, F, F, F},
    {"XACCL_ OFF", "UserCal", 0x20, 2, 12, T, 0.002543235f, 0, T, T, F, F, F},
    {"YACCL_ OFF", "UserCal", 0x22, 2, 12, T, 0.002543235f, 0, T, T, F, F, F},
    {"ZACCL_ OFF", "UserCal", 0x24, 2, 12, T, 0.002543235f, 0, T, T, F, F, F},
    {"ALM_MAG1", "Control", 0x26, 2, 16, F, 1, 0, T, T, F, F, F},
    {"ALM_MAG2", "Control", 0x28, 2, 16, F, 1, 0, T, T, F, F, F},
    {"ALM_SMPL1", "Control", 0x2A, 2, 8, F, 1, 0, T, T, F, F, F},
    {"ALM_SMPL2", "Control", 0x2C, 2, 8, F, 1, 0, T, T, F, F, F},
    {"ALM_CTRL", "Control", 0x2E, 2, 16, F, 1, 0, T, T, F, F, F},
    {"AUX_DAC", "Control", 0x30, 2, 12, F, 1, 0, T, T, F, F, F},
    {"GPIO_CTRL", "Control", 0x32, 2, 10, F, 1, 0, T, T, F, F, F},
    {"MSC_CTRL", "Control", 0x34, 2, 11, F, 1, 0, T, T, F, F, F},
    {"SMPL_PRD", "Control", 0x36, 1, 16, F, 1, 0, T, T, F, F, F},
    {"SENS_AVG", "Control", 0x38, 2, 11, F, 1, 0, T, T, F, F, F},
    {"SLP_CNT", "Control", 0x3A, 1, 8, F, 1, 0, T, T, F, F, F},
    {"CONT_SLP", "Control", 0x3B, 1, 8, F, 1, 0, F, T, F, F, F},
    {"DIAG_STAT", "Status", 0x3C, 2, 16, F, 1, 0, T, F, F, F, F},
    {"GLOB_CMD", "Command", 0x3E, 1, 8, F, 1, 0, F, T, F, F, F},
    {"Lot_ID1", "ID", 0x52, 2, 16, F, 1, 0, T, F, F, F, F},
    {"Lot_ID2", "ID", 0x54, 2, 16, F, 1, 0, T, F, F, F, F},
    {"PROD_ID", "ID", 0x56, 1, 16, F, 1, 0, T, F, F, F, F},
    {"SERIAL_NUM", "ID", 0x58, 1, 16, F, 1, 0, T, F, F, F, F},
};
constexpr Row kSupply{"SUPPLY_OUT", "Output", 0x02, 2, 12, F, 0.0018315f, 0, T, F, T, T, F};
constexpr Row kPlaceholder{"not used", "", 0x02, 2, 12, F, 1, 0, F, F, T, T, T};

void Store(RegisterMap& map, int16_t& position, const Row& r) {
    auto& rec = map.RegisterTable[position++];
    rec = RegisterRecord{r.label,  r.type, r.address, r.numBytes, r.readLen, r.twos,  r.scale,
                         r.offset, r.read, r.write,   r.ec,       r.nd,      r.hidden};
}

void StoreAll(RegisterMap& map, int16_t& position, std::span<const Row> rows) {
    for (const auto& r : rows) Store(map, position, r);
}

// The index variables from XGYRO_ OFF to SERIAL_NUM, which follow each other in both tables.
void SetCalToIdIndices(RegisterMap& m, int16_t first) {
    int16_t* vars[] = {&m.iXGYRO_OFF, &m.iYGYRO_OFF, &m.iZGYRO_OFF, &m.iXACCL_OFF, &m.iYACCL_OFF,
                       &m.iZACCL_OFF, &m.iALM_MAG1,  &m.iALM_MAG2,  &m.iALM_SMPL1, &m.iALM_SMPL2,
                       &m.iALM_CTRL,  &m.iAUX_DAC,   &m.iGPIO_CTRL, &m.iMSC_CTRL,  &m.iSMPL_PRD,
                       &m.iSENS_AVG,  &m.iSLP_CNT,   &m.iCONT_SLP,  &m.iDIAG_STAT, &m.iGLOB_CMD,
                       &m.iLot_ID1,   &m.iLot_ID2,   &m.iPROD_ID,   &m.iSERIAL_NUM};
    for (int16_t* v : vars) *v = first++;
}

void SetOutputIndices(RegisterMap& m) {
    m.iFLSH_CNT = 0;
    m.iSUPPLY_OUT = 1;
    m.iXGYRO_OUT = 2;
    m.iYGYRO_OUT = 3;
    m.iZGYRO_OUT = 4;
    m.iXACCL_OUT = 5;
    m.iYACCL_OUT = 6;
    m.iZACCL_OUT = 7;
    m.iXTEMP_OUT = 8;
}

} // namespace

void LoadStandardRegisterTable(RegisterMap& map) {
    map.LastRegIndex = 35;
    SetOutputIndices(map);
    map.iYTEMP_OUT = 9;
    map.iZTEMP_OUT = 10;
    map.iAUX_ADC = 11;
    SetCalToIdIndices(map, 12);

    int16_t pos = 0;
    Store(map, pos, kFlshCnt);
    Store(map, pos, kSupply);
    StoreAll(map, pos, kOutputs);
    StoreAll(map, pos, kStandardOnly);
    StoreAll(map, pos, kCalToId);
}

void Load41040RegisterTable(RegisterMap& map) {
    map.LastRegIndex = 32;
    SetOutputIndices(map);
    map.iYTEMP_OUT = kAbsentRegister;
    map.iZTEMP_OUT = kAbsentRegister;
    map.iAUX_ADC = kAbsentRegister;
    SetCalToIdIndices(map, 9);

    int16_t pos = 0;
    Store(map, pos, kFlshCnt);
    Store(map, pos, kPlaceholder);
    StoreAll(map, pos, kOutputs);
    StoreAll(map, pos, kCalToId);
}

void LoadRegisterTable(RegisterMap& map, float model) {
    if (const auto m = FindModel(model); m && m->ownTable)
        Load41040RegisterTable(map);
    else
        LoadStandardRegisterTable(map);
}

int32_t DecodeValue(const RegisterRecord& reg, int32_t word) {
    const int n = reg.ReadLen;
    if (n <= 0) return 0;
    if (n >= 32) return word;
    const int64_t w = word;
    if (reg.TwosCompl) {
        const int64_t sign = int64_t{1} << (n - 1);
        return static_cast<int32_t>((w & (sign - 1)) - (w & sign));
    }
    return static_cast<int32_t>(w & ((int64_t{1} << n) - 1));
}

double ScaleValue(const RegisterRecord& reg, int32_t value) {
    return static_cast<double>(static_cast<float>(value)) * static_cast<double>(reg.RegScale) +
           static_cast<double>(reg.RegOffset);
}

} // namespace tavrin::registers
