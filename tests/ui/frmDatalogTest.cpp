// The logging window, offscreen, driving sessions on the simulated sensor.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <signal.h>
#include <unistd.h>

#include <fstream>

#include "Find.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "ui/SignalCancel.h"
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
    int loopCleared = 0;
    frmDatalog w;
    explicit Rig(const char* decimalSep = ".")
        : w((s.t.platform.progDir = dir.path, s.t.platform.decimalSep = decimalSep, s.app),
            [this] { ++loopCleared; }) {}
    std::vector<std::string> messages() const { return s.t.messages.texts(); }
    void type(const char* samplesPerFile, const char* filesPerSession) {
        test::Find<QLineEdit>(w, "txtSamplesPerFile")->setText(samplesPerFile);
        test::Find<QLineEdit>(w, "txtFilesPerSession")->setText(filesPerSession);
    }
    bool settingsEnabled() const {
        return test::Find<QLineEdit>(w, "txtFileName")->isEnabled() &&
               test::Find<QLineEdit>(w, "txtSamplesPerFile")->isEnabled() &&
               test::Find<QCheckBox>(w, "CheckReg", 2)->isEnabled() &&
               test::Find<QCheckBox>(w, "ckNOHeader")->isEnabled();
    }
};

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
            {"lblSampleDelay", "Sample Delay msec"}};
        for (auto [name, caption] : captions) {
            const QObject* o = r.w.findChild<QObject*>(name);
            QVERIFY2(o, name);
            const QVariant text = o->property("text");
            QCOMPARE((text.isValid() ? text : o->property("title")).toString(), caption);
        }
        // Every opening starts from the defaults.
        for (int pass = 0; pass < 2; ++pass) {
            QString boxes;
            for (int b = 1; b <= 8; ++b)
                boxes += test::Find<QCheckBox>(r.w, "CheckReg", b)->isChecked() ? '1' : '0';
            QCOMPARE(QStringList({test::Find<QLineEdit>(r.w, "txtSamplesPerFile")->text(),
                                  test::Find<QLineEdit>(r.w, "txtFilesPerSession")->text(),
                                  test::Find<QLineEdit>(r.w, "txtSampleDelay")->text(),
                                  test::Find<QLineEdit>(r.w, "txtFileName")->text(),
                                  test::Find<QLineEdit>(r.w, "txtDirectory")->text(), boxes}),
                     QStringList({"1000", "1", "0", "DATALOG", r.dir.path.c_str(), "01000000"}));
            QVERIFY(!test::Find<QCheckBox>(r.w, "ckNOScale")->isChecked() &&
                    !test::Find<QCheckBox>(r.w, "ckNOHeader")->isChecked());
            QVERIFY(!test::Find<QLineEdit>(r.w, "txtFileNum")->isEnabled() &&
                    test::Find<QLabel>(r.w, "LBLDatalogInProgress")->isHidden());
            QCOMPARE(r.w.LogFileName, std::string("DATALOG"));
            QCOMPARE(r.w.LogSamplesPerFile, 1000.0);
            QCOMPARE(r.loopCleared, 1 + pass);
            r.type("7", "3");
            test::Find<QLineEdit>(r.w, "txtFileName")->setText("OTHER");
            test::Find<QCheckBox>(r.w, "CheckReg", 5)->setChecked(true);
            test::Find<QCheckBox>(r.w, "ckNOScale")->setChecked(true);
            test::Find<QCheckBox>(r.w, "ckNOHeader")->setChecked(true);
            r.w.show(); // a new opening
        }
    }

    void typedNumbersAreRewrittenAtOnce() {
        Rig r;
        test::Find<QLineEdit>(r.w, "txtSamplesPerFile")->selectAll();
        QTest::keyClick(test::Find<QLineEdit>(r.w, "txtSamplesPerFile"), Qt::Key_Delete);
        QCOMPARE(test::Find<QLineEdit>(r.w, "txtSamplesPerFile")->text(), QString("1000"));
        test::Find<QLineEdit>(r.w, "txtSamplesPerFile")->selectAll();
        QTest::keyClicks(test::Find<QLineEdit>(r.w, "txtSamplesPerFile"), "250");
        QCOMPARE(r.w.LogSamplesPerFile, 250.0);
        const std::tuple<QLineEdit*, const char*, const char*> cases[] = {
            {test::Find<QLineEdit>(r.w, "txtSamplesPerFile"), "0", "1"},
            {test::Find<QLineEdit>(r.w, "txtSamplesPerFile"), "5000000000", "2147483647"},
            {test::Find<QLineEdit>(r.w, "txtFilesPerSession"), "3000000000", "2000000000"},
            {test::Find<QLineEdit>(r.w, "txtFilesPerSession"), "-2", "1"},
            {test::Find<QLineEdit>(r.w, "txtSampleDelay"), "40000", "32000"},
            {test::Find<QLineEdit>(r.w, "txtSampleDelay"), "-5", "0"},
            {test::Find<QLineEdit>(r.w, "txtSampleDelay"), "ab", "0"},
            {test::Find<QLineEdit>(r.w, "txtSampleDelay"), "2.5", "2.5"},
            {test::Find<QLineEdit>(r.w, "txtDirectory"), "/elsewhere", r.dir.path.c_str()},
        };
        for (auto [edit, typed, shown] : cases) {
            edit->setText(typed);
            QCOMPARE(edit->text(), QString(shown));
        }
        QCOMPARE(r.w.LogSamplesPerFile, 2147483647.0);
        QCOMPARE(r.w.LogFilesPerSession, 1.0);
        Rig comma(",");
        QCOMPARE(test::Find<QLabel>(comma.w, "lblFext")->text(), QString(".txt"));
        test::Find<QLineEdit>(comma.w, "txtSampleDelay")->setText("2,5");
        QCOMPARE(test::Find<QLineEdit>(comma.w, "txtSampleDelay")->text(), QString("2,5"));
    }

    void startNeedsASelectionAndASafeName() {
        Rig r;
        test::Find<QCheckBox>(r.w, "CheckReg", 2)->setChecked(false);
        test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        QCOMPARE(r.s.t.messages.shown.size(), std::size_t(1));
        QCOMPARE(r.s.t.messages.shown[0].text,
                 std::string("Please check at least one DATA SELECTION box."));
        QCOMPARE(r.s.t.messages.shown[0].caption, std::string(""));
        QCOMPARE(test::Find<QPushButton>(r.w, "cmdStartDatalog")->text(), QString("Start Datalog"));
        // The stems refused are listed with the session; here only the window's part.
        test::Find<QCheckBox>(r.w, "CheckReg", 2)->setChecked(true);
        test::Find<QLineEdit>(r.w, "txtFileName")->setText("../DATALOG");
        test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        QCOMPARE(r.messages().size(), std::size_t(2));
        QVERIFY(r.messages().back().find("INVALID FILE NAME") != std::string::npos);
        QCOMPARE(test::Find<QPushButton>(r.w, "cmdStartDatalog")->text(), QString("Start Datalog"));
        QVERIFY(r.dir.names().empty());
    }

    void sessionShowsProgressAndCancelDuringFileTwoOfThreeRestores() {
        Rig r;
        r.type("10", "3");
        int events = 0, inFile2 = 0;
        r.s.app.doEvents = [&] {
            if (++events == 1) {
                QCOMPARE(test::Find<QPushButton>(r.w, "cmdStartDatalog")->text(),
                         QString("Cancel Datalog"));
                QVERIFY(test::Find<QPushButton>(r.w, "cmdStartDatalog")->isEnabled() &&
                        !r.settingsEnabled());
                QVERIFY(!test::Find<QLabel>(r.w, "LBLDatalogInProgress")->isHidden() &&
                        r.w.sessionRunning());
                QVERIFY(test::Find<QLabel>(r.w, "lblProgress")->text().startsWith("File 1 of 3"));
            }
            // Events run once after opening, then after each sample: this is after sample 4.
            if (test::Find<QLineEdit>(r.w, "txtFileNum")->text() == "2" && ++inFile2 == 5)
                test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        };
        test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        QVERIFY(!r.w.sessionRunning() && r.settingsEnabled());
        QCOMPARE(test::Find<QPushButton>(r.w, "cmdStartDatalog")->text(), QString("Start Datalog"));
        QVERIFY(test::Find<QLabel>(r.w, "LBLDatalogInProgress")->isHidden());
        QCOMPARE(test::Find<QLineEdit>(r.w, "txtFileNum")->text(), QString("2"));
        const QString progress = test::Find<QLabel>(r.w, "lblProgress")->text();
        QVERIFY(progress.startsWith("File 2 of 3    Sample 4 of 10    "));
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:18 DATALOG_2.csv:12 "));
        QVERIFY(r.messages().empty());
    }

    void closingTheWindowOrExitingFinishesTheFileFirst() {
        Rig r;
        r.w.show();
        r.type("100", "2");
        int events = 0;
        r.s.app.doEvents = [&] {
            if (++events != 31) return;
            r.w.close();
            QVERIFY(r.w.isVisible()); // still open while the file is finished
        };
        test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:38 "));
        // Program exit: the callback runs once, after the file is complete and closed.
        int exits = 0;
        std::string filesAtExit;
        events = 0;
        r.s.app.doEvents = [&] {
            if (++events == 11) r.w.requestCancel([&] { ++exits, filesAtExit = r.dir.files(); });
        };
        test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        QCOMPARE(exits, 1);
        QCOMPARE(filesAtExit, std::string("DATALOG_1.csv:18 "));
        r.w.requestCancel([&] { ++exits; }); // no session: at once
        QCOMPARE(exits, 2);
    }
    void finishingServesTheWindowAndDropsItsClicks() {
        Rig r;
        test::FaultyFileSystem fs;
        r.w.setFileSystem(&fs);
        r.type("20000", "1");
        r.s.app.doEvents = [] { QCoreApplication::processEvents(); };
        int sessions = 0, finishing = 0;
        fs.onCreate = [&](const std::string& prefix) {
            if (prefix.find(".rows.") != std::string::npos) ++sessions;
            if (prefix.find(".part.") == std::string::npos) return;
            ++finishing;
            // Nothing left to cancel: the button is off while the file is put together.
            QVERIFY(!test::Find<QPushButton>(r.w, "cmdStartDatalog")->isEnabled());
            QVERIFY(test::Find<QLabel>(r.w, "lblProgress")->text().contains("finishing: 0 of "));
            // A click made now waits in the queue, as a click during a busy stretch would.
            const QPointF at = test::Find<QPushButton>(r.w, "cmdStartDatalog")->rect().center();
            for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(
                    test::Find<QPushButton>(r.w, "cmdStartDatalog"),
                    new QMouseEvent(
                        type, at, test::Find<QPushButton>(r.w, "cmdStartDatalog")->mapToGlobal(at),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        };
        test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        QCoreApplication::processEvents();
        QCOMPARE(finishing, 1);
        QCOMPARE(sessions, 1); // the queued click started nothing
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:20008 "));
        QVERIFY(test::Find<QPushButton>(r.w, "cmdStartDatalog")->isEnabled() &&
                !r.w.sessionRunning());
        QVERIFY(r.messages().empty());
        r.w.setFileSystem(nullptr);
    }

    void theWindowSaysWhenItsDirectoryCannotBeUsed() {
        Rig r;
        const auto blocker = r.dir.path / "plain";
        std::ofstream(blocker) << "x";
        r.s.t.platform.progDir = blocker;
        r.s.t.platform.dataDir = blocker / "user";
        r.w.show();
        QCOMPARE(r.messages().size(), std::size_t(1));
        QCOMPARE(r.messages()[0], "The files directory \"" + (blocker / "user").string() +
                                      "\" does not exist and could not be created. Log files "
                                      "and the register listing cannot be saved.");
        r.w.hide();
    }

    void aTerminationSignalActsAsCancelThroughTheEventLoop() {
        Rig r;
        r.type("100000", "3");
        int signo = 0;
        std::string filesAtEnd;
        QVERIFY(InstallSignalCancel([&](int s) {
            signo = s;
            r.w.requestCancel([&] { filesAtEnd = r.dir.files(); });
        }));
        int inFile2 = 0;
        r.s.app.doEvents = [&] {
            if (test::Find<QLineEdit>(r.w, "txtFileNum")->text() == "2" && ++inFile2 == 50)
                ::kill(::getpid(), SIGTERM);
            QCoreApplication::processEvents();
        };
        test::Find<QPushButton>(r.w, "cmdStartDatalog")->click();
        QCOMPARE(signo, SIGTERM);
        // The file under way is whole with the samples taken; no third file is begun.
        const auto names = r.dir.names();
        QCOMPARE(names, (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv"}));
        QCOMPARE(filesAtEnd, r.dir.files());
        const auto lines = r.dir.lines("DATALOG_2.csv");
        QVERIFY(lines.size() >= 8 + 49 && lines.size() < 8 + 100000);
        QCOMPARE(test::SplitFields(lines.back())[0], std::to_string(lines.size() - 8));
        QVERIFY(lines.back().find("<no CRLF>") == std::string::npos);
        QCOMPARE(r.dir.lines("DATALOG_1.csv").size(), std::size_t(100008));
        InstallSignalCancel(nullptr);
    }
};

QTEST_MAIN(frmDatalogTest)
#include "frmDatalogTest.moc"