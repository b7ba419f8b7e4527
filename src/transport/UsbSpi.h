#pragma once
// The adapter's command protocol: adapter search, SPI set-up and bits, SPI transfers.
#include <cstdint>
#include <string>

#include "transport/Status.h"
#include "transport/TransportState.h"

namespace tavrin::transport {

// Searches the four slots and takes the lowest usable adapter; what it met, in order (the
// adapters that did not answer, then no adapter or no usable one), empty when one is ready.
Statuses UsbFindBuffers(const UsbLink& link);
// The transfer settings start-up gives the adapter, and the USB interface chosen.
void SetTransportDefaults(AdapterState& usb);
// Start-up's choice: searches, takes the lowest usable adapter and sends it the SPI bits
// and set-up. What it met, in order; the adapter is ready when link.usb.ready.
Statuses ConnectFirstAdapter(const UsbLink& link);
// The selection window's choice of the adapter in `slot` (0..3) after a search: sends it
// the SPI set-up and bits.
Status ChooseAdapter(const UsbLink& link, int slot);
// The adapter in use as the status bar names it ("Adapter EzUsb0: ..., USB 2.0 (simulated)").
std::string AdapterStatusText(const UsbLink& link);

Status UsbSetupSpi(const UsbLink& link, uint8_t& value);
Status UsbSetSpiBits(const UsbLink& link, uint8_t& bits);
// Sends SpiOutFrames(1..count), fills SpiInWords(1..count). A count outside 1..16 is
// refused: nothing is sent (Skipped).
Status UsbSpiTransfer(const UsbLink& link, uint8_t& count);

} // namespace tavrin::transport
