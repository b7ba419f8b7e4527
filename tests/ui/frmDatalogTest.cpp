// The logging window, offscreen, driving sessions on the simulated sensor.
#include <signal.h>
#include <unistd.h>

#include <fstream>

#include "WindowRigs.h"
#include "ui/SignalCancel.h"

using namespace tavrin;
using Rig = test::DatalogRig;

class frmDatalogTest : public QObject {
    Q_OBJECT
  private slots:
    // Every caption, and the column titles each box gives a file, with and
    // without flags.
    void captionsAndColumnTitlesAsDocumented() {
        Rig r;
        QCOMPARE(test::WrongCaptions(r.w), QStringList());
        const auto table = test::DataTable(QFINDTESTDATA("../data/ui/captions.tsv"));
        r.edit("txtSamplesPerFile")->setText("1");
        for (bool flags : {true, false}) {
            QString titles = "Sample #,";
            for (int b = 1; b <= 8; ++b) {
                r.reg(b)->setChecked(true);
                QCOMPARE(table[16 + b][1], QString("CheckReg_%1").arg(b));
                titles += (flags ? table[16 + b][3] + "," : "") + table[16 + b][4] + ",";
            }
            r.box("ckDisableND")->setChecked(!flags);
            r.start()->click();
            QCOMPARE(QString::fromStdString(r.dir.lines().at(7)), titles);
        }
    }

    void everyOpeningStartsFromTheDefaults() {
        Rig r;
        const char* boxes[] = {"ckDisableND", "ckNOScale", "ckNOHeader", "ckBurstRead"};
        for (int pass = 0; pass < 2; ++pass) {
            QString checked;
            for (int b = 1; b <= 8; ++b) checked += r.reg(b)->isChecked() ? '1' : '0';
            for (const char* name : boxes) checked += r.box(name)->isChecked() ? '1' : '0';
            QCOMPARE(
                QStringList({r.edit("txtSamplesPerFile")->text(),
                             r.edit("txtFilesPerSession")->text(), r.edit("txtSampleDelay")->text(),
                             r.edit("txtFileName")->text(), r.edit("txtDirectory")->text(),
                             checked}),
                QStringList({"1000", "1", "0", "DATALOG", r.dir.path.c_str(), "010000000000"}));
            QVERIFY(!r.edit("txtFileNum")->isEnabled() &&
                    test::Find<QLabel>(r.w, "LBLDatalogInProgress")->isHidden());
            QVERIFY(r.w.LogFileName == "DATALOG" && r.w.LogSamplesPerFile == 1000 &&
                    r.w.LogFilesPerSession == 1 && r.loopCleared == 1 + pass);
            for (const char* name : {"txtSamplesPerFile", "txtFilesPerSession", "txtSampleDelay"})
                r.edit(name)->setText("7");
            r.edit("txtFileName")->setText("OTHER");
            r.reg(5)->setChecked(true);
            for (const char* name : boxes) r.box(name)->setChecked(true);
            r.w.show(); // a new opening
        }
    }

    void typedNumbersAreRewrittenAtOnce() {
        Rig point, comma(",");
        for (const QStringList& row :
             test::DataTable(QFINDTESTDATA("../data/ui/field_rewrites.tsv"))) {
            QLineEdit* edit = (row[0] == "," ? comma : point).edit(qPrintable(row[1]));
            edit->setText(row[2]);
            QCOMPARE(edit->text(), row[3]);
        }
        QVERIFY(point.w.LogSamplesPerFile == 2147483647 && point.w.LogFilesPerSession == 1);
        point.edit("txtDirectory")->setText("/elsewhere");
        QCOMPARE(point.edit("txtDirectory")->text(), QString(point.dir.path.c_str()));
        QCOMPARE(test::Find<QLabel>(comma.w, "lblFext")->text(), QString(".txt"));
    }

    // No selection; a directory that cannot be used.
    void whatStopsAStart() {
        Rig r;
        r.reg(2)->setChecked(false);
        r.start()->click();
        QCOMPARE(r.s.t.messages.shown.at(0).text,
                 std::string("Please check at least one DATA SELECTION box."));
        QCOMPARE(r.s.t.messages.shown[0].caption, std::string(""));
        QVERIFY(r.dir.names().empty() && r.start()->text() == "Start Datalog");
        r.reg(2)->setChecked(true);
        const auto blocker = r.dir.path / "plain";
        std::ofstream(blocker) << "x";
        r.s.t.platform.progDir = blocker;
        r.s.t.platform.dataDir = blocker / "user";
        r.w.show();
        QCOMPARE(r.s.t.messages.texts().at(1),
                 "The files directory \"" + (blocker / "user").string() +
                     "\" does not exist and could not be created. Log files and "
                     "the register "
                     "listing cannot be saved.");
    }

    void cancelDuringFileTwoOfThreeRestoresTheWindow() {
        Rig r;
        r.edit("txtSamplesPerFile")->setText("10");
        r.edit("txtFilesPerSession")->setText("3");
        int events = 0, inFile2 = 0;
        QString during;
        r.s.app.doEvents = [&] {
            if (++events == 1) // the settings locked, the start button not, the label shown
                during =
                    r.start()->text() + (r.start()->isEnabled() ? " on" : " off") +
                    (r.reg(2)->isEnabled() || r.edit("txtFileName")->isEnabled() ? " open" : "") +
                    (test::Find<QLabel>(r.w, "LBLDatalogInProgress")->isHidden() ? "" : " shown");
            // Events run once after opening, then after each sample: this is after
            // sample 4.
            if (r.edit("txtFileNum")->text() == "2" && ++inFile2 == 5) r.start()->click();
        };
        r.start()->click();
        QCOMPARE(during, QString("Cancel Datalog on shown"));
        QVERIFY(!r.w.sessionRunning() && r.edit("txtFileName")->isEnabled());
        QCOMPARE(r.start()->text(), QString("Start Datalog"));
        QVERIFY(test::Find<QLabel>(r.w, "lblProgress")
                    ->text()
                    .startsWith("File 2 of 3    Sample 4 of 10    "));
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:18 DATALOG_2.csv:12 "));
    }
    // Closing the window, exiting and a termination signal all finish the file
    // under way first: a log is never lost to a badly timed close or a logout.
    void closingExitingOrSigtermFinishesTheFileFirst() {
        Rig r;
        r.w.show();
        r.edit("txtSamplesPerFile")->setText("100");
        r.edit("txtFilesPerSession")->setText("2");
        int events = 0;
        r.s.app.doEvents = [&] {
            if (++events != 31) return;
            r.w.close();
            QVERIFY(r.w.isVisible()); // still open while the file is finished
        };
        r.start()->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:38 "));
        int exits = 0;
        std::string filesAtExit;
        events = 0;
        r.s.app.doEvents = [&] {
            if (++events == 11) r.w.requestCancel([&] { ++exits, filesAtExit = r.dir.files(); });
        };
        r.start()->click();
        QCOMPARE(exits, 1);
        QCOMPARE(filesAtExit, std::string("DATALOG_1.csv:18 "));
        r.w.requestCancel([&] { ++exits; }); // no session: at once
        QCOMPARE(exits, 2);

        test::DatalogRig t;
        t.edit("txtSamplesPerFile")->setText("100000");
        t.edit("txtFilesPerSession")->setText("3");
        int signo = 0;
        std::string filesAtEnd;
        QVERIFY(ui::InstallSignalCancel([&](int sig) {
            signo = sig;
            t.w.requestCancel([&] { filesAtEnd = t.dir.files(); });
        }));
        int inFile2 = 0;
        t.s.app.doEvents = [&] {
            if (t.edit("txtFileNum")->text() == "2" && ++inFile2 == 50) ::kill(::getpid(), SIGTERM);
            QCoreApplication::processEvents();
        };
        t.start()->click();
        ui::InstallSignalCancel(nullptr);
        QCOMPARE(signo, SIGTERM);
        // The file under way is whole with the samples taken; no third file is begun.
        QCOMPARE(t.dir.names(), (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv"}));
        QCOMPARE(filesAtEnd, t.dir.files());
        const auto lines = t.dir.lines("DATALOG_2.csv");
        QVERIFY(lines.size() >= 8 + 49 && lines.size() < 8 + 100000);
        QCOMPARE(test::SplitFields(lines.back())[0], std::to_string(lines.size() - 8));
        QCOMPARE(t.dir.lines("DATALOG_1.csv").size(), std::size_t(100008));
    }

    // While the file is put together the button is off and a queued click starts
    // nothing.
    void finishingDropsItsClicks() {
        Rig r;
        test::FaultyFileSystem fs;
        r.w.setFileSystem(&fs);
        r.edit("txtSamplesPerFile")->setText("20000");
        r.s.app.doEvents = [] { QCoreApplication::processEvents(); };
        int sessions = 0, finishing = 0;
        fs.onCreate = [&](const std::string& prefix) {
            if (prefix.find(".rows.") != std::string::npos) ++sessions;
            if (prefix.find(".part.") == std::string::npos) return;
            ++finishing;
            QVERIFY(!r.start()->isEnabled());
            QVERIFY(test::Find<QLabel>(r.w, "lblProgress")->text().contains("finishing: 0 of "));
            const QPointF at = r.start()->rect().center();
            for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(
                    r.start(), new QMouseEvent(type, at, r.start()->mapToGlobal(at), Qt::LeftButton,
                                               Qt::LeftButton, Qt::NoModifier));
        };
        r.start()->click();
        QCoreApplication::processEvents();
        QVERIFY(finishing == 1 && sessions == 1);
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:20008 "));
        QVERIFY(r.start()->isEnabled() && !r.w.sessionRunning() && r.s.t.messages.shown.empty());
        r.w.setFileSystem(nullptr);
    }
};

QTEST_MAIN(frmDatalogTest)
#include "frmDatalogTest.moc"
