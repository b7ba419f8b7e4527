#pragma once
// The adapter's command protocol: adapter search, SPI set-up and bits, SPI transfers.
#include <cstdint>
#include <string>

namespace tavrin {
struct App;

void UsbFindBuffers(App& app);
// The transfer settings start-up gives the adapter, and the USB interface chosen.
void SetTransportDefaults(App& app);
// Start-up's choice: searches, takes the lowest usable adapter and sends it the SPI bits
// and set-up. False (after the search's message) when none is usable.
bool ConnectFirstAdapter(App& app);
// The selection window's choice of the adapter in `slot` (0..3) after a search: sends it
// the SPI set-up and bits.
void ChooseAdapter(App& app, int slot);
// The adapter in use as the status bar names it ("Adapter EzUsb0: ..., USB 2.0 (simulated)").
std::string AdapterStatusText(const App& app);

void UsbSetupSpi(App& app, uint8_t& value);
void UsbSetSpiBits(App& app, uint8_t& bits);
// Sends SpiOutFrames(1..count), fills SpiInWords(1..count). A count outside 1..16 is
// refused: nothing is sent.
void UsbSpiTransfer(App& app, uint8_t& count);

} // namespace tavrin
