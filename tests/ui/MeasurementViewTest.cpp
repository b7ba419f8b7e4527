// The live view driven as a user drives it, on the simulated sensor; chart pixels are
// read back from the off-screen image (241 rows).
#include <QAccessible>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <optional>

#include "Find.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "ui/MeasurementView.h"
#include "ui/StripChart.h"

using namespace tavrin;
using sim::SimSensor;
using test::Find;
using ui::StripChart;

namespace {

const QRgb kTraces[] = {qRgb(242, 0, 0), qRgb(0, 150, 0), qRgb(0, 0, 150)};

// A view on a simulated sensor, as the main window's load step leaves it.
struct Rig {
    Rig() : view(s.app) {
        s.app.plot = {350, -350, 10, -10};
        std::array<QRgb, 9> colours{};
        for (int c = 2; c <= 7; ++c) {
            colours[c] = kTraces[(c - 2) % 3];
            box(c)->setChecked(true);
            box(c)->adjustSize(); // no caption: a click in the middle lands on the box
        }
        view.setPlotColors(colours);
        Find<QLineEdit>(view, "txtLoopDelay")->setText("0");
        s.app.doEvents = [this] {
            if (++events > 1000) loop()->setChecked(false); // ends a runaway loop
            if (onEvents) onEvents(events);
        };
    }
    QCheckBox* box(int c) const { return Find<QCheckBox>(view, "ckG", c); }
    QCheckBox* loop() const { return Find<QCheckBox>(view, "ckLoop"); }
    QPushButton* button(const char* name) const { return Find<QPushButton>(view, name); }
    QString text(const QString& name) const { return Find<QLabel>(view, name)->text(); }
    QString readout(int p) const { return Find<QLineEdit>(view, "txtReadReg", p)->text(); }
    StripChart* chart(int n) const { return Find<StripChart>(view, n == 1 ? "pic1" : "pic2"); }
    // Caption, Loop, passes and adapter commands so far.
    QString state() const {
        return QString("%1 %2, %3 passes, %4 commands")
            .arg(button("cmdReadData")->text(), loop()->isChecked() ? "loop" : "once")
            .arg(view.gyroTrace().PlotX)
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
    // The three scale labels of chart n, top to bottom.
    QString limits(int n) const {
        QStringList l;
        for (const char* name : {"lblpFS%1", "lblmidS%1", "lblnFS%1"})
            l << text(QString(name).arg(n));
        return l.join('/');
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
            rows += "?OAn"[QStringList{"OK#00ff00", "Alarm#ff0000", "\u2013"}.indexOf(look) + 1];
            if (!tips.contains(l->toolTip())) tips << l->toolTip();
        }
        return rows + tips.join('|');
    }

    test::SimTestApp s;
    view::ChartLimits& p = s.app.plot;
    ui::MeasurementView view;
    int events = 0;
    std::function<void(int)> onEvents;
};

// Colours at image pixels x, y: R, G, B for the traces, M for the marker, _ for the
// background, ? for anything else. x = 1 is column 2; y = 0 is 120 rows of 240 from the
// top, a full scale 120 more.
QString colours(const StripChart* c, std::initializer_list<int> xy) {
    const QRgb known[] = {kTraces[0], kTraces[1], kTraces[2], qRgb(215, 215, 215),
                          qRgb(192, 192, 192)};
    QString s;
    for (const int* p = xy.begin(); p + 1 < xy.end(); p += 2)
        s += "RGBM_?"[std::find(known, known + 5, c->image().pixel(p[0], p[1])) - known];
    return s;
}

} // namespace

class MeasurementViewTest : public QObject {
    Q_OBJECT
    std::optional<Rig> r; // a fresh one for every test

  private slots:
    void init() { r.emplace(); }

    // No interface: Read does nothing, not even a status read. With one, a pass is seven
    // output reads and a status read, 12.5 ms apart (13) while looping. Clearing Loop
    // turns the caption back at once and lets the pass under way finish; a STOP click
    // runs its own pass, then the loop ends.
    void readAndLoopFollowTheCaption() {
        r->s.app.usb.InterfaceKind = transport::InterfaceNone;
        r->read(true);
        QCOMPARE(r->status(0xFFFF), QString("nnnnnnNot read: no interface chosen"));
        QCOMPARE(r->state(), QString("Read loop, 0 passes, 0 commands"));
        r->s.app.usb.InterfaceKind = transport::InterfaceUsb;
        std::vector<int> waits;
        r->view.waitBetweenPasses = [&](int ms) { waits.push_back(ms); };
        // The delay is corrected as typed key by key: 9999 at the fourth digit.
        QLineEdit* f = Find<QLineEdit>(r->view, "txtLoopDelay");
        f->selectAll();
        QTest::keyClicks(f, "9999");
        QCOMPARE(f->text(), QString("1000"));
        f->setText("12.5");
        QString during;
        r->read(true, [&](int n) {
            if (n != 3) return;
            r->click(r->loop());
            during = r->state();
        });
        QCOMPARE(during, QString("Read once, 1 passes, 15 commands"));
        QCOMPARE(r->state(), QString("Read once, 2 passes, 16 commands"));
        r->read(true, [&](int n) {
            if (n == 10) r->click(r->button("cmdReadData"));
        });
        QCOMPARE(r->state(), QString("Read loop, 12 passes, 96 commands"));
        QCOMPARE(waits, std::vector<int>(9, 13)); // between outer passes
    }

    // 7.326 and -3.150 deg/s (-43 counts), 0, 1.0088 and 0.007566 g, 25 degC.
    void readoutsUseTheUsersSeparator() {
        const std::tuple<int, uint16_t, int, const char*> rows[] = {
            {SimSensor::kXGyro, 100, 2, "7.33"}, {SimSensor::kYGyro, 0x3FD5, 3, "-3.15"},
            {SimSensor::kZGyro, 0, 4, "0.00"},   {SimSensor::kXAccl, 400, 5, "1.01"},
            {SimSensor::kYAccl, 3, 6, "0.01"},   {SimSensor::kZAccl, 0, 7, "0.00"},
            {SimSensor::kXTemp, 0, 8, "25.00"}};
        for (const auto& [addr, word, box, text] : rows) r->s.sensor.hold(addr, word);
        r->s.t.platform.decimalSep = ",";
        r->read(false);
        for (const auto& [addr, word, box, text] : rows)
            QCOMPARE(r->readout(box), QString(text).replace(".", ","));
        QCOMPARE(colours(r->chart(2), {2, 108}), QString("R")); // X at 1.0088 g
        const QRgb swatches[] = {qRgb(255, 0, 0), qRgb(0, 223, 0), qRgb(0, 0, 192)};
        for (int c = 2; c <= 7; ++c)
            QCOMPARE(Find<QWidget>(r->view, "Shape", c)->palette().window().color().rgb(),
                     swatches[(c - 2) % 3]);
    }

    void firstSegmentAndTheWrapFrom350ToZero() {
        r->stepGy({0, 0, 175, -175, 0});
        // All three start at (0, 0), blue drawn last; the marker one position ahead over
        // the full height, background beyond it.
        QCOMPARE(colours(r->chart(1), {0, 120, 2, 60, 2, 180, 1, 90, 4, 0, 4, 240, 6, 120, 2, 17}),
                 QString("BRGRMM__"));
        for (int i = 1; i <= 350; ++i) r->stepAcc({0, 0, 0, 0, 0, i % 2 ? 5.0 : -5.0});
        QCOMPARE(colours(r->chart(2), {700, 180, 0, 24}), QString("R_")); // the right edge
        r->stepAcc({0, 0, 0, 0, 0, 8});
        // A vertical segment at x = 0 from the previous value to the new one; the old trace
        // at x = 2 stays until the sweep reaches it.
        QCOMPARE(colours(r->chart(2), {0, 180, 0, 72, 0, 24, 0, 12, 2, 120, 4, 60, 4, 180}),
                 QString("RRR_M_R"));
    }

    // An unchecked channel keeps what it drew, draws nothing more, yet tracks its value.
    // Assistive tools toggle the box without a click.
    void uncheckedChannelKeepsItsTraceAndTracksItsValue() {
        r->stepGy({0, 0, 100});
        QAccessible::queryAccessibleInterface(r->box(2))->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
        QVERIFY(!r->box(2)->isChecked() &&
                !Find<QWidget>(r->view, "Shape", 2)->isVisibleTo(&r->view));
        r->stepGy({0, 0, 200});
        r->stepGy({0, 0, 300});
        QCOMPARE(colours(r->chart(1), {2, 86, 4, 51, 6, 17}), QString("R__"));
        r->click(r->box(2));
        QVERIFY(Find<QWidget>(r->view, "Shape", 2)->isVisibleTo(&r->view));
        r->stepGy({0, 0, -300});
        QCOMPARE(colours(r->chart(1), {6, 17, 8, 223}), QString("RR")); // from the latest value
    }

    // Labels start empty, so the first press picks the default.
    void scaleButtonsAndLimits() {
        QStringList seen;
        r->s.t.platform.decimalSep = ",";
        for (int i = 0; i < 6; ++i) {
            r->click(r->button("cmdScaleGyro"));
            r->click(r->button("cmdScaleAcc"));
            seen << r->limits(1) + " " + r->limits(2);
        }
        QCOMPARE(seen.join(' '), QString("350/0/-350 10/0/-10 175/0/-175 5/0/-5 50/0/-50 "
                                         "1,25/0/-1,25 5/0/-5 0,1/0/-0,1 350/0/-350 10/0/-10 "
                                         "175/0/-175 5/0/-5"));
        QCOMPARE(std::pair(r->p.AccPlotMax, r->p.AccPlotMin), std::pair(5.0, -5.0));
        // Equal limits are kept apart, through the readout.
        r->p.GyPlotMax = r->p.GyPlotMin = 0;
        r->click(r->button("cmdReadData"));
        QCOMPARE(std::pair(r->p.GyPlotMax, r->p.GyPlotMin), std::pair(0.0, -1.0));
        QCOMPARE(r->limits(1), QString("0/0/0")); // the limits as passed
    }

    // 10 - 0.7777 * 20 = -5.554 shows as -5.6.
    void hoverReadout() {
        r->view.resize(900, 600);
        r->view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r->view));
        r->stepAcc({});
        StripChart* c = r->chart(2);
        const QPointF at((c->width() - 1) / 2.0, (c->height() - 1) * 0.7777);
        QMouseEvent e(QEvent::MouseMove, at, c->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(c, &e);
        QCOMPARE(r->text("lblCurSam2") + " " + r->text("lblCurVal2"), QString("175 -5.6"));
    }

    // "Copy values" after runs on the deterministic simulator: the samples the rate chart
    // drew, oldest first, as the log writes them; a channel shows its column once it has
    // drawn, with nothing where it drew nothing. The image entries beside it.
    void copyValuesGivesTheSamplesDrawn() {
        r->click(r->box(3)); // Y Gyro draws nothing at first
        std::vector<std::array<double, 3>> drawn;
        int lastX = 0;
        const auto record = [&] {
            const view::TraceState& t = r->view.gyroTrace();
            if (t.PlotX == lastX) return;
            lastX = t.PlotX;
            drawn.push_back({t.PlotYPrev[2], t.PlotYPrev[3], t.PlotYPrev[4]});
        };
        const auto run = [&](int passes) {
            r->read(true, [&](int n) {
                record();                                          // the pass before this one drew
                if (n == passes + 1) r->loop()->setChecked(false); // the click is run 1
            });
            record();
        };
        const auto check = [&](const QString& titles, std::size_t rows, std::size_t yFrom) {
            const QStringList lines = r->view.chartValues(view::Axis::Gyro).split("\r\n");
            QCOMPARE(lines.front(), titles);
            QCOMPARE(std::size_t(lines.size()), rows + 2); // and "" after the last line end
            for (std::size_t i = 0; i < rows; ++i) {
                const QStringList f = lines[int(i) + 1].split(',');
                const auto& want = drawn[drawn.size() - rows + i];
                QCOMPARE(f[0], QString::number(i + 1));
                const bool y = drawn.size() - rows + i >= yFrom;
                QCOMPARE(f.size(), y || titles.contains("Y") ? 5 : 4);
                QVERIFY(std::fabs(f[1].toDouble() - want[0]) <= 1e-14 * std::fabs(want[0]));
                QVERIFY(std::fabs(f.end()[-2].toDouble() - want[2]) <= 1e-14 * std::fabs(want[2]));
                if (titles.contains("Y")) QCOMPARE(f[2].isEmpty(), !y);
            }
        };
        r->s.app.plot.GyPlotMax = 5, r->s.app.plot.GyPlotMin = -5;
        run(200);
        QCOMPARE(drawn.size(), std::size_t(200));
        check("Sample #,X Gryo,Z Gyro,", 200, 200);
        r->click(r->box(3));
        run(200); // past the end of the sweep: the last 350 are shown
        check("Sample #,X Gryo,Y Gyro,Z Gyro,", 350, 200);

        QStringList entries;
        QMenu* menu = r->chart(1)->contextMenu();
        for (QAction* a : menu->actions()) entries << a->text();
        QCOMPARE(entries, QStringList({"Copy image", "Save image...", "Copy values"}));
        menu->actions()[2]->trigger();
        QCOMPARE(QApplication::clipboard()->text(), r->view.chartValues(view::Axis::Gyro));
        delete menu;
        test::ScratchDir dir;
        QVERIFY(r->view.saveChartImage(view::Axis::Accel, dir.path / "accel.png") &&
                dir.read("accel.png").starts_with("\x89PNG"));
        QVERIFY(!r->view.saveChartImage(view::Axis::Accel, dir.path / "none" / "a.png"));
        QCOMPARE(r->s.t.messages.texts().size(), std::size_t(1));
    }

    // The last word shows that nothing latches; every pass of the readout refreshes the
    // panel too; the status word's place comes from the model's register table.
    void statusFlagsFollowTheStatusWord() {
        QCOMPARE(r->button("CmdUpdateStatus")->toolTip(), QString("Display the Status Register"));
        QStringList seen;
        for (uint16_t word : {0x0000, 0x0301, 0xFCF0, 0x0002, 0x0004, 0x0008, 0x0000})
            seen << r->status(word);
        QCOMPARE(seen.join(' '), QString("OOOOOO AOOOAA OOOOOO OAOOOO OOAOOO OOOAOO OOOOOO"));
        QCOMPARE(r->status(0x0200, "cmdReadData"), QString("OOOOOA"));
        registers::LoadRegisterTable(r->s.app.regs, 41040);
        QCOMPARE(r->status(0x0100), QString("OOOOAO"));
        // A status read that reaches no sensor is no "OK": the flags show "not read" and why.
        r->s.app.usb.ready = false;
        QCOMPARE(r->status(0x0000), QString("nnnnnnNot read: no adapter ready"));
        r->s.app.usb.ready = true;
        r->s.driver.failBulk(1); // its message, then not read
        QCOMPARE(r->status(0x0000), QString("nnnnnnNot read: no adapter ready"));
        QCOMPARE(r->s.t.messages.texts(), std::vector<std::string>{"Error Reading SPI"});
    }
};

QTEST_MAIN(MeasurementViewTest)
#include "MeasurementViewTest.moc"
