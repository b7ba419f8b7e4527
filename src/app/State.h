#pragma once
// All program-wide state, grouped by owner, in one object that main creates and
// hands down by reference. Nothing else in the program is mutable and static, so
// every test builds a fresh App and no two tests share state.
#include <cstdint>
#include <functional>

#include "app/Seams.h"
#include "registers/RegisterMap.h"
#include "transport/EzUsbDriver.h"
#include "transport/TransportState.h"

namespace tavrin {

inline constexpr int16_t InterfaceNone = 0;
inline constexpr int16_t InterfaceUsb = 2;

struct TimingState {
    int32_t DelayCount10us = 1000;
    bool DelayCalibrated = false;
    // Runs the empty counted loop of one 10-microsecond step; tests count steps instead.
    std::function<void(int32_t passes)> spin;
    // Waits `steps` 10-microsecond steps by another means (a clock); when set, DelayMs
    // neither calibrates nor spins. A front end with no busy-wait installs it.
    std::function<void(int64_t steps)> wait;
};

struct ModelState {
    int16_t InterfaceKind = InterfaceNone;
    float ProductNumber = 0;
    double GyroBaseScale = 0;
};

// Chart limits; zero until model selection or the gyroscope-range update sets them.
struct ChartLimits {
    double GyPlotMax = 0;
    double GyPlotMin = 0;
    double AccPlotMax = 0;
    double AccPlotMin = 0;
};

struct ShellState {
    float OsPlatform = 0;
    float OsBuild = 0;
    int16_t SelRegIndex = 0;
};

struct App {
    App(Platform& platform, Messages& messages, EzUsbDriver* driver = nullptr)
        : platform(platform), messages(messages), driver(driver) {}

    TimingState timing;
    ModelState model;
    RegisterMap regs;
    DriverState drv;
    AdapterState usb;
    RegResults res;
    ChartLimits plot;
    ShellState shell;

    Platform& platform;
    Messages& messages;
    EzUsbDriver* driver; // no driver behaves like a machine with no adapter attached
    // Lets pending window events run once; the windows install the toolkit's call.
    std::function<void()> doEvents = [] {};
};

} // namespace tavrin
