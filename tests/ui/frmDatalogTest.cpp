// The logging window, offscreen, driving sessions on the simulated sensor.
#include <signal.h>
#include <unistd.h>

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
    bool settingsOn() const {
        return reg(2)->isEnabled() || edit("txtFileName")->isEnabled() ||
               box("ckBurstRead")->isEnabled();
    }
    bool busyShown() const { return !test::Find<QLabel>(w, "LBLDatalogInProgress")->isHidden(); }
    // Runs `f` the n-th time a session lets events run in file `file`: once after
    // opening it, then after each sample.
    void onEvent(int file, int n, std::function<void()> f) {
        s.app.doEvents = [=, this, count = 0]() mutable {
            if (edit("txtFileNum")->text().toInt() == file && ++count == n) f();
            QCoreApplication::processEvents();
        };
    }
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
    // Every caption; no box, no file; the column titles each box gives a file,
    // with and without flags; typed numbers rewritten at once. Whatever an
    // opening left, the next starts from the defaults, and names a directory it
    // cannot use.
    void captionsFieldsAndTheDefaultsOfEveryOpening() {
        Rig r, comma(",");
        auto defaults = [&] {
            QString shown =
                r.edit("txtDirectory")->text() == r.dir.path.c_str() ? "" : "elsewhere ";
            for (int b = 1; b <= 8; ++b) shown += r.reg(b)->isChecked() ? '1' : '0';
            for (const char* name : kBoxes) shown += r.box(name)->isChecked() ? '1' : '0';
            for (const char* name :
                 {"txtSamplesPerFile", "txtFilesPerSession", "txtSampleDelay", "txtFileName"})
                shown += " " + r.edit(name)->text();
            return shown + (r.edit("txtFileNum")->isEnabled() || r.busyShown() ? " busy" : "");
        };
        QCOMPARE(defaults(), QString("010000000000 1000 1 0 DATALOG"));
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
        for (const QStringList& row :
             test::DataTable(QFINDTESTDATA("../data/ui/field_rewrites.tsv"))) {
            QLineEdit* edit = (row[0] == "," ? comma : r).edit(qPrintable(row[1]));
            edit->setText(row[2]);
            QCOMPARE(edit->text(), row[3]);
        }
        QCOMPARE(test::Find<QLabel>(comma.w, "lblFext")->text(), QString(".txt"));
        r.edit("txtFilesPerSession")->setText("7");
        r.edit("txtFileName")->setText("OTHER");
        r.reg(2)->setChecked(false);
        for (const char* name : kBoxes) r.box(name)->setChecked(true);
        r.w.show(); // a new opening
        QVERIFY(r.loopCleared == 2 && r.s.t.messages.shown.size() == 1);
        QCOMPARE(defaults(), QString("010000000000 1000 1 0 DATALOG"));
        r.start()->click(); // one file of 1000 samples
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:1008 "));
        const auto blocker = comma.dir.path / "plain";
        std::ofstream(blocker) << "x";
        comma.s.t.platform.progDir = blocker;
        comma.s.t.platform.dataDir = blocker / "user";
        comma.w.show(); // an opening on a directory that cannot be used
        QCOMPARE(comma.s.t.messages.texts().at(0),
                 "The files directory \"" + (blocker / "user").string() +
                     "\" does not exist and could not be created. Log files and the register "
                     "listing cannot be saved.");
    }

    // A session locks the settings and shows its label. Cancel, closing the
    // window, exiting and a termination signal each finish the file under way
    // first: a log is never lost to a badly timed close or a logout.
    void everyEndOfASessionKeepsItsFiles() {
        test::FaultyFileSystem fs; // outlives the window
        Rig r;
        for (int b : {5, 8}) r.reg(b)->setChecked(true);
        r.box("ckBurstRead")->setChecked(true); // one adapter command a sample
        r.s.driver.clearCommands();
        QString during;
        r.onEvent(2, 5, [&] { // after sample 4 of file 2
            during = r.start()->text() + (r.start()->isEnabled() && !r.settingsOn() && r.busyShown()
                                              ? ": locked"
                                              : ": open");
            r.start()->click();
        });
        r.run("10", "3");
        QCOMPARE(during, QString("Cancel Datalog: locked"));
        QVERIFY(r.settingsOn() && !r.w.sessionRunning() && !r.busyShown());
        QCOMPARE(r.start()->text() + ": " + r.progress().left(33),
                 QString("Start Datalog: File 2 of 3    Sample 4 of 10    "));
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:18 DATALOG_2.csv:12 "));
        QCOMPARE(r.s.driver.commands().size(), std::size_t(14));

        r.w.show();
        r.onEvent(1, 31, [&] {
            r.w.close();
            QVERIFY(r.w.isVisible()); // still open while the file is finished
        });
        r.run("100", "2");
        QVERIFY(!r.w.isVisible());
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:38 DATALOG_2.csv:12 "));
        // An exit: the session's end runs once, after the file is finished.
        int signo = 0, exits = 0;
        std::string filesAtEnd;
        QVERIFY(ui::InstallSignalCancel([&](int sig) {
            signo = sig;
            r.w.requestCancel([&] { ++exits, filesAtEnd = r.dir.files(); });
        }));
        r.onEvent(2, 50, [] { ::kill(::getpid(), SIGTERM); });
        r.run("100000", "3");
        ui::InstallSignalCancel(nullptr);
        // The file under way is whole with the samples taken; no third file is begun.
        const auto lines = r.dir.lines("DATALOG_2.csv");
        QVERIFY(signo == SIGTERM && lines.size() >= 8 + 49 && lines.size() < 8 + 100000);
        QCOMPARE(test::SplitFields(lines.back())[0], std::to_string(lines.size() - 8));
        QCOMPARE(r.dir.files(),
                 "DATALOG_1.csv:100008 DATALOG_2.csv:" + std::to_string(lines.size()) + " ");
        QVERIFY(exits == 1 && filesAtEnd == r.dir.files());

        // While the file is put together the button is off and a queued click starts
        // nothing; a signal then (Cancel by other means) completes the file and begins no
        // second one, so the earlier second file stays.
        r.w.setFileSystem(&fs);
        int finishing = 0; // a second session would be finished too
        fs.onCreate = [&](const std::string& prefix) {
            if (prefix.find(".part.") == std::string::npos) return;
            ++finishing;
            QVERIFY(!r.start()->isEnabled() && r.progress().contains("finishing: 0 of "));
            QMetaObject::invokeMethod(r.start(), "click", Qt::QueuedConnection);
            r.w.requestCancel(nullptr);
        };
        r.run("20000", "3");
        QCoreApplication::processEvents();
        QCOMPARE(finishing, 1);
        QCOMPARE(r.dir.files(), std::string("DATALOG_1.csv:20008 DATALOG_2.csv:") +
                                    std::to_string(lines.size()) + " ");
        QVERIFY(r.start()->isEnabled() && !r.w.sessionRunning() && r.s.t.messages.shown.empty());
    }
};

QTEST_MAIN(frmDatalogTest)
#include "frmDatalogTest.moc"
