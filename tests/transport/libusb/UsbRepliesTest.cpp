// The libusb backend's pure parts that the emulated adapters cannot reach: hubs in
// the slot order, malformed names, short buffers, every reason text.
#include <gtest/gtest.h>

#include <libusb.h>

#include "transport/libusb/UsbReplies.h"

using namespace tavrin::transport::libusb;

namespace tavrin::transport::libusb {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(UsbSlots, OrderIsBusThenPortPathAndOtherNamesAreRefused) {
    // A hub's own port sorts before what hangs behind it; ports are numbers: 10 after 3.
    const std::vector<Location> found = {{2, {1}}, {1, {3}},  {1, {2, 4}},
                                         {1, {2}}, {1, {10}}, {1, {2, 1}}};
    EXPECT_EQ(SlotOrder(found, 10), (std::vector<std::size_t>{3, 5, 2, 1, 4, 0}));
    EXPECT_EQ(SlotOrder(found, 4), (std::vector<std::size_t>{3, 5, 2, 1}));
    for (const char* bad : {"Ezusb-4", "Ezusb-", "Ezusb-00", "ezusb-0", "Ezusb-/", "", "Ezusb-0 "})
        EXPECT_EQ(SlotFromName(bad, 4), -1) << bad;
}

TEST(UsbReplyLayout, ShortBuffersGetNothingHalfWrittenAndPipesThatDoNotFitAreLeftOut) {
    Bytes small(17, 0xEE);
    EXPECT_EQ(FormatDeviceDescriptor(DeviceDescriptor{}, small), 0u);
    EXPECT_EQ(small, Bytes(17, 0xEE));

    InterfaceInfo iface{0, 0, 0xFF, 0, 0, {}};
    for (int i = 0; i < 20; ++i)
        iface.endpoints.push_back({static_cast<uint8_t>(i), 2, static_cast<uint16_t>(100 + i), 0});
    Bytes buf(356, 0xEE), header(16), tooSmall(15);
    ASSERT_EQ(FormatPipeInfo(iface, buf), 356u); // 17 pipes fit, 3 do not
    EXPECT_EQ(buf[0] | (buf[1] << 8), 356);
    EXPECT_EQ(buf[12], 17);
    for (int i = 0; i < 17; ++i) {
        const uint8_t* e = buf.data() + 16 + 20 * i;
        EXPECT_EQ(Bytes(e, e + 3),
                  (Bytes{static_cast<uint8_t>(100 + i), 0, static_cast<uint8_t>(i)}));
    }
    EXPECT_EQ(FormatPipeInfo(iface, header), 16u);
    EXPECT_EQ(header[12], 0);
    EXPECT_EQ(FormatPipeInfo(iface, tooSmall), 0u);
}

TEST(UsbOpenFailure, ReasonsTheSelectionWindowShows) {
    const std::pair<int, std::string> rows[] = {
        {LIBUSB_ERROR_ACCESS, "no permission \u2014 see README, 'Using a real adapter'"},
        {LIBUSB_ERROR_BUSY, "in use by another program"},
        {LIBUSB_ERROR_NO_DEVICE, "unplugged"},
        {LIBUSB_SUCCESS, ""}};
    for (const auto& [code, text] : rows) EXPECT_EQ(OpenFailureReason(code), text) << code;
    const std::string prefix = "cannot be opened: ", other = OpenFailureReason(LIBUSB_ERROR_IO);
    EXPECT_EQ(other.rfind(prefix, 0), 0u);
    EXPECT_GT(other.size(), prefix.size()); // says what went wrong
}

} // namespace
} // namespace tavrin::transport::libusb
