// Noise analysis of a long log, end to end: reading the file, every tau, the fit and the
// intervals, the figures.
//   BM_AnalyseLog/n  a log of n samples of three gyroscopes with new-data flags, in the
//                    form the logging session writes; the file is made once, beforehand.
// Run under /usr/bin/time -v for the peak resident memory.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "analysis/Analyse.h"

namespace {

using namespace tavrin::analysis;

std::filesystem::path MakeLog(long long n) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tavrin-adev-bench-" + std::to_string(::getpid()) + ".csv");
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    std::string text = "File Name,DATALOG_1.csv\r\nDate,12/7/2026\r\nTime,3:00 AM\r\n"
                       "Begin Seconds,100\r\nEnd Seconds,10100\r\nElapsed Seconds,10000\r\n \r\n"
                       "Sample #,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,\r\n";
    std::mt19937_64 g(1);
    std::normal_distribution<double> d(0, 2.0);
    char buf[32];
    for (long long s = 1; s <= n; ++s) {
        text += std::to_string(s);
        text += ',';
        for (int c = 0; c < 3; ++c) {
            // Counts of 0.07326 deg/s as the program writes them, 15 significant digits.
            const double v = std::nearbyint(d(g) / 0.07326) * static_cast<double>(0.07326f);
            text += "1,";
            text.append(
                buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr);
            text += ',';
        }
        text += "\r\n";
        if (text.size() > (1 << 20)) {
            std::fwrite(text.data(), 1, text.size(), f);
            text.clear();
        }
    }
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

void BM_AnalyseLog(benchmark::State& state) {
    const long long n = state.range(0);
    const auto path = MakeLog(n);
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
