#pragma once
// The pure half of the libusb backend: how USB facts are laid out in the driver's
// reply buffers, the order adapters take the device names in, and the reasons a
// present adapter cannot be used. Kept apart from libusb calls so it is testable
// without a device.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavrin::transport::libusb {

// The standard 18-byte device descriptor, fields in host order.
struct DeviceDescriptor {
    uint8_t bLength = 18;
    uint8_t bDescriptorType = 1;
    uint16_t bcdUSB = 0;
    uint8_t bDeviceClass = 0;
    uint8_t bDeviceSubClass = 0;
    uint8_t bDeviceProtocol = 0;
    uint8_t bMaxPacketSize0 = 0;
    uint16_t idVendor = 0;
    uint16_t idProduct = 0;
    uint16_t bcdDevice = 0;
    uint8_t iManufacturer = 0;
    uint8_t iProduct = 0;
    uint8_t iSerialNumber = 0;
    uint8_t bNumConfigurations = 0;
};

inline constexpr std::size_t kDeviceDescriptorLength = 18;

// Writes the descriptor in wire order at offset 0 and clears the rest of the buffer.
// Returns the byte count written, 0 when the buffer cannot hold it.
std::size_t FormatDeviceDescriptor(const DeviceDescriptor& d, std::span<uint8_t> out);

// One endpoint of the active interface; pipe i is the i-th endpoint in the list.
struct Endpoint {
    uint8_t address = 0;    // bit 7 set: device to host
    uint8_t attributes = 0; // bits 1..0: 0 control, 1 isochronous, 2 bulk, 3 interrupt
    uint16_t maxPacketSize = 0;
    uint8_t interval = 0;
};

struct InterfaceInfo {
    uint8_t number = 0;
    uint8_t alternateSetting = 0;
    uint8_t interfaceClass = 0;
    uint8_t subClass = 0;
    uint8_t protocol = 0;
    std::vector<Endpoint> endpoints;
};

// Pipe information: a 16-byte interface header (length, number, alternate setting,
// class, subclass, protocol, pipe count at byte 12) followed by one 20-byte entry per
// pipe (maximum packet size at +0, endpoint address at +2, interval at +3, transfer
// type at +4). Pipes that do not fit the buffer are left out. Returns the bytes
// written, 0 when not even the header fits.
std::size_t FormatPipeInfo(const InterfaceInfo& iface, std::span<uint8_t> out);

// Where an adapter sits: bus number, then the hub port path from the root.
struct Location {
    uint8_t bus = 0;
    std::vector<uint8_t> ports;
    friend auto operator<=>(const Location&, const Location&) = default;
    friend bool operator==(const Location&, const Location&) = default;
};

// Given the locations of the attached adapters, returns their indices in the order
// they take the device names "Ezusb-0" onwards: by bus, then port path. At most
// `slots` entries; the rest are ignored.
std::vector<std::size_t> SlotOrder(const std::vector<Location>& found, std::size_t slots);

// "Ezusb-0" .. "Ezusb-3" -> 0..3; anything else -> -1.
int SlotFromName(const std::string& name, int slots);

// Why an attached adapter cannot be used, for its row in the selection window.
// `libusbError` is the libusb error code of the failed open or claim.
std::string OpenFailureReason(int libusbError);

// The little-endian 32-bit pipe number a bulk-transfer request carries; -1 when
// the input is too short.
int64_t PipeFromRequest(const uint8_t* in, std::size_t inLen);

} // namespace tavrin::transport::libusb
