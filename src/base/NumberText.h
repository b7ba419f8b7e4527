#pragma once
// Number texts as the program shows and writes them: fixed patterns ("0.00"),
// general forms, the user's decimal separator, never digit grouping.
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::base {

// General form of a double: up to 15 significant digits, no trailing zeros,
// exponent form ("1E-05", "1.5E+16") only for very small or large magnitudes.
std::string GeneralText(double value, std::string_view decimalSep = ".");
// General form of a single-precision value: up to 7 significant digits.
std::string GeneralTextSingle(float value, std::string_view decimalSep = ".");
// Fixed pattern with `decimals` digits after the separator ("0", "0.0", "0.00", "0.0000").
std::string FixedText(double value, int decimals, std::string_view decimalSep = ".");
// Nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value);

// A text is a number when the whole text, blanks around it allowed, is a decimal
// number (sign, digits, one decimal separator, exponent). Both "." and the user's
// separator are accepted as the decimal point. An empty text is not a number.
std::optional<double> ParseNumber(std::string_view text, std::string_view decimalSep = ".");

// Text from outside as a message quotes it: in double quotes, at most 80 bytes (then "…"),
// every byte that is not printable ASCII as \xNN and backslash and quote escaped, so a
// message stays one short line that shows exactly what was given.
std::string QuotedInput(std::string_view text);

} // namespace tavrin::base
