#pragma once
// Register read/write front end: positions of the register map in, SPI frames out,
// results left in App::res for the caller to pick up at once.
#include <cstdint>
#include <span>

#include "registers/RegisterState.h"

namespace tavrin::registers {

// Readable registers one adapter command carries: k requests and one frame more for
// the last answer fit the adapter's 16 frames.
inline constexpr int kMaxBurst = 15;

void ReadRegister(const RegisterAccess& io, int16_t position);
// Reads the positions as that many ReadRegister calls in a row would, but with up to
// kMaxBurst readable registers per adapter command (more are split over several).
// out[i] receives what io.res would hold right after the i-th of those calls; io.res
// ends as after the last. `out` must be at least as long as `positions`.
void ReadRegisterBurst(const RegisterAccess& io, std::span<const int16_t> positions,
                       std::span<RegResults> out);
void WriteRegister(const RegisterAccess& io, int16_t position, int32_t value);
void ReadRawRegister(const RegisterAccess& io, int16_t address);
// Masks the caller's address to 7 bits; returns the word, or 0 with no transport.
int32_t ReadRegisterWord(const RegisterAccess& io, int16_t& address);
// Masks the bytes to 8 bits and the addresses to 7 bits in the caller's variables.
void WriteFramePair(const RegisterAccess& io, int16_t& address1, int16_t& byte1, int16_t& address2,
                    int16_t& byte2);
void WriteFrame(const RegisterAccess& io, int16_t address, int16_t byte);
void UpdateGyroScale(const RegisterAccess& io);

} // namespace tavrin::registers
