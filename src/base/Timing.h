#pragma once
// The calibrated busy-wait: waits of 10 microseconds and up without a timer.
#include <cstdint>
#include <functional>

#include "base/Seams.h"

namespace tavrin::base {

struct TimingState {
    int32_t DelayCount10us = 1000;
    bool DelayCalibrated = false;
    // Runs the empty counted loop of one 10-microsecond step; tests count steps instead.
    std::function<void(int32_t passes)> spin;
    // Waits `steps` 10-microsecond steps by another means (a clock); when set, DelayMs
    // neither calibrates nor spins. A front end with no busy-wait installs it.
    std::function<void(int64_t steps)> wait;
};

// What a busy-wait uses: its calibration, and the platform's clock and busy pointer.
struct BusyWait {
    TimingState& timing;
    Platform& platform;
};

// Busy-waits about `ms` milliseconds in 10-microsecond steps. A value below 0.01
// (negatives included) is raised to 0.01 in the caller's variable.
void DelayMs(const BusyWait& wait, float& ms);
// Measures how many empty-loop passes take 10 microseconds on this machine.
void CalibrateDelay(const BusyWait& wait);
// The empty counted loop itself; it really executes.
void SpinLoop(int32_t passes);
// Number of 10-microsecond steps for a wait of `ms` (halves to the even neighbour).
int64_t DelaySteps(float ms);

} // namespace tavrin::base
