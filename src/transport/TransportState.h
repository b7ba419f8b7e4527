#pragma once
// Program-wide state of the transport: driver access, adapter, and register results.
#include <array>
#include <cstdint>
#include <string>

namespace tavrin {

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

// The adapter in use and its SPI settings.
struct AdapterState {
    bool UsbReady = false;
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

// Results of the last register read, picked up by the caller at once.
struct RegResults {
    int32_t RegRaw = 0;
    int32_t RegValue = 0;
    double RegScaled = 0;
    int32_t RegNDBit = 0;
};

} // namespace tavrin
