// The analysis window's spectrum and time tabs offscreen, on a log of known samples: the
// time axis moved by the window's own controls (wheel, drag, box, buttons) by the amounts a
// user expects, the view's points the samples' extremes, channels toggled by their legend
// entries, hover readouts; the spectrum in the Allan plot's colours with the fit's white
// level; the exports and every plot's "Copy image" and "Save image".
#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QTabWidget>
#include <QValueAxis>

#include <cmath>
#include <cstdio>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "WindowRigs.h"
#include "ui/PlotView.h"
#include "ui/TimePlot.h"
#include "ui/frmAnalysis.h"

using namespace tavrin;

namespace {

constexpr int kSamples = 200000; // at 1 kHz: 200 s
constexpr int kSpike = 123457;   // the one sample of X Gryo far above the others

// X Gryo: white noise on a slow ramp, one spike; X acc: white noise about 1 g.
std::filesystem::path WriteLog(const test::ScratchDir& dir) {
    const auto file = dir.path / "known.csv";
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fprintf(f, "Sample #,X Gryo,X acc,\r\n");
    unsigned long long state = 88172645463325252ull;
    const auto noise = [&] { // xorshift, uniform in [-0.5, 0.5)
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
    };
    for (int i = 1; i <= kSamples; ++i) {
        const double gyro = i == kSpike + 1 ? 500.0 : 0.2 * noise() + i * 1e-5;
        std::fprintf(f, "%d,%.15g,%.15g,\r\n", i, gyro, 1 + 0.01 * noise());
    }
    std::fclose(f);
    return file;
}

QPoint ViewportPoint(ui::PlotView* v, QPointF chartPoint) {
    return v->mapFromScene(v->chart()->mapToScene(chartPoint));
}

// Where a viewport pixel falls across the plot area, 0 at its left edge, 1 at its right.
double Across(ui::PlotView* v, QPoint at) {
    const QRectF area = v->chart()->plotArea();
    return (v->chart()->mapFromScene(v->mapToScene(at)).x() - area.left()) / area.width();
}

void Send(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButton button,
          Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, at, to->mapToGlobal(at), button,
                  type == QEvent::MouseMove ? Qt::MouseButtons(Qt::LeftButton) : button, mods);
    QApplication::sendEvent(to, &e);
}

void Drag(QWidget* to, QPoint from, QPoint till, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Send(to, QEvent::MouseButtonPress, from, Qt::LeftButton, mods);
    Send(to, QEvent::MouseMove, (from + till) / 2, Qt::NoButton, mods);
    Send(to, QEvent::MouseMove, till, Qt::NoButton, mods);
    Send(to, QEvent::MouseButtonRelease, till, Qt::LeftButton, mods);
}

void Hover(QWidget* port, QPoint at) {
    QMouseEvent e(QEvent::MouseMove, at, port->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(port, &e);
}

bool Near(double got, double want, double span) {
    return std::fabs(got - want) <= 1e-9 * span;
}

QLineSeries* Line(QChart* chart, const QString& name) {
    for (auto* s : chart->series())
        if (s->name() == name) return qobject_cast<QLineSeries*>(s);
    return nullptr;
}

struct Opened {
    test::ScratchDir dir;
    test::SimTestApp s;
    ui::frmAnalysis w{(s.t.platform.progDir = dir.path, s.app)};
    Opened() {
        w.askRate = [](const QString&) { return std::optional<double>(1000); };
        w.askPeriod = [](const QString&) { return std::optional<double>(); };
        w.resize(1000, 760);
        w.show();
    }
    bool open() { return QTest::qWaitForWindowExposed(&w) && w.openFile(WriteLog(dir)); }
};

} // namespace

class AnalysisViewsTest : public QObject {
    Q_OBJECT
  private slots:
    void timeAxisFollowsTheWindowsOwnControls() {
        Opened o;
        QVERIFY(o.open());
        test::Find<QTabWidget>(o.w, "tabResults")->setCurrentIndex(2);
        auto* tab = test::Find<ui::TimeTab>(o.w, "timeTab");
        ui::PlotView* view = tab->view();
        QChart* chart = view->chart();
        QWidget* port = view->viewport();
        QApplication::processEvents();
        QRectF area = chart->plotArea();
        QVERIFY(area.width() > 300);
        QCOMPARE(std::pair(tab->from(), tab->to()), std::pair(0.0, 200.0));

        // The whole log in at most two points a column, the spike among them, the value
        // axis from the smallest to the largest sample.
        QLineSeries* gyro = Line(chart, "X Gryo");
        QVERIFY(gyro && gyro->count() <= 2 * int(area.width()) + 2);
        const auto& samples = o.w.views().time[0].values;
        double lo = 1e9, hi = -1e9;
        for (const QPointF& p : gyro->points()) lo = std::min(lo, p.y()), hi = std::max(hi, p.y());
        QCOMPARE(hi, 500.0);
        QCOMPARE(lo, *std::min_element(samples.begin(), samples.end()));
        auto* y = qobject_cast<QValueAxis*>(gyro->attachedAxes().at(1));
        QVERIFY(y->min() < lo && y->min() > lo - 0.06 * (hi - lo) && y->max() > 500);

        // One wheel step in, the time under the pointer staying where it is.
        const QPoint at =
            ViewportPoint(view, {area.left() + area.width() * 0.3, area.center().y()});
        double span = tab->to() - tab->from();
        const double across = Across(view, at), pointed = tab->from() + across * span;
        QWheelEvent wheel(at, port->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &wheel);
        const double step = ui::TimeTab::kWheelStep;
        QVERIFY2(Near(tab->to() - tab->from(), span / step, span),
                 qPrintable(QString::number(tab->to())));
        QVERIFY(Near(tab->from(), pointed - across * span / step, span));
        auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).front());
        QCOMPARE(x->min(), tab->from());

        // A drag of 100 pixels to the left shows what was 100 pixels' time later; to the
        // right, no further than the first sample.
        span = tab->to() - tab->from();
        const double from = tab->from(), width = chart->plotArea().width();
        Drag(port, at, at - QPoint(100, 0));
        QVERIFY(Near(tab->from(), from + 100 * span / width, span));
        QVERIFY(Near(tab->to() - tab->from(), span, span));
        Drag(port, at, at + QPoint(400, 0));
        QVERIFY(tab->from() == 0 && Near(tab->to(), span, span));

        // A box with Shift: its time span and its values.
        area = chart->plotArea();
        const QPoint a = ViewportPoint(view, {area.left() + 0.2 * area.width(), area.top() + 20});
        const QPoint b =
            ViewportPoint(view, {area.left() + 0.6 * area.width(), area.bottom() - 20});
        const double t0 = tab->from() + Across(view, a) * span;
        const double t1 = tab->from() + Across(view, b) * span;
        const double down = chart->mapFromScene(view->mapToScene(a)).y() - area.top();
        const double top = y->max() - down * (y->max() - y->min()) / area.height();
        Drag(port, a, b, Qt::ShiftModifier);
        QVERIFY(Near(tab->from(), t0, span) && Near(tab->to(), t1, span));
        QVERIFY(std::fabs(y->max() - top) < 1e-6 * std::fabs(top));
        QVERIFY(!test::Find<QCheckBox>(o.w, "ckAutoscale")->isChecked());

        // The buttons: in by two about the middle; Reset shows all, autoscaled.
        span = tab->to() - tab->from();
        const double middle = (tab->from() + tab->to()) / 2;
        QTest::mouseClick(test::Find<QPushButton>(o.w, "cmdZoomIn"), Qt::LeftButton);
        QVERIFY(Near(tab->from(), middle - span / 4, span) &&
                Near(tab->to(), middle + span / 4, span));
        QTest::mouseClick(test::Find<QPushButton>(o.w, "cmdResetView"), Qt::LeftButton);
        QCOMPARE(std::pair(tab->from(), tab->to()), std::pair(0.0, 200.0));
        QVERIFY(test::Find<QCheckBox>(o.w, "ckAutoscale")->isChecked());

        // 1000 samples wide around the spike: every sample as it is, the axis to the spike.
        tab->setRange(kSpike * 0.001 - 0.5, kSpike * 0.001 + 0.5);
        QCOMPARE(gyro->count(), 1002);
        for (const QPointF& p : gyro->points())
            QCOMPARE(p.y(), samples[std::size_t(std::lround(p.x() * 1000))]);
        QVERIFY(y->max() > 500 && y->max() < 530);
        // Zoomed in as far as it goes: ten samples; out beyond the log: all of it.
        tab->zoom(1e-6, 100);
        QVERIFY(Near(tab->to() - tab->from(), 0.01, 1));
        tab->zoom(1e6, 100);
        QCOMPARE(tab->to() - tab->from(), 200.0);

        // Hovering names the time and each channel's sample there.
        const QPoint over = ViewportPoint(view, chart->plotArea().center());
        Hover(port, over);
        const QString hover = test::Find<QLabel>(o.w, "lblTimeHover")->text();
        const double t = tab->from() + Across(view, over) * (tab->to() - tab->from());
        const QString sample =
            QString::number(samples[std::size_t(std::lround(t * 1000))], 'g', 15);
        QVERIFY2(std::fabs(hover.section(' ', 2, 2).toDouble() - t) < 1e-6 &&
                     hover.contains("X Gryo " + sample + " \u00B0/s   X acc "),
                 qPrintable(hover));

        // A legend entry hides its channel (and the entry stays to bring it back).
        QLegendMarker* marker = chart->legend()->markers(gyro).front();
        emit marker->clicked();
        QVERIFY(!gyro->isVisible() && gyro->count() == 0 && marker->isVisible());
        emit marker->clicked();
        QVERIFY(gyro->isVisible() && gyro->count() > 0);
    }

    // The spectrum of each channel in its Allan colour, its fit's white level 2 N^2 dashed
    // in the same colour; the readout under the pointer; the exports; every plot's menu.
    void spectrumExportsAndPlotMenus() {
        Opened o;
        QVERIFY(o.open());
        auto* tabs = test::Find<QTabWidget>(o.w, "tabResults");
        tabs->setCurrentIndex(1);
        auto* view = test::Find<ui::PlotView>(o.w, "spectrumView");
        QChart* allan = test::Find<ui::PlotView>(o.w, "chartView")->chart();
        const auto& views = o.w.views();
        for (int k = 0; k < 2; ++k) {
            const QString name = k == 0 ? "X Gryo" : "X acc";
            QLineSeries* line = Line(view->chart(), name);
            QLineSeries* white = Line(view->chart(), name + " 2N\u00B2");
            QVERIFY(line && white);
            QCOMPARE(line->pen().color(), Line(allan, name)->pen().color());
            QCOMPARE(white->pen().color(), line->pen().color());
            QCOMPARE(white->pen().style(), Qt::DashLine);
            QCOMPARE(white->at(0).y(), analysis::WhiteLevel(views.analysis.channels[k]));
            // 8192 bins drawn as 2000 bands' extremes.
            QVERIFY(line->count() <= 4000 && line->count() > 2000);
        }
        QApplication::processEvents();
        const QRectF area = view->chart()->plotArea();
        Hover(view->viewport(), ViewportPoint(view, area.center()));
        const QString readout = test::Find<QLabel>(o.w, "lblSpectrumHover")->text();
        QVERIFY2(readout.startsWith("f = ") && readout.contains(" Hz: X Gryo ") &&
                     readout.contains("(\u00B0/s)\u00B2/Hz, X acc ") &&
                     readout.endsWith("g\u00B2/Hz"),
                 qPrintable(readout));

        QVERIFY(o.w.exportSpectrumCsv(o.dir.path / "psd.csv"));
        QCOMPARE(o.dir.read("psd.csv"), analysis::SpectrumCsv(analysis::SpectraOf(views)));
        QVERIFY(!o.w.exportSpectrumCsv(o.dir.path / "known.csv"));
        QVERIFY(o.w.exportPng(o.dir.path / "psd.png"));

        // Every plot: "Copy image" puts it on the clipboard as drawn; "Save image" writes it.
        for (const char* name : {"chartView", "spectrumView", "timeView"}) {
            auto* plot = test::Find<ui::PlotView>(o.w, name);
            QMenu* menu = plot->contextMenu();
            QStringList entries;
            for (QAction* a : menu->actions()) entries << a->text();
            QCOMPARE(entries, QStringList({"Copy image", "Save image..."}));
            QApplication::clipboard()->clear();
            menu->actions().front()->trigger();
            QCOMPARE(QApplication::clipboard()->image().size(), plot->size());
            delete menu;
            const std::string file = std::string(name) + ".png";
            QVERIFY(o.w.savePlot(plot, o.dir.path / file));
            QVERIFY(o.dir.read(file).starts_with("\x89PNG"));
        }
        QCOMPARE(o.dir.read("psd.png"), o.dir.read("spectrumView.png")); // the tab shown
        QVERIFY(!o.w.savePlot(view, o.dir.path / "known.csv"));
        QVERIFY(test::Find<QLabel>(o.w, "lblStatus")->text().contains("is the input file"));
    }
};

QTEST_MAIN(AnalysisViewsTest)
#include "AnalysisViewsTest.moc"
