// One register read through the whole stack on the simulator, and the pieces of it:
// the simulator's own request path, and the stack over a driver that answers at once.
#include <benchmark/benchmark.h>

#include <cstring>

#include "SimTestApp.h"
#include "registers/FrontEnd.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

namespace {

using namespace tavrin;

// Answers every transfer with a fixed reply: what is left is the stack's own cost.
class InstantDriver : public EzUsbDriver {
  public:
    DriverHandle open(const std::string&) override { return 1; }
    int ioctl(DriverHandle, uint32_t, const uint8_t* in, std::size_t, uint8_t* out,
              std::size_t outLen, uint32_t& bytesReturned) override {
        if (in[0] == 1) std::memset(out, 0x12, outLen);
        bytesReturned = static_cast<uint32_t>(outLen);
        return 1;
    }
    void close(DriverHandle) override {}
    std::string backendName() const override { return "instant"; }
};

void BM_ReadRegister_Simulator(benchmark::State& state) {
    test::SimTestApp s;
    s.driver.setCommandLog(false);
    const auto pos = static_cast<int16_t>(state.range(0));
    const auto io = s.app.registers();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadRegister(io, pos));
        benchmark::DoNotOptimize(s.app.res.RegScaled);
    }
    if (!s.app.UsbReady()) state.SkipWithError("adapter stopped");
}
BENCHMARK(BM_ReadRegister_Simulator)->Arg(2)->Arg(30)->ArgName("position");

void BM_ReadRegister_StackOnly(benchmark::State& state) {
    InstantDriver d;
    test::TestApp t(&d);
    t.app.usb.InterfaceKind = InterfaceUsb;
    t.app.usb.ready = true;
    t.app.usb.UsbSelDevice.DevName = "Ezusb-0";
    LoadRegisterTable(t.app.regs, 41120);
    const auto io = t.app.registers();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadRegister(io, 2));
        benchmark::DoNotOptimize(t.app.res.RegScaled);
    }
}
BENCHMARK(BM_ReadRegister_StackOnly);

// The simulator's share: open, command on pipe 0, reply on pipe 1, close.
void BM_SimulatorRequests(benchmark::State& state) {
    sim::SimDriver d;
    d.addAdapter(0);
    d.setCommandLog(false);
    uint8_t cmd[7] = {0x0D, 1, 2, 0x04, 0, 0x04, 0};
    uint8_t reply[4] = {};
    const uint8_t pipe0[4] = {0, 0, 0, 0}, pipe1[4] = {1, 0, 0, 0};
    for (auto _ : state) {
        const DriverHandle h = d.open("Ezusb-0");
        uint32_t got = 0;
        d.ioctl(h, ezusb::kBulkTransfer, pipe0, 4, cmd, sizeof cmd, got);
        d.ioctl(h, ezusb::kBulkTransfer, pipe1, 4, reply, sizeof reply, got);
        d.close(h);
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_SimulatorRequests);

void BM_SimSensorTwoFrames(benchmark::State& state) {
    sim::SimSensor s(41120, true, 1);
    for (auto _ : state) {
        s.tick();
        s.frame(0x0400);
        benchmark::DoNotOptimize(s.frame(0x0400));
    }
}
BENCHMARK(BM_SimSensorTwoFrames);

} // namespace

BENCHMARK_MAIN();
