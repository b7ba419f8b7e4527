// The noise spectrum of a long log, end to end, against reading the same log alone.
//   BM_ReadLogAlone   the reader: the parse every analysis starts with
//   BM_SpectrumOfLog  the reader, then the Welch spectrum of each channel
// The log has 10 million samples of three gyroscopes with new-data flags, in the form the logging
// session writes; it is made once. peak_rss_MB is the process's peak so far: the reader runs
// first, so the spectrum's extra memory is the difference between the two peaks.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "BenchLog.h"
#include "analysis/Psd.h"

namespace {

using namespace tavrin::analysis;

constexpr long long kSamples = 10000000;

const std::filesystem::path& Log() {
    static const auto path = tavrin::bench::GyroLog("psd", kSamples);
    return path;
}

using tavrin::bench::PeakRssMB;

void BM_ReadLogAlone(benchmark::State& state) {
    const auto& path = Log();
    bool ok = true;
    for (auto _ : state) {
        const ReadResult r = ReadLog(path, {});
        ok = r.problem.ok() && r.data.channels.size() == 3;
        benchmark::DoNotOptimize(r.data.channels.data());
    }
    if (!ok) state.SkipWithError("read failed");
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.counters["peak_rss_MB"] = PeakRssMB();
}
BENCHMARK(BM_ReadLogAlone)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_SpectrumOfLog(benchmark::State& state) {
    const auto& path = Log();
    const double before = PeakRssMB();
    std::size_t segment = 0;
    long long segments = 0;
    bool ok = true;
    for (auto _ : state) {
        const SpectrumResult r = SpectrumOfLog(path, {});
        ok = r.error.empty() && r.channels.size() == 3;
        if (ok) {
            segment = r.channels[0].spectrum.segment;
            segments = r.channels[0].spectrum.segments;
        }
        benchmark::DoNotOptimize(r.channels.data());
    }
    std::filesystem::remove(path);
    if (!ok) state.SkipWithError("spectrum failed");
    const double peak = PeakRssMB();
    state.counters["peak_rss_MB"] = peak;
    state.counters["extra_B_per_sample_channel"] = (peak - before) * 1024 * 1024 / (3.0 * kSamples);
    state.counters["segment"] = static_cast<double>(segment);
    state.counters["segments"] = static_cast<double>(segments);
}
BENCHMARK(BM_SpectrumOfLog)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
