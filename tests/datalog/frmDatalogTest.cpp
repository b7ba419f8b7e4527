// The logging window, offscreen, driving sessions on the simulated sensor.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "datalog/frmDatalog.h"

using namespace tavrin;

namespace {

struct Rig {
    test::ScratchDir dir;
    test::SimTestApp s;
    int loopCleared = 0;
    frmDatalog w;
    explicit Rig(const char* decimalSep = ".")
        : w((s.t.platform.progDir = dir.path, s.t.platform.decimalSep = decimalSep, s.app),
            [this] { ++loopCleared; }) {}
    std::vector<std::string> messages() const { return s.t.messages.texts(); }
    std::size_t lines(const char* name) const { return test::CrLfLines(dir.read(name)).size(); }
    bool settingsEnabled() const {
        return w.txtFileName->isEnabled() && w.txtSamplesPerFile->isEnabled() &&
               w.CheckReg[2]->isEnabled() && w.ckNOHeader->isEnabled();
    }
};

QString Caption(const QObject* o) {
    if (auto* b = qobject_cast<const QAbstractButton*>(o)) return b->text();
    if (auto* l = qobject_cast<const QLabel*>(o)) return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(o)) return g->title();
    return "?";
}

} // namespace

class frmDatalogTest : public QObject {
    Q_OBJECT
  private slots:
    void loadsTheDocumentedControlsAndDefaults() {
        Rig r;
        QCOMPARE(r.w.windowTitle(), QString("Datalog Control"));
        const std::pair<const char*, const char*> captions[] = {
            {"Frame1", "DATA FORMAT"},
            {"ckDisableND", "Disable New Data Flags"},
            {"ckNOScale", "LSB Data Only...   No scaling"},
            {"ckNOHeader", "Numeric Data Only...  No file header"},
            {"FrameFileInfo", "FILE INFORMATION"},
            {"FrameFilePref", "FILE SETUP"},
            {"FrameDataSelection", "DATA SELECTION"},
            {"CheckReg_1", "Power Supply"},
            {"CheckReg_6", "YACCL-OUT"},
            {"CheckReg_8", "XTEMP_OUT"},
            {"cmdStartDatalog", "Start Datalog"},
            {"LBLDatalogInProgress", "D A T A L O G    I N    P R O G R E S S"},
            {"lblFext", ".csv"},
            {"lblSampleDelay", "Sample Delay msec"},
        };
        for (auto [name, caption] : captions)
            QCOMPARE(Caption(r.w.findChild<QObject*>(name)), caption);
        // Every opening starts from the defaults.
        for (int pass = 0; pass < 2; ++pass) {
            QCOMPARE(r.w.txtSamplesPerFile->text(), QString("1000"));
            QCOMPARE(r.w.txtFilesPerSession->text(), QString("1"));
            QCOMPARE(r.w.txtSampleDelay->text(), QString("0"));
            QCOMPARE(r.w.txtFileName->text(), QString("DATALOG"));
            QCOMPARE(r.w.LogFileName, std::string("DATALOG"));
            QCOMPARE(r.w.txtDirectory->text(), QString::fromStdString(r.dir.path.string()));
            QVERIFY(!r.w.txtFileNum->isEnabled() && r.w.LBLDatalogInProgress->isHidden());
            for (int b = 1; b <= 8; ++b) QCOMPARE(r.w.CheckReg[b]->isChecked(), b == 2);
            QVERIFY(!r.w.ckNOScale->isChecked() && !r.w.ckNOHeader->isChecked());
            QCOMPARE(r.w.LogSamplesPerFile, 1000.0);
            QCOMPARE(r.loopCleared, 1 + pass);
            r.w.txtFileName->setText("OTHER");
            r.w.CheckReg[5]->setChecked(true);
            r.w.ckNOScale->setChecked(true);
            r.w.txtSamplesPerFile->setText("7");
            r.w.show(); // a new opening
        }
    }

    void typedNumbersAreRewrittenAtOnce() {
        Rig r;
        r.w.txtSamplesPerFile->selectAll();
        QTest::keyClick(r.w.txtSamplesPerFile, Qt::Key_Delete);
        QCOMPARE(r.w.txtSamplesPerFile->text(), QString("1000"));
        r.w.txtSamplesPerFile->selectAll();
        QTest::keyClicks(r.w.txtSamplesPerFile, "250");
        QCOMPARE(r.w.LogSamplesPerFile, 250.0);
        const std::tuple<QLineEdit*, const char*, const char*> cases[] = {
            {r.w.txtSamplesPerFile, "0", "1"},
            {r.w.txtSamplesPerFile, "5000000000", "2147483647"},
            {r.w.txtFilesPerSession, "3000000000", "2000000000"},
            {r.w.txtFilesPerSession, "-2", "1"},
            {r.w.txtSampleDelay, "40000", "32000"},
            {r.w.txtSampleDelay, "-5", "0"},
            {r.w.txtSampleDelay, "ab", "0"},
            {r.w.txtSampleDelay, "2.5", "2.5"},
        };
        for (auto [edit, typed, shown] : cases) {
            edit->setText(typed);
            QCOMPARE(edit->text(), QString(shown));
        }
        QCOMPARE(r.w.LogSamplesPerFile, 2147483647.0);
        QCOMPARE(r.w.LogFilesPerSession, 1.0);
        r.w.txtDirectory->setText("/elsewhere");
        QCOMPARE(r.w.txtDirectory->text(), QString::fromStdString(r.dir.path.string()));

        Rig comma(",");
        QCOMPARE(comma.w.lblFext->text(), QString(".txt"));
        comma.w.txtSampleDelay->setText("2,5");
        QCOMPARE(comma.w.txtSampleDelay->text(), QString("2,5"));
    }

    void startNeedsASelectionAndASafeName() {
        Rig r;
        r.w.CheckReg[2]->setChecked(false);
        r.w.cmdStartDatalog->click();
        QCOMPARE(r.s.t.messages.shown.size(), std::size_t(1));
        QCOMPARE(r.s.t.messages.shown[0].text,
                 std::string("Please check at least one DATA SELECTION box."));
        QCOMPARE(r.s.t.messages.shown[0].caption, std::string(""));
        QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));

        r.w.CheckReg[2]->setChecked(true);
        for (const char* stem : {"", "../DATALOG", "a/b"}) {
            r.w.txtFileName->setText(stem);
            r.w.cmdStartDatalog->click();
            QVERIFY(r.messages().back().find("INVALID FILE NAME") != std::string::npos);
            QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        }
        QCOMPARE(r.messages().size(), std::size_t(4));
        QVERIFY(r.dir.names().empty());
    }

    void sessionDisablesSettingsShowsProgressAndRestores() {
        Rig r;
        r.w.txtSamplesPerFile->setText("20");
        r.w.txtFilesPerSession->setText("2");
        int events = 0;
        r.s.app.doEvents = [&] {
            if (++events != 1) return;
            QCOMPARE(r.w.cmdStartDatalog->text(), QString("Cancel Datalog"));
            QVERIFY(r.w.cmdStartDatalog->isEnabled() && !r.settingsEnabled());
            QVERIFY(!r.w.LBLDatalogInProgress->isHidden() && r.w.sessionRunning());
            QVERIFY(r.w.lblProgress->text().startsWith("File 1 of 2"));
        };
        r.w.cmdStartDatalog->click();
        QCOMPARE(events, 2 * 21);
        QVERIFY(!r.w.sessionRunning() && r.settingsEnabled());
        QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        QVERIFY(r.w.LBLDatalogInProgress->isHidden());
        QCOMPARE(r.w.txtFileNum->text(), QString("2"));
        QVERIFY(r.w.lblProgress->text().startsWith("File 2 of 2    Sample 20 of 20    "));
        QCOMPARE(r.lines("DATALOG_1.csv"), std::size_t(8 + 20));
        QCOMPARE(r.lines("DATALOG_2.csv"), std::size_t(8 + 20));
        QVERIFY(r.messages().empty());
    }

    void cancelClickDuringFileTwoOfThree() {
        Rig r;
        r.w.txtSamplesPerFile->setText("10");
        r.w.txtFilesPerSession->setText("3");
        int inFile2 = 0;
        r.s.app.doEvents = [&] {
            // Events run once after opening, then after each sample: this is after sample 4.
            if (r.w.txtFileNum->text() == "2" && ++inFile2 == 5) r.w.cmdStartDatalog->click();
        };
        r.w.cmdStartDatalog->click();
        QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        QCOMPARE(r.dir.names(), (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv"}));
        QCOMPARE(r.lines("DATALOG_1.csv"), std::size_t(8 + 10));
        QCOMPARE(r.lines("DATALOG_2.csv"), std::size_t(8 + 4));
    }

    void closingTheWindowOrExitingFinishesTheFileFirst() {
        Rig r;
        r.w.show();
        r.w.txtSamplesPerFile->setText("100");
        r.w.txtFilesPerSession->setText("2");
        int events = 0;
        r.s.app.doEvents = [&] {
            if (++events != 31) return;
            r.w.close();
            QVERIFY(r.w.isVisible()); // still open while the file is finished
        };
        r.w.cmdStartDatalog->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(r.dir.names(), std::vector<std::string>{"DATALOG_1.csv"});
        QCOMPARE(r.lines("DATALOG_1.csv"), std::size_t(8 + 30));

        // Program exit: the callback runs once, after the file is complete and closed.
        int exits = 0;
        std::size_t linesAtExit = 0;
        events = 0;
        r.s.app.doEvents = [&] {
            if (++events == 11)
                r.w.requestCancel([&] {
                    ++exits;
                    linesAtExit = r.lines("DATALOG_1.csv");
                });
        };
        r.w.cmdStartDatalog->click();
        QCOMPARE(exits, 1);
        QCOMPARE(linesAtExit, std::size_t(8 + 10));
        r.w.requestCancel([&] { ++exits; }); // no session: at once
        QCOMPARE(exits, 2);
    }
};

QTEST_MAIN(frmDatalogTest)
#include "frmDatalogTest.moc"
