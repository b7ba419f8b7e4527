// The analysis window offscreen, on files it captured from the simulated
// sensor: a capture, the analysis module's figures and curve shown, the export.
#include <QChartView>
#include <QLineSeries>
#include <QTableWidget>
#include <fstream>

#include "WindowRigs.h"
#include "ui/frmAnalysis.h"

using namespace tavrin;
namespace an = tavrin::analysis;
namespace fs = std::filesystem;

namespace {

struct Rig {
    test::ScratchDir dir;
    test::SimTestApp s;
    ui::frmAnalysis w{(s.t.platform.progDir = dir.path, s.app)};
    fs::path path(const char* name) const { return dir.path / name; }
    QTableWidget* figures() const { return test::Find<QTableWidget>(w, "tblFigures"); }
    QString status() const { return test::Find<QLabel>(w, "lblStatus")->text(); }
    void samples(const char* n) { test::Find<QLineEdit>(w, "txtSamples")->setText(n); }
};

} // namespace

class frmAnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    void aCaptureIsLoggedAnalysedAndShown() {
        Rig r;
        r.samples("99");
        QVERIFY(!r.w.capture() && r.status().contains("from 100 to"));
        r.samples("1000");
        r.s.t.platform.clockScript = {100.25f, 102.5f};
        r.s.driver.clearCommands();
        QVERIFY(r.w.capture());
        const fs::path file = r.path("ADEV1_1.csv");
        QCOMPARE(r.w.capturedFile(), file);
        const std::string text = r.dir.read("ADEV1_1.csv");
        QVERIFY(text.find("Sample #,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,\r\n") !=
                std::string::npos);
        QVERIFY(text.find("\r\n1000,") != std::string::npos);
        QCOMPARE(r.s.driver.commands().size(),
                 std::size_t(1000)); // burst: one per sample

        const an::AnalysisResult want = an::AnalyseLog(file, {});
        const QString table = QString::fromStdString(an::FiguresTable(want));
        QCOMPARE(r.figures()->rowCount(), 3);
        QCOMPARE(r.figures()->item(0, 0)->text(), QString("X Gryo"));
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(r.figures()->item(row, 1)->text(),
                     QString::number(want.channels[row].series.fresh));
            QVERIFY(table.contains("  random walk: " + r.figures()->item(row, 3)->text() + "\n"));
        }
        QVERIFY(r.figures()->item(0, 3)->text().contains("deg/sqrt(h)"));
        const auto* curve = qobject_cast<QLineSeries*>(
            test::Find<QChartView>(r.w, "chartView")->chart()->series().at(0));
        QCOMPARE(curve->count(), static_cast<int>(want.channels[0].curve.size()));
        QVERIFY(r.w.exportCsv(r.path("curve.csv")));
        QCOMPARE(r.dir.read("curve.csv"), an::CurveCsvOf(want));

        // The next capture keeps the first file.
        r.s.t.platform.clockScript = {200.f, 203.f};
        r.samples("100");
        QVERIFY(r.w.capture());
        QCOMPARE(r.w.capturedFile(), r.path("ADEV2_1.csv"));
        QCOMPARE(r.dir.read("ADEV1_1.csv"), text);
    }

    // A file without header: the rate is asked for; a bad file keeps the last result.
    void openingFilesWithoutHeaderOrOfOtherKinds() {
        Rig r;
        std::ofstream bare(r.path("bare.csv"), std::ios::binary);
        for (int k = 1; k <= 300; ++k) bare << k << ",0." << k % 7 << ",\r\n";
        bare.close();
        r.w.askRate = [](const QString&) { return std::optional<double>(500); };
        QVERIFY(r.w.openFile(r.path("bare.csv")));
        QCOMPARE(r.w.result().channels.at(0).series.tau0, 1.0 / 500);
        std::ofstream(r.path("other.csv")) << "Name,Value\r\n";
        QVERIFY(!r.w.openFile(r.path("other.csv")));
        QVERIFY(r.status().contains("other.csv: line 1: not a log file"));
        QCOMPARE(r.figures()->rowCount(), 1);
    }
};

QTEST_MAIN(frmAnalysisTest)
#include "frmAnalysisTest.moc"
