#pragma once
// Register read/write front end: positions of the register map in, SPI frames out,
// results left in App::res for the caller to pick up at once.
#include <cstdint>
#include <span>

#include "transport/TransportState.h"

namespace tavrin {
struct App;

// Readable registers one adapter command carries: k requests and one frame more for
// the last answer fit the adapter's 16 frames.
inline constexpr int kMaxBurst = 15;

void ReadRegister(App& app, int16_t position);
// Reads the positions as that many ReadRegister calls in a row would, but with up to
// kMaxBurst readable registers per adapter command (more are split over several).
// out[i] receives what app.res would hold right after the i-th of those calls; app.res
// ends as after the last. `out` must be at least as long as `positions`.
void ReadRegisterBurst(App& app, std::span<const int16_t> positions, std::span<RegResults> out);
void WriteRegister(App& app, int16_t position, int32_t value);
void ReadRawRegister(App& app, int16_t address);
// Masks the caller's address to 7 bits; returns the word, or 0 with no transport.
int32_t ReadRegisterWord(App& app, int16_t& address);
// Masks the bytes to 8 bits and the addresses to 7 bits in the caller's variables.
void WriteFramePair(App& app, int16_t& address1, int16_t& byte1, int16_t& address2, int16_t& byte2);
void WriteFrame(App& app, int16_t address, int16_t byte);
void UpdateGyroScale(App& app);

} // namespace tavrin
