// One register read through the real libusb, against an emulated adapter: the
// backend's requests alone, and the program's whole read on top of them. The emulated
// device answers through umockdev's socket, so the figures are the host side's cost
// plus that emulation, not a real adapter's bus time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

#include "TestApp.h"
#include "UsbTestbed.h"
#include "app/App.h"
#include "registers/FrontEnd.h"
#include "registers/RegisterMap.h"
#include "transport/UsbSpi.h"
#include "transport/libusb/LibUsbDriver.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::transport;
using namespace tavrin::transport::libusb;
using namespace tavrin::view;

namespace {

using namespace tavrin;

constexpr const char* kPreload = "libumockdev-preload.so.0";

bool PreloadLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libumockdev-preload") != std::string::npos) return true;
    }
    return false;
}

// open, command on pipe 0, reply on pipe 1, close: what the adapter layer asks per read.
void BM_LibUsb_RegisterRoundTrip(benchmark::State& state) {
    test::UsbTestbed bed;
    test::EmulatedAdapter& a = bed.plug({});
    a.setCommandLog(false);
    a.setWord(0x04, 0x1234);
    LibUsbDriver drv;
    uint8_t cmd[7] = {0x0D, 1, 2, 0x04, 0, 0x04, 0};
    uint8_t reply[4] = {};
    const uint8_t pipe0[4] = {0, 0, 0, 0}, pipe1[4] = {1, 0, 0, 0};
    for (auto _ : state) {
        const DriverHandle h = drv.open("Ezusb-0");
        uint32_t got = 0;
        const int ok = drv.ioctl(h, ezusb::kBulkTransfer, pipe0, 4, cmd, sizeof cmd, got) +
                       drv.ioctl(h, ezusb::kBulkTransfer, pipe1, 4, reply, sizeof reply, got);
        drv.close(h);
        if (ok != 2) {
            state.SkipWithError("transfer failed");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.counters["device_opens"] = a.opens();
    state.counters["claims"] = a.claims();
}
BENCHMARK(BM_LibUsb_RegisterRoundTrip)->Unit(benchmark::kMicrosecond);

// ReadRegister of a gyroscope output through the front end, adapter layer and backend.
void BM_LibUsb_ReadRegister(benchmark::State& state) {
    test::UsbTestbed bed;
    test::EmulatedAdapter& a = bed.plug({});
    a.setCommandLog(false);
    a.setWord(0x04, 0x0123);
    LibUsbDriver drv;
    test::TestApp t(&drv);
    t.app.usb.InterfaceKind = InterfaceUsb;
    LoadRegisterTable(t.app.regs, 41120);
    (void)UsbFindBuffers(t.app.link());
    const auto io = t.app.registers();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadRegister(io, 2));
        benchmark::DoNotOptimize(t.app.res.RegScaled);
    }
    if (!t.app.UsbReady()) state.SkipWithError("adapter stopped");
    state.counters["device_opens"] = a.opens();
}
BENCHMARK(BM_LibUsb_ReadRegister)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // The emulation needs umockdev's preload library; start again with it when missing.
    if (!PreloadLoaded()) {
        if (std::getenv("TAVRIN_BENCH_REEXEC") != nullptr) {
            std::fprintf(stderr, "bench_libusb: cannot load %s; nothing measured\n", kPreload);
            return 0;
        }
        setenv("TAVRIN_BENCH_REEXEC", "1", 1);
        setenv("LD_PRELOAD", kPreload, 1);
        execv("/proc/self/exe", argv);
        std::perror("bench_libusb: execv");
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
