// Texts typed into the numeric fields (logging settings, loop delay) and the register
// write field. Each field's handler rewrites its text and runs again on the new text:
// that must settle at once on a text that is a number within the field's bounds, and the
// write field must accept only values a 16-bit register can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/HexText.h"
#include "base/NumberText.h"
#include "datalog/LogFormat.h"
#include "registers/Listing.h"
#include "view/ChartCore.h"

using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::view;

using namespace tavrin;

namespace {

template <typename Rewrite> std::string Settle(std::string text, Rewrite rewrite) {
    for (int pass = 0; pass < 3; ++pass) {
        const auto next = rewrite(text);
        if (!next) return text;
        text = *next;
    }
    std::abort(); // the handler would run again and again
}

void CheckField(std::string_view typed, const datalog::FieldRule& rule, std::string_view sep) {
    const std::string settled = Settle(std::string(typed), [&](const std::string& t) {
        return datalog::FieldRewrite(t, rule, sep);
    });
    const auto v = ParseNumber(settled, sep);
    if (!v || *v < rule.lower || *v > rule.upper) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (std::string_view sep : {".", ","}) {
        CheckField(text, datalog::kSamplesPerFileRule, sep);
        CheckField(text, datalog::kFilesPerSessionRule, sep);
        CheckField(text, datalog::kSampleDelayRule, sep);

        const std::string delay = Settle(std::string(text), [&](const std::string& t) {
            return view::LoopDelayCorrection(t, sep);
        });
        const auto d = ParseNumber(delay, sep);
        if (!d || *d < 0 || *d > 1000) std::abort();
        const int ms = view::LoopDelayMs(delay, sep);
        if (ms < 0 || ms > 1000) std::abort();
    }

    int32_t value = -12345;
    std::string error;
    if (ParseWriteValue(text, value, error)) {
        if (value < 0 || value > 0xFFFF || !error.empty()) std::abort();
        // Accepted text is one to four hex digits with blanks around them.
        std::string_view t = text;
        while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
        while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
        if (t.empty() || t.size() > 4 || HexToLong(t) != value) std::abort();
    } else if (value != -12345 || error.empty()) {
        std::abort(); // a refusal leaves the value alone and says why
    }
    return 0;
}
