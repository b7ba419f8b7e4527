#include "ui/frmAnalysis.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "app/App.h"
#include "base/FileLocation.h"
#include "base/SafeFile.h"
#include "datalog/LogFormat.h"
#include "datalog/LogSession.h"
#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

constexpr int kFirstOutput = 2, kLastOutput = 7; // gyroscopes and accelerometers

QString FigureText(const an::Quoted& q) {
    if (!q.available) return "not available";
    return Q(an::Sig3(q.value) + " " + q.unit + " (tau = " + an::Sig3(q.tau) + " s)");
}

// A power law through (tau, sigma) with this slope, over the curve's span.
QLineSeries* Reference(const QString& name, const QColor& colour, double tau, double sigma,
                       double slope, double from, double to) {
    auto* s = new QLineSeries;
    s->setName(name);
    s->append(from, sigma * std::pow(from / tau, slope));
    s->append(to, sigma * std::pow(to / tau, slope));
    QPen pen(colour.darker(150));
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1);
    s->setPen(pen);
    return s;
}

} // namespace

frmAnalysis::frmAnalysis(app::App& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName("frmAnalysis");
    setWindowTitle("Analysis");
    auto* top = new QVBoxLayout(this);

    auto* source = new QHBoxLayout;
    cmdOpen = new QPushButton("&Open log file...");
    cmdOpen->setObjectName("cmdOpen");
    cmdOpen->setAccessibleName("Open log file");
    source->addWidget(cmdOpen);

    auto* frame = new QGroupBox("Capture from the sensor");
    frame->setObjectName("FrameCapture");
    auto* grid = new QHBoxLayout(frame);
    for (int b = kFirstOutput; b <= kLastOutput; ++b) {
        auto* box = new QCheckBox(Q(datalog::kValueTitles[b]));
        box->setObjectName(QString("ckOutput_%1").arg(b));
        box->setAccessibleName(Q(datalog::kValueTitles[b]));
        box->setChecked(b <= 4);
        ckOutput[b] = box;
        grid->addWidget(box);
    }
    auto* samplesLabel = new QLabel("&Samples:");
    txtSamples = new QLineEdit("100000");
    txtSamples->setObjectName("txtSamples");
    txtSamples->setAccessibleName("Samples to capture");
    txtSamples->setMaximumWidth(90);
    samplesLabel->setBuddy(txtSamples);
    grid->addWidget(samplesLabel);
    grid->addWidget(txtSamples);
    cmdCapture = new QPushButton("&Capture");
    cmdCapture->setObjectName("cmdCapture");
    cmdCapture->setAccessibleName("Capture");
    cmdCapture->setToolTip("Logs this many samples of the checked outputs with burst reads "
                           "into a log file in the program's files directory, then analyses it");
    grid->addWidget(cmdCapture);
    source->addWidget(frame, 1);
    top->addLayout(source);

    auto* work = new QHBoxLayout;
    barProgress = new QProgressBar;
    barProgress->setObjectName("barProgress");
    barProgress->setAccessibleName("Progress");
    barProgress->setRange(0, 1000);
    barProgress->setValue(0);
    cmdCancel = new QPushButton("Cance&l");
    cmdCancel->setObjectName("cmdCancel");
    cmdCancel->setAccessibleName("Cancel");
    cmdCancel->setEnabled(false);
    work->addWidget(barProgress, 1);
    work->addWidget(cmdCancel);
    top->addLayout(work);
    lblStatus = new QLabel("Open a log file or capture one.");
    lblStatus->setObjectName("lblStatus");
    lblStatus->setWordWrap(true);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(lblStatus);

    auto* chart = new QChart;
    chart->setTitle("Allan deviation");
    chart->legend()->setAlignment(Qt::AlignRight);
    chartView = new QChartView(chart);
    chartView->setObjectName("chartView");
    chartView->setAccessibleName("Allan deviation plot");
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumSize(640, 380);
    top->addWidget(chartView, 1);

    tblFigures = new QTableWidget(0, 7);
    tblFigures->setObjectName("tblFigures");
    tblFigures->setAccessibleName("Noise figures");
    tblFigures->setHorizontalHeaderLabels({"Channel", "Samples", "tau0 (s)", "Random walk",
                                           "Noise density", "Bias instability",
                                           "Rate random walk"});
    tblFigures->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblFigures->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tblFigures->setMinimumHeight(120);
    top->addWidget(tblFigures);

    auto* exports = new QHBoxLayout;
    cmdExportCsv = new QPushButton("Export curve (CS&V)...");
    cmdExportCsv->setObjectName("cmdExportCsv");
    cmdExportCsv->setAccessibleName("Export curve as CSV");
    cmdExportPng = new QPushButton("Export plot (&PNG)...");
    cmdExportPng->setObjectName("cmdExportPng");
    cmdExportPng->setAccessibleName("Export plot as PNG");
    cmdExportCsv->setEnabled(false);
    cmdExportPng->setEnabled(false);
    exports->addStretch(1);
    exports->addWidget(cmdExportCsv);
    exports->addWidget(cmdExportPng);
    top->addLayout(exports);

    askRate = [this](const QString& file) -> std::optional<double> {
        bool ok = false;
        const double rate = QInputDialog::getDouble(
            this, "Analysis", file + " has no header.\nLogging rate (samples per second):", 1000,
            0.001, 1e7, 3, &ok);
        if (!ok) return std::nullopt;
        return rate;
    };

    connect(cmdOpen, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(
            this, "Open log file", Q(base::FilesDirectory(app_.platform).string()),
            "Log files (*.csv *.txt);;All files (*)");
        if (!f.isEmpty()) openFile(f.toStdString());
    });
    connect(cmdCapture, &QPushButton::clicked, this, [this] { capture(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cancel_ = true; });
    connect(cmdExportCsv, &QPushButton::clicked, this, [this] {
        const QString f =
            QFileDialog::getSaveFileName(this, "Export curve", QString(), "CSV files (*.csv)");
        if (!f.isEmpty()) exportCsv(f.toStdString());
    });
    connect(cmdExportPng, &QPushButton::clicked, this, [this] {
        const QString f =
            QFileDialog::getSaveFileName(this, "Export plot", QString(), "PNG images (*.png)");
        if (!f.isEmpty()) exportPng(f.toStdString());
    });
}

void frmAnalysis::reject() {
    // Closing while busy cancels; the window closes once the work has stopped.
    if (busy_) {
        cancel_ = true;
        return;
    }
    QDialog::reject();
}

void frmAnalysis::setWorking(bool on) {
    busy_ = on;
    cancel_ = false;
    cmdOpen->setEnabled(!on);
    cmdCapture->setEnabled(!on);
    cmdCancel->setEnabled(on);
    cmdExportCsv->setEnabled(!on && !result_.channels.empty());
    cmdExportPng->setEnabled(!on && !result_.channels.empty());
    if (on) {
        barProgress->setValue(0);
        cmdCancel->setFocus();
    }
}

void frmAnalysis::fail(const QString& text) {
    lblStatus->setText(text);
}

bool frmAnalysis::openFile(const std::filesystem::path& file) {
    if (busy_) return false;
    return analyse(file, 0);
}

bool frmAnalysis::analyse(const std::filesystem::path& file, double rateHz) {
    an::AnalysisOptions ao;
    ao.read.rateHz = rateHz;
    std::atomic<double> fraction{0};
    ao.read.progress = [this, &fraction](double f) {
        fraction = f;
        return !cancel_;
    };
    setWorking(true);
    lblStatus->setText("Analysing " + Q(file.filename().string()) + "...");
    an::AnalysisResult r;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        r = an::AnalyseLog(file, ao);
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        barProgress->setValue(static_cast<int>(fraction * 1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
    const bool cancelled = cancel_ || r.problem.status == an::LogStatus::Cancelled;
    setWorking(false);
    if (cancelled) {
        fail("Analysis cancelled.");
        return false;
    }
    const std::string error = an::ProblemText(file.filename().string(), r.problem);
    if (r.problem.status == an::LogStatus::NeedsRate && rateHz == 0) {
        const auto rate = askRate(Q(file.filename().string()));
        if (!rate) {
            fail(Q(error));
            return false;
        }
        return analyse(file, *rate);
    }
    if (!r.problem.ok()) {
        fail(Q(error));
        return false;
    }
    barProgress->setValue(1000);
    result_ = std::move(r);
    source_ = file;
    showResult(result_);
    setWorking(false);
    lblStatus->setText(Q(file.string()));
    return true;
}

bool frmAnalysis::capture() {
    if (busy_) return false;
    datalog::LogSettings st;
    int chosen = 0;
    for (int b = kFirstOutput; b <= kLastOutput; ++b)
        if (ckOutput[b]->isChecked()) {
            st.columns.box[b] = true;
            ++chosen;
        }
    if (chosen == 0) {
        fail("Check at least one output to capture.");
        return false;
    }
    bool ok = false;
    const long long n = txtSamples->text().toLongLong(&ok);
    if (!ok || n < 100 || n > 2147483647LL) {
        fail("Samples: a whole number from 100 to 2147483647.");
        return false;
    }
    if (!app_.usb.UsbReady) {
        fail("No adapter is ready.");
        return false;
    }
    st.samplesPerFile = static_cast<double>(n);
    st.filesPerSession = 1;
    st.burst = true;
    st.directory = base::FilesDirectory(app_.platform);
    // A stem whose file is not there yet: earlier captures are kept.
    const std::string ext = datalog::DecideFileFormat(app_.platform).ext;
    for (int k = 1;; ++k) {
        st.stem = "ADEV" + std::to_string(k);
        std::error_code ec;
        if (!std::filesystem::exists(st.directory / datalog::LogFileNameFor(st.stem, 1, ext), ec))
            break;
    }
    const std::filesystem::path file = st.directory / datalog::LogFileNameFor(st.stem, 1, ext);

    setWorking(true);
    lblStatus->setText("Capturing " + QString::number(n) + " samples into " + Q(file.string()) +
                       "...");
    using Clock = std::chrono::steady_clock;
    auto last = Clock::now();
    datalog::LogHooks hooks;
    hooks.sampleTaken = [&](long long, long long s) {
        const auto now = Clock::now();
        if (now - last < std::chrono::milliseconds(50) && s != n) return;
        last = now;
        barProgress->setValue(
            static_cast<int>(1000.0 * static_cast<double>(s) / static_cast<double>(n)));
        QCoreApplication::processEvents();
    };
    hooks.cancelRequested = [this] { return cancel_.load() || !app_.usb.UsbReady; };
    datalog::DiskFileSystem disk;
    const auto report = datalog::RunLogSession(app_, st, hooks, disk);
    const bool cancelled = cancel_;
    setWorking(false);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        fail("The capture wrote no file.");
        return false;
    }
    captured_ = file;
    if (report.outcome != datalog::LogOutcome::Completed &&
        report.outcome != datalog::LogOutcome::Cancelled) {
        fail("The capture stopped; its samples are in " + Q(file.string()) + ".");
        return false;
    }
    const bool analysed = analyse(file, 0);
    if (analysed && cancelled)
        lblStatus->setText("Capture cancelled; the samples taken are in " + Q(file.string()) + ".");
    else if (analysed)
        lblStatus->setText("Captured into " + Q(file.string()) + ".");
    return analysed;
}

void frmAnalysis::showResult(const an::AnalysisResult& r) {
    QChart* chart = chartView->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    auto* x = new QLogValueAxis;
    x->setTitleText("tau (s)");
    x->setLabelFormat("%g");
    x->setMinorTickCount(8);
    auto* y = new QLogValueAxis;
    y->setTitleText("Allan deviation");
    y->setLabelFormat("%g");
    y->setMinorTickCount(8);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    double lo = 0, hi = 0, tauLo = 0, tauHi = 0;
    auto span = [&](double t, double s) {
        if (!(s > 0) || !(t > 0)) return;
        lo = lo == 0 ? s : std::min(lo, s);
        hi = std::max(hi, s);
        tauLo = tauLo == 0 ? t : std::min(tauLo, t);
        tauHi = std::max(tauHi, t);
    };
    auto add = [&](QAbstractSeries* s, bool legend) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
        if (!legend)
            for (QLegendMarker* m : chart->legend()->markers(s)) m->setVisible(false);
    };
    std::vector<QColor> colours;
    for (const auto& c : r.channels) {
        auto* curve = new QLineSeries;
        curve->setName(Q(c.series.title + " (" + c.series.unit + ")"));
        curve->setPointsVisible(true);
        for (const auto& p : c.curve.points) {
            if (!(p.sigma > 0)) continue;
            curve->append(p.tau, p.sigma);
            span(p.tau, p.upper);
            span(p.tau, p.lower);
        }
        add(curve, true);
        const QColor colour = curve->color();
        colours.push_back(colour);
        // One short vertical segment per point: its 1-sigma error.
        for (const auto& p : c.curve.points) {
            if (!(p.sigma > 0)) continue;
            auto* bar = new QLineSeries;
            bar->append(p.tau, p.lower);
            bar->append(p.tau, p.upper);
            QPen pen(colour);
            pen.setWidthF(1);
            bar->setPen(pen);
            add(bar, false);
        }
    }
    for (std::size_t k = 0; k < r.channels.size(); ++k) {
        const auto& c = r.channels[k];
        if (c.curve.points.empty()) continue;
        const double from = c.curve.points.front().tau, to = c.curve.points.back().tau;
        const auto& f = c.single;
        if (f.randomWalk.available)
            add(Reference(Q(c.series.title) + " slope -1/2", colours[k], 1, f.randomWalk.value,
                          -0.5, from, to),
                true);
        if (f.rateRandomWalk.available)
            add(Reference(Q(c.series.title) + " slope +1/2", colours[k], 3, f.rateRandomWalk.value,
                          0.5, from, to),
                true);
    }
    if (hi > 0) {
        x->setRange(tauLo / 1.5, tauHi * 1.5);
        y->setRange(lo / 2, hi * 2);
    }

    tblFigures->setRowCount(static_cast<int>(r.channels.size()));
    int row = 0;
    for (const auto& c : r.channels) {
        const QString cells[] = {Q(c.series.title),
                                 QString::number(c.series.fresh),
                                 Q(an::NumberText(c.series.tau0)),
                                 FigureText(c.quoted.randomWalk),
                                 FigureText(c.quoted.noiseDensity),
                                 FigureText(c.quoted.biasInstability),
                                 FigureText(c.quoted.rateRandomWalk)};
        for (int k = 0; k < 7; ++k) {
            auto* item = new QTableWidgetItem(cells[k]);
            if (k == 2) item->setToolTip(Q(an::Tau0Text(c.series)));
            tblFigures->setItem(row, k, item);
        }
        ++row;
    }
}

bool frmAnalysis::exportCsv(const std::filesystem::path& file) {
    if (result_.channels.empty()) return false;
    std::string error;
    if (!base::WriteOutputFile(file, an::CurveCsvOf(result_), error, {source_})) {
        fail(Q(error));
        return false;
    }
    lblStatus->setText("Curve written to " + Q(file.string()) + ".");
    return true;
}

bool frmAnalysis::exportPng(const std::filesystem::path& file) {
    if (result_.channels.empty()) return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    std::string error;
    if (!chartView->grab().save(&buffer, "PNG")) {
        fail(Q(file.string()) + ": the plot could not be drawn.");
        return false;
    }
    if (!base::WriteOutputFile(file, std::string_view(bytes.constData(), bytes.size()), error,
                               {source_})) {
        fail(Q(error));
        return false;
    }
    lblStatus->setText("Plot written to " + Q(file.string()) + ".");
    return true;
}

} // namespace tavrin::ui
