#include "base/HexText.h"

namespace tavrin::base {

std::string LongToHex4(int32_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto v = static_cast<uint32_t>(value);
    std::string out(4, '0');
    for (int i = 0; i < 4; ++i) out[3 - i] = kDigits[(v >> (4 * i)) & 0xF];
    return out;
}

namespace {
int32_t DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}
} // namespace

int32_t HexToLong(std::string_view text) {
    if (text.size() > 4) return kHexTooLong;
    int32_t sum = 0;
    for (char c : text) sum = sum * 16 + DigitValue(c);
    return sum;
}

} // namespace tavrin::base
