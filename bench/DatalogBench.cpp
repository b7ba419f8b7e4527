// Logging rate against the bare reads it is made of, on the simulated sensor.
//   BM_BareReads/k   the ReadRegister calls of k registers per sample, in a plain loop
//   BM_LogSampling/k the sampling phase of a logging session (Begin to End), same reads
//   BM_LogSession/k  the whole session: sampling, then writing the finished file
// All rates are samples per second of thread CPU time, so a busy machine skews them less.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <string>

#include "TestApp.h"
#include "datalog/LogSession.h"
#include "registers/FrontEnd.h"
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

constexpr long long kSamplesPerSession = 20000;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The session reads the clock exactly at Begin and End; keep those moments exactly.
class StopwatchPlatform : public test::FakePlatform {
  public:
    double marks[2] = {0, 0};
    int next = 0;
    float secondsSinceMidnight() override {
        marks[next++ % 2] = ThreadCpuSeconds();
        return 0;
    }
};

struct Rig {
    sim::SimDriver driver;
    StopwatchPlatform platform;
    test::RecordingMessages messages;
    App app{platform, messages, &driver};
    Rig() {
        driver.addAdapter(0, {});
        app.usb.InterfaceKind = InterfaceUsb;
        app.model.ProductNumber = 41120;
        app.timing.DelayCalibrated = true;
        (void)UsbFindBuffers(app.link());
        LoadRegisterTable(app.regs, 41120);
    }
};

datalog::ColumnChoice Boxes(int count) {
    datalog::ColumnChoice c;
    const int order[] = {2, 3, 4, 5, 6, 7, 8, 1};
    for (int i = 0; i < count; ++i) c.box[order[i]] = true;
    return c;
}

void Rate(benchmark::State& state, long long samples) {
    state.counters["samples_per_s"] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

void BM_BareReads(benchmark::State& state) {
    Rig r;
    const auto cols = Boxes(static_cast<int>(state.range(0)));
    long long samples = 0;
    const auto io = r.app.registers();
    for (auto _ : state) {
        const double t0 = ThreadCpuSeconds();
        for (long long n = 0; n < kSamplesPerSession; ++n) {
            for (int b = 1; b <= 8; ++b)
                if (cols.box[b]) (void)ReadRegister(io, static_cast<int16_t>(b));
            benchmark::DoNotOptimize(r.app.res.RegScaled);
        }
        state.SetIterationTime(ThreadCpuSeconds() - t0);
        samples += kSamplesPerSession;
    }
    Rate(state, samples);
}

void Session(benchmark::State& state, bool samplingOnly) {
    Rig r;
    char tmpl[] = "/tmp/tavrin-bench-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(tmpl);
    datalog::LogSettings settings;
    settings.directory = dir;
    settings.columns = Boxes(static_cast<int>(state.range(0)));
    settings.samplesPerFile = static_cast<double>(kSamplesPerSession);
    datalog::DiskFileSystem disk;
    long long samples = 0;
    for (auto _ : state) {
        const double t0 = ThreadCpuSeconds();
        const auto rep = datalog::RunLogSession(r.app.logging(), settings, {}, disk);
        const double t1 = ThreadCpuSeconds();
        if (rep.filesWritten != 1) state.SkipWithError("session failed");
        state.SetIterationTime(samplingOnly ? r.platform.marks[1] - r.platform.marks[0] : t1 - t0);
        samples += kSamplesPerSession;
    }
    std::filesystem::remove_all(dir);
    Rate(state, samples);
}

void BM_LogSampling(benchmark::State& state) {
    Session(state, true);
}
void BM_LogSession(benchmark::State& state) {
    Session(state, false);
}

} // namespace

BENCHMARK(BM_BareReads)->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogSampling)->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogSession)->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
