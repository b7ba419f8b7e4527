// Soak: one million readout passes on the simulated sensor, offscreen, as the window runs
// them. Reports resident memory growth after warm-up (goal: at most 1 MB) and the adapter
// handles still open at the end (goal: none).
#include "QtBenchMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <fstream>
#include <unistd.h>

#include "../tests/ui/Find.h"
#include "SimTestApp.h"
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

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_SoakLoop(benchmark::State& state) {
    const long passes = state.range(0);
    const long warmup = passes / 50;
    for (auto _ : state) {
        test::SimTestApp s;
        s.app.plot = {350, -350, 10, -10};
        s.driver.setCommandLog(false);
        MeasurementView view(s.app);
        for (int c = 2; c <= 7; ++c) test::Find<QCheckBox>(view, "ckG", c)->setChecked(true);
        test::Find<QLineEdit>(view, "txtLoopDelay")->setText("0");
        QCheckBox* loop = test::Find<QCheckBox>(view, "ckLoop");
        view.resize(1000, 640);
        view.show();
        QCoreApplication::processEvents();

        long done = 0, rssWarm = 0;
        s.app.doEvents = [&] {
            QCoreApplication::processEvents();
            ++done;
            if (done == warmup) rssWarm = ResidentKb();
            if (done == passes) loop->setChecked(false); // ends the loop after this pass
        };
        loop->setChecked(true);
        test::Find<QPushButton>(view, "cmdReadData")->click();
        const long rssEnd = ResidentKb();
        state.counters["passes"] = static_cast<double>(done);
        state.counters["rss_warm_kb"] = static_cast<double>(rssWarm);
        state.counters["rss_growth_kb"] = static_cast<double>(rssEnd - rssWarm);
        state.counters["open_handles"] = s.driver.openHandles();
        state.counters["messages"] = static_cast<double>(s.t.messages.shown.size());
    }
}
BENCHMARK(BM_SoakLoop)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    return RunQtBenchmarks(argc, argv);
}
