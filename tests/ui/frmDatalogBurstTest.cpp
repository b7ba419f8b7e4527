// The logging window's "Burst read" box: locked during a session, and one
// adapter command per sample when on.
#include "WindowRigs.h"

using namespace tavrin;

class frmDatalogBurstTest : public QObject {
    Q_OBJECT
  private slots:
    void checkedSessionsReadEachSampleInOneCommandAndLockTheBox() {
        for (bool burst : {false, true}) {
            test::DatalogRig r;
            r.edit("txtSamplesPerFile")->setText("10");
            for (int b : {2, 5, 8}) r.reg(b)->setChecked(true);
            r.box("ckBurstRead")->setChecked(burst);
            bool locked = false;
            r.s.app.doEvents = [&] { locked = !r.box("ckBurstRead")->isEnabled(); };
            r.s.driver.clearCommands();
            r.start()->click();
            QVERIFY(locked && r.box("ckBurstRead")->isEnabled());
            QVERIFY(r.box("ckBurstRead")->toolTip().contains("one adapter command"));
            QCOMPARE(r.s.driver.commands().size(), std::size_t(burst ? 10 : 30));
            QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:18 "));
        }
    }
};

QTEST_MAIN(frmDatalogBurstTest)
#include "frmDatalogBurstTest.moc"
