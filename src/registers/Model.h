#pragma once
// Applying a sensor model: register table, per-model scale factors, gyroscope range,
// and what the main window shows about the model. The window supplies the display.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "registers/RegisterState.h"

namespace tavrin::registers {

// The models the Device menu offers, in menu order.
inline constexpr std::array<int, 6> kDeviceModels = {41040, 41120, 41140, 41160, 41170, 41190};

// What SetDevice changes on screen: the Device menu's check marks, the accelerometer
// chart's scale labels and the chart frame's caption.
class DeviceDisplay {
  public:
    virtual ~DeviceDisplay() = default;
    virtual void uncheckAllModels() = 0;
    virtual void checkModel(int model) = 0;
    virtual void showAccLimits(const std::string& lower, const std::string& middle,
                               const std::string& upper) = 0;
    virtual void showDeviceCaption(const std::string& caption) = 0;
};

// The model number when it is one of the six, exactly; otherwise nothing.
std::optional<int> RecognisedModel(float productNumber);

// The status bar's model text: "Model 41120", or "Model 123 not recognised".
std::string ModelStatusText(float productNumber, std::string_view decimalSep = ".");

// The message shown for a product number that is none of the six.
std::string UnrecognisedModelText(float productNumber, std::string_view decimalSep = ".");

// Reads the product identifier straight from the sensor (before any table is loaded).
float ReadProductNumber(const RegisterAccess& io);

// Applies a model: loads its register table, sets its scale factors (or reports an
// unknown number), refreshes the gyroscope scale from the sensor and updates the display.
void SetDevice(const RegisterAccess& io, float ProdNum, DeviceDisplay& display);

// The warning for an implausible temperature readout, if any. The text is the
// readout as shown, in the user's number format; a text that is no number warns of nothing.
std::optional<std::string> TemperatureWarning(std::string_view readout,
                                              std::string_view decimalSep);

} // namespace tavrin::registers
