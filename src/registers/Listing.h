#pragma once
// The register window's listing and its file, and the hexadecimal text it accepts for a
// write. Kept apart from the window so it runs and is tested without a display.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "registers/RegisterState.h"

namespace tavrin::registers {

inline constexpr std::string_view kListingFileName = "Registers_LOG.txt";

// Heading and rule lines, each ending in CR LF.
std::string ListingHeading();
// The line of one register from the values of its read, CR LF included.
std::string ListingLine(const RegisterRecord& reg, const RegResults& res,
                        std::string_view decimalSep);
// Reads every readable register from 0 to LastRegIndex, one after the other and without
// letting window events run: the whole listing, and the first failure the reads met.
struct [[nodiscard]] Listing {
    transport::Status status = transport::Status::Ok;
    std::string text;
};
Listing BuildRegisterListing(const RegisterAccess& io);

// Writes the listing to `file`, replacing it. On failure returns false and sets `error`
// to a message naming the file.
bool SaveListing(const std::filesystem::path& file, std::string_view text, std::string& error);

// The register window's Update Flash: tells the sensor to store its settings and waits
// while it does.
transport::Status UpdateFlash(const RegisterAccess& io);

// The value a write may send: one to four hexadecimal digits, blanks around them allowed.
// Anything else leaves `value` alone, sets `error` to the reason and returns false, so a
// control register never receives a value the user did not type.
bool ParseWriteValue(std::string_view text, int32_t& value, std::string& error);

} // namespace tavrin::registers
