#pragma once
// Program-wide state of the registers, and what a register operation may touch.
#include <cstdint>

#include "base/Seams.h"
#include "base/Timing.h"
#include "registers/RegisterMap.h"
#include "transport/Status.h"
#include "transport/TransportState.h"

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

// A read: what the transport met, and the results it leaves (those of the read before
// when nothing was read, as the documented results RegRaw... do).
struct [[nodiscard]] Reading {
    transport::Status status = transport::Status::Ok;
    RegResults res;
};

// What a register read or write, the listing and model selection use: the link to the
// adapter, the busy-wait, the platform (number format), the loaded table, the model's scale
// inputs, and the results of the last read (the documented RegRaw, RegValue, RegScaled and
// RegNDBit, kept up to date here for the code that reads them).
struct RegisterAccess {
    transport::UsbLink link;
    base::BusyWait wait;
    base::Platform& platform;
    RegisterMap& regs;
    RegResults& res;
    ModelState& model;
};

} // namespace tavrin::registers
