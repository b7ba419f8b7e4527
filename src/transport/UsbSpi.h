#pragma once
// The adapter's command protocol: adapter search, SPI set-up and bits, SPI transfers.
#include <cstdint>
#include <string>

#include "transport/TransportState.h"

namespace tavrin::transport {

void UsbFindBuffers(const UsbLink& link);
// The transfer settings start-up gives the adapter, and the USB interface chosen.
void SetTransportDefaults(AdapterState& usb);
// Start-up's choice: searches, takes the lowest usable adapter and sends it the SPI bits
// and set-up. False (after the search's message) when none is usable.
bool ConnectFirstAdapter(const UsbLink& link);
// The selection window's choice of the adapter in `slot` (0..3) after a search: sends it
// the SPI set-up and bits.
void ChooseAdapter(const UsbLink& link, int slot);
// The adapter in use as the status bar names it ("Adapter EzUsb0: ..., USB 2.0 (simulated)").
std::string AdapterStatusText(const UsbLink& link);

void UsbSetupSpi(const UsbLink& link, uint8_t& value);
void UsbSetSpiBits(const UsbLink& link, uint8_t& bits);
// Sends SpiOutFrames(1..count), fills SpiInWords(1..count). A count outside 1..16 is
// refused: nothing is sent.
void UsbSpiTransfer(const UsbLink& link, uint8_t& count);

} // namespace tavrin::transport
