#include "transport/libusb/UsbReplies.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include <libusb.h>

namespace tavrin::transport::libusb {
namespace {

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

std::size_t FormatDeviceDescriptor(const DeviceDescriptor& d, std::span<uint8_t> out) {
    if (out.size() < kDeviceDescriptorLength) return 0;
    std::fill(out.begin(), out.end(), uint8_t{0});
    uint8_t* p = out.data();
    p[0] = d.bLength;
    p[1] = d.bDescriptorType;
    Put16(p + 2, d.bcdUSB);
    p[4] = d.bDeviceClass;
    p[5] = d.bDeviceSubClass;
    p[6] = d.bDeviceProtocol;
    p[7] = d.bMaxPacketSize0;
    Put16(p + 8, d.idVendor);
    Put16(p + 10, d.idProduct);
    Put16(p + 12, d.bcdDevice);
    p[14] = d.iManufacturer;
    p[15] = d.iProduct;
    p[16] = d.iSerialNumber;
    p[17] = d.bNumConfigurations;
    return kDeviceDescriptorLength;
}

std::size_t FormatPipeInfo(const InterfaceInfo& iface, std::span<uint8_t> out) {
    constexpr std::size_t kHeader = 16, kEntry = 20;
    if (out.size() < kHeader) return 0;
    std::fill(out.begin(), out.end(), uint8_t{0});
    const std::size_t fit = std::min(iface.endpoints.size(), (out.size() - kHeader) / kEntry);
    const std::size_t length = kHeader + fit * kEntry;
    uint8_t* p = out.data();
    Put16(p, static_cast<uint16_t>(length));
    p[2] = iface.number;
    p[3] = iface.alternateSetting;
    p[4] = iface.interfaceClass;
    p[5] = iface.subClass;
    p[6] = iface.protocol;
    Put32(p + 12, static_cast<uint32_t>(fit));
    for (std::size_t i = 0; i < fit; ++i) {
        const Endpoint& ep = iface.endpoints[i];
        uint8_t* e = p + kHeader + i * kEntry;
        Put16(e, ep.maxPacketSize);
        e[2] = ep.address;
        e[3] = ep.interval;
        Put32(e + 4, ep.attributes & 0x03u);
    }
    return length;
}

std::vector<std::size_t> SlotOrder(const std::vector<Location>& found, std::size_t slots) {
    std::vector<std::size_t> order(found.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return found[a] < found[b]; });
    if (order.size() > slots) order.resize(slots);
    return order;
}

int SlotFromName(const std::string& name, int slots) {
    static constexpr char kPrefix[] = "Ezusb-";
    constexpr std::size_t n = sizeof(kPrefix) - 1;
    if (name.size() != n + 1 || name.compare(0, n, kPrefix) != 0) return -1;
    const int k = name[n] - '0';
    return (k >= 0 && k < slots) ? k : -1;
}

std::string OpenFailureReason(int libusbError) {
    switch (libusbError) {
    case LIBUSB_SUCCESS:
        return {};
    case LIBUSB_ERROR_ACCESS:
        return "no permission \u2014 see README, 'Using a real adapter'";
    case LIBUSB_ERROR_BUSY:
        return "in use by another program";
    case LIBUSB_ERROR_NO_DEVICE:
        return "unplugged";
    default:
        return std::string("cannot be opened: ") +
               libusb_strerror(static_cast<libusb_error>(libusbError));
    }
}

int64_t PipeFromRequest(const uint8_t* in, std::size_t inLen) {
    if (in == nullptr || inLen < 4) return -1;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in[i]) << (8 * i);
    return static_cast<int32_t>(v);
}

} // namespace tavrin::transport::libusb
