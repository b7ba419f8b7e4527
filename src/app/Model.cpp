#include "app/Model.h"

#include "app/NumberText.h"
#include "app/State.h"
#include "transport/FrontEnd.h"

namespace tavrin {
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

void ApplyCommonSettings(App& app) {
    RegisterMap& regs = app.regs;
    if (RegisterRecord* r = regs.at(regs.iSUPPLY_OUT)) r->ReadLen = 12;
    SetScale(regs, regs.iSUPPLY_OUT, 0.002418f);
    app.model.GyroBaseScale = 0.05;
    const auto gyro = static_cast<float>(app.model.GyroBaseScale / 4);
    for (int16_t p : {regs.iXGYRO_OUT, regs.iYGYRO_OUT, regs.iZGYRO_OUT}) SetScale(regs, p, gyro);
    SetAccScales(regs, 0.003333f);
    for (int16_t p : {regs.iXTEMP_OUT, regs.iYTEMP_OUT, regs.iZTEMP_OUT}) SetScale(regs, p, 0.136f);
    SetScale(regs, regs.iAUX_ADC, 0.0008058f);
}

void ApplyModelSettings(App& app, int model) {
    RegisterMap& regs = app.regs;
    switch (model) {
    case 41040:
    case 41160:
        SetAccScales(regs, 0.001f);
        break;
    case 41140:
        SetAccScales(regs, 0.000333f);
        break;
    case 41190:
        app.model.GyroBaseScale = 0.2;
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
           crlf + "ProductNumber = " + GeneralTextSingle(productNumber, decimalSep) + crlf +
           "This product number is NOT recognized." + crlf + crlf +
           "USE 'Device' in the menu bar to select a product." + crlf;
}

std::string ModelStatusText(float productNumber, std::string_view decimalSep) {
    const std::string text = "Model " + GeneralTextSingle(productNumber, decimalSep);
    return RecognisedModel(productNumber) ? text : text + " not recognised";
}

float ReadProductNumber(App& app) {
    ReadRawRegister(app, 0x56);
    return static_cast<float>(app.res.RegValue);
}

void SetDevice(App& app, float ProdNum, DeviceDisplay& display) {
    const std::string sep = app.platform.decimalSeparator();
    app.model.ProductNumber = ProdNum;
    display.uncheckAllModels();
    app.plot.AccPlotMax = 10;
    app.plot.AccPlotMin = -10;
    LoadRegisterTable(app.regs, ProdNum);

    if (const auto model = RecognisedModel(app.model.ProductNumber)) {
        ApplyCommonSettings(app);
        app.plot.AccPlotMax = 10;
        app.plot.AccPlotMin = -10;
        display.checkModel(*model);
        ApplyModelSettings(app, *model);
    } else {
        app.messages.show(UnrecognisedModelText(app.model.ProductNumber, sep), MsgIcon::Critical,
                          kAppTitle);
    }

    UpdateGyroScale(app);

    const double lo = app.plot.AccPlotMin, hi = app.plot.AccPlotMax;
    display.showAccLimits(GeneralText(lo, sep), GeneralText((hi - lo) / 2 + lo, sep),
                          GeneralText(hi, sep));
    display.showDeviceCaption("Data Plot   Device = " +
                              GeneralTextSingle(app.model.ProductNumber, sep));
}

std::optional<std::string> TemperatureWarning(std::string_view readout,
                                              std::string_view decimalSep) {
    const auto t = ParseNumber(readout, decimalSep);
    if (!t) return std::nullopt;
    if (*t > 600) return std::string("Temperature > 600'C,  Check Dut Connections / Power");
    if (*t < -99) return std::string("Temperature < -99'C,  Check Dut Connections / Power");
    return std::nullopt;
}

} // namespace tavrin
