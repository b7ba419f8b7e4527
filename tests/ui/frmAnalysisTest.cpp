// The analysis window offscreen, on captures from the simulated sensor: a capture by the
// sensor's samples analysed through the window's own path and checked against the
// simulator's configured noise (high speed), the decimation a full-speed adapter gives and
// its warning, the table and its copy, the exports, a file that is no log.
#include "ui/frmAnalysis.h"
#include "app/Sensor.h"

#include <QChartView>
#include <QLineSeries>

#include <cmath>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "WindowRigs.h"
#include "registers/Model.h"

using namespace tavrin;

namespace {

constexpr double kTau0 = 0.001; // SMPL_PRD 1

// Noise that shows all three terms in a few hundred seconds: on the gyroscopes random
// walk N dominating up to 0.01 s, bias instability B to 0.2 s, rate random walk K beyond
// (on the accelerometers 0.003 s and 2 s).
sim::SimOptions ShortTermNoise(bool highSpeed) {
    sim::SimOptions o;
    o.highSpeed = highSpeed;
    const auto set = [](sim::AxisNoise& a, double toB, double toK) {
        const double level = a.randomWalk / std::sqrt(toB); // 0.664 B
        a.biasInstability = level / 0.664;
        a.correlationMin = kTau0 / 2;
        a.correlationMax = 1e5;
        a.rateRandomWalk = level * std::sqrt(3 / toK);
    };
    set(o.noise.gyro, 0.01, 0.2);
    set(o.noise.accl, 0.003, 2);
    return o;
}

// The model applied as at start-up, so the files carry the model's own scale factors.
void ApplyModel(app::App& app) {
    struct : app::DeviceDisplay {
        void uncheckAllModels() override {}
        void checkModel(int) override {}
        void showAccLimits(const std::string&, const std::string&, const std::string&) override {}
        void showDeviceCaption(const std::string&) override {}
    } display;
    app::SetDevice(app, app.model.ProductNumber, display);
}

double MeanOf(const analysis::AnalysisResult& r, int first, int term) {
    double sum = 0;
    for (int c = first; c < first + 3; ++c) sum += r.channels[c].fit.terms[term].value;
    return sum / 3;
}

} // namespace

class frmAnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    // At high speed every sample is caught and the fitted terms are the simulator's: the
    // gyroscopes' N, B and K (N with the rounding of the output word, step^2/12 a sample),
    // the accelerometers' N likewise. At full speed half the samples are caught: the
    // window says the figures come from decimated data.
    void capturesMatchTheConfiguredNoiseOrWarn() {
        struct Row {
            bool highSpeed;
            const char* samples;
            double caught;
        };
        for (const Row& row : {Row{true, "400000", 1.0}, Row{false, "20000", 0.5}}) {
            test::ScratchDir dir;
            test::SimTestApp s(41120, ShortTermNoise(row.highSpeed));
            ApplyModel(s.app);
            ui::frmAnalysis w{(s.t.platform.progDir = dir.path, s.app)};
            for (int b = 2; b <= 7; ++b) test::Find<QCheckBox>(w, "ckOutput", b)->setChecked(true);
            test::Find<QLineEdit>(w, "txtDuration")->setText(row.samples);
            test::Find<QComboBox>(w, "cboDurationUnit")->setCurrentIndex(1); // sensor samples
            QVERIFY2(w.capture(), qPrintable(test::Find<QLabel>(w, "lblStatus")->text()));
            const auto& r = w.result();
            QCOMPARE(r.channels.size(), std::size_t(6));
            for (const auto& c : r.channels) {
                QVERIFY2(std::fabs(c.accounting.caught - row.caught) < 0.01,
                         qPrintable(QString::number(c.accounting.caught)));
                QCOMPARE(c.accounting.sensorPeriod, kTau0);
            }
            const auto* warning = test::Find<QLabel>(w, "lblWarning");
            QCOMPARE(warning->text().contains("the figures come from decimated data"),
                     !row.highSpeed);
            if (!row.highSpeed) continue;
            // How docs/analysis-window.png is made (README, "The Analysis window").
            if (const char* shot = std::getenv("TAVRIN_ANALYSIS_SCREENSHOT")) {
                w.show();
                QVERIFY(QTest::qWaitForWindowExposed(&w));
                QVERIFY(w.grab().save(shot));
            }
            const sim::SimOptions o = ShortTermNoise(true);
            const double gyroStep = s.sensor.gyroBaseScale(), acclStep = s.sensor.acclScale();
            const double gyroN =
                std::sqrt(std::pow(o.noise.gyro.randomWalk, 2) + gyroStep * gyroStep * kTau0 / 12);
            const double acclN =
                std::sqrt(std::pow(o.noise.accl.randomWalk, 2) + acclStep * acclStep * kTau0 / 12);
            const double within[][3] = {{MeanOf(r, 0, 1), gyroN, 0.02},
                                        {MeanOf(r, 0, 2), o.noise.gyro.biasInstability, 0.10},
                                        {MeanOf(r, 0, 3), o.noise.gyro.rateRandomWalk, 0.10},
                                        {MeanOf(r, 3, 1), acclN, 0.02}};
            for (const auto& [got, want, tolerance] : within)
                QVERIFY2(std::fabs(got / want - 1) < tolerance,
                         qPrintable(QString("%1 against %2").arg(got).arg(want)));
            QVERIFY(std::fabs(r.channels[0].curve.resolution / gyroStep - 1) < 1e-6);
            // The fitted figures as imu.yaml: the noisiest gyroscope's N in rad/s/sqrt(Hz).
            QVERIFY2(w.exportImuYaml(dir.path / "imu.yaml"),
                     qPrintable(test::Find<QLabel>(w, "lblStatus")->text()));
            double noisiest = 0;
            for (int c = 0; c < 3; ++c)
                noisiest = std::max(noisiest, r.channels[c].quoted.fit[1].value);
            const std::string yaml = dir.read("imu.yaml");
            const auto at = yaml.find("\ngyroscope_noise_density: ");
            QVERIFY2(at != std::string::npos &&
                         std::fabs(std::stod(yaml.substr(at + 26)) / (noisiest * M_PI / 180 / 60) -
                                   1) < 1e-8,
                     yaml.c_str());
        }
    }

    // A capture for a duration of a few seconds, shown: the file named as documented, the
    // table grouped by quantity under titles with units, copied as text; the exports never
    // over the log; a file that is no log named in the status line.
    void captureShownCopiedAndExported() {
        test::ScratchDir dir;
        test::SimTestApp s;
        ui::frmAnalysis w{(s.t.platform.progDir = dir.path, s.app)};
        w.askPeriod = [](const QString&) { return std::optional<double>(); };
        auto* duration = test::Find<QLineEdit>(w, "txtDuration");
        auto* status = test::Find<QLabel>(w, "lblStatus");
        duration->setText("0");
        QVERIFY(!w.capture() && status->text().contains("from 0.1 to"));
        duration->setText("2");
        test::Find<QCheckBox>(w, "ckOutput", 5)->setChecked(true);
        QVERIFY(w.capture());
        const std::string text = dir.read("ADEV1_1.csv"); // the name is documented
        QVERIFY(text.find("Sample #,XgND,X Gryo,YgND,Y Gyro,ZgND,Z Gyro,XaND,X acc,\r\n") !=
                std::string::npos);
        const auto caught = w.result().channels[0].accounting; // kept: the result is redone
        QVERIFY(std::abs(caught.used - 2000) <= 1 && caught.used == caught.expected);
        w.copyFigures();
        const QStringList lines = QApplication::clipboard()->text().split('\n');
        // Q and R take no room where no channel shows them.
        QCOMPARE(lines[0].split('\t').mid(0, 6),
                 QStringList({"Channel", "Caught", "N (\u00B0/\u221Ah)", "B (\u00B0/h)",
                              "K (\u00B0/h/\u221Ah)", "N, one point (\u00B0/\u221Ah)"}));
        QVERIFY(lines[1].startsWith("X Gryo\t100 %\t0.") && lines[1].contains(" \u00B1 "));
        QVERIFY(lines[4].startsWith("Channel\tCaught\tN (m/s/\u221Ah)\tB (mg)"));
        QVERIFY(lines[5].startsWith("X acc\t"));
        // Each channel its own colour, its fit dashed in the same colour.
        QMap<QString, QPen> pens;
        for (auto* series : test::Find<QChartView>(w, "chartView")->chart()->series())
            if (auto* line = qobject_cast<QLineSeries*>(series); line && !line->name().isEmpty())
                pens[line->name()] = line->pen();
        QSet<QRgb> colours;
        for (const QString c : {"X Gryo", "Y Gyro", "Z Gyro", "X acc"}) {
            colours << pens[c].color().rgb();
            QCOMPARE(pens[c + " fit"].color(), pens[c].color());
            QCOMPARE(pens[c + " fit"].style(), Qt::DashLine);
        }
        QCOMPARE(colours.size(), 4);
        QVERIFY(w.exportCsv(dir.path / "curve.csv"));
        QCOMPARE(dir.read("curve.csv"), analysis::CurveCsvOf(w.result()));
        QVERIFY(!w.exportCsv(w.capturedFile()) && status->text().contains("is the input file"));
        // Two seconds resolve no rate random walk: imu.yaml is refused, naming it.
        QVERIFY(!w.exportImuYaml(dir.path / "imu.yaml"));
        QVERIFY2(status->text().contains("not available: X Gryo rate random walk K"),
                 qPrintable(status->text()));
        // Another choice of tau: the curves again from the samples held, the rest as it was.
        const std::size_t points = w.result().channels[0].curve.points.size();
        test::Find<QComboBox>(w, "cboTaus")->setCurrentIndex(1); // octave
        const auto& octave = w.result().channels[0].curve.points;
        QVERIFY(octave.size() < points && octave.size() > 5);
        for (std::size_t i = 0; i < octave.size(); ++i) QCOMPARE(octave[i].m, 1LL << i);
        QCOMPARE(w.views().time[0].values.size(), std::size_t(caught.used));
        QVERIFY(w.views().spectra[0].has_value());
        QCOMPARE(dir.read("ADEV1_1.csv"), text);
        std::ofstream(dir.path / "other.csv") << "Name,Value\r\n";
        QVERIFY(!w.openFile(dir.path / "other.csv"));
        QVERIFY(status->text().contains("\"other.csv\": line 1: not a log file"));
    }
};

QTEST_MAIN(frmAnalysisTest)
#include "frmAnalysisTest.moc"
