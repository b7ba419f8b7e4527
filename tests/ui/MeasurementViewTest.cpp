// The live view driven as a user drives it: clicks on Read, Loop and Scale, the
// simulated sensor as the device, chart pixels read back from the off-screen image.
#include <QAccessible>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>
#include <optional>

#include "Find.h"
#include "SimTestApp.h"
#include "ui/MeasurementView.h"
#include "ui/StripChart.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

using namespace tavrin;
using tavrin::sim::SimSensor;

namespace {

const QRgb kRed = qRgb(242, 0, 0), kGreen = qRgb(0, 150, 0), kBlue = qRgb(0, 0, 150);
const QRgb kBack = StripChart::kBackground, kMark = StripChart::kMarker;
const int kCentre = (StripChart::kImageHeight - 1) / 2, kBottom = StripChart::kImageHeight - 1;

// A view on a simulated sensor, set up as the main window's load step leaves it.
struct Rig {
    Rig() : view(s.app) {
        s.app.plot = {350, -350, 10, -10};
        std::array<QRgb, 9> traceColours{};
        for (int c = 2; c <= 7; ++c) {
            traceColours[c] = std::array{kRed, kGreen, kBlue}[(c - 2) % 3];
            QCheckBox* box = test::Find<QCheckBox>(view, "ckG", c);
            box->setChecked(true);
            box->adjustSize(); // no caption: a click in the middle lands on the box
        }
        view.setPlotColors(traceColours);
        test::Find<QLineEdit>(view, "txtLoopDelay")->setText("0");
        s.app.doEvents = [this] {
            if (++events > guard)
                test::Find<QCheckBox>(view, "ckLoop")->setChecked(false); // ends a runaway loop
            if (onEvents) onEvents(events);
        };
    }
    int passes() const { return view.gyroTrace().PlotX; }
    // Caption, Loop, passes and adapter commands so far.
    QString state() const {
        return QString("%1 %2, %3 passes, %4 commands")
            .arg(test::Find<QPushButton>(view, "cmdReadData")->text(),
                 test::Find<QCheckBox>(view, "ckLoop")->isChecked() ? "loop" : "once",
                 QString::number(passes()), QString::number(s.driver.commands().size()));
    }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Clicks Read with Loop set as given; `steer` runs where pending window events would,
    // with the count of event runs since this click (the click's own is the first).
    void read(bool loop, std::function<void(int)> steer = nullptr) {
        test::Find<QCheckBox>(view, "ckLoop")->setChecked(loop);
        onEvents = std::move(steer);
        events = 0;
        click(test::Find<QPushButton>(view, "cmdReadData"));
    }
    // Loops until `w` is clicked during the n-th event run.
    void loopUntil(int n, QWidget* w) {
        read(true, [=, this](int e) { e == n ? click(w) : void(); });
    }
    void stepGy(const view::Samples& v) { view.PlotDataPointsGy(v, p.GyPlotMax, p.GyPlotMin); }
    void stepAcc(const view::Samples& v) { view.PlotDataPointsAcc(v, p.AccPlotMax, p.AccPlotMin); }
    // The three scale labels of a chart, top to bottom.
    QString limits(bool acc = false) const {
        const auto [p, m, n] = acc ? std::tuple{test::Find<QLabel>(view, "lblpFS2"),
                                                test::Find<QLabel>(view, "lblmidS2"),
                                                test::Find<QLabel>(view, "lblnFS2")}
                                   : std::tuple{test::Find<QLabel>(view, "lblpFS1"),
                                                test::Find<QLabel>(view, "lblmidS1"),
                                                test::Find<QLabel>(view, "lblnFS1")};
        return p->text() + "/" + m->text() + "/" + n->text();
    }
    // The status rows top to bottom: A "Alarm" filled pure red, O "OK" filled pure green,
    // o "OK" unfilled on the window's own background, n not read (a dash, unfilled, with a
    // tool tip), ? anything else.
    QString flags() const {
        const QString own = view.palette().window().color().name();
        const QHash<QString, QChar> codes{
            {"OK" + own, 'o'}, {"OK*#00ff00", 'O'}, {"Alarm*#ff0000", 'A'}};
        QString s;
        for (QLabel* f : flagLabels())
            s += f->text() == QString::fromUtf8("\u2013") && !f->autoFillBackground() &&
                         f->toolTip().startsWith("Not read")
                     ? 'n'
                     : codes.value(f->text() + (f->autoFillBackground() ? "*" : "") +
                                       f->palette().window().color().name(),
                                   '?');
        return s;
    }
    std::array<QLabel*, 6> flagLabels() const {
        return {test::Find<QLabel>(view, "lblLowSupplyFlag"),
                test::Find<QLabel>(view, "lblHighSupplyFlag"),
                test::Find<QLabel>(view, "lblWriteFailFlag"),
                test::Find<QLabel>(view, "lblSpiWriteFlag"),
                test::Find<QLabel>(view, "lblAlarm1SetFlag"),
                test::Find<QLabel>(view, "lblAlarm2SetFlag")};
    }
    // Holds the status word and clicks `button` (the status read by default).
    QString status(uint16_t word, QWidget* button = nullptr) {
        s.sensor.hold(SimSensor::kDiagStat, word);
        click(button ? button : test::Find<QPushButton>(view, "CmdUpdateStatus"));
        return flags();
    }

    test::SimTestApp s;
    ChartLimits& p = s.app.plot;
    MeasurementView view;
    int events = 0, guard = 1000;
    std::function<void(int)> onEvents;
};

// Colours at points given as x, y pairs in chart units (image pixels when `raw`): R, G, B
// for the traces, M for the marker, _ for the background, ? for anything else.
QString colours(const StripChart* c, std::initializer_list<double> xy, bool raw = false) {
    const view::PixelMap m = c->pixelMap();
    const QRgb known[] = {kRed, kGreen, kBlue, kMark, kBack};
    QString s;
    for (const double* p = xy.begin(); p + 1 < xy.end(); p += 2) {
        const int x = raw ? int(p[0]) : int(std::lround(m.px(p[0])));
        const int y = raw ? int(p[1]) : int(std::lround(m.py(p[1])));
        s += "RGBM_?"[std::find(known, known + 5, c->image().pixel(x, y)) - known];
    }
    return s;
}

int countPixels(const QImage& img, const std::function<bool(QRgb)>& match) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += match(img.pixel(x, y));
    return n;
}

struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class MeasurementViewTest : public QObject {
    Q_OBJECT
    std::optional<Rig> r; // a fresh one for every test

  private slots:
    void init() { r.emplace(); }

    // ---- Read button and loop -----------------------------------------------------

    void readAndLoopFollowTheCaption() {
        // No interface: nothing happens, not even a status read.
        r->s.app.usb.InterfaceKind = InterfaceNone;
        r->read(true);
        QCOMPARE(r->status(0xFFFF), QString("nnnnnn"));
        QCOMPARE(r->state(), QString("Read loop, 0 passes, 0 commands"));
        QVERIFY(r->events == 0 && r->s.t.messages.shown.empty() &&
                test::Find<QLineEdit>(r->view, "txtReadReg", 2)->text().isEmpty());

        r->s.app.usb.InterfaceKind = InterfaceUsb;
        r->read(false); // seven output reads and one status read, each one adapter command
        QCOMPARE(r->state(), QString("Read once, 1 passes, 8 commands"));

        QSignalSpy running(&r->view, &MeasurementView::loopRunning);
        r->read(true, [&](int n) {
            if (n != 4) return;
            QCOMPARE(test::Find<QPushButton>(r->view, "cmdReadData")->text(), QString("STOP"));
            r->click(test::Find<QCheckBox>(r->view, "ckLoop"));
            QCOMPARE(test::Find<QPushButton>(r->view, "cmdReadData")->text(), QString("Read"));
        });
        // The pass that served the click still finishes.
        QCOMPARE(r->state(), QString("Read once, 4 passes, 32 commands"));
        QCOMPARE(QList<QVariantList>(running), (QList<QVariantList>{{true}, {false}}));
        r->read(false); // Loop clear again: a click is one pass
        QCOMPARE(r->passes(), 5);

        // A second click while looping: five outer passes (the fifth interrupted by the
        // click) plus the nested one, which runs completely inside that event.
        r->read(true, [&](int n) {
            if (n != 6) return;
            r->click(test::Find<QPushButton>(r->view, "cmdReadData"));
            QCOMPARE(r->passes(), 5 + 5);
        });
        QCOMPARE(r->state(), QString("Read loop, 11 passes, 88 commands"));
        r->loopUntil(
            3, test::Find<QCheckBox>(
                   r->view, "ckLoop")); // Loop still checked: the next click starts a new loop
        QCOMPARE(r->passes(), 13);

        // The interface dropped during a loop (Usb menu): STOP still ends it, with no pass
        // and no status read after the drop.
        r->read(true, [&](int n) {
            if (n != 3) return;
            r->s.app.usb.InterfaceKind = InterfaceNone;
            r->click(test::Find<QPushButton>(r->view, "cmdReadData"));
        });
        QCOMPARE(r->state(), QString("Read loop, 15 passes, 119 commands"));
    }

    // The check boxes act on every change of state, also when assistive technology
    // toggles them (no click) or code sets them.
    void checkBoxesActOnAssistiveToggle() {
        auto toggle = [](QCheckBox* b) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
            QVERIFY(a && a->actionInterface());
            a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        };
        r->read(true, [&](int n) {
            if (n != 3) return;
            toggle(test::Find<QCheckBox>(
                r->view, "ckLoop")); // clears Loop: STOP reads Read again and the loop ends
            QCOMPARE(test::Find<QPushButton>(r->view, "cmdReadData")->text(), QString("Read"));
        });
        QCOMPARE(r->state(), QString("Read once, 2 passes, 16 commands"));
        toggle(test::Find<QCheckBox>(r->view, "ckG", 4));
        QVERIFY(!test::Find<QCheckBox>(r->view, "ckG", 4)->isChecked() &&
                test::Find<QWidget>(r->view, "Shape", 4)->isHidden());
        toggle(test::Find<QCheckBox>(r->view, "ckG", 4));
        QVERIFY(test::Find<QWidget>(r->view, "Shape", 4)->isVisibleTo(&r->view));
    }

    void readoutsStayCurrentAndUseTheUsersSeparator() {
        r->view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r->view));
        auto isDark = [](QRgb p) { return qGray(p) < 100; };
        PaintCounter paints;
        test::Find<QLineEdit>(r->view, "txtReadReg", 2)->installEventFilter(&paints);
        QStringList seen;
        int dark = 0;
        QRgb swatch = 0;
        r->read(true, [&](int n) {
            // Each pass's texts are in place when its events run, painted or not.
            if (n >= 2) seen << test::Find<QLineEdit>(r->view, "txtReadReg", 2)->text();
            r->s.sensor.hold(SimSensor::kXGyro, uint16_t(100 * n));
            // Mid-loop the readout shows dark text on its light field, the swatch its colour.
            if (n == 4)
                dark = countPixels(
                    test::Find<QLineEdit>(r->view, "txtReadReg", 2)->grab().toImage(), isDark);
            if (n == 4)
                swatch = test::Find<QWidget>(r->view, "Shape", 2)->grab().toImage().pixel(6, 6);
            if (n == 5) r->click(test::Find<QPushButton>(r->view, "cmdReadData"));
        });
        // Four outer passes; the click's own events (6) come before its nested pass reads 600.
        QCOMPARE(seen, (QStringList{"7.33", "14.65", "21.98", "29.30", "29.30", "43.96"}));
        QVERIFY(dark > 10);
        QCOMPARE(swatch, qRgb(255, 0, 0));
        // Repaints are only held back during the loop: the final values reach the screen.
        const int before = paints.count;
        QTRY_VERIFY_WITH_TIMEOUT(paints.count > before, 2000);

        // Two decimals and the user's separator: 7.326 and -3.150 deg/s (-43 counts), 0,
        // 1.0088 and 0.007566 g, 25 degC.
        const std::tuple<int, uint16_t, int, const char*> rows[] = {
            {SimSensor::kXGyro, 100, 2, "7.33"}, {SimSensor::kYGyro, 0x3FD5, 3, "-3.15"},
            {SimSensor::kZGyro, 0, 4, "0.00"},   {SimSensor::kXAccl, 400, 5, "1.01"},
            {SimSensor::kYAccl, 3, 6, "0.01"},   {SimSensor::kXTemp, 0, 8, "25.00"}};
        for (const auto& [addr, word, box, text] : rows) r->s.sensor.hold(addr, word);
        for (const char* sep : {".", ","}) {
            r->s.t.platform.decimalSep = sep;
            r->read(false);
            for (const auto& [addr, word, box, text] : rows)
                QCOMPARE(test::Find<QLineEdit>(r->view, "txtReadReg", box)->text(),
                         QString(text).replace(".", sep));
        }
    }

    void passRateIsReportedOnlyWhileLooping() {
        QSignalSpy rate(&r->view, &MeasurementView::passRate);
        for (int i = 0; i < 3; ++i) r->click(test::Find<QPushButton>(r->view, "cmdReadData"));
        QCOMPARE(rate.count(), 0);
        r->guard = 2000000;
        r->read(true, [&](int) {
            if (rate.count() > 0 &&
                test::Find<QPushButton>(r->view, "cmdReadData")->text() == "STOP")
                r->click(test::Find<QPushButton>(r->view, "cmdReadData"));
        });
        QCOMPARE(rate.count(), 1);
        // Reported after at least half a second, so it cannot exceed twice the passes made
        // (one event run per pass).
        const double perSecond = rate.at(0).at(0).toDouble();
        QVERIFY(perSecond > 0 && perSecond <= 2.0 * r->events);
    }

    void loopDelayIsCorrectedAsTypedAndWaitedBetweenPasses() {
        QLineEdit* f = test::Find<QLineEdit>(r->view, "txtLoopDelay");
        // Set whole, or typed key by key: 9999 is corrected at the fourth digit.
        const std::tuple<const char*, bool, const char*> rows[] = {
            {"", false, "0"},    {"2000", false, "1000"}, {"-5", false, "0"},
            {"abc", false, "0"}, {"12.5", true, "12.5"},  {"9999", true, "1000"}};
        for (const auto& [text, typed, want] : rows) {
            if (typed) f->selectAll();
            typed ? QTest::keyClicks(f, text) : f->setText(text);
            QCOMPARE(f->text(), QString(want));
        }

        bool served = false; // the default wait keeps serving window events
        QTimer::singleShot(0, [&] { served = true; });
        r->view.waitBetweenPasses(30);
        QVERIFY(served);
        std::vector<int> waits;
        r->view.waitBetweenPasses = [&](int ms) {
            waits.push_back(ms);
            // A STOP click served while waiting ends the loop without another outer pass.
            if (waits.size() == 3) r->click(test::Find<QPushButton>(r->view, "cmdReadData"));
        };
        f->setText("12.5");
        r->read(true);
        QCOMPARE(waits, (std::vector<int>{13, 13, 13}));
        // Three outer passes and the click's own.
        QCOMPARE(r->state(), QString("Read loop, 4 passes, 32 commands"));
        f->setText("0");
        r->loopUntil(4, test::Find<QCheckBox>(r->view, "ckLoop"));
        QCOMPARE(int(waits.size()), 3); // no wait at 0
        QCOMPARE(r->passes(), 7);
    }

    // ---- Charts ---------------------------------------------------------------------

    void firstSegmentAndTheWrapFrom350ToZero() {
        r->stepGy({0, 0, 175, -175, 0});
        // All three start at (0, 0), blue drawn last. The marker one position ahead over
        // the full height, background beyond it.
        QCOMPARE(colours(test::Find<StripChart>(r->view, "pic1"),
                         {0, 0, 1, 175, 1, -175, 0.5, 87.5, 2, 350, 2, -350, 3, 0, 1, 300}),
                 QString("BRGRMM__"));
        QCOMPARE(r->limits(), QString("350/0/-350"));

        // The acceleration chart, independent of the first, sweeps once round.
        for (int i = 1; i <= 350; ++i) r->stepAcc({0, 0, 0, 0, 0, i % 2 ? 5.0 : -5.0});
        const StripChart* c = test::Find<StripChart>(r->view, "pic2");
        // The last point of the first sweep sits at the right edge.
        QCOMPARE(colours(c, {350, -5, 0, 8}), QString("R_"));
        r->stepAcc({0, 0, 0, 0, 0, 8});
        QCOMPARE(r->view.accTrace().PlotX, 0);
        // A vertical segment at x = 0 from the previous value to the new one; the old trace
        // at x = 2 stays until the sweep reaches it.
        QCOMPARE(colours(c, {0, -5, 0, 4, 0, 8, 0, 9, 1, 0, 2, 5, 2, -5}), QString("RRR_M_R"));
        r->stepAcc({0, 0, 0, 0, 0, 1});
        QCOMPARE(colours(c, {1, 1, 2, -5}), QString("RM"));
    }

    void uncheckedChannelStillTracksItsValue() {
        QVERIFY(test::Find<QWidget>(r->view, "Shape", 3)->isVisibleTo(&r->view));
        r->click(test::Find<QCheckBox>(r->view, "ckG", 3));
        QVERIFY(!test::Find<QCheckBox>(r->view, "ckG", 3)->isChecked() &&
                !test::Find<QWidget>(r->view, "Shape", 3)->isVisibleTo(&r->view));
        r->stepGy({0, 0, 0, 200});
        r->stepGy({0, 0, 0, 300});
        QCOMPARE(colours(test::Find<StripChart>(r->view, "pic1"), {1, 200, 2, 300}), QString("__"));
        r->click(test::Find<QCheckBox>(r->view, "ckG", 3));
        QVERIFY(test::Find<QWidget>(r->view, "Shape", 3)->isVisibleTo(&r->view));
        r->stepGy({0, 0, 0, -300});
        // Joins the latest value, not a stale one.
        QCOMPARE(colours(test::Find<StripChart>(r->view, "pic1"), {2, 300, 3, -300}),
                 QString("GG"));
    }

    void scaleButtonsCycleAndRescaleMidSweep() {
        QStringList gyro, acc;
        for (int i = 0; i < 5; ++i) {
            r->click(test::Find<QPushButton>(r->view, "cmdScaleGyro"));
            r->click(test::Find<QPushButton>(r->view, "cmdScaleAcc"));
            gyro << r->limits();
            acc << r->limits(true);
        }
        // Labels start empty, so the first press picks the default.
        QCOMPARE(gyro.join(' '), QString("350/0/-350 175/0/-175 50/0/-50 5/0/-5 350/0/-350"));
        QCOMPARE(acc.join(' '), QString("10/0/-10 5/0/-5 1.25/0/-1.25 0.1/0/-0.1 10/0/-10"));
        QCOMPARE(r->p.AccPlotMin, -10.0);

        // The cycle ends where a fresh chart starts: a press mid-sweep keeps the old trace
        // and rescales the new one.
        for (int i = 0; i < 3; ++i) r->stepGy({0, 0, 100});
        const StripChart* c = test::Find<StripChart>(r->view, "pic1");
        const int oldRow = int(std::lround(c->pixelMap().py(100)));
        r->click(test::Find<QPushButton>(r->view, "cmdScaleGyro"));
        QCOMPARE(std::pair(r->p.GyPlotMax, r->p.GyPlotMin), std::pair(175.0, -175.0));
        const QImage before = c->image();
        r->stepGy({0, 0, 100});
        // The old trace stays where it was drawn; the new segment joins the previous value
        // plotted in the new scale.
        QVERIFY(before.pixel(4, oldRow) == kRed && c->image().pixel(4, oldRow) == kRed);
        QCOMPARE(colours(c, {3, 100, 4, 100}), QString("RR"));
        QVERIFY(int(std::lround(c->pixelMap().py(100))) != oldRow);
    }

    void equalLimitsAndValuesBeyondTheLimits() {
        double max = 0, min = 0;
        r->view.PlotDataPointsGy({0, 0, -0.5}, max, min);
        QCOMPARE(std::pair(min, test::Find<StripChart>(r->view, "pic1")->pixelMap().min),
                 std::pair(-1.0, -1.0));
        QCOMPARE(r->limits(), QString("0/0/0")); // shows the limits as passed
        QCOMPARE(colours(test::Find<StripChart>(r->view, "pic1"), {1, -0.5}), QString("R"));
        // Through the readout: the program-wide minimum itself becomes -1.
        r->p.GyPlotMax = r->p.GyPlotMin = 0;
        r->click(test::Find<QPushButton>(r->view, "cmdReadData"));
        QCOMPARE(std::pair(r->p.GyPlotMax, r->p.GyPlotMin), std::pair(0.0, -1.0));

        // Far beyond the limits: cut off by the edge, never clamped, never garbage. Image
        // pixels from here on: x = 1 is column 2.
        Rig big;
        const StripChart* c = test::Find<StripChart>(big.view, "pic1");
        for (int ch : {3, 4}) big.click(test::Find<QCheckBox>(big.view, "ckG", ch));
        big.stepGy({0, 0, 1e12}); // leaves through the top at x = 0, not flattened along it
        QCOMPARE(colours(c, {0, kCentre, 0, kCentre / 2, 0, 0, 2, 0}, true), QString("RRR_"));
        big.stepGy({0, 0, -1e300}); // far above to far below: the whole height at x = 1
        QCOMPARE(colours(c, {2, 0, 2, kCentre, 2, kBottom, 6, kBottom, 4, kCentre}, true),
                 QString("RRRM_"));
        big.stepGy({0, 0, std::numeric_limits<double>::max()});
        QCOMPARE(colours(c, {4, 0, 4, kBottom}, true), QString("RR"));

        // Exactly Max and Min sit on the top and bottom rows.
        Rig edge;
        edge.click(test::Find<QCheckBox>(edge.view, "ckG", 2));
        edge.stepGy({0, 0, 0, 350, -350});
        QCOMPARE(colours(test::Find<StripChart>(edge.view, "pic1"), {2, 0, 2, kBottom}, true),
                 QString("GB"));
    }

    void hoverReadoutAndThePaintedChart() {
        r->view.resize(900, 600);
        r->view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r->view));
        StripChart* c = test::Find<StripChart>(r->view, "pic2");
        // Moves the pointer over the chart; gives the sample and value labels.
        auto hover = [&](QPointF at) {
            QMouseEvent e(QEvent::MouseMove, at, c->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(c, &e);
            return test::Find<QLabel>(r->view, "lblCurSam2")->text() + " " +
                   test::Find<QLabel>(r->view, "lblCurVal2")->text();
        };
        // No coordinate system before the first step: nothing shown.
        QCOMPARE(hover({10, 10}), QString(" "));
        r->stepAcc({});
        QCOMPARE(hover({c->width() - 1.0, 0}), QString("350 10"));
        QCOMPARE(hover({(c->width() - 1) / 2.0, (c->height() - 1) * 0.75}), QString("175 -5"));

        // After a loop the coalesced repaint shows the gyroscope chart in all three colours.
        for (int i = 0; i < 4; ++i)
            r->click(test::Find<QPushButton>(r->view, "cmdScaleGyro")); // 5 deg/s shows the noise
        r->loopUntil(420, test::Find<QPushButton>(r->view, "cmdReadData"));
        QTest::qWait(40);
        const QImage chart1 = test::Find<StripChart>(r->view, "pic1")->grab().toImage();
        QVERIFY(countPixels(chart1, [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 60; }));
        QVERIFY(countPixels(chart1, [](QRgb p) { return qGreen(p) > 110 && qRed(p) < 60; }));
        QVERIFY(countPixels(chart1, [](QRgb p) { return qBlue(p) > 110 && qRed(p) < 60; }));
    }

    // The two charts keep their design heights (255 and 258 pixels) and their proportion
    // when the window grows.
    void chartHeightsKeepTheirProportion() {
        QWidget& v = r->view;
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        v.resize(v.sizeHint());
        QCoreApplication::processEvents();
        QCOMPARE(QList<int>({test::Find<StripChart>(r->view, "pic1")->height(),
                             test::Find<StripChart>(r->view, "pic2")->height()}),
                 QList<int>({255, 258}));
        v.resize(v.width() + 200, v.height() + 400);
        QCoreApplication::processEvents();
        const int h1 = test::Find<StripChart>(r->view, "pic1")->height();
        const int h2 = test::Find<StripChart>(r->view, "pic2")->height();
        const double ratio = double(h2) / h1;
        QVERIFY2(h1 > 400 && std::abs(ratio - 3870.0 / 3825.0) < 0.005,
                 qPrintable(QString("%1 / %2").arg(h2).arg(h1)));
    }

    // ---- Status ---------------------------------------------------------------------

    void statusFlagsFollowTheStatusWord() {
        QCOMPARE(test::Find<QPushButton>(r->view, "CmdUpdateStatus")->toolTip(),
                 QString("Display the Status Register"));
        QStringList seen; // the last word shows that nothing latches
        for (uint16_t word : {0x0000, 0x0301, 0xFCF0, 0x000F, 0x0000}) seen << r->status(word);
        QCOMPARE(seen.join(' '), QString("OOOOOO AOOOAA OOOOOO AAAAOO OOOOOO"));
        // Every pass of the readout refreshes the panel too.
        QCOMPARE(r->status(0x0200, test::Find<QPushButton>(r->view, "cmdReadData")),
                 QString("OOOOOA"));

        // The status word's position comes from the model's register table.
        LoadRegisterTable(r->s.app.regs, 41040);
        const RegisterRecord* at30 = r->s.app.regs.at(30);
        QVERIFY(r->s.app.regs.iDIAG_STAT == 27 && at30 && at30->Address != SimSensor::kDiagStat);
        QCOMPARE(r->status(0x0100), QString("OOOOAO"));
        LoadRegisterTable(r->s.app.regs, 41120);
        QCOMPARE(r->status(0x0001), QString("AOOOOO"));
    }

    // A status read that reaches no sensor is no "OK": the flags show "not read" and why.
    void statusReadThatReachesNoSensorShowsNotRead() {
        auto tips = [&] {
            QStringList t;
            for (QLabel* f : r->flagLabels()) t << f->toolTip();
            t.removeDuplicates();
            return t.join('|');
        };
        QCOMPARE(r->status(0x0001), QString("AOOOOO"));
        QCOMPARE(tips(), QString());

        r->s.app.usb.UsbReady = false; // no adapter ready
        QCOMPARE(r->status(0x0000), QString("nnnnnn"));
        QCOMPARE(tips(), QString("Not read: no adapter ready"));
        QCOMPARE(r->status(0x0000, test::Find<QPushButton>(r->view, "cmdReadData")),
                 QString("nnnnnn"));

        r->s.app.usb.UsbReady = true;
        r->s.app.usb.InterfaceKind = InterfaceNone;
        r->s.driver.clearCommands();
        QCOMPARE(r->status(0x0000), QString("nnnnnn"));
        QCOMPARE(tips(), QString("Not read: no interface chosen"));
        QVERIFY(r->s.driver.commands().empty());

        // The adapter fails during the read: its message, then not read.
        r->s.app.usb.InterfaceKind = InterfaceUsb;
        QCOMPARE(r->status(0x0000), QString("OOOOOO"));
        QCOMPARE(tips(), QString());
        r->s.driver.failBulk(1);
        QCOMPARE(r->status(0x0000), QString("nnnnnn"));
        QCOMPARE(r->s.t.messages.texts(), std::vector<std::string>{"Error Reading SPI"});
        QCOMPARE(tips(), QString("Not read: no adapter ready"));
    }
};

QTEST_MAIN(MeasurementViewTest)
#include "MeasurementViewTest.moc"