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

void ApplyCommonSettings(const RegisterAccess& io) {
    RegisterMap& regs = io.regs;
    if (RegisterRecord* r = regs.at(regs.iSUPPLY_OUT)) r->ReadLen = 12;
    SetScale(regs, regs.iSUPPLY_OUT, 0.002418f);
    io.model.GyroBaseScale = 0.05;
    const auto gyro = static_cast<float>(io.model.GyroBaseScale / 4);
    for (int16_t p : {regs.iXGYRO_OUT, regs.iYGYRO_OUT, regs.iZGYRO_OUT}) SetScale(regs, p, gyro);
    SetAccScales(regs, 0.003333f);
    for (int16_t p : {regs.iXTEMP_OUT, regs.iYTEMP_OUT, regs.iZTEMP_OUT}) SetScale(regs, p, 0.136f);
    SetScale(regs, regs.iAUX_ADC, 0.0008058f);
}

void ApplyModelSettings(const RegisterAccess& io, int model) {
    RegisterMap& regs = io.regs;
    switch (model) {
    case 41040:
    case 41160:
        SetAccScales(regs, 0.001f);
        break;
    case 41140:
        SetAccScales(regs, 0.000333f);
        break;
    case 41190:
        io.model.GyroBaseScale = 0.2;
        for (int16_t p : {regs.iXGYRO_OUT, regs.iYGYRO_OUT, regs.iZGYRO_OUT})
            SetScale(regs, p, static_cast<float>(0.2 / 4));
        break;
    default:
        break;
    }
}

} // namespace

std::optional<int> RecognisedModel(float productNumber) {
    for (int m : kDeviceModels)
        if (productNumber == static_cast<float>(m)) return m;
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

float ReadProductNumber(const RegisterAccess& io) {
    ReadRawRegister(io, 0x56);
    return static_cast<float>(io.res.RegValue);
}

void SetDevice(const RegisterAccess& io, float ProdNum, DeviceDisplay& display) {
    const std::string sep = io.platform.decimalSeparator();
    io.model.ProductNumber = ProdNum;
    display.uncheckAllModels();
    io.plot.AccPlotMax = 10;
    io.plot.AccPlotMin = -10;
    LoadRegisterTable(io.regs, ProdNum);

    if (const auto model = RecognisedModel(io.model.ProductNumber)) {
        ApplyCommonSettings(io);
        io.plot.AccPlotMax = 10;
        io.plot.AccPlotMin = -10;
        display.checkModel(*model);
        ApplyModelSettings(io, *model);
    } else {
        io.link.messages.show(UnrecognisedModelText(io.model.ProductNumber, sep),
                              base::MsgIcon::Critical, base::kAppTitle);
    }

    UpdateGyroScale(io);

    const double lo = io.plot.AccPlotMin, hi = io.plot.AccPlotMax;
    display.showAccLimits(base::GeneralText(lo, sep), base::GeneralText((hi - lo) / 2 + lo, sep),
                          base::GeneralText(hi, sep));
    display.showDeviceCaption("Data Plot   Device = " +
                              base::GeneralTextSingle(io.model.ProductNumber, sep));
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
