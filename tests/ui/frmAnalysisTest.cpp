// The analysis window offscreen, on files it captured from the simulated
// sensor: a capture, the analysis module's figures shown, the export.
#include "ui/frmAnalysis.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "WindowRigs.h"

using namespace tavrin;

class frmAnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    // A capture is logged with one burst command a sample, analysed and shown;
    // a bad file is named in the status line.
    void capturesAndOpenedFilesAreAnalysedAndShown() {
        test::ScratchDir dir;
        test::SimTestApp s;
        ui::frmAnalysis w{(s.t.platform.progDir = dir.path, s.app)};
        auto* samples = test::Find<QLineEdit>(w, "txtSamples");
        auto* figures = test::Find<QTableWidget>(w, "tblFigures");
        auto* status = test::Find<QLabel>(w, "lblStatus");
        samples->setText("99");
        QVERIFY(!w.capture() && status->text().contains("from 100 to"));
        samples->setText("1000");
        s.t.platform.clockScript = {100.25f, 102.5f};
        s.driver.clearCommands();
        QVERIFY(w.capture());
        const std::string text = dir.read("ADEV1_1.csv"); // the name is documented
        QVERIFY(text.find("Sample #,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,\r\n") !=
                std::string::npos);
        QVERIFY(text.find("\r\n1000,") != std::string::npos);
        QCOMPARE(s.driver.commands().size(), std::size_t(1000));
        const auto want = analysis::AnalyseLog(w.capturedFile(), {});
        QVERIFY(figures->rowCount() == 3 && figures->item(0, 0)->text() == "X Gryo");
        for (int row = 0; row < 3; ++row)
            QCOMPARE(figures->item(row, 1)->text(),
                     QString::number(want.channels[row].series.fresh));
        QVERIFY(figures->item(0, 3)->text().contains("deg/sqrt(h)"));
        QVERIFY(w.exportCsv(dir.path / "curve.csv"));
        QCOMPARE(dir.read("curve.csv"), analysis::CurveCsvOf(want));
        std::ofstream(dir.path / "other.csv") << "Name,Value\r\n";
        QVERIFY(!w.openFile(dir.path / "other.csv"));
        QVERIFY(status->text().contains("other.csv: line 1: not a log file"));
    }
};

QTEST_MAIN(frmAnalysisTest)
#include "frmAnalysisTest.moc"
