// A long log opened into the analysis window's Time tab, offscreen, and the time view's
// steps. The log has 10 million samples of six outputs (gyroscopes in deg/s, accelerometers
// in g) in the form the logging session writes, with a header; it is made once.
//   BM_ReadLogAlone          the reader alone: the parse every analysis starts with
//   BM_ReadLogWithPyramids   the reader building each channel's min/max pyramid as it goes
//   BM_OpenIntoTimeTab       the window's Open, end to end (reading, pyramids, spectra, Allan
//                            deviations and fits), then the Time tab drawn
//   BM_ZoomStep/BM_PanStep   one wheel step in or out, one pan by a tenth of the width, each
//                            with the plot repainted; at the full extent (arg 0) and at 1,000
//                            samples wide (arg 1000)
//   BM_PointsOfAllChannels   the pyramid's part of a step at the full extent: the points of the
//                            six channels in 900 columns, nothing drawn
// peak_rss_MB is the process's peak so far; the window's memory is what it adds to the reader's.
#include "QtBenchMain.h"

#include <QTabWidget>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "../tests/ui/Find.h"
#include "BenchLog.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "ui/PlotView.h"
#include "ui/TimePlot.h"
#include "ui/frmAnalysis.h"

namespace {

using namespace tavrin;

constexpr long long kSamples = 10000000;
constexpr int kChannels = 6;

const std::filesystem::path& Log() {
    static const auto path = bench::WriteBenchLog(
        "time", "X Gryo,Y Gyro,Z Gyro,X acc,Y acc,Z acc,", kSamples,
        [d = std::normal_distribution<double>(0, 1.0)](std::string& text,
                                                       std::mt19937_64& g) mutable {
            for (int c = 0; c < kChannels; ++c) {
                const double step = c < 3 ? 0.07326 : 0.0025;
                bench::AppendValue(text, std::nearbyint((c == 5 ? 400 : 0) + 2 * d(g)) * step);
            }
        });
    return path;
}

using bench::PeakRssMB;

void BM_ReadLogAlone(benchmark::State& state) {
    const auto& path = Log();
    bool ok = true;
    for (auto _ : state) {
        const analysis::ReadResult r = analysis::ReadLog(path, {});
        ok = r.problem.ok() && r.data.channels.size() == kChannels;
    }
    if (!ok) state.SkipWithError("read failed");
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.counters["peak_rss_MB"] = PeakRssMB();
}
BENCHMARK(BM_ReadLogAlone)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_ReadLogWithPyramids(benchmark::State& state) {
    const auto& path = Log();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::vector<analysis::MinMaxPyramid> p(kChannels);
        analysis::ReadOptions o;
        o.samples = [&p](std::size_t c, const double* v, std::size_t n) { p[c].add(v, n); };
        const analysis::ReadResult r = analysis::ReadLog(path, o);
        if (!r.problem.ok()) state.SkipWithError("read failed");
        bytes = 0;
        for (auto& one : p) one.finish(), bytes += one.bytes();
    }
    state.counters["pyramid_B_per_sample"] = static_cast<double>(bytes) / (kChannels * kSamples);
    state.counters["peak_rss_MB"] = PeakRssMB();
}
BENCHMARK(BM_ReadLogWithPyramids)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

struct Window {
    test::ScratchDir dir;
    test::SimTestApp s;
    ui::frmAnalysis w{(s.t.platform.progDir = dir.path, s.app)};
    ui::TimeTab* tab = test::Find<ui::TimeTab>(w, "timeTab");
    bool opened = false;
    Window() {
        w.askPeriod = [](const QString&) { return std::optional<double>(); };
        w.resize(1000, 760);
        w.show();
        QCoreApplication::processEvents();
    }
    void draw() {
        tab->view()->viewport()->repaint();
        QCoreApplication::processEvents();
    }
};
std::unique_ptr<Window> gWindow;

void BM_OpenIntoTimeTab(benchmark::State& state) {
    const auto& path = Log();
    const double before = PeakRssMB();
    for (auto _ : state) {
        gWindow = std::make_unique<Window>();
        test::Find<QTabWidget>(gWindow->w, "tabResults")->setCurrentIndex(2);
        gWindow->opened = gWindow->w.openFile(path);
        gWindow->draw();
    }
    std::filesystem::remove(path);
    if (!gWindow->opened) state.SkipWithError("open failed");
    const double peak = PeakRssMB();
    state.counters["peak_rss_MB"] = peak;
    state.counters["B_per_sample_channel"] = peak * 1024 * 1024 / (kChannels * kSamples);
    state.counters["over_reader_MB"] = peak - before;
}
BENCHMARK(BM_OpenIntoTimeTab)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// At the full extent, or `wide` samples wide in the middle of the log.
ui::TimeTab* Placed(benchmark::State& state) {
    if (!gWindow || !gWindow->opened) {
        state.SkipWithError("BM_OpenIntoTimeTab did not open the log");
        return nullptr;
    }
    ui::TimeTab* tab = gWindow->tab;
    tab->reset();
    if (const auto wide = state.range(0)) tab->setRange(5000, 5000 + 0.001 * wide);
    gWindow->draw();
    return tab;
}

void BM_ZoomStep(benchmark::State& state) {
    ui::TimeTab* tab = Placed(state);
    if (!tab) return;
    bool in = true;
    for (auto _ : state) {
        const double mid = (tab->from() + tab->to()) / 2;
        tab->zoom(in ? 1 / ui::TimeTab::kWheelStep : ui::TimeTab::kWheelStep, mid);
        in = !in;
        gWindow->draw();
    }
}
BENCHMARK(BM_ZoomStep)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PanStep(benchmark::State& state) {
    ui::TimeTab* tab = Placed(state);
    if (!tab) return;
    double step = (tab->to() - tab->from()) / 10;
    for (auto _ : state) {
        if (tab->to() + step > 10000 || tab->from() + step < 0) step = -step;
        tab->pan(step);
        gWindow->draw();
    }
}
BENCHMARK(BM_PanStep)->Arg(0)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The pyramid's part of a step: the points of all six channels at the full extent, 900
// columns, without drawing.
void BM_PointsOfAllChannels(benchmark::State& state) {
    if (!gWindow || !gWindow->opened) return state.SkipWithError("no log open");
    std::size_t points = 0;
    for (auto _ : state) {
        points = 0;
        for (const auto& t : gWindow->w.views().time)
            points += analysis::ViewOf(t.values, t.pyramid, 0, t.values.size(), 900).size();
    }
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_PointsOfAllChannels)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv, [] { gWindow.reset(); });
}
