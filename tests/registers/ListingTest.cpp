// The register listing read from the simulated sensor, its file, and the hexadecimal
// text a write accepts.
#include <gtest/gtest.h>

#include "SimTestApp.h"
#include "registers/Listing.h"

using namespace tavrin;

namespace {

struct Parsed {
    bool ok;
    int32_t value;
    std::string error;
};

Parsed Parse(std::string_view text) {
    Parsed p{false, -77, {}};
    p.ok = ParseWriteValue(text, p.value, p.error);
    return p;
}

// Known words for every register the listing reads; outputs are pinned so they do not move.
void SetKnownWords(sim::SimSensor& s, bool standardTable) {
    s.setWord(0x00, 0x0007); // FLSH_CNT
    if (standardTable) {
        s.hold(0x02, 0x8A9C); // SUPPLY_OUT, new-data bit set: 12 data bits 0xA9C
        s.hold(0x12, 0x0000); // YTEMP_OUT
        s.hold(0x14, 0x0007); // ZTEMP_OUT
        s.hold(0x16, 0x0800); // AUX_ADC
    }
    s.hold(0x04, 0x3FFF); // XGYRO_OUT -1
    s.hold(0x06, 0x0010);
    s.hold(0x08, 0x2000); // most negative 14-bit value
    s.hold(0x0A, 0x418D); // flag bit 14 set, data 397
    s.hold(0x0C, 0x0000);
    s.hold(0x0E, 0x3FFE);
    s.hold(0x10, 0x0FFF); // XTEMP_OUT -1: 25 - 0.1453
    const std::pair<int, int> words[] = {
        {0x1A, 0x1FFF}, {0x1C, 0x0064}, {0x1E, 0x0000}, {0x20, 0x0FF6}, {0x22, 0x0000},
        {0x24, 0x0001}, {0x26, 0x1234}, {0x28, 0x0000}, {0x2A, 0x00FF}, {0x2C, 0x0000},
        {0x2E, 0x0000}, {0x30, 0x0000}, {0x32, 0x0000}, {0x34, 0x0006}, {0x36, 0x0001},
        {0x38, 0x0402}, {0x3A, 0x0000}, {0x3C, 0x0000}, {0x52, 0xABCD}, {0x54, 0x0123},
        {0x58, 0x0042},
    };
    for (const auto& [addr, w] : words) s.setWord(addr, static_cast<uint16_t>(w));
}

// CONT_SLP and GLOB_CMD cannot be read and have no line.
const char* const kStandardListing = "Name\t\tAddr\thexValue\t   decValue\r\n"
                                     "--------------------\t---------\t---------\t   ---------\r\n"
                                     "FLSH_CNT     \t0000\t0007\t   7\r\n"
                                     "SUPPLY_OUT     \t0002\t8A9C\t   4.9744\r\n"
                                     "XGYRO_OUT     \t0004\t3FFF\t   -0.0733\r\n"
                                     "YGYRO_OUT     \t0006\t0010\t   1.1722\r\n"
                                     "ZGYRO_OUT     \t0008\t2000\t   -600.1459\r\n"
                                     "XACCL_OUT     \t000A\t418D\t   1.0012\r\n"
                                     "YACCL_OUT     \t000C\t0000\t   0.0000\r\n"
                                     "ZACCL_OUT     \t000E\t3FFE\t   -0.0050\r\n"
                                     "XTEMP_OUT     \t0010\t0FFF\t   24.8547\r\n"
                                     "YTEMP_OUT     \t0012\t0000\t   25.0000\r\n"
                                     "ZTEMP_OUT     \t0014\t0007\t   26.0171\r\n"
                                     "AUX_ADC     \t0016\t0800\t   1.2503\r\n"
                                     "XGYRO_ OFF     \t001A\t1FFF\t   -0.0183\r\n"
                                     "YGYRO_ OFF     \t001C\t0064\t   1.8315\r\n"
                                     "ZGYRO_ OFF     \t001E\t0000\t   0.0000\r\n"
                                     "XACCL_ OFF     \t0020\t0FF6\t   -0.0254\r\n"
                                     "YACCL_ OFF     \t0022\t0000\t   0.0000\r\n"
                                     "ZACCL_ OFF     \t0024\t0001\t   0.0025\r\n"
                                     "ALM_MAG1     \t0026\t1234\t   \r\n"
                                     "ALM_MAG2     \t0028\t0000\t   \r\n"
                                     "ALM_SMPL1     \t002A\t00FF\t   \r\n"
                                     "ALM_SMPL2     \t002C\t0000\t   \r\n"
                                     "ALM_CTRL     \t002E\t0000\t   \r\n"
                                     "AUX_DAC     \t0030\t0000\t   \r\n"
                                     "GPIO_CTRL     \t0032\t0000\t   \r\n"
                                     "MSC_CTRL     \t0034\t0006\t   \r\n"
                                     "SMPL_PRD     \t0036\t0001\t   \r\n"
                                     "SENS_AVG     \t0038\t0402\t   \r\n"
                                     "SLP_CNT     \t003A\t0000\t   \r\n"
                                     "DIAG_STAT     \t003C\t0000\t   \r\n"
                                     "Lot_ID1     \t0052\tABCD\t   \r\n"
                                     "Lot_ID2     \t0054\t0123\t   \r\n"
                                     "PROD_ID     \t0056\tA0A0\t   \r\n"
                                     "SERIAL_NUM     \t0058\t0042\t   \r\n";

// Model 41040 with a decimal comma: no supply, Y/Z temperature or auxiliary input, and
// the unreadable placeholder at position 1 is left out.
const char* const k41040Listing = "Name\t\tAddr\thexValue\t   decValue\r\n"
                                  "--------------------\t---------\t---------\t   ---------\r\n"
                                  "FLSH_CNT     \t0000\t0007\t   7\r\n"
                                  "XGYRO_OUT     \t0004\t3FFF\t   -0,0733\r\n"
                                  "YGYRO_OUT     \t0006\t0010\t   1,1722\r\n"
                                  "ZGYRO_OUT     \t0008\t2000\t   -600,1459\r\n"
                                  "XACCL_OUT     \t000A\t418D\t   1,0012\r\n"
                                  "YACCL_OUT     \t000C\t0000\t   0,0000\r\n"
                                  "ZACCL_OUT     \t000E\t3FFE\t   -0,0050\r\n"
                                  "XTEMP_OUT     \t0010\t0FFF\t   24,8547\r\n"
                                  "XGYRO_ OFF     \t001A\t1FFF\t   -0,0183\r\n"
                                  "YGYRO_ OFF     \t001C\t0064\t   1,8315\r\n"
                                  "ZGYRO_ OFF     \t001E\t0000\t   0,0000\r\n"
                                  "XACCL_ OFF     \t0020\t0FF6\t   -0,0254\r\n"
                                  "YACCL_ OFF     \t0022\t0000\t   0,0000\r\n"
                                  "ZACCL_ OFF     \t0024\t0001\t   0,0025\r\n"
                                  "ALM_MAG1     \t0026\t1234\t   \r\n"
                                  "ALM_MAG2     \t0028\t0000\t   \r\n"
                                  "ALM_SMPL1     \t002A\t00FF\t   \r\n"
                                  "ALM_SMPL2     \t002C\t0000\t   \r\n"
                                  "ALM_CTRL     \t002E\t0000\t   \r\n"
                                  "AUX_DAC     \t0030\t0000\t   \r\n"
                                  "GPIO_CTRL     \t0032\t0000\t   \r\n"
                                  "MSC_CTRL     \t0034\t0006\t   \r\n"
                                  "SMPL_PRD     \t0036\t0001\t   \r\n"
                                  "SENS_AVG     \t0038\t0402\t   \r\n"
                                  "SLP_CNT     \t003A\t0000\t   \r\n"
                                  "DIAG_STAT     \t003C\t0000\t   \r\n"
                                  "Lot_ID1     \t0052\tABCD\t   \r\n"
                                  "Lot_ID2     \t0054\t0123\t   \r\n"
                                  "PROD_ID     \t0056\tA050\t   \r\n"
                                  "SERIAL_NUM     \t0058\t0042\t   \r\n";

} // namespace

TEST(WriteValueText, AcceptsOneToFourHexDigitsWithBlanksAround) {
    const std::pair<const char*, int32_t> good[] = {
        {"0", 0},        {"7", 7},          {"ff", 255},          {"FF", 255},
        {"FFFF", 65535}, {" 0402 ", 0x402}, {"\t1a2B\t", 0x1A2B}, {"0001", 1},
    };
    for (const auto& [text, value] : good) {
        const Parsed p = Parse(text);
        EXPECT_TRUE(p.ok) << text;
        EXPECT_EQ(p.value, value) << text;
        EXPECT_TRUE(p.error.empty()) << text;
    }
}

TEST(WriteValueText, RefusesWhatIsNotAValueAndSaysWhy) {
    struct Case {
        const char* text;
        const char* reason;
    };
    const Case bad[] = {
        {"", "no value"},
        {"   ", "no value"},
        {"1G", "not a hexadecimal value"},
        {"0x12", "not a hexadecimal value"},
        {"-1", "not a hexadecimal value"},
        {"12 34", "not a hexadecimal value"},
        {"1,5", "not a hexadecimal value"},
        {"12345", "more than four hexadecimal digits"},
        {" 00000 ", "more than four hexadecimal digits"},
    };
    for (const auto& c : bad) {
        const Parsed p = Parse(c.text);
        EXPECT_FALSE(p.ok) << '"' << c.text << '"';
        EXPECT_EQ(p.value, -77) << "value changed for \"" << c.text << '"';
        EXPECT_NE(p.error.find(c.reason), std::string::npos) << p.error;
        EXPECT_NE(p.error.find("Nothing was written"), std::string::npos) << p.error;
    }
}

TEST(RegisterListing, StandardTableByteForByte) {
    test::SimTestApp s(41120);
    LoadRegisterTable(s.app.regs, 41120); // the table's own scales, as listed above
    SetKnownWords(s.sensor, true);
    int events = 0;
    s.app.doEvents = [&] { ++events; };

    EXPECT_EQ(BuildRegisterListing(s.app), kStandardListing);
    EXPECT_EQ(events, 0) << "the listing let window events run between reads";
    EXPECT_TRUE(s.t.messages.texts().empty());
}

TEST(RegisterListing, Table41040ByteForByteWithDecimalComma) {
    test::SimTestApp s(41040);
    LoadRegisterTable(s.app.regs, 41040);
    SetKnownWords(s.sensor, false);
    s.t.platform.decimalSep = ",";

    EXPECT_EQ(BuildRegisterListing(s.app), k41040Listing);
}

TEST(RegisterListing, SaveReportsAWriteThatFails) {
    // /dev/full accepts the open and fails the write, as a full disk does.
    std::string error;
    EXPECT_FALSE(SaveListing("/dev/full", std::string(100000, 'x'), error));
    EXPECT_NE(error.find("\"/dev/full\""), std::string::npos) << error;
}
