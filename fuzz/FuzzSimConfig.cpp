// The TAVRIN_SIM text: either a driver with no error, or no driver and one line
// naming the bad part.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/SimConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto driver = tavrin::MakeSimDriverFromText(text, error);
    if (driver) {
        if (!error.empty()) std::abort();
    } else {
        if (error.empty() || error.find('\n') != std::string::npos) std::abort();
    }
    return 0;
}
