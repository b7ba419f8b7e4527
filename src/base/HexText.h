#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin::base {

// The low 16 bits of a value as four upper-case hexadecimal digits.
std::string LongToHex4(int32_t value);

// Text longer than four characters has no room in a 16-bit register value.
inline constexpr int32_t kHexTooLong = -1;

// Up to four hexadecimal digits to 0..65535; a character that is no hexadecimal digit
// counts as 0 (its caller decides what to accept). Longer text gives kHexTooLong.
int32_t HexToLong(std::string_view text);

} // namespace tavrin::base
