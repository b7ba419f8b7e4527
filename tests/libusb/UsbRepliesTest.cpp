// The libusb backend's pure parts: slot order, names, reply layouts, reasons.
#include <algorithm>

#include <gtest/gtest.h>

#include <libusb.h>

#include "transport/libusb/UsbReplies.h"

namespace tavrin::usb {
namespace {

TEST(UsbSlotOrder, BusFirstThenPortPathFromTheRoot) {
    const std::vector<Location> found = {
        {2, {1}},    // 0
        {1, {3}},    // 1
        {1, {2, 4}}, // 2
        {1, {2}},    // 3: the hub port itself sorts before what hangs behind it
        {1, {10}},   // 4: numbers, not text: 10 after 3
        {1, {2, 1}}, // 5
    };
    EXPECT_EQ(SlotOrder(found, 10), (std::vector<std::size_t>{3, 5, 2, 1, 4, 0}));
    EXPECT_EQ(SlotOrder(found, 4), (std::vector<std::size_t>{3, 5, 2, 1}));
    EXPECT_TRUE(SlotOrder({}, 4).empty());
}

TEST(UsbSlotOrder, DeviceNamesAreExactlyEzusbZeroToThree) {
    EXPECT_EQ(SlotFromName("Ezusb-0", 4), 0);
    EXPECT_EQ(SlotFromName("Ezusb-3", 4), 3);
    for (const char* bad : {"Ezusb-4", "Ezusb-", "Ezusb-00", "ezusb-0", "Ezusb-/", "", "Ezusb-0 "})
        EXPECT_EQ(SlotFromName(bad, 4), -1) << bad;
}

TEST(UsbReplyLayout, DeviceDescriptorGoesAtOffsetZeroLittleEndian) {
    DeviceDescriptor d;
    d.bcdUSB = 0x0200;
    d.bMaxPacketSize0 = 64;
    d.idVendor = 0x5E21;
    d.idProduct = 0xB600;
    d.bcdDevice = 0x0A01;
    d.iManufacturer = 1;
    d.iProduct = 2;
    d.bNumConfigurations = 1;
    std::vector<uint8_t> buf(147, 0xEE);
    ASSERT_EQ(FormatDeviceDescriptor(d, buf), 18u);
    EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 18),
              (std::vector<uint8_t>{18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x21, 0x5E, 0x00, 0xB6, 0x01,
                                    0x0A, 1, 2, 0, 1}));
    EXPECT_EQ(std::count(buf.begin() + 18, buf.end(), 0), 147 - 18);
    std::vector<uint8_t> small(17, 0xEE);
    EXPECT_EQ(FormatDeviceDescriptor(d, small), 0u);
    EXPECT_EQ(small, std::vector<uint8_t>(17, 0xEE)); // nothing half-written
}

TEST(UsbReplyLayout, PipeInformationKeepsToTheBuffer) {
    InterfaceInfo iface{0, 0, 0xFF, 0, 0, {}};
    for (int i = 0; i < 20; ++i)
        iface.endpoints.push_back({static_cast<uint8_t>(i), 2, static_cast<uint16_t>(100 + i), 0});
    std::vector<uint8_t> buf(356, 0xEE);
    ASSERT_EQ(FormatPipeInfo(iface, buf), 356u); // 17 pipes fit, 3 do not
    EXPECT_EQ(buf[12], 17);
    EXPECT_EQ(buf[0] | (buf[1] << 8), 356);
    for (int i = 0; i < 17; ++i) {
        const uint8_t* e = buf.data() + 16 + 20 * i;
        EXPECT_EQ(e[0] | (e[1] << 8), 100 + i);
        EXPECT_EQ(e[2], i);
    }
    std::vector<uint8_t> header(16), tooSmall(15);
    EXPECT_EQ(FormatPipeInfo(iface, header), 16u);
    EXPECT_EQ(header[12], 0);
    EXPECT_EQ(FormatPipeInfo(iface, tooSmall), 0u);
}

TEST(UsbReplyLayout, PipeNumberIsFourLittleEndianBytes) {
    const uint8_t one[4] = {1, 0, 0, 0}, big[4] = {0x00, 0x01, 0, 0},
                  neg[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(PipeFromRequest(one, 4), 1);
    EXPECT_EQ(PipeFromRequest(big, 4), 256);
    EXPECT_LT(PipeFromRequest(neg, 4), 0);
    EXPECT_EQ(PipeFromRequest(one, 3), -1);
    EXPECT_EQ(PipeFromRequest(nullptr, 4), -1);
}

TEST(UsbOpenFailure, ReasonsTheSelectionWindowShows) {
    EXPECT_EQ(OpenFailureReason(LIBUSB_ERROR_ACCESS),
              "no permission \u2014 see README, 'Using a real adapter'");
    EXPECT_EQ(OpenFailureReason(LIBUSB_ERROR_BUSY), "in use by another program");
    EXPECT_EQ(OpenFailureReason(LIBUSB_ERROR_NO_DEVICE), "unplugged");
    EXPECT_EQ(OpenFailureReason(LIBUSB_SUCCESS), "");
    const std::string other = OpenFailureReason(LIBUSB_ERROR_IO);
    EXPECT_EQ(other.rfind("cannot be opened: ", 0), 0u);
    EXPECT_GT(other.size(), std::string("cannot be opened: ").size());
}

} // namespace
} // namespace tavrin::usb
