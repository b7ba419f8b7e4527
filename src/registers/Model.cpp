#include "registers/Model.h"

#include "base/NumberText.h"
#include "registers/FrontEnd.h"
#include "registers/RegisterState.h"

namespace tavrin::registers {
namespace {

void SetScale(RegisterMap& regs, int16_t position, float scale) {
    // A register the loaded table lacks points at spare slot 99: the value lands there unused.
    if (RegisterRecord* r = regs.at(position)) r->RegScale = scale;
}

void SetAccScales(RegisterMap& regs, float scale) {
    for (int16_t p : {regs.iXACCL_OUT, regs.iYACCL_OUT, regs.iZACCL_OUT, regs.iXACCL_OFF,
                      regs.iYACCL_OFF, regs.iZACCL_OFF})
        SetScale(regs, p, scale);
}

void ApplyModelSettings(const RegisterAccess& io, const ModelInfo& m) {
    RegisterMap& regs = io.regs;
    if (RegisterRecord* r = regs.at(regs.iSUPPLY_OUT)) r->ReadLen = 12;
    SetScale(regs, regs.iSUPPLY_OUT, 0.002418f);
    io.model.GyroBaseScale = m.gyroBaseScale;
    const auto gyro = static_cast<float>(io.model.GyroBaseScale / 4);
    for (int16_t p : {regs.iXGYRO_OUT, regs.iYGYRO_OUT, regs.iZGYRO_OUT}) SetScale(regs, p, gyro);
    SetAccScales(regs, m.accScale);
    for (int16_t p : {regs.iXTEMP_OUT, regs.iYTEMP_OUT, regs.iZTEMP_OUT}) SetScale(regs, p, 0.136f);
    SetScale(regs, regs.iAUX_ADC, 0.0008058f);
}

} // namespace

std::optional<int> RecognisedModel(float productNumber) {
    if (const auto m = FindModel(productNumber)) return m->number;
    return std::nullopt;
}

std::string UnrecognisedModelText(float productNumber, std::string_view decimalSep) {
    const std::string crlf = "\r\n";
    return crlf + "ERROR" + crlf + "Module Name = frmForm1" + crlf + "Routine Name = SetDevice" +
           crlf + "ProductNumber = " + base::GeneralTextSingle(productNumber, decimalSep) + crlf +
           "This product number is NOT recognized." + crlf + crlf +
           "USE 'Device' in the menu bar to select a product." + crlf;
}

std::string ModelStatusText(float productNumber, std::string_view decimalSep) {
    const std::string text = "Model " + base::GeneralTextSingle(productNumber, decimalSep);
    return RecognisedModel(productNumber) ? text : text + " not recognised";
}

ProductRead ReadProductNumber(const RegisterAccess& io) {
    const Reading r = ReadRawRegister(io, 0x56);
    return {r.status, static_cast<float>(r.res.RegValue)};
}

std::optional<ModelInfo> LoadModel(const RegisterAccess& io, float productNumber) {
    io.model.ProductNumber = productNumber;
    LoadRegisterTable(io.regs, productNumber);
    const auto model = FindModel(productNumber);
    if (model) ApplyModelSettings(io, *model);
    return model;
}

std::optional<std::string> TemperatureWarning(std::string_view readout,
                                              std::string_view decimalSep) {
    const auto t = base::ParseNumber(readout, decimalSep);
    if (!t) return std::nullopt;
    if (*t > 600) return std::string("Temperature > 600'C,  Check Dut Connections / Power");
    if (*t < -99) return std::string("Temperature < -99'C,  Check Dut Connections / Power");
    return std::nullopt;
}

} // namespace tavrin::registers
