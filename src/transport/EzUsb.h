#pragma once
// EZ-USB driver access: enumeration, board information and bulk transfers.
#include <cstdint>
#include <string>

#include "transport/EzUsbDriver.h"
#include "transport/Status.h"
#include "transport/TransportState.h"

namespace tavrin::transport {

DriverHandle UsbOpenDevice(const UsbLink& link, const std::string& name);
// The adapters on the four slots; the boards that did not answer (BoardInfoFailed each).
Statuses FindEzUsbDevices(const UsbLink& link);
Status GetBoardInfo(const UsbLink& link, DriverHandle& handle, UsbDeviceInfo& device);
std::string GetStringDescriptor(const UsbLink& link, DriverHandle handle, int16_t index);
int GetPipeInfo(const UsbLink& link, DriverHandle handle, uint8_t* buffer356);
int16_t GetPipeMaxPacket(const UsbLink& link, DriverHandle handle, uint8_t pipe);
int BulkTransfer(const UsbLink& link, DriverHandle handle, int16_t& pipe, uint8_t* buffer,
                 int32_t& length);

} // namespace tavrin::transport
