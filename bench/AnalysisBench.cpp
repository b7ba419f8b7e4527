// Noise analysis of a long log, end to end: reading the file, every tau, the fit and the
// intervals, the figures.
//   BM_AnalyseLog/n  a log of n samples of three gyroscopes with new-data flags, in the
//                    form the logging session writes; the file is made once, beforehand.
// Run under /usr/bin/time -v for the peak resident memory.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "BenchLog.h"
#include "analysis/Analyse.h"

namespace {

using namespace tavrin::analysis;

void BM_AnalyseLog(benchmark::State& state) {
    const long long n = state.range(0);
    const auto path = tavrin::bench::GyroLog("adev", n);
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::size_t points = 0;
    bool ok = true;
    for (auto _ : state) {
        const AnalysisResult r = AnalyseLog(path, {});
        ok = r.problem.ok() && r.channels.size() == 3;
        points = ok ? r.channels[0].curve.points.size() : 0;
        benchmark::DoNotOptimize(r.channels.data());
    }
    std::filesystem::remove(path);
    if (!ok) state.SkipWithError("analysis failed");
    state.counters["taus"] = static_cast<double>(points);
    state.counters["samples_per_s"] = benchmark::Counter(
        static_cast<double>(n * 3), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AnalyseLog)->Arg(10000000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
