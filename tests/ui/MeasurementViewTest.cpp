// The live view driven as a user drives it, on the simulated sensor; chart pixels are
// read back from the off-screen image.
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

using namespace tavrin;
using sim::SimSensor;
using test::Find;
using ui::StripChart;

namespace {

const QRgb kRed = qRgb(242, 0, 0), kGreen = qRgb(0, 150, 0), kBlue = qRgb(0, 0, 150);
const int kCentre = (StripChart::kImageHeight - 1) / 2, kBottom = StripChart::kImageHeight - 1;

// A view on a simulated sensor, as the main window's load step leaves it.
struct Rig {
    Rig() : view(s.app) {
        s.app.plot = {350, -350, 10, -10};
        std::array<QRgb, 9> traceColours{};
        for (int c = 2; c <= 7; ++c) {
            traceColours[c] = std::array{kRed, kGreen, kBlue}[(c - 2) % 3];
            box(c)->setChecked(true);
            box(c)->adjustSize(); // no caption: a click in the middle lands on the box
        }
        view.setPlotColors(traceColours);
        Find<QLineEdit>(view, "txtLoopDelay")->setText("0");
        s.app.doEvents = [this] {
            if (++events > guard) loop()->setChecked(false); // ends a runaway loop
            if (onEvents) onEvents(events);
        };
    }
    QCheckBox* box(int c) const { return Find<QCheckBox>(view, "ckG", c); }
    QCheckBox* loop() const { return Find<QCheckBox>(view, "ckLoop"); }
    QPushButton* button(const char* name) const { return Find<QPushButton>(view, name); }
    QString text(const char* name) const { return Find<QLabel>(view, name)->text(); }
    QString readout(int p) const { return Find<QLineEdit>(view, "txtReadReg", p)->text(); }
    StripChart* chart(int n) const { return Find<StripChart>(view, n == 1 ? "pic1" : "pic2"); }
    int passes() const { return view.gyroTrace().PlotX; }
    // Caption, Loop, passes and adapter commands so far.
    QString state() const {
        return QString("%1 %2, %3 passes, %4 commands")
            .arg(button("cmdReadData")->text(), loop()->isChecked() ? "loop" : "once")
            .arg(passes())
            .arg(s.driver.commands().size());
    }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Clicks Read with Loop as given; `steer` runs where pending window events would,
    // with the count of event runs since this click (the click's own is the first).
    void read(bool looping, std::function<void(int)> steer = nullptr) {
        loop()->setChecked(looping);
        onEvents = std::move(steer);
        events = 0;
        click(button("cmdReadData"));
    }
    void stepGy(const view::Samples& v) { view.PlotDataPointsGy(v, p.GyPlotMax, p.GyPlotMin); }
    void stepAcc(const view::Samples& v) { view.PlotDataPointsAcc(v, p.AccPlotMax, p.AccPlotMin); }
    // The three scale labels of a chart, top to bottom.
    QString limits(int n = 1) const {
        return text(qPrintable(QString("lblpFS%1").arg(n))) + "/" +
               text(qPrintable(QString("lblmidS%1").arg(n))) + "/" +
               text(qPrintable(QString("lblnFS%1").arg(n)));
    }
    // Holds the status word, clicks `name` and gives the rows top to bottom: A "Alarm" on
    // pure red, O "OK" on pure green, n not read (a dash, unfilled), ? anything else; and
    // the tool tips, each once.
    QString status(uint16_t word, const char* name = "CmdUpdateStatus") {
        s.sensor.hold(SimSensor::kDiagStat, word);
        click(button(name));
        QString rows;
        QStringList tips;
        for (const char* f : {"lblLowSupplyFlag", "lblHighSupplyFlag", "lblWriteFailFlag",
                              "lblSpiWriteFlag", "lblAlarm1SetFlag", "lblAlarm2SetFlag"}) {
            const QLabel* l = Find<QLabel>(view, f);
            const QString look =
                l->text() + (l->autoFillBackground() ? l->palette().window().color().name() : "");
            rows += look == "OK#00ff00"      ? 'O'
                    : look == "Alarm#ff0000" ? 'A'
                    : look == "\u2013"       ? 'n'
                                             : '?';
            if (!tips.contains(l->toolTip())) tips << l->toolTip();
        }
        return rows + tips.join('|');
    }

    test::SimTestApp s;
    view::ChartLimits& p = s.app.plot;
    ui::MeasurementView view;
    int events = 0, guard = 1000;
    std::function<void(int)> onEvents;
};

// Colours at x, y pairs in chart units (image pixels when `raw`): R, G, B for the
// traces, M for the marker, _ for the background, ? for anything else.
QString colours(const StripChart* c, std::initializer_list<double> xy, bool raw = false) {
    const view::PixelMap m = c->pixelMap();
    const QRgb known[] = {kRed, kGreen, kBlue, StripChart::kMarker, StripChart::kBackground};
    QString s;
    for (const double* p = xy.begin(); p + 1 < xy.end(); p += 2) {
        const int x = raw ? int(p[0]) : int(std::lround(m.px(p[0])));
        const int y = raw ? int(p[1]) : int(std::lround(m.py(p[1])));
        s += "RGBM_?"[std::find(known, known + 5, c->image().pixel(x, y)) - known];
    }
    return s;
}

} // namespace

class MeasurementViewTest : public QObject {
    Q_OBJECT
    std::optional<Rig> r; // a fresh one for every test

  private slots:
    void init() { r.emplace(); }

    void readAndLoopFollowTheCaption() {
        // No interface: nothing happens, not even a status read.
        r->s.app.usb.InterfaceKind = transport::InterfaceNone;
        r->read(true);
        QCOMPARE(r->status(0xFFFF), QString("nnnnnnNot read: no interface chosen"));
        QCOMPARE(r->state(), QString("Read loop, 0 passes, 0 commands"));
        QVERIFY(r->events == 0 && r->s.t.messages.shown.empty() && r->readout(2).isEmpty());

        r->s.app.usb.InterfaceKind = transport::InterfaceUsb;
        r->read(false); // seven output reads and one status read, one command each
        QCOMPARE(r->state(), QString("Read once, 1 passes, 8 commands"));

        QSignalSpy running(&r->view, &ui::MeasurementView::loopRunning);
        r->read(true, [&](int n) {
            if (n != 4) return;
            QCOMPARE(r->button("cmdReadData")->text(), QString("STOP"));
            r->click(r->loop());
            QCOMPARE(r->button("cmdReadData")->text(), QString("Read"));
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
            r->click(r->button("cmdReadData"));
            QCOMPARE(r->passes(), 5 + 5);
        });
        QCOMPARE(r->state(), QString("Read loop, 11 passes, 88 commands"));
    }

    void readoutsStayCurrentAndUseTheUsersSeparator() {
        QStringList seen;
        r->read(true, [&](int n) {
            // Each pass's texts are in place when its events run.
            if (n >= 2) seen << r->readout(2);
            r->s.sensor.hold(SimSensor::kXGyro, uint16_t(100 * n));
            if (n == 5) r->click(r->button("cmdReadData"));
        });
        // Four outer passes; the click's own events (6) come before its nested pass reads 600.
        QCOMPARE(seen, (QStringList{"7.33", "14.65", "21.98", "29.30", "29.30", "43.96"}));
        const QRgb swatches[] = {qRgb(255, 0, 0), qRgb(0, 223, 0), qRgb(0, 0, 192)};
        for (int c = 2; c <= 7; ++c)
            QCOMPARE(Find<QWidget>(r->view, "Shape", c)->palette().window().color().rgb(),
                     swatches[(c - 2) % 3]);

        // 7.326 and -3.150 deg/s (-43 counts), 0, 1.0088 and 0.007566 g, 25 degC.
        const std::tuple<int, uint16_t, int, const char*> rows[] = {
            {SimSensor::kXGyro, 100, 2, "7.33"}, {SimSensor::kYGyro, 0x3FD5, 3, "-3.15"},
            {SimSensor::kZGyro, 0, 4, "0.00"},   {SimSensor::kXAccl, 400, 5, "1.01"},
            {SimSensor::kYAccl, 3, 6, "0.01"},   {SimSensor::kXTemp, 0, 8, "25.00"}};
        for (const auto& [addr, word, box, text] : rows) r->s.sensor.hold(addr, word);
        for (const char* sep : {".", ","}) {
            r->s.t.platform.decimalSep = sep;
            r->read(false);
            for (const auto& [addr, word, box, text] : rows)
                QCOMPARE(r->readout(box), QString(text).replace(".", sep));
        }
    }

    void loopDelayIsCorrectedAsTypedAndWaitedBetweenPasses() {
        QLineEdit* f = Find<QLineEdit>(r->view, "txtLoopDelay");
        // Set whole, or typed key by key: 9999 is corrected at the fourth digit.
        const std::tuple<const char*, bool, const char*> rows[] = {
            {"", false, "0"},    {"2000", false, "1000"}, {"-5", false, "0"},
            {"abc", false, "0"}, {"12.5", true, "12.5"},  {"9999", true, "1000"}};
        for (const auto& [text, typed, want] : rows) {
            if (typed) f->selectAll();
            typed ? QTest::keyClicks(f, text) : f->setText(text);
            QCOMPARE(f->text(), QString(want));
        }

        std::vector<int> waits;
        r->view.waitBetweenPasses = [&](int ms) {
            waits.push_back(ms);
            // A STOP click served while waiting ends the loop without another outer pass.
            if (waits.size() == 3) r->click(r->button("cmdReadData"));
        };
        f->setText("12.5");
        r->read(true);
        QCOMPARE(waits, (std::vector<int>{13, 13, 13}));
        QCOMPARE(r->state(), QString("Read loop, 4 passes, 32 commands"));
    }

    void firstSegmentAndTheWrapFrom350ToZero() {
        r->stepGy({0, 0, 175, -175, 0});
        // All three start at (0, 0), blue drawn last; the marker one position ahead over
        // the full height, background beyond it.
        QCOMPARE(
            colours(r->chart(1), {0, 0, 1, 175, 1, -175, 0.5, 87.5, 2, 350, 2, -350, 3, 0, 1, 300}),
            QString("BRGRMM__"));
        QCOMPARE(r->limits(), QString("350/0/-350"));

        for (int i = 1; i <= 350; ++i) r->stepAcc({0, 0, 0, 0, 0, i % 2 ? 5.0 : -5.0});
        QCOMPARE(colours(r->chart(2), {350, -5, 0, 8}), QString("R_")); // the right edge
        r->stepAcc({0, 0, 0, 0, 0, 8});
        QCOMPARE(r->view.accTrace().PlotX, 0);
        // A vertical segment at x = 0 from the previous value to the new one; the old trace
        // at x = 2 stays until the sweep reaches it.
        QCOMPARE(colours(r->chart(2), {0, -5, 0, 4, 0, 8, 0, 9, 1, 0, 2, 5, 2, -5}),
                 QString("RRR_M_R"));
        r->stepAcc({0, 0, 0, 0, 0, 1});
        QCOMPARE(colours(r->chart(2), {1, 1, 2, -5}), QString("RM"));
    }

    // An unchecked channel keeps what it drew, draws nothing more, yet tracks its value.
    // Assistive tools toggle the box without a click.
    void uncheckedChannelKeepsItsTraceAndTracksItsValue() {
        r->stepGy({0, 0, 100});
        QAccessible::queryAccessibleInterface(r->box(2))->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
        QVERIFY(!r->box(2)->isChecked() &&
                !Find<QWidget>(r->view, "Shape", 2)->isVisibleTo(&r->view));
        QCOMPARE(colours(r->chart(1), {1, 100}), QString("R"));
        r->stepGy({0, 0, 200});
        r->stepGy({0, 0, 300});
        QCOMPARE(colours(r->chart(1), {1, 100, 2, 200, 3, 300}), QString("R__"));
        r->click(r->box(2));
        QVERIFY(Find<QWidget>(r->view, "Shape", 2)->isVisibleTo(&r->view));
        r->stepGy({0, 0, -300});
        QCOMPARE(colours(r->chart(1), {3, 300, 4, -300}), QString("RR")); // from the latest value
    }

    void scaleButtonsCycleAndRescaleMidSweep() {
        QStringList seen;
        for (const char* sep : {".", ","}) {
            r->s.t.platform.decimalSep = sep;
            for (int i = 0; i < 5; ++i) {
                r->click(r->button("cmdScaleGyro"));
                r->click(r->button("cmdScaleAcc"));
                seen << r->limits() + " " + r->limits(2);
            }
        }
        // Labels start empty, so the first press picks the default.
        QCOMPARE(seen.join(' '), QString("350/0/-350 10/0/-10 175/0/-175 5/0/-5 50/0/-50 "
                                         "1.25/0/-1.25 5/0/-5 0.1/0/-0.1 350/0/-350 10/0/-10 "
                                         "175/0/-175 5/0/-5 50/0/-50 1,25/0/-1,25 5/0/-5 "
                                         "0,1/0/-0,1 350/0/-350 10/0/-10 175/0/-175 5/0/-5"));
        QCOMPARE(std::pair(r->p.AccPlotMax, r->p.AccPlotMin), std::pair(5.0, -5.0));

        // A press mid-sweep keeps the old trace and rescales the new one.
        for (int i = 0; i < 3; ++i) r->stepGy({0, 0, 40});
        const int oldRow = int(std::lround(r->chart(1)->pixelMap().py(40)));
        r->click(r->button("cmdScaleGyro"));
        QCOMPARE(std::pair(r->p.GyPlotMax, r->p.GyPlotMin), std::pair(50.0, -50.0));
        r->stepGy({0, 0, 40});
        QVERIFY(r->chart(1)->image().pixel(4, oldRow) == kRed &&
                std::lround(r->chart(1)->pixelMap().py(40)) != oldRow);
        QCOMPARE(colours(r->chart(1), {3, 40, 4, 40}), QString("RR")); // from 40 in the new scale
    }

    void equalLimitsAndValuesBeyondTheLimits() {
        double max = 0, min = 0;
        r->view.PlotDataPointsGy({0, 0, -0.5}, max, min);
        QCOMPARE(std::pair(min, r->chart(1)->pixelMap().min), std::pair(-1.0, -1.0));
        QCOMPARE(r->limits(), QString("0/0/0")); // the limits as passed
        QCOMPARE(colours(r->chart(1), {1, -0.5}), QString("R"));
        // Through the readout: the program-wide minimum itself becomes -1.
        r->p.GyPlotMax = r->p.GyPlotMin = 0;
        r->click(r->button("cmdReadData"));
        QCOMPARE(std::pair(r->p.GyPlotMax, r->p.GyPlotMin), std::pair(0.0, -1.0));

        // Far beyond the limits: cut off by the edge, never clamped, never garbage. Image
        // pixels from here on: x = 1 is column 2.
        Rig big;
        const StripChart* c = big.chart(1);
        for (int ch : {3, 4}) big.click(big.box(ch));
        big.stepGy({0, 0, 1e12}); // leaves through the top at x = 0, not flattened along it
        QCOMPARE(colours(c, {0, kCentre, 0, kCentre / 2, 0, 0, 2, 0}, true), QString("RRR_"));
        big.stepGy({0, 0, -1e300}); // far above to far below: the whole height at x = 1
        QCOMPARE(colours(c, {2, 0, 2, kCentre, 2, kBottom, 6, kBottom, 4, kCentre}, true),
                 QString("RRRM_"));
        big.stepGy({0, 0, std::numeric_limits<double>::max()});
        QCOMPARE(colours(c, {4, 0, 4, kBottom}, true), QString("RR"));

        // Exactly Max and Min sit on the top and bottom rows.
        Rig edge;
        edge.click(edge.box(2));
        edge.stepGy({0, 0, 0, 350, -350});
        QCOMPARE(colours(edge.chart(1), {2, 0, 2, kBottom}, true), QString("GB"));
    }

    void hoverReadoutAndThePaintedChart() {
        r->view.resize(900, 600);
        r->view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r->view));
        StripChart* c = r->chart(2);
        auto hover = [&](QPointF at) {
            QMouseEvent e(QEvent::MouseMove, at, c->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(c, &e);
            return r->text("lblCurSam2") + " " + r->text("lblCurVal2");
        };
        QCOMPARE(hover({10, 10}), QString(" ")); // no coordinates before the first step
        r->stepAcc({});
        QCOMPARE(hover({c->width() - 1.0, 0}), QString("350 10"));
        QCOMPARE(hover({(c->width() - 1) / 2.0, (c->height() - 1) * 0.75}), QString("175 -5"));
        // One decimal: 10 - 0.7777 * 20 = -5.554 shows as -5.6.
        QCOMPARE(hover({(c->width() - 1) / 2.0, (c->height() - 1) * 0.7777}), QString("175 -5.6"));
    }

    void statusFlagsFollowTheStatusWord() {
        QCOMPARE(r->button("CmdUpdateStatus")->toolTip(), QString("Display the Status Register"));
        QStringList seen; // the last word shows that nothing latches
        for (uint16_t word : {0x0000, 0x0301, 0xFCF0, 0x0002, 0x0004, 0x0008, 0x0000})
            seen << r->status(word);
        QCOMPARE(seen.join(' '), QString("OOOOOO AOOOAA OOOOOO OAOOOO OOAOOO OOOAOO OOOOOO"));
        // Every pass of the readout refreshes the panel too.
        QCOMPARE(r->status(0x0200, "cmdReadData"), QString("OOOOOA"));

        // The status word's position comes from the model's register table.
        registers::LoadRegisterTable(r->s.app.regs, 41040);
        QVERIFY(r->s.app.regs.iDIAG_STAT == 27 &&
                r->s.app.regs.at(30)->Address != SimSensor::kDiagStat);
        QCOMPARE(r->status(0x0100), QString("OOOOAO"));
    }

    // A status read that reaches no sensor is no "OK": the flags show "not read" and why.
    void statusReadThatReachesNoSensorShowsNotRead() {
        r->s.app.usb.UsbReady = false;
        QCOMPARE(r->status(0x0000), QString("nnnnnnNot read: no adapter ready"));
        QCOMPARE(r->status(0x0000, "cmdReadData"), QString("nnnnnnNot read: no adapter ready"));

        r->s.app.usb.UsbReady = true;
        r->s.app.usb.InterfaceKind = transport::InterfaceNone;
        r->s.driver.clearCommands();
        QCOMPARE(r->status(0x0000), QString("nnnnnnNot read: no interface chosen"));
        QVERIFY(r->s.driver.commands().empty());

        // The adapter fails during the read: its message, then not read.
        r->s.app.usb.InterfaceKind = transport::InterfaceUsb;
        QCOMPARE(r->status(0x0001), QString("AOOOOO"));
        r->s.driver.failBulk(1);
        QCOMPARE(r->status(0x0000), QString("nnnnnnNot read: no adapter ready"));
        QCOMPARE(r->s.t.messages.texts(), std::vector<std::string>{"Error Reading SPI"});
    }
};

QTEST_MAIN(MeasurementViewTest)
#include "MeasurementViewTest.moc"
