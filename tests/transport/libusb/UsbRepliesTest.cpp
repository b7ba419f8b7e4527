// The libusb backend's pure parts that the emulated adapters cannot reach: hubs in
// the slot order, malformed names, the reply layouts byte by byte, every reason text.
#include <gtest/gtest.h>

#include <libusb.h>

#include "transport/libusb/UsbReplies.h"

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

TEST(UsbReplyLayout, DescriptorAndPipesInTheDriverLayoutAndNothingHalfWritten) {
    const DeviceDescriptor d{18,     1,      0x0200, 0xFF, 0xFE, 0xFD, 64,
                             0x5E21, 0xB600, 0x0001, 1,    2,    0,    1};
    Bytes dev(147, 0xEE), small(17, 0xEE);
    EXPECT_EQ(FormatDeviceDescriptor(d, small), 0u);
    EXPECT_EQ(small, Bytes(17, 0xEE));
    ASSERT_EQ(FormatDeviceDescriptor(d, dev), 18u);
    Bytes expected = {18,   1,    0x00, 0x02, 0xFF, 0xFE, 0xFD, 64, 0x21,
                      0x5E, 0x00, 0xB6, 0x01, 0x00, 1,    2,    0,  1}; // the rest cleared
    expected.resize(147, 0);
    EXPECT_EQ(dev, expected);

    // Header: length, interface, class, subclass, protocol, pipe count; then 20 bytes a
    // pipe: packet size, endpoint, interval, transfer type.
    InterfaceInfo iface{1, 2, 0xFF, 3, 4, {}};
    for (int i = 0; i < 20; ++i)
        iface.endpoints.push_back({static_cast<uint8_t>(0x81 + i), static_cast<uint8_t>(i % 4),
                                   static_cast<uint16_t>(0x200 + i), static_cast<uint8_t>(i)});
    Bytes buf(356, 0xEE), header(16), tooSmall(15);
    ASSERT_EQ(FormatPipeInfo(iface, buf), 356u); // 17 pipes fit, 3 do not
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 16),
              (Bytes{0x64, 0x01, 1, 2, 0xFF, 3, 4, 0, 0, 0, 0, 0, 17, 0, 0, 0}));
    for (int i = 0; i < 17; ++i) {
        const uint8_t* e = buf.data() + 16 + 20 * i;
        Bytes entry = {static_cast<uint8_t>(i), 2, static_cast<uint8_t>(0x81 + i),
                       static_cast<uint8_t>(i), static_cast<uint8_t>(i % 4)};
        entry.resize(20, 0);
        EXPECT_EQ(Bytes(e, e + 20), entry) << i;
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
