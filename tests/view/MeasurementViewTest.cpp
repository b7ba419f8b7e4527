// The live view driven as a user drives it: clicks on Read, Loop and Scale, the
// simulated sensor as the device, chart pixels read back from the off-screen image.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "SimTestApp.h"
#include "app/State.h"
#include "registers/RegisterMap.h"
#include "sim/SimSensor.h"
#include "view/MeasurementView.h"
#include "view/StripChart.h"

using namespace tavrin;
using tavrin::sim::SimSensor;

namespace {

const QRgb kRed = qRgb(242, 0, 0), kGreen = qRgb(0, 150, 0), kBlue = qRgb(0, 0, 150);

// A view on a simulated sensor, set up as the main window's load step leaves it.
struct Rig {
    explicit Rig(float model = 41120) : s(model), view(s.app) {
        s.app.plot = {350, -350, 10, -10};
        view.PlotColor[2] = view.PlotColor[5] = kRed;
        view.PlotColor[3] = view.PlotColor[6] = kGreen;
        view.PlotColor[4] = view.PlotColor[7] = kBlue;
        for (int c = 2; c <= 7; ++c) view.ckG[c]->setChecked(true);
        view.txtLoopDelay->setText("0");
        s.app.doEvents = [this] {
            ++events;
            if (onEvents) onEvents(events);
        };
    }
    int passes() const { return view.gyroTrace().PlotX; }
    void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // The plot check boxes have no caption, so a click must land on the box itself.
    void tick(QCheckBox* box) {
        box->adjustSize();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() / 2, box->height() / 2));
    }

    test::SimTestApp s;
    MeasurementView view;
    int events = 0;
    std::function<void(int)> onEvents; // runs where pending window events would
};

QRgb pixel(const StripChart* chart, double x, double y) {
    const chart::PixelMap m = chart->pixelMap();
    return chart->image().pixel(int(std::lround(m.px(x))), int(std::lround(m.py(y))));
}

struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == QEvent::Paint;
        return false;
    }
};

QColor background(const QLabel* l) {
    return l->palette().color(QPalette::Window);
}

} // namespace

class MeasurementViewTest : public QObject {
    Q_OBJECT
  private slots:
    void readWithLoopClearMakesOnePassPerClick();
    void loopRunsUntilLoopIsCleared();
    void secondClickRunsOneNestedPassAndStops();
    void readoutsStayCurrentWhileLooping();
    void passRateIsReportedOnlyWhileLooping();
    void noInterfaceMeansNothingHappens();
    void readoutsUseTwoDecimalsAndTheUsersSeparator();
    void loopDelayFieldIsCorrectedAsTyped();
    void loopDelayIsWaitedBetweenPasses();
    void defaultWaitKeepsServingEvents();

    void firstSegmentStartsOnTheCentreLine();
    void sweepWrapsFrom350ToZero();
    void uncheckedChannelStillTracksItsValue();
    void scalePressMidSweepKeepsOldTraceAndRescalesNewOne();
    void scaleButtonsCycle();
    void equalLimitsAndValuesBeyondTheLimits();
    void hoverReadoutFollowsThePointer();

    void statusFlagsFollowTheStatusWord();
    void statusReadFollowsTheModelsTable();

    void viewLooksRightAfterSomePasses();
};

// ---- Read button and loop ---------------------------------------------------------

void MeasurementViewTest::readWithLoopClearMakesOnePassPerClick() {
    Rig r;
    r.click(r.view.cmdReadData);
    QCOMPARE(r.passes(), 1);
    QCOMPARE(r.view.cmdReadData->text(), QString("Read"));
    r.click(r.view.cmdReadData);
    QCOMPARE(r.passes(), 2);
    QCOMPARE(r.view.cmdReadData->text(), QString("Read"));
    // Seven output reads and one status read per pass, each one adapter command.
    QCOMPARE(int(r.s.driver.commands().size()), 16);
}

void MeasurementViewTest::loopRunsUntilLoopIsCleared() {
    Rig r;
    r.view.ckLoop->setChecked(true);
    QSignalSpy running(&r.view, &MeasurementView::loopRunning);
    QString captionWhileLooping;
    // The first doEvents belongs to the click itself, then one per pass.
    r.onEvents = [&](int n) {
        if (n == 4) {
            captionWhileLooping = r.view.cmdReadData->text();
            r.click(r.view.ckLoop);
            QCOMPARE(r.view.cmdReadData->text(), QString("Read"));
        }
        if (n > 50) r.view.cmdReadData->setText("Read"); // runaway guard
    };
    r.click(r.view.cmdReadData);
    QCOMPARE(captionWhileLooping, QString("STOP"));
    QCOMPARE(r.passes(), 3); // the pass that served the click still finishes
    QVERIFY(!r.view.ckLoop->isChecked());
    QCOMPARE(running.count(), 2);
    QCOMPARE(running.at(0).at(0).toBool(), true);
    QCOMPARE(running.at(1).at(0).toBool(), false);

    // Loop clear again: a click is one pass.
    r.onEvents = nullptr;
    r.click(r.view.cmdReadData);
    QCOMPARE(r.passes(), 4);
}

void MeasurementViewTest::secondClickRunsOneNestedPassAndStops() {
    Rig r;
    r.view.ckLoop->setChecked(true);
    std::vector<int> plotXAtEvents;
    bool clicked = false;
    r.onEvents = [&](int n) {
        plotXAtEvents.push_back(r.passes());
        if (n == 6 && !clicked) {
            clicked = true;
            r.click(r.view.cmdReadData);
            // The nested pass has run completely inside this event.
            QCOMPARE(r.passes(), 5);
        }
        if (n > 50) r.view.cmdReadData->setText("Read");
    };
    r.click(r.view.cmdReadData);
    QCOMPARE(r.view.cmdReadData->text(), QString("Read"));
    QVERIFY(r.view.ckLoop->isChecked());
    // Five outer passes (the fifth interrupted by the click) plus the nested one.
    QCOMPARE(r.passes(), 6);
    QCOMPARE(int(r.s.driver.commands().size()), 6 * 8);

    // Loop still checked: the next click starts a new loop.
    clicked = true;
    r.events = 0;
    r.onEvents = [&](int n) {
        if (n == 3) r.click(r.view.ckLoop);
    };
    r.click(r.view.cmdReadData);
    QCOMPARE(r.passes(), 8);
}

void MeasurementViewTest::readoutsStayCurrentWhileLooping() {
    Rig r;
    r.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.view));
    PaintCounter paints;
    r.view.txtReadReg[2]->installEventFilter(&paints);
    r.view.ckLoop->setChecked(true);
    QStringList seen;
    QImage readoutShot, swatchShot;
    r.onEvents = [&](int n) {
        // Each pass's texts are in place when its events run, painted or not.
        if (n >= 2) seen << r.view.txtReadReg[2]->text();
        r.s.sensor.hold(SimSensor::kXGyro, uint16_t(100 * n));
        if (n == 4) {
            readoutShot = r.view.txtReadReg[2]->grab().toImage();
            swatchShot = r.view.Shape[2]->grab().toImage();
        }
        if (n == 5) r.click(r.view.cmdReadData);
    };
    r.click(r.view.cmdReadData);
    // Four outer passes; the click's own events (6) come before its nested pass reads 600.
    QCOMPARE(seen, (QStringList{"7.33", "14.65", "21.98", "29.30", "29.30", "43.96"}));
    QCOMPARE(r.view.txtReadReg[2]->text(), QString("43.96"));

    // Mid-loop the readout shows dark text on its light field, the swatch its colour.
    int dark = 0;
    for (int y = 0; y < readoutShot.height(); ++y)
        for (int x = 0; x < readoutShot.width(); ++x) dark += qGray(readoutShot.pixel(x, y)) < 100;
    QVERIFY(dark > 10);
    QCOMPARE(swatchShot.pixel(swatchShot.width() / 2, swatchShot.height() / 2), qRgb(255, 0, 0));
    // Repaints are only held back during the loop: the final values reach the screen.
    const int before = paints.count;
    QTRY_VERIFY_WITH_TIMEOUT(paints.count > before, 2000);
}

void MeasurementViewTest::passRateIsReportedOnlyWhileLooping() {
    Rig r;
    QSignalSpy rate(&r.view, &MeasurementView::passRate);
    for (int i = 0; i < 3; ++i) r.click(r.view.cmdReadData);
    QCOMPARE(rate.count(), 0);

    r.view.ckLoop->setChecked(true);
    bool stopped = false;
    r.onEvents = [&](int n) {
        if (!stopped && (rate.count() > 0 || n > 2000000)) {
            stopped = true;
            r.click(r.view.cmdReadData);
        }
    };
    r.click(r.view.cmdReadData);
    QCOMPARE(rate.count(), 1);
    const double perSecond = rate.at(0).at(0).toDouble();
    // Reported after at least half a second, so it cannot exceed twice the passes made.
    QVERIFY(perSecond > 0);
    QVERIFY(perSecond <= 2.0 * r.events); // one event run per pass
}

void MeasurementViewTest::noInterfaceMeansNothingHappens() {
    Rig r;
    r.s.app.model.InterfaceKind = InterfaceNone;
    r.view.ckLoop->setChecked(true);
    r.click(r.view.cmdReadData);
    QCOMPARE(r.view.cmdReadData->text(), QString("Read"));
    QCOMPARE(r.passes(), 0);
    QCOMPARE(r.events, 0);
    QVERIFY(r.s.driver.commands().empty());
    QVERIFY(r.s.t.messages.shown.empty());
    QCOMPARE(r.view.txtReadReg[2]->text(), QString());

    // The interface dropped during a loop (Usb menu): STOP still ends it, with no pass.
    r.s.app.model.InterfaceKind = InterfaceUsb;
    r.onEvents = [&](int n) {
        if (n == 3) {
            r.s.app.model.InterfaceKind = InterfaceNone;
            r.click(r.view.cmdReadData);
        }
        if (n > 50) r.view.ckLoop->setChecked(false); // runaway guard
    };
    r.click(r.view.cmdReadData);
    QCOMPARE(r.view.cmdReadData->text(), QString("Read"));
    QCOMPARE(r.passes(), 2);
    QVERIFY(r.view.ckLoop->isChecked());
}

void MeasurementViewTest::readoutsUseTwoDecimalsAndTheUsersSeparator() {
    for (const char* sep : {".", ","}) {
        Rig r;
        r.s.t.platform.decimalSep = sep;
        r.s.sensor.hold(SimSensor::kXGyro, 100);    // 7.326 deg/s
        r.s.sensor.hold(SimSensor::kYGyro, 0x3FD5); // -43 counts, -3.150 deg/s
        r.s.sensor.hold(SimSensor::kZGyro, 0);
        r.s.sensor.hold(SimSensor::kXAccl, 400); // 1.0088 g
        r.s.sensor.hold(SimSensor::kYAccl, 3);   // 0.007566 g
        r.s.sensor.hold(SimSensor::kXTemp, 0);   // 25 degC
        r.click(r.view.cmdReadData);
        const QString d = sep;
        QCOMPARE(r.view.txtReadReg[2]->text(), "7" + d + "33");
        QCOMPARE(r.view.txtReadReg[3]->text(), "-3" + d + "15");
        QCOMPARE(r.view.txtReadReg[4]->text(), "0" + d + "00");
        QCOMPARE(r.view.txtReadReg[5]->text(), "1" + d + "01");
        QCOMPARE(r.view.txtReadReg[6]->text(), "0" + d + "01");
        QCOMPARE(r.view.txtReadReg[8]->text(), "25" + d + "00");
    }
}

void MeasurementViewTest::loopDelayFieldIsCorrectedAsTyped() {
    Rig r;
    QLineEdit* f = r.view.txtLoopDelay;
    f->clear();
    QCOMPARE(f->text(), QString("0"));
    f->setText("2000");
    QCOMPARE(f->text(), QString("1000"));
    f->setText("-5");
    QCOMPARE(f->text(), QString("0"));
    f->setText("abc");
    QCOMPARE(f->text(), QString("0"));
    f->selectAll();
    QTest::keyClicks(f, "12.5");
    QCOMPARE(f->text(), QString("12.5"));
    f->selectAll();
    QTest::keyClicks(f, "9999"); // corrected at the fourth digit
    QCOMPARE(f->text(), QString("1000"));
}

void MeasurementViewTest::loopDelayIsWaitedBetweenPasses() {
    Rig r;
    std::vector<int> waits;
    r.view.waitBetweenPasses = [&](int ms) {
        waits.push_back(ms);
        // A STOP click served while waiting ends the loop without another outer pass.
        if (waits.size() == 3) r.click(r.view.cmdReadData);
    };
    r.view.txtLoopDelay->setText("12.5");
    r.view.ckLoop->setChecked(true);
    r.click(r.view.cmdReadData);
    QCOMPARE(waits, (std::vector<int>{13, 13, 13}));
    QCOMPARE(r.passes(), 4); // three outer passes and the click's own
    QCOMPARE(r.view.cmdReadData->text(), QString("Read"));

    waits.clear();
    r.view.txtLoopDelay->setText("0");
    r.onEvents = [&](int n) {
        if (n == 4) r.click(r.view.ckLoop);
    };
    r.events = 0;
    r.view.ckLoop->setChecked(true);
    r.click(r.view.cmdReadData);
    QVERIFY(waits.empty());
    QCOMPARE(r.passes(), 7);
}

void MeasurementViewTest::defaultWaitKeepsServingEvents() {
    Rig r;
    bool served = false;
    QTimer::singleShot(0, [&] { served = true; });
    r.view.waitBetweenPasses(30);
    QVERIFY(served);
}

// ---- Charts ----------------------------------------------------------------------

void MeasurementViewTest::firstSegmentStartsOnTheCentreLine() {
    Rig r;
    chart::Samples s{};
    s[2] = 175;
    s[3] = -175;
    s[4] = 0;
    r.view.PlotDataPointsGy(s, r.s.app.plot.GyPlotMax, r.s.app.plot.GyPlotMin);
    const StripChart* c = r.view.pic1;
    QCOMPARE(pixel(c, 0, 0), kBlue); // all three start at (0, 0); blue drawn last
    QCOMPARE(pixel(c, 1, 175), kRed);
    QCOMPARE(pixel(c, 1, -175), kGreen);
    QCOMPARE(pixel(c, 0.5, 87.5), kRed);
    // The marker one position ahead, over the full height; background beyond it.
    QCOMPARE(pixel(c, 2, 350), StripChart::kMarker);
    QCOMPARE(pixel(c, 2, -350), StripChart::kMarker);
    QCOMPARE(pixel(c, 3, 0), StripChart::kBackground);
    QCOMPARE(pixel(c, 1, 300), StripChart::kBackground);
    QCOMPARE(r.view.lblpFS1->text(), QString("350"));
    QCOMPARE(r.view.lblmidS1->text(), QString("0"));
    QCOMPARE(r.view.lblnFS1->text(), QString("-350"));
}

void MeasurementViewTest::sweepWrapsFrom350ToZero() {
    Rig r;
    chart::Samples s{};
    double& max = r.s.app.plot.AccPlotMax;
    double& min = r.s.app.plot.AccPlotMin;
    for (int i = 1; i <= 350; ++i) {
        s[5] = (i % 2) ? 5 : -5;
        r.view.PlotDataPointsAcc(s, max, min);
    }
    const StripChart* c = r.view.pic2;
    QCOMPARE(pixel(c, 350, -5), kRed); // last point of the first sweep, at the right edge
    QCOMPARE(pixel(c, 0, 8), StripChart::kBackground);
    s[5] = 8;
    r.view.PlotDataPointsAcc(s, max, min);
    QCOMPARE(r.view.accTrace().PlotX, 0);
    // A vertical segment at x = 0 from the previous value to the new one.
    QCOMPARE(pixel(c, 0, -5), kRed);
    QCOMPARE(pixel(c, 0, 4), kRed);
    QCOMPARE(pixel(c, 0, 8), kRed);
    QCOMPARE(pixel(c, 0, 9), StripChart::kBackground);
    QCOMPARE(pixel(c, 1, 0), StripChart::kMarker);
    // The old trace at x = 2 is still there until the sweep reaches it.
    QCOMPARE(pixel(c, 2, 5), StripChart::kBackground);
    QCOMPARE(pixel(c, 2, -5), kRed);
    s[5] = 1;
    r.view.PlotDataPointsAcc(s, max, min);
    QCOMPARE(pixel(c, 1, 1), kRed);
    QCOMPARE(pixel(c, 2, -5), StripChart::kMarker);
}

void MeasurementViewTest::uncheckedChannelStillTracksItsValue() {
    Rig r;
    chart::Samples s{};
    double& max = r.s.app.plot.GyPlotMax;
    double& min = r.s.app.plot.GyPlotMin;
    QVERIFY(r.view.Shape[3]->isVisibleTo(&r.view));
    r.tick(r.view.ckG[3]);
    QVERIFY(!r.view.ckG[3]->isChecked());
    QVERIFY(!r.view.Shape[3]->isVisibleTo(&r.view));
    s[3] = 200;
    r.view.PlotDataPointsGy(s, max, min);
    s[3] = 300;
    r.view.PlotDataPointsGy(s, max, min);
    const StripChart* c = r.view.pic1;
    QCOMPARE(pixel(c, 1, 200), StripChart::kBackground);
    QCOMPARE(pixel(c, 2, 300), StripChart::kBackground);
    r.tick(r.view.ckG[3]);
    QVERIFY(r.view.Shape[3]->isVisibleTo(&r.view));
    s[3] = -300;
    r.view.PlotDataPointsGy(s, max, min);
    QCOMPARE(pixel(c, 2, 300), kGreen); // joins the latest value, not a stale one
    QCOMPARE(pixel(c, 3, -300), kGreen);
}

void MeasurementViewTest::scalePressMidSweepKeepsOldTraceAndRescalesNewOne() {
    Rig r;
    chart::Samples s{};
    s[2] = 100;
    for (int i = 0; i < 3; ++i)
        r.view.PlotDataPointsGy(s, r.s.app.plot.GyPlotMax, r.s.app.plot.GyPlotMin);
    const StripChart* c = r.view.pic1;
    const int oldRow = int(std::lround(c->pixelMap().py(100)));
    r.click(r.view.cmdScaleGyro);
    QCOMPARE(r.s.app.plot.GyPlotMax, 175.0);
    QCOMPARE(r.s.app.plot.GyPlotMin, -175.0);
    QCOMPARE(r.view.lblpFS1->text(), QString("175"));
    QCOMPARE(r.view.lblmidS1->text(), QString("0"));
    QCOMPARE(r.view.lblnFS1->text(), QString("-175"));
    const QImage before = c->image();
    r.view.PlotDataPointsGy(s, r.s.app.plot.GyPlotMax, r.s.app.plot.GyPlotMin);
    // The old trace stays where it was drawn.
    QCOMPARE(c->image().pixel(4, oldRow), kRed);
    QCOMPARE(before.pixel(4, oldRow), kRed);
    // The new segment joins the previous value plotted in the new scale.
    QCOMPARE(pixel(c, 3, 100), kRed);
    QCOMPARE(pixel(c, 4, 100), kRed);
    QVERIFY(int(std::lround(c->pixelMap().py(100))) != oldRow);
}

void MeasurementViewTest::scaleButtonsCycle() {
    Rig r;
    QStringList gyro, acc;
    for (int i = 0; i < 5; ++i) {
        r.click(r.view.cmdScaleGyro);
        gyro << r.view.lblpFS1->text();
        r.click(r.view.cmdScaleAcc);
        acc << r.view.lblpFS2->text() + "/" + r.view.lblnFS2->text();
    }
    // Labels start empty, so the first press picks the default.
    QCOMPARE(gyro, (QStringList{"350", "175", "50", "5", "350"}));
    QCOMPARE(acc, (QStringList{"10/-10", "5/-5", "1.25/-1.25", "0.1/-0.1", "10/-10"}));
    QCOMPARE(r.s.app.plot.AccPlotMin, -10.0);
}

void MeasurementViewTest::equalLimitsAndValuesBeyondTheLimits() {
    Rig r;
    chart::Samples s{};
    double max = 0, min = 0;
    s[2] = -0.5;
    r.view.PlotDataPointsGy(s, max, min);
    QCOMPARE(min, -1.0);
    QCOMPARE(r.view.lblnFS1->text(), QString("0")); // shows the limits as passed
    QCOMPARE(r.view.lblmidS1->text(), QString("0"));
    const StripChart* c = r.view.pic1;
    QCOMPARE(c->pixelMap().min, -1.0);
    QCOMPARE(pixel(c, 1, -0.5), kRed);

    // Through the readout: the program-wide minimum itself becomes -1.
    r.s.app.plot.GyPlotMax = r.s.app.plot.GyPlotMin = 0;
    r.click(r.view.cmdReadData);
    QCOMPARE(r.s.app.plot.GyPlotMin, -1.0);
    QCOMPARE(r.s.app.plot.GyPlotMax, 0.0);

    // Far beyond the limits: cut off by the edge, never clamped, never garbage.
    Rig big;
    double gmax = 350, gmin = -350;
    big.tick(big.view.ckG[3]);
    big.tick(big.view.ckG[4]);
    s[2] = 1e12;
    big.view.PlotDataPointsGy(s, gmax, gmin);
    const QImage& img = big.view.pic1->image();
    const chart::PixelMap m = big.view.pic1->pixelMap();
    const int centre = int(m.py(0)), bottom = StripChart::kImageHeight - 1;
    QCOMPARE(img.pixel(0, centre), kRed);
    QCOMPARE(img.pixel(0, centre / 2), kRed);
    QCOMPARE(img.pixel(0, 0), kRed);
    QCOMPARE(img.pixel(2, 0), StripChart::kBackground); // not flattened along the top
    s[2] = -1e300;
    big.view.PlotDataPointsGy(s, gmax, gmin);
    // From far above to far below: a vertical stroke over the whole height at x = 1.
    QCOMPARE(img.pixel(2, 0), kRed);
    QCOMPARE(img.pixel(2, centre), kRed);
    QCOMPARE(img.pixel(2, bottom), kRed);
    QCOMPARE(img.pixel(6, bottom), StripChart::kMarker);
    QCOMPARE(img.pixel(4, centre), StripChart::kBackground);
    s[2] = std::numeric_limits<double>::max();
    big.view.PlotDataPointsGy(s, gmax, gmin);
    QCOMPARE(img.pixel(4, 0), kRed);
    QCOMPARE(img.pixel(4, bottom), kRed);

    // Exactly Max and Min sit on the top and bottom rows.
    Rig edge;
    edge.tick(edge.view.ckG[2]);
    s[2] = 0;
    s[3] = 350;
    s[4] = -350;
    edge.view.PlotDataPointsGy(s, edge.s.app.plot.GyPlotMax, edge.s.app.plot.GyPlotMin);
    QCOMPARE(edge.view.pic1->image().pixel(2, 0), kGreen);
    QCOMPARE(edge.view.pic1->image().pixel(2, bottom), kBlue);
}

void MeasurementViewTest::hoverReadoutFollowsThePointer() {
    Rig r;
    r.view.resize(900, 600);
    r.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.view));
    StripChart* c = r.view.pic2;
    // No coordinate system before the first step: the readout stays as it is.
    QMouseEvent early(QEvent::MouseMove, QPointF(10, 10), c->mapToGlobal(QPointF(10, 10)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(c, &early);
    QCOMPARE(r.view.lblCurSam2->text(), QString());
    chart::Samples s{};
    r.view.PlotDataPointsAcc(s, r.s.app.plot.AccPlotMax, r.s.app.plot.AccPlotMin);
    QMouseEvent move(QEvent::MouseMove, QPointF(c->width() - 1, 0),
                     c->mapToGlobal(QPointF(c->width() - 1, 0)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(c, &move);
    QCOMPARE(r.view.lblCurSam2->text(), QString("350"));
    QCOMPARE(r.view.lblCurVal2->text(), QString("10"));
    const QPointF mid((c->width() - 1) / 2.0, (c->height() - 1) * 0.75);
    QMouseEvent move2(QEvent::MouseMove, mid, c->mapToGlobal(mid), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(c, &move2);
    QCOMPARE(r.view.lblCurSam2->text(), QString("175")); // 175 exactly
    QCOMPARE(r.view.lblCurVal2->text(), QString("-5"));
}

// ---- Status ----------------------------------------------------------------------

void MeasurementViewTest::statusFlagsFollowTheStatusWord() {
    Rig r;
    QLabel* const flags[6] = {r.view.lblLowSupplyFlag, r.view.lblHighSupplyFlag,
                              r.view.lblWriteFailFlag, r.view.lblSpiWriteFlag,
                              r.view.lblAlarm1SetFlag, r.view.lblAlarm2SetFlag};
    const QColor designBackground = background(flags[0]);
    for (QLabel* f : flags) {
        QCOMPARE(f->text(), QString("OK"));
        QVERIFY(!f->autoFillBackground());
    }
    QCOMPARE(r.view.CmdUpdateStatus->toolTip(), QString("Display the Status Register"));

    // No interface: no transfer, nothing changes.
    r.s.app.model.InterfaceKind = InterfaceNone;
    r.s.sensor.hold(SimSensor::kDiagStat, 0xFFFF);
    r.click(r.view.CmdUpdateStatus);
    QVERIFY(r.s.driver.commands().empty());
    QVERIFY(!flags[0]->autoFillBackground());
    QCOMPARE(background(flags[0]), designBackground);
    r.s.app.model.InterfaceKind = InterfaceUsb;

    struct Case {
        uint16_t word;
        std::array<bool, 6> alarm;
    };
    const Case cases[] = {
        {0x0000, {false, false, false, false, false, false}},
        {0x0301, {true, false, false, false, true, true}},
        {0xFCF0, {false, false, false, false, false, false}},
        {0x000F, {true, true, true, true, false, false}},
        {0x0000, {false, false, false, false, false, false}}, // nothing latches
    };
    for (const Case& c : cases) {
        r.s.sensor.hold(SimSensor::kDiagStat, c.word);
        r.click(r.view.CmdUpdateStatus);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(flags[i]->text(), QString(c.alarm[i] ? "Alarm" : "OK"));
            QVERIFY(flags[i]->autoFillBackground());
            QCOMPARE(background(flags[i]), c.alarm[i] ? QColor(255, 0, 0) : QColor(0, 255, 0));
        }
    }
    // Every pass of the readout refreshes the panel too.
    r.s.sensor.hold(SimSensor::kDiagStat, 0x0200);
    r.click(r.view.cmdReadData);
    QCOMPARE(flags[5]->text(), QString("Alarm"));
}

void MeasurementViewTest::statusReadFollowsTheModelsTable() {
    Rig r;
    LoadRegisterTable(r.s.app.regs, 41040);
    QCOMPARE(int(r.s.app.regs.iDIAG_STAT), 27);
    const RegisterRecord* at30 = r.s.app.regs.at(30);
    QVERIFY(at30 && at30->Address != SimSensor::kDiagStat);
    r.s.sensor.hold(SimSensor::kDiagStat, 0x0100);
    r.click(r.view.CmdUpdateStatus);
    QCOMPARE(r.view.lblAlarm1SetFlag->text(), QString("Alarm"));
    QCOMPARE(r.view.lblLowSupplyFlag->text(), QString("OK"));

    LoadRegisterTable(r.s.app.regs, 41120);
    QCOMPARE(int(r.s.app.regs.iDIAG_STAT), 30);
    r.s.sensor.hold(SimSensor::kDiagStat, 0x0001);
    r.click(r.view.CmdUpdateStatus);
    QCOMPARE(r.view.lblAlarm1SetFlag->text(), QString("OK"));
    QCOMPARE(r.view.lblLowSupplyFlag->text(), QString("Alarm"));
}

// ---- As a user sees it -------------------------------------------------------------

void MeasurementViewTest::viewLooksRightAfterSomePasses() {
    Rig r;
    r.view.resize(1000, 640);
    r.view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.view));
    r.s.sensor.raiseStatus(0x0100);
    r.view.ckLoop->setChecked(true);
    r.onEvents = [&](int n) {
        if (n == 420) r.click(r.view.cmdReadData);
    };
    for (int i = 0; i < 4; ++i) r.click(r.view.cmdScaleGyro); // 5 deg/s shows the noise
    r.s.app.plot.AccPlotMax = 1.25;
    r.s.app.plot.AccPlotMin = -1.25;
    r.click(r.view.cmdReadData);
    QCOMPARE(r.view.cmdReadData->text(), QString("Read"));
    QTest::qWait(40); // let the coalesced chart repaint happen

    const QImage shot = r.view.grab().toImage();
    const QString path = "/tmp/tavrin_view.png";
    QVERIFY(shot.save(path));
    const QImage chart1 = r.view.pic1->grab().toImage();
    QVERIFY(chart1.save("/tmp/tavrin_view_pic1.png"));
    // The painted chart carries all three gyroscope colours.
    bool seen[3] = {};
    for (int y = 0; y < chart1.height(); ++y)
        for (int x = 0; x < chart1.width(); ++x) {
            const QRgb p = chart1.pixel(x, y);
            seen[0] |= qRed(p) > 200 && qGreen(p) < 60;
            seen[1] |= qGreen(p) > 110 && qRed(p) < 60;
            seen[2] |= qBlue(p) > 110 && qRed(p) < 60;
        }
    QVERIFY(seen[0] && seen[1] && seen[2]);
    QCOMPARE(r.view.lblAlarm1SetFlag->text(), QString("Alarm"));
}

QTEST_MAIN(MeasurementViewTest)
#include "MeasurementViewTest.moc"
