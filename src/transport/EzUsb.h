#pragma once
// EZ-USB driver access: enumeration, board information and bulk transfers.
#include <cstdint>
#include <string>

#include "transport/EzUsbDriver.h"
#include "transport/TransportState.h"

namespace tavrin {
struct App;

DriverHandle UsbOpenDevice(App& app, const std::string& name);
void FindEzUsbDevices(App& app);
void GetBoardInfo(App& app, DriverHandle& handle, UsbDeviceInfo& device);
std::string GetStringDescriptor(App& app, DriverHandle handle, int16_t index);
int GetPipeInfo(App& app, DriverHandle handle, uint8_t* buffer356);
int16_t GetPipeMaxPacket(App& app, DriverHandle handle, uint8_t pipe);
int BulkTransfer(App& app, DriverHandle handle, int16_t& pipe, uint8_t* buffer, int32_t& length);

} // namespace tavrin
