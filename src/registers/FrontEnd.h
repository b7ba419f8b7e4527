#pragma once
// Register read/write front end: positions of the register map in, SPI frames out, the
// results and what the transport met back as values.
#include <cstdint>
#include <span>

#include "registers/RegisterState.h"

namespace tavrin::registers {

// Readable registers one adapter command carries: k requests and one frame more for
// the last answer fit the adapter's 16 frames.
inline constexpr int kMaxBurst = 15;

// The results of position's register; an unreadable position reads nothing and leaves the
// results of the read before.
Reading ReadRegister(const RegisterAccess& io, int16_t position);
// Reads the positions as that many ReadRegister calls in a row would, but with up to
// kMaxBurst readable registers per adapter command (more are split over several).
// out[i] receives the results right after the i-th of those calls; io.res ends as after
// the last. `out` must be at least as long as `positions`. The first failure met.
transport::Status ReadRegisterBurst(const RegisterAccess& io, std::span<const int16_t> positions,
                                    std::span<RegResults> out);

// A write, and whether it set the gyroscope range (the gyroscopes' scale was read anew:
// whoever shows the charts resets their limits).
struct [[nodiscard]] Written {
    transport::Status status = transport::Status::Ok;
    bool gyroRange = false;
};
Written WriteRegister(const RegisterAccess& io, int16_t position, int32_t value);
Reading ReadRawRegister(const RegisterAccess& io, int16_t address);
// Masks the caller's address to 7 bits; the word, or 0 with no transport.
struct [[nodiscard]] Word {
    transport::Status status = transport::Status::Ok;
    int32_t word = 0;
};
Word ReadRegisterWord(const RegisterAccess& io, int16_t& address);
// Masks the bytes to 8 bits and the addresses to 7 bits in the caller's variables.
transport::Status WriteFramePair(const RegisterAccess& io, int16_t& address1, int16_t& byte1,
                                 int16_t& address2, int16_t& byte2);
transport::Status WriteFrame(const RegisterAccess& io, int16_t address, int16_t byte);
// Reads the gyroscope range and sets the gyroscopes' scale from it.
transport::Status UpdateGyroScale(const RegisterAccess& io);

} // namespace tavrin::registers
