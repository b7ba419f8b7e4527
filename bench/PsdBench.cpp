// The noise spectrum of a long log, end to end, against reading the same log alone.
//   BM_ReadLogAlone   the reader: the parse every analysis starts with
//   BM_SpectrumOfLog  the reader, then the Welch spectrum of each channel
// The log has 10 million samples of three gyroscopes with new-data flags, in the form the logging
// session writes; it is made once. peak_rss_MB is the process's peak so far: the reader runs
// first, so the spectrum's extra memory is the difference between the two peaks.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "analysis/Psd.h"

namespace {

using namespace tavrin::analysis;

constexpr long long kSamples = 10000000;

const std::filesystem::path& Log() {
    static const std::filesystem::path path = [] {
        const auto p = std::filesystem::temp_directory_path() /
                       ("tavrin-psd-bench-" + std::to_string(::getpid()) + ".csv");
        std::FILE* f = std::fopen(p.string().c_str(), "wb");
        std::string text = "File Name,DATALOG_1.csv\r\nDate,12/7/2026\r\nTime,3:00 AM\r\n"
                           "Begin Seconds,100\r\nEnd Seconds,10100\r\nElapsed Seconds,10000\r\n"
                           " \r\nSample #,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,\r\n";
        std::mt19937_64 g(1);
        std::normal_distribution<double> d(0, 2.0);
        char buf[32];
        for (long long s = 1; s <= kSamples; ++s) {
            text += std::to_string(s);
            text += ',';
            for (int c = 0; c < 3; ++c) {
                const double v = std::nearbyint(d(g) / 0.07326) * static_cast<double>(0.07326f);
                text += "1,";
                text.append(
                    buf,
                    std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr);
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
        return p;
    }();
    return path;
}

double PeakRssMB() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024;
}

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
