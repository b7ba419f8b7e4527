// The TAVRIN_SIM text: either a driver with no error, or no driver and one short line
// naming the bad part, printable ASCII apart from the ellipsis of a cut quote.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/SimConfig.h"

using namespace tavrin::sim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto driver = tavrin::sim::MakeSimDriverFromText(text, error);
    if (driver) {
        if (!error.empty()) std::abort();
        return 0;
    }
    // 80 bytes quoted, each at most 4 characters once escaped, and the reason.
    if (error.empty() || error.size() > 80 * 4 + 120) std::abort();
    static constexpr std::string_view kEllipsis = "\u2026";
    if (const size_t at = error.find(kEllipsis); at != std::string::npos)
        if (error.find(kEllipsis, at + 1) != std::string::npos) std::abort(); // quoted twice
    for (size_t i = 0; i < error.size(); ++i) {
        if (error.compare(i, kEllipsis.size(), kEllipsis) == 0) {
            i += kEllipsis.size() - 1;
            continue;
        }
        const auto c = static_cast<unsigned char>(error[i]);
        if (c < 0x20 || c > 0x7E) std::abort();
    }
    return 0;
}
