#include "transport/UsbSpi.h"

#include <array>

#include "app/State.h"
#include "transport/EzUsb.h"

namespace tavrin {

namespace {

constexpr uint8_t kCmdSetup = 0x0B;
constexpr uint8_t kCmdBits = 0x0C;
constexpr uint8_t kCmdTransfer = 0x0D;
constexpr uint8_t kCmdTransferAlt = 0x0E;
constexpr int kMaxFrames = 16;

// Sends one two-byte setting command; a failure stops the adapter until the next search.
void SendSetting(App& app, uint8_t cmd, uint8_t value, const char* failMessage) {
    DriverHandle h = UsbOpenDevice(app, app.usb.UsbSelDevice.DevName);
    std::array<uint8_t, 2> buf{cmd, value};
    int16_t pipe = 0;
    int32_t len = 2;
    if (BulkTransfer(app, h, pipe, buf.data(), len) != 1 || len < 2) {
        app.messages.show(failMessage);
        app.usb.UsbReady = false;
    }
    if (h > 0) app.driver->close(h);
}

} // namespace

void UsbFindBuffers(App& app) {
    app.usb.UsbReady = false;
    app.usb.UsbSelIndex = -1;
    FindEzUsbDevices(app);
    if (app.drv.UsbDevCount != 0) {
        for (int k = 0; k < ezusb::kSlots; ++k) {
            if (!app.drv.UsbDevices[k].Present) continue;
            app.usb.UsbSelDevice = app.drv.UsbDevices[k];
            app.usb.UsbReady = true;
            app.usb.UsbSelIndex = static_cast<int16_t>(k);
            return;
        }
        app.messages.show("No Valid USB Buffers Found, Please Verify Setup and Restart");
        return;
    }
    app.messages.show("No USB Buffers Found, Please Verify Setup and Restart");
}

void SetTransportDefaults(App& app) {
    app.usb.SpiXferParam = 1;
    app.usb.SpiBits = 120;
    app.usb.SpiSetupValue = 25;
    app.usb.UsbXferCmdFlag = true;
    app.model.InterfaceKind = InterfaceUsb;
}

bool ConnectFirstAdapter(App& app) {
    UsbFindBuffers(app);
    if (!app.usb.UsbReady) return false;
    UsbSetSpiBits(app, app.usb.SpiBits);
    UsbSetupSpi(app, app.usb.SpiSetupValue);
    return true;
}

void ChooseAdapter(App& app, int slot) {
    if (slot < 0 || slot >= ezusb::kSlots) return;
    app.usb.UsbSelDevice = app.drv.UsbDevices[slot];
    UsbSetupSpi(app, app.usb.SpiSetupValue);
    UsbSetSpiBits(app, app.usb.SpiBits);
}

std::string AdapterStatusText(const App& app) {
    if (app.model.InterfaceKind == InterfaceNone) return "No interface selected";
    const std::string backend = app.driver ? app.driver->backendName() : std::string();
    if (!app.usb.UsbReady)
        return "No adapter ready (" + (backend.empty() ? "" : backend + ", ") +
               "Interface > Usb to search)";
    const UsbDeviceInfo& dev = app.usb.UsbSelDevice;
    std::string slot = dev.DevName;
    if (slot.starts_with("Ezusb-")) slot = "EzUsb" + slot.substr(6);
    std::string text = "Adapter " + slot + ": " + dev.Descriptor1;
    if (dev.Speed == "2")
        text += ", USB 2.0";
    else if (!dev.Speed.empty())
        text += ", USB " + dev.Speed;
    if (app.driver) text += " (" + backend + ")";
    return text;
}

void UsbSetupSpi(App& app, uint8_t& value) {
    if (!app.usb.UsbReady) return;
    if (value == 0) value = 1;
    app.usb.SpiSetupValue = value;
    SendSetting(app, kCmdSetup, value, "Error Setting up SPI");
}

void UsbSetSpiBits(App& app, uint8_t& bits) {
    if (!app.usb.UsbReady) return;
    app.usb.SpiBits = bits;
    SendSetting(app, kCmdBits, bits, "Error Setting SPI Bits");
}

void UsbSpiTransfer(App& app, uint8_t& count) {
    AdapterState& usb = app.usb;
    if (!usb.UsbReady) return;
    // The frame arrays hold 16 frames; any other count is a caller's fault and is refused.
    if (count < 1 || count > kMaxFrames) return;
    if (usb.SpiXferParam < 1) usb.SpiXferParam = 1;
    if (usb.SpiXferParam > 5) usb.SpiXferParam = 5;
    usb.SpiFrameCount = count;

    DriverHandle h = UsbOpenDevice(app, usb.UsbSelDevice.DevName);
    auto fail = [&](const char* message) {
        app.messages.show(message);
        if (h > 0) app.driver->close(h);
        usb.UsbReady = false;
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
    if (BulkTransfer(app, h, pipe, buf.data(), len) != 1 || len < 2 * count + 3)
        return fail("Error Writing SPI");

    pipe = 1;
    len = 2 * count;
    // A reply shorter than asked is a failed read, never stale bytes taken as new.
    if (BulkTransfer(app, h, pipe, buf.data(), len) != 1 || len < 2 * count)
        return fail("Error Reading SPI");
    for (int k = 0; k < count; ++k) usb.SpiInWords[k + 1] = buf[2 * k] * 256 + buf[2 * k + 1];
    if (h > 0) app.driver->close(h);
}

} // namespace tavrin
