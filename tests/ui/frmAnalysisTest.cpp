// The analysis window offscreen, on files it captured from the simulated
// sensor: a capture, the analysis module's figures and curve shown, the export.
#include <QChartView>
#include <QLineSeries>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "WindowRigs.h"
#include "ui/frmAnalysis.h"

using namespace tavrin;

class frmAnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    // A capture is logged with one burst command a sample, analysed and shown;
    // the next capture keeps the first file. A file without header has its rate
    // asked for; a bad file keeps the last result.
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
        QCOMPARE(w.capturedFile(), dir.path / "ADEV1_1.csv");
        const std::string text = dir.read("ADEV1_1.csv");
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
        const auto* curve = qobject_cast<QLineSeries*>(
            test::Find<QChartView>(w, "chartView")->chart()->series().at(0));
        QCOMPARE(curve->count(), static_cast<int>(want.channels[0].curve.size()));
        QVERIFY(w.exportCsv(dir.path / "curve.csv"));
        QCOMPARE(dir.read("curve.csv"), analysis::CurveCsvOf(want));
        s.t.platform.clockScript = {200.f, 203.f};
        samples->setText("100");
        QVERIFY(w.capture());
        QVERIFY(w.capturedFile() == dir.path / "ADEV2_1.csv" && dir.read("ADEV1_1.csv") == text);

        std::ofstream bare(dir.path / "bare.csv", std::ios::binary);
        for (int k = 1; k <= 300; ++k) bare << k << ",0." << k % 7 << ",\r\n";
        bare.close();
        w.askRate = [](const QString&) { return std::optional<double>(500); };
        QVERIFY(w.openFile(dir.path / "bare.csv"));
        QCOMPARE(w.result().channels.at(0).series.tau0, 1.0 / 500);
        std::ofstream(dir.path / "other.csv") << "Name,Value\r\n";
        QVERIFY(!w.openFile(dir.path / "other.csv"));
        QVERIFY(status->text().contains("other.csv: line 1: not a log file"));
        QCOMPARE(figures->rowCount(), 1);
    }
};

QTEST_MAIN(frmAnalysisTest)
#include "frmAnalysisTest.moc"
