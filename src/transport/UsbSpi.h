#pragma once
// The adapter's command protocol: adapter search, SPI set-up and bits, SPI transfers.
#include <cstdint>

namespace tavrin {
struct App;

void UsbFindBuffers(App& app);
void UsbSetupSpi(App& app, uint8_t& value);
void UsbSetSpiBits(App& app, uint8_t& bits);
// Sends SpiOutFrames(1..count), fills SpiInWords(1..count). A count outside 1..16 is
// refused: nothing is sent.
void UsbSpiTransfer(App& app, uint8_t& count);

} // namespace tavrin
