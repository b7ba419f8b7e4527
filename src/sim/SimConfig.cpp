#include "sim/SimConfig.h"

#include <array>
#include <charconv>
#include <initializer_list>
#include <utility>
#include <vector>

#include "base/NumberText.h"
#include "sim/SimDriver.h"

namespace tavrin::sim {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Whole text a decimal number within lo..hi.
bool ParseInt(std::string_view s, long lo, long hi, long& value) {
    if (s.empty()) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc{} && end == s.data() + s.size() && value >= lo && value <= hi;
}

std::string Quote(std::string_view s) {
    return base::QuotedInput(s);
}

// Appends the pieces; also keeps GCC 12 from a false -Wrestrict on literal + string.
std::string Join(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view p : parts) out.append(p);
    return out;
}

} // namespace

namespace {

// What the parts of the text set.
struct Settings {
    std::array<long, transport::ezusb::kSlots> models{};
    std::array<bool, transport::ezusb::kSlots> used{};
    bool deterministic = false, fullSpeed = false, realUsbTime = false;
    long seed = 1;
    std::vector<std::array<int, 3>> faults; // pipe, nth call, slot (-1: any)
};

// MODEL or SLOT:MODEL. Empty when it is one, else why not.
std::string ParseModel(std::string_view part, const std::string& where, Settings& s) {
    long slot = 0;
    std::string_view modelText = part;
    if (const std::size_t colon = part.find(':'); colon != std::string_view::npos) {
        const std::string_view slotText = Trim(part.substr(0, colon));
        long n = 0;
        if (!ParseInt(slotText, 0, 9999, n) || n >= transport::ezusb::kSlots)
            return Join({"slot ", Quote(slotText), where, " is not one of 0, 1, 2, 3"});
        slot = n;
        modelText = Trim(part.substr(colon + 1));
    }
    long model = 0;
    if (!ParseInt(modelText, 1, 65535, model))
        return Join({Quote(modelText.empty() ? part : modelText), where,
                     " is not a model number (1 to 65535)"});
    if (s.used[slot]) return Join({"slot ", std::to_string(slot), " given twice", where});
    s.used[slot] = true;
    s.models[slot] = model;
    return {};
}

// One part of the text; empty when it is understood, else the line saying why not.
std::string ParsePart(std::string_view part, const std::string& where, Settings& s) {
    if (part == "fs") {
        s.fullSpeed = true;
    } else if (part == "usbtime") {
        s.realUsbTime = true;
    } else if (part.starts_with("seed=")) {
        if (!ParseInt(part.substr(5), 0, 2147483647L, s.seed))
            return Join({Quote(part), where, " is not seed=N with N a whole number"});
        s.deterministic = true;
    } else if (part.starts_with("fail=")) {
        std::string_view what = part.substr(5);
        long slot = -1; // "fail=S:bulkP@N": only adapter S's transfers count
        if (what.size() > 2 && what[1] == ':') {
            if (!ParseInt(what.substr(0, 1), 0, transport::ezusb::kSlots - 1, slot))
                return Join({Quote(part), where, " is not fail=[SLOT:]bulkP@N (SLOT 0 to 3)"});
            what.remove_prefix(2);
        }
        const std::size_t at = what.find('@');
        long pipe = 0, nth = 0;
        if (!what.starts_with("bulk") || at == std::string_view::npos ||
            !ParseInt(what.substr(4, at - 4), 0, 1, pipe) ||
            !ParseInt(what.substr(at + 1), 1, 2147483647L, nth))
            return Join({Quote(part), where, " is not fail=bulkP@N (P 0 or 1, N from 1)"});
        s.faults.push_back({static_cast<int>(pipe), static_cast<int>(nth), static_cast<int>(slot)});
    } else {
        return ParseModel(part, where, s);
    }
    return {};
}

} // namespace

std::unique_ptr<transport::EzUsbDriver> MakeSimDriverFromText(std::string_view text,
                                                              std::string& error) {
    error.clear();
    Settings s;
    std::string_view rest = text;
    // Each message quotes one piece of the text, once: the part number says where it is.
    for (std::size_t number = 1;; ++number) {
        const std::size_t comma = rest.find(',');
        const std::string_view part = Trim(rest.substr(0, comma));
        if (part.empty()) {
            error = Join({"empty part ", std::to_string(number), " in ", Quote(text),
                          " (expected MODEL or SLOT:MODEL)"});
            return nullptr;
        }
        error = ParsePart(part, " in part " + std::to_string(number), s);
        if (!error.empty()) return nullptr;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    auto driver = std::make_unique<SimDriver>();
    for (int k = 0; k < transport::ezusb::kSlots; ++k) {
        if (!s.used[k]) continue;
        SimOptions o;
        o.model = static_cast<float>(s.models[k]);
        o.deterministic = s.deterministic;
        o.seed = static_cast<uint64_t>(s.seed) + static_cast<uint64_t>(k);
        o.highSpeed = !s.fullSpeed;
        o.realUsbTime = s.realUsbTime;
        driver->addAdapter(k, o);
    }
    for (const auto& [pipe, nth, slot] : s.faults) driver->failBulk(pipe, nth, slot);
    return driver;
}

} // namespace tavrin::sim
