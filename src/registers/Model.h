#pragma once
// Applying a sensor model: register table and per-model scale factors, and the model's
// texts. What the windows show of it is done above, in app.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "registers/Models.h"
#include "registers/RegisterState.h"

namespace tavrin::registers {

// The model number when it is one of the six, exactly; otherwise nothing.
std::optional<int> RecognisedModel(float productNumber);

// The status bar's model text: "Model 41120", or "Model 123 not recognised".
std::string ModelStatusText(float productNumber, std::string_view decimalSep = ".");

// The message shown for a product number that is none of the six.
std::string UnrecognisedModelText(float productNumber, std::string_view decimalSep = ".");

// Reads the product identifier straight from the sensor (before any table is loaded).
struct [[nodiscard]] ProductRead {
    transport::Status status = transport::Status::Ok;
    float number = 0;
};
ProductRead ReadProductNumber(const RegisterAccess& io);

// Applies a model's table and scale factors: loads its register table and, for a model of
// the table, sets its factors; the model, or nothing for an unknown number (whose table is
// the standard one, factors untouched). The gyroscopes' scale follows from the sensor's
// range afterwards (UpdateGyroScale).
std::optional<ModelInfo> LoadModel(const RegisterAccess& io, float productNumber);

// The warning for an implausible temperature readout, if any. The text is the
// readout as shown, in the user's number format; a text that is no number warns of nothing.
std::optional<std::string> TemperatureWarning(std::string_view readout,
                                              std::string_view decimalSep);

} // namespace tavrin::registers
