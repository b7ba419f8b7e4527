#pragma once
// All program-wide state, gathered from the subsystems that own it, in one object that
// main creates and hands down by reference. Nothing else in the program is mutable and
// static, so every test builds a fresh App and no two tests share state.
#include <cstdint>
#include <functional>

#include "base/Seams.h"
#include "base/Timing.h"
#include "datalog/LogSession.h"
#include "registers/RegisterMap.h"
#include "registers/RegisterState.h"
#include "transport/EzUsbDriver.h"
#include "transport/TransportState.h"
#include "view/ChartCore.h"

namespace tavrin::app {

// What only the main window's load step and the register window share.
struct ShellState {
    float OsPlatform = 0;
    float OsBuild = 0;
    int16_t SelRegIndex = 0;
};

struct App {
    App(base::Platform& platform, base::Messages& messages,
        transport::EzUsbDriver* driver = nullptr)
        : platform(platform), messages(messages), driver(driver) {}

    base::TimingState timing;
    registers::ModelState model;
    registers::RegisterMap regs;
    transport::DriverState drv;
    transport::AdapterState usb;
    registers::RegResults res;
    view::ChartLimits plot;
    ShellState shell;

    base::Platform& platform;
    base::Messages& messages;
    transport::EzUsbDriver* driver; // no driver behaves like a machine with no adapter attached
    // Lets pending window events run once; the windows install the toolkit's call.
    std::function<void()> doEvents = [] {};

    // The slices each layer's functions take: the call site names the slice it hands over,
    // and the signature says what is touched.
    base::BusyWait busyWait() { return {timing, platform}; }
    transport::UsbLink link() { return {driver, drv, usb}; }
    registers::RegisterAccess registers() {
        return {link(), busyWait(), platform, regs, res, model};
    }
    datalog::LogContext logging() { return {registers(), doEvents}; }

    // The documented UsbReady, for the windows and the command line: whether an adapter is
    // ready (false after a failed command, until the next search).
    bool UsbReady() const { return usb.ready; }
};

} // namespace tavrin::app
