// Single against burst reads in logging sessions on the simulator's USB-time clock:
// samples per simulated second and the share of the sensor's samples caught (every
// logged output of the sample read while new), at high and full speed. Deterministic:
// one iteration says it all.
//   BM_BurstVsSingle/regs:k/hs:1  k outputs per sample on a 512-byte (high-speed) adapter
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>

#include "TestApp.h"
#include "datalog/LogSession.h"
#include "registers/RegisterMap.h"
#include "sim/SimDriver.h"
#include "transport/UsbSpi.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::view;

namespace {

using namespace tavrin;

constexpr long long kSamples = 5000;

struct Figures {
    double perSimSecond = 0;
    // Share of the sensor's samples during the session of which every logged output
    // was read while new: all of that sample reached the file (with single reads,
    // possibly spread over two rows).
    double caught = 0;
};

Figures LogOnce(int regs, bool highSpeed, bool burst) {
    sim::SimDriver driver;
    sim::SimOptions o;
    o.highSpeed = highSpeed;
    sim::SimSensor& sensor = driver.addAdapter(0, o);
    driver.setCommandLog(false);
    test::TestApp t(&driver);
    App& app = t.app;
    app.usb.InterfaceKind = InterfaceUsb;
    (void)UsbFindBuffers(app.link());
    LoadRegisterTable(app.regs, 41120);

    char tmpl[] = "/tmp/tavrin-bench-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(tmpl);
    datalog::LogSettings settings;
    settings.directory = dir;
    const int order[] = {2, 3, 4, 5, 6, 7, 8, 1};
    for (int i = 0; i < regs; ++i) settings.columns.box[order[i]] = true;
    settings.samplesPerFile = static_cast<double>(kSamples);
    settings.burst = burst;
    datalog::DiskFileSystem disk;

    const double t0 = sensor.now();
    // The sample in the register file at the start, not yet read, counts too.
    const long long made0 = sensor.samplesMade() - 1, caught0 = sensor.samplesCaught(regs);
    const auto rep = datalog::RunLogSession(app.logging(), settings, {}, disk);
    std::filesystem::remove_all(dir);
    if (rep.filesWritten != 1 || !t.messages.shown.empty()) return {};
    const double seconds = sensor.now() - t0;
    return {static_cast<double>(kSamples) / seconds,
            static_cast<double>(sensor.samplesCaught(regs) - caught0) /
                static_cast<double>(sensor.samplesMade() - made0)};
}

void BM_BurstVsSingle(benchmark::State& state) {
    const int regs = static_cast<int>(state.range(0));
    const bool hs = state.range(1) != 0;
    Figures single, burst;
    for (auto _ : state) {
        single = LogOnce(regs, hs, false);
        burst = LogOnce(regs, hs, true);
    }
    if (single.perSimSecond <= 0 || burst.perSimSecond <= 0)
        return state.SkipWithError("session failed");
    state.counters["single_per_s"] = single.perSimSecond;
    state.counters["burst_per_s"] = burst.perSimSecond;
    state.counters["ratio"] = burst.perSimSecond / single.perSimSecond;
    state.counters["single_caught_%"] = 100 * single.caught;
    state.counters["burst_caught_%"] = 100 * burst.caught;
}

} // namespace

BENCHMARK(BM_BurstVsSingle)
    ->ArgNames({"regs", "hs"})
    ->ArgsProduct({{1, 3, 6, 8}, {1, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
