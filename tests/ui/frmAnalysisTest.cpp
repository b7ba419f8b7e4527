// The analysis window offscreen, on files the logging session wrote from the simulated
// sensor: the analysis module's own figures and curve, a capture, Cancel, the exports.
#include <QChartView>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <random>
#include <sstream>

#include "Find.h"
#include "SimTestApp.h"
#include "app/App.h"
#include "datalog/LogSession.h"
#include "ui/frmAnalysis.h"
#include "ui/frmForm1.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::datalog;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

using namespace tavrin;
namespace an = tavrin::analysis;
namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Rig {
    QTemporaryDir dir;
    test::SimTestApp s;
    frmAnalysis w;
    Rig() : w((s.t.platform.progDir = dir.path().toStdString(), s.app)) {
        s.t.platform.clockScript = {100.25f, 102.5f};
    }
    fs::path path() const { return dir.path().toStdString(); }
    // A session of the gyroscopes into the rig's directory.
    fs::path log(long long samples, bool header) {
        datalog::LogSettings st;
        for (int b = 2; b <= 4; ++b) st.columns.box[b] = true;
        st.samplesPerFile = static_cast<double>(samples);
        st.noHeader = !header;
        st.stem = "SESSION";
        st.directory = path();
        st.burst = true;
        datalog::DiskFileSystem disk;
        const auto r = datalog::RunLogSession(s.app, st, {}, disk);
        if (r.outcome != datalog::LogOutcome::Completed) return {};
        return path() / "SESSION_1.csv";
    }
    QTableWidget* figures() const { return test::Find<QTableWidget>(w, "tblFigures"); }
    QString status() const { return test::Find<QLabel>(w, "lblStatus")->text(); }
    QList<QLineSeries*> series() const {
        QList<QLineSeries*> out;
        for (QAbstractSeries* a : test::Find<QChartView>(w, "chartView")->chart()->series())
            if (auto* l = qobject_cast<QLineSeries*>(a)) out << l;
        return out;
    }
};

} // namespace

class frmAnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    void aFileGivesTheModulesFiguresPlotAndCurve() {
        Rig r;
        const fs::path file = r.log(3000, true);
        QVERIFY(!file.empty());
        QVERIFY(!test::Find<QPushButton>(r.w, "cmdExportCsv")->isEnabled());
        QVERIFY(r.w.openFile(file));
        const an::AnalysisResult want = an::AnalyseLog(file, {});
        QCOMPARE(QString::fromStdString(want.error), QString());
        const QString table = QString::fromStdString(an::FiguresTable(want));
        QCOMPARE(r.figures()->rowCount(), 3);
        QCOMPARE(r.figures()->item(0, 0)->text(), QString("X Gryo"));
        const char* names[] = {"random walk", "noise density", "bias instability",
                               "rate random walk"};
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(r.figures()->item(row, 1)->text(),
                     QString::number(want.channels[row].series.fresh));
            for (int k = 0; k < 4; ++k) {
                const QString line =
                    QString("  %1: %2\n").arg(names[k], r.figures()->item(row, 3 + k)->text());
                QVERIFY2(table.contains(line), qPrintable(line + " not in\n" + table));
            }
        }
        QVERIFY(r.figures()->item(0, 3)->text().contains("deg/sqrt(h)"));

        // One curve per channel with every point of the module's curve, then error bars.
        const auto lines = r.series();
        QVERIFY(lines.size() > 3);
        QCOMPARE(lines[0]->count(), static_cast<int>(want.channels[0].curve.size()));
        QCOMPARE(lines[0]->at(0).x(), want.channels[0].curve[0].tau);
        QCOMPARE(lines[0]->at(0).y(), want.channels[0].curve[0].sigma);

        QVERIFY(test::Find<QPushButton>(r.w, "cmdExportCsv")->isEnabled());
        const fs::path csv = r.path() / "curve.csv";
        QVERIFY(r.w.exportCsv(csv));
        QCOMPARE(Bytes(csv), an::CurveCsvOf(want));
        QVERIFY(!r.w.exportCsv(r.path() / "no" / "such" / "curve.csv"));
        QVERIFY(r.status().contains("could not be written"));

        const fs::path png = r.path() / "plot.png";
        r.w.show();
        QVERIFY(r.w.exportPng(png));
        QImage image(QString::fromStdString(png.string()));
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 640 && image.height() >= 380);
    }

    void aFileWithoutHeaderAsksForTheRate() {
        Rig r;
        const fs::path file = r.log(2000, false);
        QVERIFY(!file.empty());
        int asked = 0;
        r.w.askRate = [&](const QString& name) -> std::optional<double> {
            ++asked;
            if (!name.contains("SESSION_1.csv")) return std::nullopt;
            return asked == 1 ? std::nullopt : std::optional<double>(500);
        };
        QVERIFY(!r.w.openFile(file));
        QCOMPARE(asked, 1);
        QVERIFY(r.status().contains("give the sample rate"));
        QCOMPARE(r.figures()->rowCount(), 0);

        QVERIFY(r.w.openFile(file));
        QCOMPARE(asked, 2);
        QCOMPARE(r.w.result().channels.size(), std::size_t(3));
        QCOMPARE(r.w.result().channels[0].series.title, std::string("column 1"));
        an::ReadOptions ro;
        ro.rateHz = 500;
        QCOMPARE(r.w.result().channels[0].series.tau0,
                 an::AnalyseLog(file, ro).channels[0].series.tau0);

        // A bad file: the module's message, the last result kept.
        std::ofstream(r.path() / "other.csv") << "Name,Value\r\n";
        QVERIFY(!r.w.openFile(r.path() / "other.csv"));
        QVERIFY(r.status().contains("other.csv: line 1: not a log file"));
        QCOMPARE(r.figures()->rowCount(), 3);
    }

    void everyFigureInItsColumn() {
        // White noise on a random walk: all four figures are read.
        Rig r;
        const fs::path file = r.path() / "walk.csv";
        {
            std::ofstream out(file, std::ios::binary);
            std::mt19937 gen(7);
            std::normal_distribution<double> noise(0, 1), step(0, 0.006);
            double walk = 0;
            for (int k = 1; k <= 20000; ++k) {
                walk += step(gen);
                out << k << ',' << an::NumberText(noise(gen) + walk) << ",\r\n";
            }
        }
        r.w.askRate = [](const QString&) { return std::optional<double>(100); };
        QVERIFY(r.w.openFile(file));
        an::ReadOptions ro;
        ro.rateHz = 100;
        const an::QuotedFigures q = an::AnalyseLog(file, ro).channels.at(0).quoted;
        const an::QuotedFigure* want[] = {&q.randomWalk, &q.noiseDensity, &q.biasInstability,
                                          &q.rateRandomWalk};
        for (int k = 0; k < 4; ++k) {
            QVERIFY(want[k]->available);
            QVERIFY(r.figures()->item(0, 3 + k)->text().startsWith(
                QString::fromStdString(an::NumberText(want[k]->value) + " ")));
        }
        // Both reference lines are drawn.
        int references = 0;
        for (QLineSeries* l : r.series()) references += l->name().contains("slope") ? 1 : 0;
        QCOMPARE(references, 2);
    }

    void aCaptureWritesALogFileAndPlotsIt() {
        Rig r;
        test::Find<QCheckBox>(r.w, "ckOutput", 3)->setChecked(false);
        test::Find<QCheckBox>(r.w, "ckOutput", 4)->setChecked(false);
        test::Find<QCheckBox>(r.w, "ckOutput", 5)->setChecked(true);
        test::Find<QLineEdit>(r.w, "txtSamples")->setText("1000");
        r.s.driver.clearCommands();
        QVERIFY(r.w.capture());
        const fs::path file = r.w.capturedFile();
        QCOMPARE(file, r.path() / "ADEV1_1.csv");
        QVERIFY(r.status().contains(QString::fromStdString(file.string())));
        const std::string text = Bytes(file);
        QVERIFY(text.starts_with("File Name,ADEV1_1.csv\r\n"));
        QVERIFY(text.find("Sample #,XgND,X Gryo,XaND,X acc,\r\n") != std::string::npos);
        QVERIFY(text.find("\r\n1000,") != std::string::npos);
        // Burst reads: one adapter command per sample.
        QCOMPARE(r.s.driver.commands().size(), std::size_t(1000));
        QCOMPARE(r.figures()->rowCount(), 2);
        QCOMPARE(r.series()[0]->count(),
                 static_cast<int>(an::AnalyseLog(file, {}).channels[0].curve.size()));
        QVERIFY(r.series()[0]->count() > 5);

        // The next capture keeps the first file.
        r.s.t.platform.clockScript = {200.f, 203.f};
        QVERIFY(r.w.capture());
        QCOMPARE(r.w.capturedFile(), r.path() / "ADEV2_1.csv");
        QCOMPARE(Bytes(file), text);

        test::Find<QCheckBox>(r.w, "ckOutput", 2)->setChecked(false);
        test::Find<QCheckBox>(r.w, "ckOutput", 5)->setChecked(false);
        QVERIFY(!r.w.capture());
        QVERIFY(r.status().contains("at least one output"));
    }

    void cancelStopsACaptureAndKeepsItsSamples() {
        Rig r;
        test::Find<QLineEdit>(r.w, "txtSamples")->setText("100000");
        long long events = 0;
        r.s.app.doEvents = [&] {
            QVERIFY(r.w.busy());
            if (++events == 1500)
                QTest::mouseClick(test::Find<QPushButton>(r.w, "cmdCancel"), Qt::LeftButton);
        };
        r.w.show();
        QVERIFY(r.w.capture());
        QVERIFY(!r.w.busy());
        QVERIFY(r.status().contains("Capture cancelled"));
        const std::string text = Bytes(r.w.capturedFile());
        const auto rows = std::count(text.begin(), text.end(), '\n') - 8;
        QVERIFY2(rows >= 1400 && rows < 2000, qPrintable(QString::number(rows)));
        QVERIFY(text.find("\r\n" + std::to_string(rows) + ",") != std::string::npos);
        QCOMPARE(r.w.result().channels[0].series.logged, static_cast<long long>(rows));
        QVERIFY(test::Find<QPushButton>(r.w, "cmdCapture")->isEnabled() &&
                !test::Find<QPushButton>(r.w, "cmdCancel")->isEnabled());
    }

    void theMainWindowsMenuItemAfterDatalogAndRegisters() {
        test::SimTestApp s;
        frmForm1 form(s.app);
        QStringList items;
        for (QAction* a : form.menuBar()->actions()) items << a->text();
        QCOMPARE(items,
                 QStringList({"Interface", "Device", "Datalog", "Registers", "Analysis", "Exit"}));
        QCOMPARE(form.menuBar()->actions().at(4), test::Find<QAction>(form, "mnuAnalysis"));
        QVERIFY(!test::Find<QAction>(form, "mnuAnalysis")->isEnabled());
        int shown = 0;
        form.setAnalysisWindow([&] { ++shown; });
        QVERIFY(test::Find<QAction>(form, "mnuAnalysis")->isEnabled());
        test::Find<QAction>(form, "mnuAnalysis")->trigger();
        QCOMPARE(shown, 1);
    }

    void controlsAreNamedAndReachable() {
        Rig r;
        for (QWidget* c : std::initializer_list<QWidget*>{
                 test::Find<QPushButton>(r.w, "cmdOpen"), test::Find<QLineEdit>(r.w, "txtSamples"),
                 test::Find<QPushButton>(r.w, "cmdCapture"),
                 test::Find<QPushButton>(r.w, "cmdCancel"),
                 test::Find<QChartView>(r.w, "chartView"), r.figures(),
                 test::Find<QPushButton>(r.w, "cmdExportCsv"),
                 test::Find<QPushButton>(r.w, "cmdExportPng"),
                 test::Find<QCheckBox>(r.w, "ckOutput", 2)}) {
            QVERIFY(!c->objectName().isEmpty());
            QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            QCOMPARE(r.w.findChild<QWidget*>(c->objectName()), c);
        }
        QVERIFY(test::Find<QPushButton>(r.w, "cmdOpen")->focusPolicy() & Qt::TabFocus);
    }
};

QTEST_MAIN(frmAnalysisTest)
#include "frmAnalysisTest.moc"