// DelayMs accuracy after a real calibration on this machine: each benchmark waits the
// requested time and reports the measured mean and worst relative error.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>

#include "app/App.h"
#include "base/Timing.h"

using namespace tavrin::app;
using namespace tavrin::base;

namespace {

using namespace tavrin;

class BenchPlatform : public Platform {
  public:
    float secondsSinceMidnight() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm local{};
        localtime_r(&ts.tv_sec, &local);
        return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec +
                                  ts.tv_nsec / 1e9);
    }
    std::string commandLine() override { return {}; }
    std::filesystem::path programDir() override { return "."; }
    std::filesystem::path userDataDir() override { return "."; }
    OsInfo osInfo() override { return {}; }
    std::string decimalSeparator() override { return "."; }
    std::string shortDate() override { return {}; }
    std::string shortTime() override { return {}; }
    void setWaitCursor(bool) override {}
};

class NoMessages : public Messages {
  public:
    using Messages::show;
    void show(std::string_view, MsgIcon, std::string_view) override {}
};

App& CalibratedApp() {
    static BenchPlatform platform;
    static NoMessages messages;
    static App app(platform, messages);
    static bool once = [] {
        CalibrateDelay(app.busyWait());
        return true;
    }();
    (void)once;
    return app;
}

void BM_DelayMs(benchmark::State& state) {
    App& app = CalibratedApp();
    const float requested = static_cast<float>(state.range(0)) / 100.0f;
    double sumErr = 0, worst = 0;
    int64_t runs = 0;
    for (auto _ : state) {
        float ms = requested;
        const auto t0 = std::chrono::steady_clock::now();
        DelayMs(app.busyWait(), ms);
        const auto t1 = std::chrono::steady_clock::now();
        const double measured = std::chrono::duration<double, std::milli>(t1 - t0).count();
        const double err = (measured - requested) / requested * 100.0;
        sumErr += err;
        if (std::fabs(err) > std::fabs(worst)) worst = err;
        ++runs;
        state.SetIterationTime(measured / 1000.0);
    }
    state.counters["requested_ms"] = requested;
    state.counters["mean_err_%"] = sumErr / static_cast<double>(runs);
    state.counters["worst_err_%"] = worst;
    state.counters["count10us"] = app.timing.DelayCount10us;
}

// Argument: requested milliseconds x 100.
BENCHMARK(BM_DelayMs)->Arg(1)->Iterations(2000)->UseManualTime();
BENCHMARK(BM_DelayMs)->Arg(10)->Iterations(1000)->UseManualTime();
BENCHMARK(BM_DelayMs)->Arg(100)->Iterations(300)->UseManualTime();
BENCHMARK(BM_DelayMs)->Arg(1000)->Iterations(50)->UseManualTime();
BENCHMARK(BM_DelayMs)->Arg(10000)->Iterations(10)->UseManualTime();
BENCHMARK(BM_DelayMs)->Arg(100000)->Iterations(5)->UseManualTime();

} // namespace

BENCHMARK_MAIN();
