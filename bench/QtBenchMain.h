#pragma once
// main() of a benchmark program that needs widgets: offscreen unless a platform is set.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <functional>

// `beforeExit` runs while the application still exists (to close windows the benchmarks kept).
inline int RunQtBenchmarks(int argc, char** argv, const std::function<void()>& beforeExit = {}) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeExit) beforeExit();
    return 0;
}
