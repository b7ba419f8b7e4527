#include "base/Timing.h"

#include <cmath>
#include <limits>

namespace tavrin::base {

void SpinLoop(int32_t passes) {
    for (int32_t i = 0; i < passes; ++i) {
        // An empty asm with a memory clobber keeps the compiler from removing the loop.
        __asm__ __volatile__("" ::: "memory");
    }
}

int64_t DelaySteps(float ms) {
    // Formed in double from the single-precision value: 0.015f is slightly below
    // 0.015 and gives 1 step. nearbyint rounds halves to the even neighbour.
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(ms) * 100.0));
}

namespace {

// Scaled counts are held within 1 .. INT32_MAX: never wrapped, never zero or negative.
int32_t ClampCount(double count) {
    if (!(count >= 1.0)) return 1; // also catches NaN
    if (count >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::nearbyint(count));
}

float Measure(const BusyWait& w, float ms) {
    const float t0 = w.platform.secondsSinceMidnight();
    DelayMs(w, ms);
    const float t1 = w.platform.secondsSinceMidnight();
    return t1 - t0;
}

} // namespace

void DelayMs(const BusyWait& w, float& ms) {
    if (ms == 0.0f) return;
    if (ms < 0.01f) ms = 0.01f;
    const int64_t n = DelaySteps(ms);
    if (w.timing.wait) return w.timing.wait(n);
    if (!w.timing.DelayCalibrated) CalibrateDelay(w);
    const int32_t passes = w.timing.DelayCount10us;
    auto& spin = w.timing.spin;
    if (spin) {
        for (int64_t i = 0; i < n; ++i) spin(passes);
    } else {
        for (int64_t i = 0; i < n; ++i) SpinLoop(passes);
    }
}

void CalibrateDelay(const BusyWait& w) {
    auto& t = w.timing;
    t.DelayCalibrated = true;
    t.DelayCount10us = 1000;
    w.platform.setWaitCursor(true);
    if (!w.platform.commandLine().empty()) t.DelayCount10us /= 5;

    float e = Measure(w, 500);
    if (e < 0.005f) {
        t.DelayCount10us = ClampCount(static_cast<double>(t.DelayCount10us) * 40.0);
        e = Measure(w, 500);
    }
    if (e < 0.1f) {
        t.DelayCount10us = ClampCount(static_cast<double>(t.DelayCount10us) * 6.0);
        e = Measure(w, 500);
    }
    if (e < 0.0005f) e = 0.0005f;
    t.DelayCount10us = ClampCount(0.5 / static_cast<double>(e) * t.DelayCount10us);

    float e3 = Measure(w, 3000);
    if (e3 < 0.1f) e3 = 0.1f;
    t.DelayCount10us = ClampCount(3.0 / static_cast<double>(e3) * t.DelayCount10us);
    w.platform.setWaitCursor(false);
}

} // namespace tavrin::base
