// What libusb reports about an attached device (descriptor, endpoints, bus and port path)
// is laid into the driver's reply buffers of any size the caller gives: never past the
// buffer, every field where the reader expects it, and the slot order a true ordering.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "transport/libusb/UsbReplies.h"

using namespace tavrin::transport::libusb;

namespace {

class Input {
  public:
    Input(const uint8_t* d, size_t n) : d_(d), n_(n) {}
    uint8_t byte() { return i_ < n_ ? d_[i_++] : 0; }
    uint16_t word() { return static_cast<uint16_t>(byte() | (byte() << 8)); }

  private:
    const uint8_t* d_;
    size_t n_;
    size_t i_ = 0;
};

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The buffer sits between guard bytes that no call may touch.
constexpr uint8_t kGuard = 0xA5;
constexpr size_t kSlack = 16;

void CheckGuards(const std::vector<uint8_t>& buf, size_t len) {
    for (size_t i = 0; i < kSlack; ++i)
        if (buf[i] != kGuard || buf[kSlack + len + i] != kGuard) std::abort();
}

void CheckDescriptor(Input& in) {
    DeviceDescriptor d;
    d.bLength = in.byte();
    d.bDescriptorType = in.byte();
    d.bcdUSB = in.word();
    d.bDeviceClass = in.byte();
    d.bMaxPacketSize0 = in.byte();
    d.idVendor = in.word();
    d.idProduct = in.word();
    d.bcdDevice = in.word();
    d.iSerialNumber = in.byte();
    d.bNumConfigurations = in.byte();
    const size_t len = in.byte() % 40;
    std::vector<uint8_t> buf(len + 2 * kSlack, kGuard);
    const size_t n = FormatDeviceDescriptor(d, {buf.data() + kSlack, len});
    CheckGuards(buf, len);
    if (n != (len < kDeviceDescriptorLength ? 0 : kDeviceDescriptorLength)) std::abort();
    if (n == 0) return;
    const uint8_t* p = buf.data() + kSlack;
    if (p[0] != d.bLength || p[1] != d.bDescriptorType || Get16(p + 2) != d.bcdUSB ||
        p[4] != d.bDeviceClass || p[7] != d.bMaxPacketSize0 || Get16(p + 8) != d.idVendor ||
        Get16(p + 10) != d.idProduct || Get16(p + 12) != d.bcdDevice || p[16] != d.iSerialNumber ||
        p[17] != d.bNumConfigurations)
        std::abort();
    for (size_t i = n; i < len; ++i)
        if (p[i] != 0) std::abort();
}

void CheckPipes(Input& in) {
    InterfaceInfo iface;
    iface.number = in.byte();
    iface.alternateSetting = in.byte();
    iface.interfaceClass = in.byte();
    const size_t count = in.byte() % 40;
    for (size_t i = 0; i < count; ++i)
        iface.endpoints.push_back({in.byte(), in.byte(), in.word(), in.byte()});
    const size_t len = in.word() % 1024;
    std::vector<uint8_t> buf(len + 2 * kSlack, kGuard);
    const size_t n = FormatPipeInfo(iface, {buf.data() + kSlack, len});
    CheckGuards(buf, len);
    if (len < 16) {
        if (n != 0) std::abort();
        return;
    }
    const uint8_t* p = buf.data() + kSlack;
    const uint32_t pipes = Get32(p + 12);
    if (pipes > count || n != 16 + pipes * 20 || n > len || Get16(p) != n) std::abort();
    if (pipes < count && n + 20 <= len) std::abort(); // one more would have fitted
    if (p[2] != iface.number || p[3] != iface.alternateSetting || p[4] != iface.interfaceClass)
        std::abort();
    for (uint32_t i = 0; i < pipes; ++i) {
        const uint8_t* e = p + 16 + i * 20;
        const Endpoint& ep = iface.endpoints[i];
        if (Get16(e) != ep.maxPacketSize || e[2] != ep.address || e[3] != ep.interval ||
            Get32(e + 4) != (ep.attributes & 3u))
            std::abort();
    }
    for (size_t i = n; i < len; ++i)
        if (p[i] != 0) std::abort();
}

void CheckSlots(Input& in) {
    std::vector<Location> found(in.byte() % 12);
    for (Location& l : found) {
        l.bus = in.byte() % 4;
        l.ports.resize(in.byte() % 4);
        for (uint8_t& port : l.ports) port = in.byte() % 4;
    }
    const size_t slots = in.byte() % 6;
    const std::vector<size_t> order = SlotOrder(found, slots);
    if (order.size() != std::min(found.size(), slots)) std::abort();
    std::vector<bool> seen(found.size());
    for (size_t k = 0; k < order.size(); ++k) {
        if (order[k] >= found.size() || seen[order[k]]) std::abort();
        seen[order[k]] = true;
        if (k > 0 && found[order[k]] < found[order[k - 1]]) std::abort();
    }
    // No adapter left out sorts before one that got a slot.
    for (size_t i = 0; i < found.size(); ++i)
        if (!seen[i] && !order.empty() && found[i] < found[order.back()]) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    CheckDescriptor(in);
    CheckPipes(in);
    CheckSlots(in);

    const std::string name(reinterpret_cast<const char*>(data), std::min<size_t>(size, 8));
    const int slot = SlotFromName(name, 4);
    if (slot != -1 && (slot < 0 || slot > 3 || name != "Ezusb-" + std::to_string(slot)))
        std::abort();

    const int64_t pipe = PipeFromRequest(data, size);
    if (size < 4 ? pipe != -1 : pipe != static_cast<int32_t>(Get32(data))) std::abort();

    const int code = static_cast<int32_t>(size >= 4 ? Get32(data) : 0);
    if (OpenFailureReason(code).empty() != (code == 0)) std::abort();
    return 0;
}
