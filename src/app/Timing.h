#pragma once
// The calibrated busy-wait: waits of 10 microseconds and up without a timer.
#include <cstdint>

namespace tavrin {
struct App;

// Busy-waits about `ms` milliseconds in 10-microsecond steps. A value below 0.01
// (negatives included) is raised to 0.01 in the caller's variable.
void DelayMs(App& app, float& ms);
// Measures how many empty-loop passes take 10 microseconds on this machine.
void CalibrateDelay(App& app);
// The empty counted loop itself; it really executes.
void SpinLoop(int32_t passes);
// Number of 10-microsecond steps for a wait of `ms` (halves to the even neighbour).
int64_t DelaySteps(float ms);

} // namespace tavrin
