// The live view's hot paths on the simulated sensor, offscreen: one chart step, and one
// complete readout pass (seven reads, two chart steps, the status read, event handling).
#include "QtBenchMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "../tests/ui/Find.h"
#include "SimTestApp.h"
#include "app/App.h"
#include "ui/MeasurementView.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

namespace {

using namespace tavrin;

struct ViewRig {
    test::SimTestApp s;
    MeasurementView view{s.app};
    ViewRig() {
        s.app.plot = {350, -350, 10, -10};
        s.app.doEvents = [] { QCoreApplication::processEvents(); };
        std::array<QRgb, 9> colours{};
        for (int c = 2; c <= 7; ++c) {
            colours[c] = qRgb(c * 30, 100, 255 - c * 30);
            test::Find<QCheckBox>(view, "ckG", c)->setChecked(true);
        }
        view.setPlotColors(colours);
        test::Find<QLineEdit>(view, "txtLoopDelay")->setText("0");
        view.resize(1000, 640);
        view.show();
        QCoreApplication::processEvents();
    }
};

void BM_ChartStep(benchmark::State& state) {
    ViewRig r;
    view::Samples s{};
    long i = 0;
    for (auto _ : state) {
        // A trace that swings over most of the height, like a moving sensor.
        s[2] = 300 * std::sin(i * 0.05);
        s[3] = 200 * std::cos(i * 0.03);
        s[4] = (i % 7) * 10.0;
        ++i;
        r.view.PlotDataPointsGy(s, r.s.app.plot.GyPlotMax, r.s.app.plot.GyPlotMin);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChartStep)->Unit(benchmark::kMicrosecond);

void BM_ReadoutPass(benchmark::State& state) {
    // One iteration is one pass of a running loop, events served once per pass as
    // the window does it.
    ViewRig r;
    QPushButton* read = test::Find<QPushButton>(r.view, "cmdReadData");
    test::Find<QCheckBox>(r.view, "ckLoop")->setChecked(true);
    read->setText("STOP");
    bool running = true;
    r.s.app.doEvents = [&] {
        QCoreApplication::processEvents();
        if (running && !state.KeepRunning()) {
            running = false;
            read->setText("Read");
        }
    };
    r.view.ReadData();
    state.SetItemsProcessed(state.iterations());
    state.counters["passes_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadoutPass)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
