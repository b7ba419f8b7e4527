#include "transport/EzUsb.h"

#include <algorithm>
#include <array>
#include <vector>

#include "transport/TransportState.h"

namespace tavrin::transport {

namespace {

constexpr uint8_t kStringRequestTail = 0x1B;

// One character code per UTF-16 unit (its low byte), kept as UTF-8 so codes above
// 0x7F stay the characters they name.
void AppendCode(std::string& text, uint8_t code) {
    if (code < 0x80) {
        text.push_back(static_cast<char>(code));
    } else {
        text.push_back(static_cast<char>(0xC0 | (code >> 6)));
        text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

std::string BoardTypeFor(uint16_t product) {
    if (product == ezusb::kProductVorla) return "VORLA";
    if (product == ezusb::kProductQeb) return "QEB";
    return "None";
}

} // namespace

DriverHandle UsbOpenDevice(const UsbLink& link, const std::string& name) {
    if (!link.driver) return 0;
    const DriverHandle h = link.driver->open(name);
    return h > 0 ? h : 0;
}

Statuses FindEzUsbDevices(const UsbLink& link) {
    Statuses met;
    link.drv.UsbDevCount = 0;
    for (auto& d : link.drv.UsbDevices) {
        d.DevName.clear();
        d.Present = false;
    }
    std::array<uint8_t, ezusb::kDeviceDescriptorSize> desc{};

    for (int k = 0; k < ezusb::kSlots; ++k) {
        const std::string name = "Ezusb-" + std::to_string(k);
        DriverHandle h = UsbOpenDevice(link, name);
        if (h <= 0) continue;

        // A fresh buffer per device: a failed request must not leave the previous
        // adapter's identifiers to be read as this one's.
        desc.fill(0);
        uint32_t got = 0;
        const int ok = link.driver->ioctl(h, ezusb::kGetDeviceDescriptor, desc.data(), desc.size(),
                                          desc.data(), desc.size(), got);
        if (ok == 1 && got >= 12) {
            const uint16_t vendor = static_cast<uint16_t>(desc[8] | (desc[9] << 8));
            const uint16_t product = static_cast<uint16_t>(desc[10] | (desc[11] << 8));
            const std::string board = vendor == ezusb::kVendor ? BoardTypeFor(product) : "None";
            if (board != "None") {
                ++link.drv.UsbDevCount;
                UsbDeviceInfo& slot = link.drv.UsbDevices[k];
                slot.Present = true;
                slot.DevName = name;
                slot.BoardType = board;
                if (const Status s = GetBoardInfo(link, h, slot); Broke(s)) met.push_back(s);
            }
        }
        link.driver->close(h);
    }
    return met;
}

Status GetBoardInfo(const UsbLink& link, DriverHandle& handle, UsbDeviceInfo& device) {
    if (!device.Present || handle <= 0) return Status::Skipped;
    auto fail = [&] {
        device.Present = false;
        return Status::BoardInfoFailed;
    };

    device.Descriptor1 = GetStringDescriptor(link, handle, 1);
    if (device.Descriptor1 == "None") return fail();
    device.Descriptor2 = GetStringDescriptor(link, handle, 2);
    if (device.Descriptor2 == "None") return fail();

    std::array<uint8_t, 3> buf{0x00, 0, 0};
    int16_t pipe = 0;
    int32_t len = 1;
    if (BulkTransfer(link, handle, pipe, buf.data(), len) != 1) return fail();
    pipe = 1;
    len = 2;
    buf.fill(0);
    if (BulkTransfer(link, handle, pipe, buf.data(), len) != 1 || len < 2) return fail();
    device.FirmwareRev = static_cast<float>(buf[0]) + static_cast<float>(buf[1]) / 10.0f;

    const int16_t m = GetPipeMaxPacket(link, handle, 3);
    if (m == 0) return fail();
    if (m > 64) {
        device.Speed = std::string("2"); // a temporary: GCC 12 -O3 warns falsely on literals
        link.usb.SpiSetupValue = 10;
    } else {
        device.Speed = std::string("1.1");
        link.usb.SpiSetupValue = 35;
    }
    return Status::Ok;
}

std::string GetStringDescriptor(const UsbLink& link, DriverHandle handle, int16_t index) {
    const std::string none = "None";
    if (handle <= 0 || !link.driver) return none;
    const uint8_t in[5] = {static_cast<uint8_t>(index & 0xFF), 0x00, 0x00, 0x00,
                           kStringRequestTail};
    uint8_t head[4] = {};
    uint32_t got = 0;
    if (link.driver->ioctl(handle, ezusb::kGetStringDescriptor, in, sizeof in, head, sizeof head,
                           got) != 1 ||
        got < 1)
        return none;

    const std::size_t L = head[0];
    std::vector<uint8_t> buf(L + 1, 0);
    got = 0;
    if (link.driver->ioctl(handle, ezusb::kGetStringDescriptor, in, sizeof in, buf.data(), L,
                           got) != 1)
        return none;
    // Only bytes the device actually delivered, and never past the buffer.
    const std::size_t end = std::min<std::size_t>(L, got);
    std::string text;
    for (std::size_t pos = 2; pos + 1 <= end; pos += 2) AppendCode(text, buf[pos]);
    return text;
}

int GetPipeInfo(const UsbLink& link, DriverHandle handle, uint8_t* buffer356) {
    if (handle <= 0 || !link.driver || !buffer356) return 0;
    uint32_t got = 0;
    const int ok = link.driver->ioctl(handle, ezusb::kGetPipeInfo, buffer356, ezusb::kPipeInfoSize,
                                      buffer356, ezusb::kPipeInfoSize, got);
    // Success is non-zero; the value is the byte count, at most the buffer's size.
    const auto n = std::min<uint32_t>(got, ezusb::kPipeInfoSize);
    return ok == 1 ? static_cast<int>(std::max<uint32_t>(n, 1)) : 0;
}

int16_t GetPipeMaxPacket(const UsbLink& link, DriverHandle handle, uint8_t pipe) {
    std::array<uint8_t, ezusb::kPipeInfoSize> buf{};
    if (handle <= 0 || pipe >= ezusb::kMaxPipes) return 0;
    const int got = GetPipeInfo(link, handle, buf.data());
    const std::size_t at = ezusb::kPipeInfoHeader + ezusb::kPipeEntrySize * pipe;
    // A reply too short to hold this pipe's entry is no answer.
    if (got == 0 || static_cast<std::size_t>(got) < at + 2) return 0;
    return static_cast<int16_t>(buf[at] | (buf[at + 1] << 8));
}

int BulkTransfer(const UsbLink& link, DriverHandle handle, int16_t& pipe, uint8_t* buffer,
                 int32_t& length) {
    if (handle <= 0) return -2;
    if (!link.driver) return 0;
    const auto p = static_cast<uint32_t>(static_cast<uint16_t>(pipe));
    const uint8_t in[4] = {static_cast<uint8_t>(p & 0xFF), static_cast<uint8_t>(p >> 8), 0, 0};
    const std::size_t size = length > 0 ? static_cast<std::size_t>(length) : 0;
    uint32_t got = 0;
    const int ok =
        link.driver->ioctl(handle, ezusb::kBulkTransfer, in, sizeof in, buffer, size, got);
    // A driver that claims more than the buffer holds is believed only up to its size.
    length = static_cast<int32_t>(std::min<std::size_t>(got, size));
    return ok;
}

} // namespace tavrin::transport
