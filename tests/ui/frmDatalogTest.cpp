// The logging window, offscreen, driving sessions on the simulated sensor.
#include <signal.h>
#include <unistd.h>

#include <fstream>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "WindowRigs.h"
#include "ui/SignalCancel.h"
#include "ui/frmDatalog.h"

using namespace tavrin;

namespace {

// The logging window on a simulated 41120, its files in a scratch directory.
struct Rig {
    test::ScratchDir dir;
    test::SimTestApp s;
    int loopCleared = 0;
    ui::frmDatalog w;
    explicit Rig(const char* decimalSep = ".")
        : w((s.t.platform.progDir = dir.path, s.t.platform.decimalSep = decimalSep, s.app),
            [this] { ++loopCleared; }) {}
    QLineEdit* edit(const char* name) const { return test::Find<QLineEdit>(w, name); }
    QCheckBox* box(const char* name) const { return test::Find<QCheckBox>(w, name); }
    QCheckBox* reg(int b) const { return test::Find<QCheckBox>(w, "CheckReg", b); }
    QPushButton* start() const { return test::Find<QPushButton>(w, "cmdStartDatalog"); }
    QString progress() const { return test::Find<QLabel>(w, "lblProgress")->text(); }
    bool busyShown() const { return !test::Find<QLabel>(w, "LBLDatalogInProgress")->isHidden(); }
    void run(const char* samples, const char* files = "1") {
        edit("txtSamplesPerFile")->setText(samples);
        edit("txtFilesPerSession")->setText(files);
        start()->click();
    }
};

const char* const kBoxes[] = {"ckDisableND", "ckNOScale", "ckNOHeader", "ckBurstRead"};

} // namespace

class frmDatalogTest : public QObject {
    Q_OBJECT
  private slots:
    // Every caption, and the column titles each box gives a file, with and
    // without flags; no box, no file.
    void captionsAndColumnTitlesAsDocumented() {
        Rig r;
        QCOMPARE(test::WrongCaptions(r.w), QStringList());
        r.reg(2)->setChecked(false);
        r.start()->click();
        QCOMPARE(r.s.t.messages.shown.at(0).text,
                 std::string("Please check at least one DATA SELECTION box."));
        QVERIFY(r.s.t.messages.shown[0].caption.empty() && r.dir.names().empty());
        const auto table = test::DataTable(QFINDTESTDATA("../data/ui/captions.tsv"));
        for (bool flags : {true, false}) {
            QString titles = "Sample #,";
            for (int b = 1; b <= 8; ++b) {
                r.reg(b)->setChecked(true);
                titles += (flags ? table[16 + b][3] + "," : "") + table[16 + b][4] + ",";
            }
            r.box("ckDisableND")->setChecked(!flags);
            r.run("1");
            QCOMPARE(QString::fromStdString(r.dir.lines().at(7)), titles);
        }
    }

    // Typed numbers are rewritten at once; whatever an opening left, the next
    // starts from the defaults.
    void typedNumbersAndTheDefaultsOfEveryOpening() {
        Rig r, comma(",");
        for (int pass = 1;; ++pass) {
            QString shown =
                r.edit("txtDirectory")->text() == r.dir.path.c_str() ? "" : "elsewhere ";
            for (int b = 1; b <= 8; ++b) shown += r.reg(b)->isChecked() ? '1' : '0';
            for (const char* name : kBoxes) shown += r.box(name)->isChecked() ? '1' : '0';
            for (const char* name :
                 {"txtSamplesPerFile", "txtFilesPerSession", "txtSampleDelay", "txtFileName"})
                shown += " " + r.edit(name)->text();
            QCOMPARE(shown, QString("010000000000 1000 1 0 DATALOG"));
            QVERIFY(!r.edit("txtFileNum")->isEnabled() && !r.busyShown() && r.loopCleared == pass);
            if (pass == 2) break;
            for (const QStringList& row :
                 test::DataTable(QFINDTESTDATA("../data/ui/field_rewrites.tsv"))) {
                QLineEdit* edit = (row[0] == "," ? comma : r).edit(qPrintable(row[1]));
                edit->setText(row[2]);
                QCOMPARE(edit->text(), row[3]);
            }
            r.edit("txtFilesPerSession")->setText("7");
            r.edit("txtFileName")->setText("OTHER");
            for (int b = 1; b <= 8; ++b) r.reg(b)->setChecked(b != 2);
            for (const char* name : kBoxes) r.box(name)->setChecked(true);
            r.w.show(); // a new opening
        }
        QCOMPARE(test::Find<QLabel>(comma.w, "lblFext")->text(), QString(".txt"));
        r.start()->click(); // one file of 1000 samples of XGYRO_OUT with flags
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:1008 "));
        QCOMPARE(r.dir.lines().at(7), std::string("Sample #,XgND,X Gryo,"));
    }

    // A directory that cannot be used is named when the window opens.
    void anUnusableDirectoryIsNamed() {
        Rig r;
        const auto blocker = r.dir.path / "plain";
        std::ofstream(blocker) << "x";
        r.s.t.platform.progDir = blocker;
        r.s.t.platform.dataDir = blocker / "user";
        r.w.show();
        QCOMPARE(r.s.t.messages.texts().at(0),
                 "The files directory \"" + (blocker / "user").string() +
                     "\" does not exist and could not be created. Log files and the register "
                     "listing cannot be saved.");
    }

    // A session locks the settings and shows its label; Cancel in file 2 of 3
    // keeps the samples taken and restores the window. A burst read takes one
    // adapter command a sample.
    void cancelDuringFileTwoOfThree() {
        Rig r;
        for (int b : {5, 8}) r.reg(b)->setChecked(true);
        r.box("ckBurstRead")->setChecked(true);
        r.s.driver.clearCommands();
        int inFile2 = 0;
        QString during;
        r.s.app.doEvents = [&] {
            if (during.isEmpty()) // Cancel on, the settings locked, the label shown
                during =
                    r.start()->text() + (r.start()->isEnabled() && !r.reg(2)->isEnabled() &&
                                                 !r.edit("txtFileName")->isEnabled() &&
                                                 !r.box("ckBurstRead")->isEnabled() && r.busyShown()
                                             ? ": locked"
                                             : ": open");
            // Events run once after opening, then after each sample: this is after
            // sample 4.
            if (r.edit("txtFileNum")->text() == "2" && ++inFile2 == 5) r.start()->click();
        };
        r.run("10", "3");
        QCOMPARE(during, QString("Cancel Datalog: locked"));
        QVERIFY(r.edit("txtFileName")->isEnabled() && r.box("ckBurstRead")->isEnabled());
        QVERIFY(!r.w.sessionRunning() && !r.busyShown());
        QCOMPARE(r.start()->text() + ": " + r.progress().left(33),
                 QString("Start Datalog: File 2 of 3    Sample 4 of 10    "));
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:18 DATALOG_2.csv:12 "));
        QCOMPARE(r.s.driver.commands().size(), std::size_t(14));
    }

    // Closing the window, exiting and a termination signal each finish the file
    // under way first: a log is never lost to a badly timed close or a logout.
    void closeExitOrSigtermFinishesTheFileFirst() {
        Rig r;
        r.w.show();
        int events = 0, exits = 0;
        r.s.app.doEvents = [&] {
            if (++events != 31) return;
            r.w.close();
            QVERIFY(r.w.isVisible()); // still open while the file is finished
        };
        r.run("100", "2");
        QVERIFY(!r.w.isVisible());
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:38 "));
        std::string filesAtEnd;
        events = 0;
        r.s.app.doEvents = [&] { // exiting
            if (++events == 11) r.w.requestCancel([&] { ++exits, filesAtEnd = r.dir.files(); });
        };
        r.start()->click();
        r.w.requestCancel([&] { ++exits; }); // no session: at once
        QVERIFY(exits == 2 && filesAtEnd == "DATALOG_1.csv:18 ");

        int signo = 0, inFile2 = 0;
        QVERIFY(ui::InstallSignalCancel([&](int sig) {
            signo = sig;
            r.w.requestCancel([&] { filesAtEnd = r.dir.files(); });
        }));
        r.s.app.doEvents = [&] {
            if (r.edit("txtFileNum")->text() == "2" && ++inFile2 == 50) ::kill(::getpid(), SIGTERM);
            QCoreApplication::processEvents();
        };
        r.run("100000", "3");
        ui::InstallSignalCancel(nullptr);
        QCOMPARE(signo, SIGTERM);
        // The file under way is whole with the samples taken; no third file is begun.
        QCOMPARE(r.dir.names(), (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv"}));
        QCOMPARE(filesAtEnd, r.dir.files());
        const auto lines = r.dir.lines("DATALOG_2.csv");
        QVERIFY(lines.size() >= 8 + 49 && lines.size() < 8 + 100000);
        QCOMPARE(test::SplitFields(lines.back())[0], std::to_string(lines.size() - 8));
        QCOMPARE(r.dir.lines("DATALOG_1.csv").size(), std::size_t(100008));
    }

    // While the file is put together the button is off and a queued click starts
    // nothing.
    void finishingDropsItsClicks() {
        Rig r;
        test::FaultyFileSystem fs;
        r.w.setFileSystem(&fs);
        r.s.app.doEvents = [] { QCoreApplication::processEvents(); };
        int sessions = 0, finishing = 0;
        fs.onCreate = [&](const std::string& prefix) {
            sessions += prefix.find(".rows.") != std::string::npos;
            if (prefix.find(".part.") == std::string::npos) return;
            ++finishing;
            QVERIFY(!r.start()->isEnabled() && r.progress().contains("finishing: 0 of "));
            const QPointF at = r.start()->rect().center();
            for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(
                    r.start(), new QMouseEvent(type, at, r.start()->mapToGlobal(at), Qt::LeftButton,
                                               Qt::LeftButton, Qt::NoModifier));
        };
        r.run("20000");
        QCoreApplication::processEvents();
        QVERIFY(finishing == 1 && sessions == 1);
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:20008 "));
        QVERIFY(r.start()->isEnabled() && !r.w.sessionRunning() && r.s.t.messages.shown.empty());
        r.w.setFileSystem(nullptr);
    }
};

QTEST_MAIN(frmDatalogTest)
#include "frmDatalogTest.moc"
