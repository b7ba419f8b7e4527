#pragma once
// Register read/write front end: positions of the register map in, SPI frames out,
// results left in App::res for the caller to pick up at once.
#include <cstdint>

namespace tavrin {
struct App;

void ReadRegister(App& app, int16_t position);
void WriteRegister(App& app, int16_t position, int32_t value);
void ReadRawRegister(App& app, int16_t address);
// Masks the caller's address to 7 bits; returns the word, or 0 with no transport.
int32_t ReadRegisterWord(App& app, int16_t& address);
// Masks the bytes to 8 bits and the addresses to 7 bits in the caller's variables.
void WriteFramePair(App& app, int16_t& address1, int16_t& byte1, int16_t& address2,
                    int16_t& byte2);
void WriteFrame(App& app, int16_t address, int16_t byte);
void UpdateGyroScale(App& app);

} // namespace tavrin
