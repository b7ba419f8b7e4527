#pragma once
// The register map: one table of 297 slots describing every register of the
// selected sensor model, and the register-index variables that name positions.
#include <array>
#include <cstdint>
#include <string>

namespace tavrin::registers {

struct RegisterRecord {
    std::string Label;
    std::string RegType;
    int32_t Address = 0;
    uint8_t NumBytes = 0;
    int16_t ReadLen = 0;
    bool TwosCompl = false;
    float RegScale = 0;
    float RegOffset = 0;
    bool ReadFlag = false;
    bool WriteFlag = false;
    bool ECflag = false;
    bool NDflag = false;
    bool Hidden = false;

    bool operator==(const RegisterRecord&) const = default;
};

// Position held by a register-index variable whose register the loaded table lacks.
inline constexpr int16_t kAbsentRegister = 99;
inline constexpr int kRegisterSlots = 297;

struct RegisterMap {
    std::array<RegisterRecord, kRegisterSlots> RegisterTable{};
    int16_t LastRegIndex = 0;

    int16_t iFLSH_CNT = 0, iSUPPLY_OUT = 0, iXGYRO_OUT = 0, iYGYRO_OUT = 0, iZGYRO_OUT = 0,
            iXACCL_OUT = 0, iYACCL_OUT = 0, iZACCL_OUT = 0, iXTEMP_OUT = 0, iYTEMP_OUT = 0,
            iZTEMP_OUT = 0, iAUX_ADC = 0, iXGYRO_OFF = 0, iYGYRO_OFF = 0, iZGYRO_OFF = 0,
            iXACCL_OFF = 0, iYACCL_OFF = 0, iZACCL_OFF = 0, iALM_MAG1 = 0, iALM_MAG2 = 0,
            iALM_SMPL1 = 0, iALM_SMPL2 = 0, iALM_CTRL = 0, iAUX_DAC = 0, iGPIO_CTRL = 0,
            iMSC_CTRL = 0, iSMPL_PRD = 0, iSENS_AVG = 0, iSLP_CNT = 0, iCONT_SLP = 0,
            iDIAG_STAT = 0, iGLOB_CMD = 0, iLot_ID1 = 0, iLot_ID2 = 0, iPROD_ID = 0,
            iSERIAL_NUM = 0;

    // The record at a position, or nullptr for a position outside 0..296: such an
    // access is refused, never carried out.
    RegisterRecord* at(int position) {
        return position >= 0 && position < kRegisterSlots ? &RegisterTable[position] : nullptr;
    }
    const RegisterRecord* at(int position) const {
        return position >= 0 && position < kRegisterSlots ? &RegisterTable[position] : nullptr;
    }
};

// Loads the model's own table where it has one (41040, without supply register) and the
// standard table for any other number.
void LoadRegisterTable(RegisterMap& map, float model);
void LoadStandardRegisterTable(RegisterMap& map);
void Load41040RegisterTable(RegisterMap& map);

// The word reduced to the register's data bits: masked to ReadLen bits, or read as a
// ReadLen-bit two's-complement number. Bits above ReadLen (the flag bits) never enter.
int32_t DecodeValue(const RegisterRecord& reg, int32_t word);
// value x RegScale + RegOffset: the value converted to single precision, the
// arithmetic done in double.
double ScaleValue(const RegisterRecord& reg, int32_t value);

} // namespace tavrin::registers
