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
    Rig() : w((s.t.platform.progDir = dir.path, s.app), [this] { ++loopCleared; }) {}
    std::vector<std::string> messages() const { return s.t.messages.texts(); }
};

QString Caption(const QWidget* w) {
    if (auto* c = qobject_cast<const QAbstractButton*>(w)) return c->text();
    if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
    return {};
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
        for (auto [name, caption] : captions) {
            auto* c = r.w.findChild<QWidget*>(name);
            QVERIFY2(c, name);
            QCOMPARE(Caption(c), QString(caption));
        }
        QCOMPARE(r.w.txtSamplesPerFile->text(), QString("1000"));
        QCOMPARE(r.w.txtFilesPerSession->text(), QString("1"));
        QCOMPARE(r.w.txtSampleDelay->text(), QString("0"));
        QCOMPARE(r.w.txtFileName->text(), QString("DATALOG"));
        QCOMPARE(r.w.txtFileNum->text(), QString("1"));
        QCOMPARE(r.w.txtDirectory->text(), QString::fromStdString(r.dir.path.string()));
        QVERIFY(!r.w.txtFileNum->isEnabled());
        QVERIFY(r.w.LBLDatalogInProgress->isHidden());
        for (int b = 1; b <= 8; ++b) QCOMPARE(r.w.CheckReg[b]->isChecked(), b == 2);
        QVERIFY(!r.w.ckDisableND->isChecked() && !r.w.ckNOScale->isChecked() &&
                !r.w.ckNOHeader->isChecked());
        QCOMPARE(r.w.LogSamplesPerFile, 1000.0);
        QCOMPARE(r.w.LogFilesPerSession, 1.0);
        QVERIFY(r.loopCleared >= 1);

        // A new opening starts from the defaults again.
        r.w.txtFileName->setText("OTHER");
        r.w.CheckReg[5]->setChecked(true);
        r.w.txtSamplesPerFile->setText("7");
        r.w.Form_Load();
        QCOMPARE(r.w.txtFileName->text(), QString("DATALOG"));
        QCOMPARE(r.w.LogFileName, std::string("DATALOG"));
        QCOMPARE(r.w.LogSamplesPerFile, 1000.0);
    }

    void typedNumbersAreRewrittenAtOnce() {
        Rig r;
        // Typing over the selection replaces it; deleting it leaves an empty text.
        auto typeInto = [](QLineEdit* e, const QString& text) {
            e->selectAll();
            if (text.isEmpty())
                QTest::keyClick(e, Qt::Key_Delete);
            else
                QTest::keyClicks(e, text);
        };
        typeInto(r.w.txtSamplesPerFile, "");
        QCOMPARE(r.w.txtSamplesPerFile->text(), QString("1000"));
        typeInto(r.w.txtSamplesPerFile, "250");
        QCOMPARE(r.w.LogSamplesPerFile, 250.0);
        r.w.txtSamplesPerFile->setText("0");
        QCOMPARE(r.w.txtSamplesPerFile->text(), QString("1"));
        QCOMPARE(r.w.LogSamplesPerFile, 1.0);
        r.w.txtSamplesPerFile->setText("5000000000");
        QCOMPARE(r.w.txtSamplesPerFile->text(), QString("2147483647"));
        QCOMPARE(r.w.LogSamplesPerFile, 2147483647.0);

        r.w.txtFilesPerSession->setText("3000000000");
        QCOMPARE(r.w.txtFilesPerSession->text(), QString("2000000000"));
        QCOMPARE(r.w.LogFilesPerSession, 2000000000.0);
        r.w.txtFilesPerSession->setText("-2");
        QCOMPARE(r.w.txtFilesPerSession->text(), QString("1"));
        QCOMPARE(r.w.LogFilesPerSession, 1.0);

        r.w.txtSampleDelay->setText("40000");
        QCOMPARE(r.w.txtSampleDelay->text(), QString("32000"));
        r.w.txtSampleDelay->setText("-5");
        QCOMPARE(r.w.txtSampleDelay->text(), QString("0"));
        typeInto(r.w.txtSampleDelay, "ab");
        QCOMPARE(r.w.txtSampleDelay->text(), QString("0"));
        r.w.txtSampleDelay->setText("2.5");
        QCOMPARE(r.w.txtSampleDelay->text(), QString("2.5"));

        r.w.txtFileName->setText("run 7");
        QCOMPARE(r.w.LogFileName, std::string("run 7"));

        r.w.txtDirectory->setText("/elsewhere");
        QCOMPARE(r.w.txtDirectory->text(), QString::fromStdString(r.dir.path.string()));
    }

    void decimalCommaShowsTxt() {
        test::ScratchDir dir;
        test::SimTestApp s;
        s.t.platform.progDir = dir.path;
        s.t.platform.decimalSep = ",";
        frmDatalog w(s.app, {});
        QCOMPARE(w.lblFext->text(), QString(".txt"));
        w.txtSampleDelay->setText("2,5");
        QCOMPARE(w.txtSampleDelay->text(), QString("2,5"));
    }

    void startNeedsASelectionAndASafeName() {
        Rig r;
        r.w.CheckReg[2]->setChecked(false);
        r.w.cmdStartDatalog->click();
        QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        QCOMPARE(r.s.t.messages.shown.size(), std::size_t(1));
        QCOMPARE(r.s.t.messages.shown[0].text,
                 std::string("Please check at least one DATA SELECTION box."));
        QCOMPARE(r.s.t.messages.shown[0].caption, std::string(""));

        r.w.CheckReg[2]->setChecked(true);
        const auto outside = r.dir.path.parent_path() / "DATALOG_1.csv";
        const bool outsideBefore = std::filesystem::exists(outside);
        for (const char* stem : {"", "../DATALOG", "a/b", "a\\b"}) {
            r.s.t.messages.clear();
            r.w.txtFileName->setText(stem);
            r.w.cmdStartDatalog->click();
            QCOMPARE(r.s.t.messages.shown.size(), std::size_t(1));
            QVERIFY(r.s.t.messages.shown[0].text.find("INVALID FILE NAME") != std::string::npos);
            QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        }
        QVERIFY(r.dir.names().empty());
        QCOMPARE(std::filesystem::exists(outside), outsideBefore);
    }

    void sessionDisablesSettingsAndRestoresThem() {
        Rig r;
        r.w.txtSamplesPerFile->setText("20");
        r.w.txtFilesPerSession->setText("2");
        bool checked = false;
        r.s.app.doEvents = [&] {
            QCoreApplication::processEvents();
            if (checked) return;
            checked = true;
            QCOMPARE(r.w.cmdStartDatalog->text(), QString("Cancel Datalog"));
            QVERIFY(r.w.cmdStartDatalog->isEnabled());
            QVERIFY(!r.w.LBLDatalogInProgress->isHidden());
            QVERIFY(!r.w.txtFileName->isEnabled() && !r.w.txtSamplesPerFile->isEnabled() &&
                    !r.w.CheckReg[2]->isEnabled() && !r.w.ckNOHeader->isEnabled());
            QVERIFY(r.w.sessionRunning());
            QVERIFY(r.w.lblProgress->text().contains("File 1 of 2"));
        };
        r.w.cmdStartDatalog->click();
        QVERIFY(checked);
        QVERIFY(!r.w.sessionRunning());
        QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        QVERIFY(r.w.LBLDatalogInProgress->isHidden());
        QVERIFY(r.w.txtFileName->isEnabled() && r.w.txtSamplesPerFile->isEnabled() &&
                r.w.CheckReg[2]->isEnabled() && r.w.ckNOHeader->isEnabled());
        QCOMPARE(r.w.txtFileNum->text(), QString("2"));
        QCOMPARE(r.dir.names(), (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv"}));
        for (auto name : {"DATALOG_1.csv", "DATALOG_2.csv"})
            QCOMPARE(test::CrLfLines(test::ReadWholeFile(r.dir.path / name)).size(),
                     std::size_t(8 + 20));
        QVERIFY(r.messages().empty());
    }

    void cancelClickDuringFileTwoOfThree() {
        Rig r;
        r.w.txtSamplesPerFile->setText("10");
        r.w.txtFilesPerSession->setText("3");
        int eventsInFile2 = 0;
        r.s.app.doEvents = [&] {
            if (r.w.txtFileNum->text() == "2" && ++eventsInFile2 == 5) r.w.cmdStartDatalog->click();
        };
        r.w.cmdStartDatalog->click();
        QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        QCOMPARE(r.dir.names(), (std::vector<std::string>{"DATALOG_1.csv", "DATALOG_2.csv"}));
        // One event run after opening, then one per sample: the click came after sample 4.
        QCOMPARE(test::CrLfLines(test::ReadWholeFile(r.dir.path / "DATALOG_2.csv")).size(),
                 std::size_t(8 + 4));
        QCOMPARE(test::CrLfLines(test::ReadWholeFile(r.dir.path / "DATALOG_1.csv")).size(),
                 std::size_t(8 + 10));
    }

    void closingTheWindowCancelsAndThenCloses() {
        Rig r;
        r.w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r.w));
        r.w.txtSamplesPerFile->setText("100");
        r.w.txtFilesPerSession->setText("2");
        int samples = 0;
        r.s.app.doEvents = [&] {
            if (++samples == 31) {
                r.w.close();
                // Still open: the file under way is finished first.
                QVERIFY(r.w.isVisible());
            }
        };
        r.w.cmdStartDatalog->click();
        QVERIFY(!r.w.isVisible());
        QCOMPARE(r.dir.names(), std::vector<std::string>{"DATALOG_1.csv"});
        QCOMPARE(test::CrLfLines(test::ReadWholeFile(r.dir.path / "DATALOG_1.csv")).size(),
                 std::size_t(8 + 30));
    }

    void programExitWaitsForTheFileUnderWay() {
        Rig r;
        r.w.txtSamplesPerFile->setText("100");
        int samples = 0, exits = 0;
        std::size_t linesAtExit = 0;
        r.s.app.doEvents = [&] {
            if (++samples == 11)
                r.w.requestCancel([&] {
                    ++exits;
                    linesAtExit =
                        test::CrLfLines(test::ReadWholeFile(r.dir.path / "DATALOG_1.csv")).size();
                    QVERIFY(!r.w.sessionRunning());
                });
        };
        r.w.cmdStartDatalog->click();
        QCOMPARE(exits, 1);
        QCOMPARE(linesAtExit, std::size_t(8 + 10));
        // With no session the exit goes ahead at once.
        r.w.requestCancel([&] { ++exits; });
        QCOMPARE(exits, 2);
    }

    void writeFailureReportsAndRestores() {
        Rig r;
        test::FaultyFileSystem fs;
        fs.failAfterBytes["DATALOG_1.csv.partial"] = 100;
        r.w.setFileSystem(&fs);
        r.w.cmdStartDatalog->click();
        QCOMPARE(r.messages().size(), std::size_t(1));
        QVERIFY(r.messages()[0].find("File name = DATALOG_1.csv") != std::string::npos);
        QVERIFY(r.dir.names().empty());
        QCOMPARE(r.w.cmdStartDatalog->text(), QString("Start Datalog"));
        QVERIFY(r.w.txtFileName->isEnabled());
    }
};

QTEST_MAIN(frmDatalogTest)
#include "frmDatalogTest.moc"
