// Number and hex text as typed by users: no crash, results within their documented ranges,
// and every accepted number survives a round trip through its general text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/HexText.h"
#include "base/NumberText.h"

using namespace tavrin::base;

using namespace tavrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const int32_t hex = HexToLong(text);
    if (text.size() > 4 ? hex != kHexTooLong : (hex < 0 || hex > 0xFFFF)) std::abort();
    if (LongToHex4(hex).size() != 4) std::abort();

    for (std::string_view sep : {".", ","}) {
        const auto v = ParseNumber(text, sep);
        if (!v) continue;
        if (!std::isfinite(*v)) std::abort();
        const auto again = ParseNumber(GeneralText(*v, sep), sep);
        if (!again || std::fabs(*again - *v) > std::fabs(*v) * 1e-14) std::abort();
        (void)FixedText(*v, 2, sep);
    }
    return 0;
}
