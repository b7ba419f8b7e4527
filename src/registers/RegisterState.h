#pragma once
// Program-wide state of the registers, and what a register operation may touch.
#include <cstdint>

#include "base/Seams.h"
#include "base/Timing.h"
#include "registers/RegisterMap.h"
#include "transport/TransportState.h"
#include "view/ChartCore.h"

namespace tavrin::registers {

struct ModelState {
    float ProductNumber = 0;
    double GyroBaseScale = 0;
};

// Results of the last register read, picked up by the caller at once.
struct RegResults {
    int32_t RegRaw = 0;
    int32_t RegValue = 0;
    double RegScaled = 0;
    int32_t RegNDBit = 0;
};

// What a register read or write, the listing and model selection use: the link to the
// adapter, the busy-wait, the platform (number format), the loaded table and the results,
// the model's scale inputs, and the chart limits the gyroscope range resets.
struct RegisterAccess {
    transport::UsbLink link;
    base::BusyWait wait;
    base::Platform& platform;
    RegisterMap& regs;
    RegResults& res;
    ModelState& model;
    view::ChartLimits& plot;
};

} // namespace tavrin::registers
