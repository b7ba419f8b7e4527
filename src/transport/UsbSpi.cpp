#include "transport/UsbSpi.h"

#include <array>

#include "transport/EzUsb.h"
#include "transport/TransportState.h"

namespace tavrin::transport {

namespace {

constexpr uint8_t kCmdSetup = 0x0B;
constexpr uint8_t kCmdBits = 0x0C;
constexpr uint8_t kCmdTransfer = 0x0D;
constexpr uint8_t kCmdTransferAlt = 0x0E;
constexpr int kMaxFrames = 16;

// Sends one two-byte setting command; a failure stops the adapter until the next search.
Status SendSetting(const UsbLink& link, uint8_t cmd, uint8_t value, Status failure) {
    DriverHandle h = UsbOpenDevice(link, link.usb.UsbSelDevice.DevName);
    std::array<uint8_t, 2> buf{cmd, value};
    int16_t pipe = 0;
    int32_t len = 2;
    Status status = Status::Ok;
    if (BulkTransfer(link, h, pipe, buf.data(), len) != 1 || len < 2) {
        link.usb.ready = false;
        status = failure;
    }
    if (h > 0) link.driver->close(h);
    return status;
}

} // namespace

Statuses UsbFindBuffers(const UsbLink& link) {
    link.usb.ready = false;
    link.usb.UsbSelIndex = -1;
    Statuses met = FindEzUsbDevices(link);
    if (link.drv.UsbDevCount == 0) {
        met.push_back(Status::NoAdapters);
        return met;
    }
    for (int k = 0; k < ezusb::kSlots; ++k) {
        if (!link.drv.UsbDevices[k].Present) continue;
        link.usb.UsbSelDevice = link.drv.UsbDevices[k];
        link.usb.ready = true;
        link.usb.UsbSelIndex = static_cast<int16_t>(k);
        return met;
    }
    met.push_back(Status::NoValidAdapters);
    return met;
}

void SetTransportDefaults(AdapterState& usb) {
    usb.SpiXferParam = 1;
    usb.SpiBits = 120;
    usb.SpiSetupValue = 25;
    usb.UsbXferCmdFlag = true;
    usb.InterfaceKind = InterfaceUsb;
}

Statuses ConnectFirstAdapter(const UsbLink& link) {
    Statuses met = UsbFindBuffers(link);
    if (!link.usb.ready) return met;
    for (const Status s :
         {UsbSetSpiBits(link, link.usb.SpiBits), UsbSetupSpi(link, link.usb.SpiSetupValue)})
        if (Broke(s)) met.push_back(s);
    return met;
}

Status ChooseAdapter(const UsbLink& link, int slot) {
    if (slot < 0 || slot >= ezusb::kSlots) return Status::Skipped;
    link.usb.UsbSelDevice = link.drv.UsbDevices[slot];
    const Status setup = UsbSetupSpi(link, link.usb.SpiSetupValue);
    const Status bits = UsbSetSpiBits(link, link.usb.SpiBits);
    return Broke(setup) ? setup : bits;
}

std::string AdapterStatusText(const UsbLink& link) {
    if (link.usb.InterfaceKind == InterfaceNone) return "No interface selected";
    const std::string backend = link.driver ? link.driver->backendName() : std::string();
    if (!link.usb.ready)
        return "No adapter ready (" + (backend.empty() ? "" : backend + ", ") +
               "Interface > Usb to search)";
    const UsbDeviceInfo& dev = link.usb.UsbSelDevice;
    std::string slot = dev.DevName;
    if (slot.starts_with("Ezusb-")) slot = "EzUsb" + slot.substr(6);
    std::string text = "Adapter " + slot + ": " + dev.Descriptor1;
    if (dev.Speed == "2")
        text += ", USB 2.0";
    else if (!dev.Speed.empty())
        text += ", USB " + dev.Speed;
    if (link.driver) text += " (" + backend + ")";
    return text;
}

Status UsbSetupSpi(const UsbLink& link, uint8_t& value) {
    if (!link.usb.ready) return Status::Skipped;
    if (value == 0) value = 1;
    link.usb.SpiSetupValue = value;
    return SendSetting(link, kCmdSetup, value, Status::SetupFailed);
}

Status UsbSetSpiBits(const UsbLink& link, uint8_t& bits) {
    if (!link.usb.ready) return Status::Skipped;
    link.usb.SpiBits = bits;
    return SendSetting(link, kCmdBits, bits, Status::BitsFailed);
}

Status UsbSpiTransfer(const UsbLink& link, uint8_t& count) {
    AdapterState& usb = link.usb;
    if (!usb.ready) return Status::Skipped;
    // The frame arrays hold 16 frames; any other count is a caller's fault and is refused.
    if (count < 1 || count > kMaxFrames) return Status::Skipped;
    if (usb.SpiXferParam < 1) usb.SpiXferParam = 1;
    if (usb.SpiXferParam > 5) usb.SpiXferParam = 5;
    usb.SpiFrameCount = count;

    DriverHandle h = UsbOpenDevice(link, usb.UsbSelDevice.DevName);
    auto fail = [&](Status failure) {
        if (h > 0) link.driver->close(h);
        usb.ready = false;
        return failure;
    };

    std::array<uint8_t, 2 * kMaxFrames + 9> buf{};
    buf[0] = usb.UsbXferCmdFlag ? kCmdTransfer : kCmdTransferAlt;
    buf[1] = usb.SpiXferParam;
    buf[2] = count;
    for (int i = 1; i <= count; ++i) {
        buf[2 * i + 1] = static_cast<uint8_t>((usb.SpiOutFrames[i] >> 8) & 0xFF);
        buf[2 * i + 2] = static_cast<uint8_t>(usb.SpiOutFrames[i] & 0xFF);
    }
    int16_t pipe = 0;
    int32_t len = 2 * count + 3;
    if (BulkTransfer(link, h, pipe, buf.data(), len) != 1 || len < 2 * count + 3)
        return fail(Status::WriteFailed);

    pipe = 1;
    len = 2 * count;
    // A reply shorter than asked is a failed read, never stale bytes taken as new.
    if (BulkTransfer(link, h, pipe, buf.data(), len) != 1 || len < 2 * count)
        return fail(Status::ReadFailed);
    for (int k = 0; k < count; ++k) usb.SpiInWords[k + 1] = buf[2 * k] * 256 + buf[2 * k + 1];
    if (h > 0) link.driver->close(h);
    return Status::Ok;
}

} // namespace tavrin::transport
