// The logging window's "Burst read" box: off by default, placed where it moves no
// other control, locked during a session, and one adapter command per sample when on.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "Find.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "ui/frmDatalog.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

using namespace tavrin;

namespace {

struct Rig {
    test::ScratchDir dir;
    test::SimTestApp s;
    frmDatalog w;
    Rig() : w((s.t.platform.progDir = dir.path, s.app), [] {}) {}
};

// Where every control but the burst box sits in the window.
QList<QRect> Places(const QWidget& w, const QWidget* except) {
    QList<QRect> out;
    for (const QWidget* c : w.findChildren<QWidget*>())
        if (c != except && c->isVisible()) out << QRect(c->mapTo(&w, QPoint(0, 0)), c->size());
    return out;
}

} // namespace

class frmDatalogBurstTest : public QObject {
    Q_OBJECT
  private slots:
    void offByDefaultSaysWhatItDoesAndMovesNothing() {
        Rig r;
        QCheckBox* box = r.w.findChild<QCheckBox*>("ckBurstRead");
        QVERIFY(box == test::Find<QCheckBox>(r.w, "ckBurstRead") && box);
        QCOMPARE(box->text(), QString("Burst read"));
        QVERIFY(box->toolTip().contains("one adapter command"));
        QVERIFY(!box->isChecked());
        box->setChecked(true);
        r.w.show(); // a new opening starts from the defaults
        QVERIFY(!box->isChecked());

        // The window laid out without the box: every other control where it was.
        QTest::qWait(0);
        const QList<QRect> with = Places(r.w, box);
        box->hide();
        r.w.adjustSize();
        QCoreApplication::processEvents();
        QCOMPARE(Places(r.w, box), with);
        QVERIFY(with.size() > 20);
    }

    void checkedSessionsReadEachSampleInOneCommandAndLockTheBox() {
        for (bool burst : {false, true}) {
            Rig r;
            test::Find<QLineEdit>(r.w, "txtSamplesPerFile")->setText("10");
            for (int b : {2, 5, 8}) test::Find<QCheckBox>(r.w, "CheckReg", b)->setChecked(true);
            test::Find<QCheckBox>(r.w, "ckBurstRead")->setChecked(burst);
            bool lockedWhileRunning = false;
            r.s.app.doEvents = [&] {
                lockedWhileRunning = !test::Find<QCheckBox>(r.w, "ckBurstRead")->isEnabled();
            };
            r.s.driver.clearCommands();
            test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
            QVERIFY(lockedWhileRunning);
            QVERIFY(test::Find<QCheckBox>(r.w, "ckBurstRead")->isEnabled());
            QCOMPARE(r.s.driver.commands().size(), std::size_t(burst ? 10 : 30));
            QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:18 "));
        }
    }
};

QTEST_MAIN(frmDatalogBurstTest)
#include "frmDatalogBurstTest.moc"