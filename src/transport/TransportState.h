#pragma once
// Program-wide state of the transport: the adapters found and the adapter in use.
#include <array>
#include <cstdint>
#include <string>

#include "transport/EzUsbDriver.h"

namespace tavrin::transport {

// The transport that carries register transfers: none chosen, or the USB-to-SPI adapter.
inline constexpr int16_t InterfaceNone = 0;
inline constexpr int16_t InterfaceUsb = 2;

struct UsbDeviceInfo {
    std::string DevName;
    bool Present = false;
    std::string BoardType;
    std::string Descriptor1;
    std::string Descriptor2;
    float FirmwareRev = 0;
    std::string Speed;
};

// Driver access: the adapters found by the last enumeration.
struct DriverState {
    std::array<UsbDeviceInfo, 4> UsbDevices{};
    int16_t UsbDevCount = 0;
};

// The adapter in use and its SPI settings. `ready` is false after a failed command, so that
// transfers are skipped until the next search; the windows read it through App.
struct AdapterState {
    int16_t InterfaceKind = InterfaceNone;
    bool ready = false;
    int16_t UsbSelIndex = 0;
    UsbDeviceInfo UsbSelDevice{};
    std::array<int32_t, 17> SpiOutFrames{};
    std::array<int32_t, 17> SpiInWords{};
    uint8_t SpiFrameCount = 0;
    uint8_t SpiXferParam = 1;
    uint8_t SpiBits = 120;
    uint8_t SpiSetupValue = 25;
    bool UsbXferCmdFlag = true;
};

// What the transport's operations use: the driver, the adapters found and the adapter in
// use. Failures come back as a Status (transport/Status.h); nothing here shows a message.
struct UsbLink {
    EzUsbDriver* driver; // none behaves like a machine with no adapter attached
    DriverState& drv;
    AdapterState& usb;
};

} // namespace tavrin::transport
