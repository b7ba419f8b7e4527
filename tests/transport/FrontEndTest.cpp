#include <gtest/gtest.h>

#include "SimTestApp.h"
#include "transport/FrontEnd.h"

namespace tavrin {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(FrontEndRead, SendsRequestTwiceAndTakesSecondWord) {
    test::SimTestApp s;
    s.sensor.hold(0x20, 0x1234);
    s.sensor.hold(0x3E, 0xABCD);
    int16_t first = 0x20;
    ReadRegisterWord(s.app, first); // leaves 0x1234 to be clocked out next
    s.driver.clearCommands();

    int16_t address = 0xBE;
    EXPECT_EQ(ReadRegisterWord(s.app, address), 0xABCD);
    EXPECT_EQ(address, 0x3E);
    ASSERT_EQ(s.driver.commands().size(), 1u);
    EXPECT_EQ(s.driver.commands()[0], (Bytes{0x0D, 0x01, 0x02, 0x3E, 0x00, 0x3E, 0x00}));
    EXPECT_EQ(s.app.usb.SpiInWords[1], 0x1234);
    EXPECT_EQ(s.app.usb.SpiInWords[2], 0xABCD);
    EXPECT_EQ(s.driver.openHandles(), 0);
    EXPECT_TRUE(s.t.messages.shown.empty());
}

} // namespace
} // namespace tavrin
