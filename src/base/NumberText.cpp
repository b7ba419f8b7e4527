#include "base/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tavrin::base {

namespace {

std::string WithSeparator(std::string s, std::string_view sep) {
    if (sep == ".") return s;
    const auto pos = s.find('.');
    if (pos != std::string::npos) s.replace(pos, 1, sep);
    return s;
}

std::string General(double value, int digits, std::string_view sep) {
    if (value == 0) return "0"; // also turns -0 into "0"
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, value);
    return WithSeparator(buf, sep);
}

} // namespace

std::string GeneralText(double value, std::string_view decimalSep) {
    return General(value, 15, decimalSep);
}

std::string GeneralTextSingle(float value, std::string_view decimalSep) {
    return General(static_cast<double>(value), 7, decimalSep);
}

std::string FixedText(double value, int decimals, std::string_view decimalSep) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return WithSeparator(buf, decimalSep);
}

double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

std::optional<double> ParseNumber(std::string_view text, std::string_view decimalSep) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    if (text.empty() || text.size() > 300) return std::nullopt;

    std::string norm;
    std::size_t i = 0;
    if (text[i] == '+' || text[i] == '-') norm += text[i++];
    bool digits = false, point = false;
    while (i < text.size()) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            norm += c;
            ++i;
        } else if (!point && (c == '.' || text.substr(i, decimalSep.size()) == decimalSep)) {
            point = true;
            norm += '.';
            i += (c == '.') ? 1 : decimalSep.size();
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        norm += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) norm += text[i++];
        bool expDigits = false;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            expDigits = true;
            norm += text[i++];
        }
        if (!expDigits) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const double v = std::strtod(norm.c_str(), nullptr);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::string QuotedInput(std::string_view text) {
    constexpr std::size_t kLimit = 80;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (const char c : text.substr(0, kLimit)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7F) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    if (text.size() > kLimit) out += "\u2026";
    out += '"';
    return out;
}

} // namespace tavrin::base
