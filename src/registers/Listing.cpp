#include "registers/Listing.h"

#include "base/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/HexText.h"
#include "base/NumberText.h"
#include "base/OsFiles.h"
#include "base/Timing.h"
#include "registers/FrontEnd.h"
#include "registers/RegisterState.h"

namespace tavrin::registers {

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

std::string ListingHeading() {
    std::string s;
    s += "Name\t\tAddr\thexValue\t   decValue";
    s += kCrLf;
    s += "--------------------\t---------\t---------\t   ---------";
    s += kCrLf;
    return s;
}

std::string ListingLine(const RegisterRecord& reg, const RegResults& res,
                        std::string_view decimalSep) {
    std::string label = reg.Label;
    while (!label.empty() && label.back() == ' ') label.pop_back();

    std::string dec;
    if (reg.RegType == "Info")
        dec = base::FixedText(res.RegScaled, 0, decimalSep);
    else if (reg.RegType == "UserCal" || reg.RegType == "Output")
        dec = base::FixedText(res.RegScaled, 4, decimalSep);

    std::string s = label;
    s += "     \t";
    s += base::LongToHex4(reg.Address);
    s += '\t';
    s += base::LongToHex4(res.RegRaw);
    s += "\t   ";
    s += dec;
    s += kCrLf;
    return s;
}

Listing BuildRegisterListing(const RegisterAccess& io) {
    const std::string sep = io.platform.decimalSeparator();
    Listing out{transport::Status::Ok, ListingHeading()};
    for (int16_t pos = 0; pos <= io.regs.LastRegIndex; ++pos) {
        const RegisterRecord* reg = io.regs.at(pos);
        if (!reg || !reg->ReadFlag) continue;
        const Reading r = ReadRegister(io, pos);
        if (out.status == transport::Status::Ok) out.status = r.status;
        out.text += ListingLine(*reg, r.res, sep);
    }
    return out;
}

bool SaveListing(const std::filesystem::path& file, std::string_view text, std::string& error) {
    // Written beside the old listing and renamed over it: a full disk or a planted symlink
    // never costs the old listing, and nothing is written through a link ("-": standard
    // output).
    if (base::WriteOutputFile(file, text, error)) return true;
    error = "The register listing could not be saved. " + error;
    return false;
}

transport::Status UpdateFlash(const RegisterAccess& io) {
    const Written w = WriteRegister(io, io.regs.iGLOB_CMD, 8);
    // The sensor needs this long to store its settings.
    float ms = 250;
    base::DelayMs(io.wait, ms);
    return w.status;
}

bool ParseWriteValue(std::string_view text, int32_t& value, std::string& error) {
    std::size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    const std::string_view digits = text.substr(b, e - b);

    if (digits.empty()) {
        error = "There is no value to write. Type one to four hexadecimal digits (0-9, A-F). "
                "Nothing was written.";
        return false;
    }
    for (char c : digits) {
        if (!IsHexDigit(c)) {
            error = Quoted(digits) +
                    " is not a hexadecimal value. Type one to four hexadecimal digits "
                    "(0-9, A-F). Nothing was written.";
            return false;
        }
    }
    if (digits.size() > 4) {
        error = Quoted(digits) +
                " has more than four hexadecimal digits; a register takes 0000 to FFFF. "
                "Nothing was written.";
        return false;
    }
    value = base::HexToLong(digits);
    return true;
}

} // namespace tavrin::registers
