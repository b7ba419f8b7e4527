// The register listing built from whatever words the sensor answers: one line per
// readable register, each of the documented shape, whatever the words.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "SimTestApp.h"
#include "base/HexText.h"
#include "base/NumberText.h"
#include "registers/Listing.h"
#include "registers/RegisterMap.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

using namespace tavrin;

namespace {

bool IsHex4(std::string_view s) {
    return s.size() == 4 && HexToLong(s) >= 0 && LongToHex4(HexToLong(s)) == s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool other = data[0] & 1;
    const std::string sep = (data[0] & 2) ? "," : ".";
    static test::SimTestApp plain(41120), older(41040);
    test::SimTestApp& s = other ? older : plain;
    s.driver.setCommandLog(false); // the log would grow over the whole run
    s.t.platform.decimalSep = sep;

    // Every register address answers the next word of the input, then 0.
    size_t at = 1;
    for (int addr = 0; addr < 0x80; addr += 2) {
        uint16_t w = 0;
        if (at + 1 < size) w = static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
        at += 2;
        s.sensor.hold(addr, w);
    }

    const std::string text = BuildRegisterListing(s.app.registers()).text;
    const std::string heading = ListingHeading();
    if (text.compare(0, heading.size(), heading) != 0) std::abort();

    int16_t pos = 0;
    size_t line = heading.size();
    while (line < text.size()) {
        while (pos <= s.app.regs.LastRegIndex &&
               (!s.app.regs.at(pos) || !s.app.regs.at(pos)->ReadFlag))
            ++pos;
        if (pos > s.app.regs.LastRegIndex) std::abort(); // more lines than registers
        const RegisterRecord& reg = *s.app.regs.at(pos++);
        const size_t end = text.find("\r\n", line);
        if (end == std::string::npos) std::abort();
        const std::string_view l(text.data() + line, end - line);
        line = end + 2;
        // label "     \t" address "\t" word "\t   " decimal
        const size_t t1 = l.find("     \t");
        if (t1 == std::string_view::npos) std::abort();
        const std::string_view rest = l.substr(t1 + 6);
        if (rest.size() < 13 || rest[4] != '\t' || rest.substr(9, 4) != "\t   ") std::abort();
        if (!IsHex4(rest.substr(0, 4)) || HexToLong(rest.substr(0, 4)) != reg.Address) std::abort();
        if (!IsHex4(rest.substr(5, 4))) std::abort();
        const std::string_view dec = rest.substr(13);
        if (!dec.empty() && !ParseNumber(dec, sep)) std::abort();
    }
    while (pos <= s.app.regs.LastRegIndex) {
        const RegisterRecord* reg = s.app.regs.at(pos++);
        if (reg && reg->ReadFlag) std::abort(); // a readable register left out
    }
    return 0;
}
