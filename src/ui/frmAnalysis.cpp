#include "ui/frmAnalysis.h"

#include <QApplication>
#include <QChart>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>
#include <thread>

#include "app/App.h"
#include "base/FileLocation.h"
#include "base/NumberText.h"
#include "datalog/LogFormat.h"
#include "ui/AnalysisPlot.h"
#include "ui/PlotView.h"
#include "ui/PsdPlot.h"
#include "ui/QtText.h"
#include "ui/TimePlot.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

template <class W> W* Tagged(const char* name, W* w, const QString& accessible) {
    w->setObjectName(name);
    w->setAccessibleName(accessible);
    return w;
}

} // namespace

frmAnalysis::frmAnalysis(app::App& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName("frmAnalysis");
    setWindowTitle("Analysis");
    auto* top = new QVBoxLayout(this);
    buildSource(top);
    buildResults(top);
    resize(1000, 760);
    askRate = [this](const QString& file) -> std::optional<double> {
        bool ok = false;
        const double rate = QInputDialog::getDouble(
            this, "Analysis", file + " has no header.\nLogging rate (samples per second):", 1000,
            0.001, 1e7, 3, &ok);
        if (!ok) return std::nullopt;
        return rate;
    };
    askPeriod = [this](const QString& file) -> std::optional<double> {
        const QString text = QInputDialog::getText(this, "Analysis",
                                                   "Sample period of the sensor that made " + file +
                                                       ", in ms\n(leave empty when not known):");
        const auto ms = base::ParseNumber(text.toStdString());
        if (!ms || !(*ms >= 1e-6 && *ms <= 1e9)) return std::nullopt;
        return *ms / 1000;
    };
    clock = [this] {
        const auto own =
            app_.driver ? app_.driver->clockSeconds(app_.usb.UsbSelIndex) : std::optional<double>();
        return own ? *own : SteadySeconds();
    };
    connectButtons();
}

void frmAnalysis::buildSource(QVBoxLayout* top) {
    auto* source = new QHBoxLayout;
    cmdOpen = Tagged("cmdOpen", new QPushButton("&Open log file..."), "Open log file");
    source->addWidget(cmdOpen);
    auto* frame = new QGroupBox("Capture from the sensor");
    frame->setObjectName("FrameCapture");
    auto* grid = new QHBoxLayout(frame);
    for (int b = kFirstOutput; b <= kLastOutput; ++b) {
        const QString title = Q(datalog::kValueTitles[b]);
        ckOutput[b] =
            Tagged(QString("ckOutput_%1").arg(b).toUtf8().constData(), new QCheckBox(title), title);
        ckOutput[b]->setChecked(b <= 4);
        grid->addWidget(ckOutput[b]);
    }
    auto* durationLabel = new QLabel("&For:");
    txtDuration = Tagged("txtDuration", new QLineEdit("100"), "Capture duration");
    txtDuration->setMaximumWidth(90);
    durationLabel->setBuddy(txtDuration);
    cboDurationUnit = Tagged("cboDurationUnit", new QComboBox, "Duration unit");
    cboDurationUnit->addItems({"s", "sensor samples"});
    grid->addWidget(durationLabel);
    grid->addWidget(txtDuration);
    grid->addWidget(cboDurationUnit);
    cmdCapture = Tagged("cmdCapture", new QPushButton("&Capture"), "Capture");
    cmdCapture->setToolTip("Logs the checked outputs for this long, in seconds or in the "
                           "sensor's own samples, with burst reads, into a log file in the "
                           "program's files directory, then analyses it");
    grid->addWidget(cmdCapture);
    source->addWidget(frame, 1);
    top->addLayout(source);

    auto* work = new QHBoxLayout;
    auto* tauLabel = new QLabel("&\u03C4:");
    cboTaus = Tagged("cboTaus", new QComboBox, "Cluster sizes");
    cboTaus->addItems({"per decade", "octave", "decade", "all"});
    tauLabel->setBuddy(cboTaus);
    spnPerDecade = Tagged("spnPerDecade", new QSpinBox, "Points per decade");
    spnPerDecade->setRange(1, an::kMaxPerDecade);
    spnPerDecade->setValue(10);
    barProgress = Tagged("barProgress", new QProgressBar, "Progress");
    barProgress->setRange(0, 1000);
    cmdCancel = Tagged("cmdCancel", new QPushButton("Cance&l"), "Cancel");
    cmdCancel->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{tauLabel, cboTaus, spnPerDecade})
        work->addWidget(w);
    work->addWidget(barProgress, 1);
    work->addWidget(cmdCancel);
    top->addLayout(work);
}

void frmAnalysis::buildResults(QVBoxLayout* top) {
    lblStatus = Tagged("lblStatus", new QLabel("Open a log file or capture one."), "Status");
    lblWarning = Tagged("lblWarning", new QLabel, "Warning");
    for (QLabel* l : {lblStatus, lblWarning}) {
        l->setWordWrap(true);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        top->addWidget(l);
    }
    lblWarning->setStyleSheet("color: #A03000;");
    auto* chart = new QChart;
    chart->setTitle("Allan deviation");
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setTheme(QChart::ChartThemeLight); // the channels' colours are set, not the theme's
    chartView = Tagged("chartView", new PlotView(chart), "Allan deviation plot");
    chartView->setRenderHint(QPainter::Antialiasing);
    timeTab = Tagged("timeTab", new TimeTab, "Samples against time");
    tabResults = Tagged("tabResults", new QTabWidget, "Plots");
    tabResults->addTab(chartView, "Allan deviation");
    tabResults->addTab(buildSpectrumTab(), "Spectrum");
    tabResults->addTab(timeTab, "Time");
    tabResults->setMinimumSize(640, 360);
    for (PlotView* v : {chartView, spectrumView, timeTab->view()})
        v->save = [this, v](const std::filesystem::path& f) { savePlot(v, f); };
    top->addWidget(tabResults, 1);
    tblFigures = Tagged("tblFigures", new QTableWidget(0, 10), "Noise figures");
    tblFigures->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblFigures->setMinimumHeight(130);
    top->addWidget(tblFigures);
    auto* exports = new QHBoxLayout;
    cmdCopy = Tagged("cmdCopy", new QPushButton("Cop&y figures"), "Copy figures");
    cmdExportCsv =
        Tagged("cmdExportCsv", new QPushButton("Export curve (CS&V)..."), "Export curve as CSV");
    cmdExportSpectrum = Tagged("cmdExportSpectrum", new QPushButton("Export &spectrum (CSV)..."),
                               "Export spectrum as CSV");
    cmdExportImuYaml = Tagged("cmdExportImuYaml", new QPushButton("Export i&mu.yaml..."),
                              "Export noise figures as imu.yaml");
    cmdExportPng =
        Tagged("cmdExportPng", new QPushButton("Export plot (&PNG)..."), "Export plot as PNG");
    exports->addStretch(1);
    for (QPushButton* b :
         {cmdCopy, cmdExportCsv, cmdExportSpectrum, cmdExportImuYaml, cmdExportPng}) {
        b->setEnabled(false);
        exports->addWidget(b);
    }
    top->addLayout(exports);
}

QWidget* frmAnalysis::buildSpectrumTab() {
    auto* chart = new QChart;
    chart->setTitle("Power spectral density");
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setTheme(QChart::ChartThemeLight);
    spectrumView = Tagged("spectrumView", new PlotView(chart), "Spectrum plot");
    spectrumView->setRenderHint(QPainter::Antialiasing);
    lblSpectrumHover = Tagged("lblSpectrumHover", new QLabel(" "), "Density under the pointer");
    lblSpectrumHover->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(spectrumView, &PlotView::pointerAt, this, [this](QPointF at, bool inside) {
        lblSpectrumHover->setText(inside ? SpectrumReadout(views_, at.x()) : " ");
    });
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(spectrumView, 1);
    layout->addWidget(lblSpectrumHover);
    return tab;
}

void frmAnalysis::connectButtons() {
    connect(cmdOpen, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(
            this, "Open log file", Q(base::FilesDirectory(app_.platform).string()),
            "Log files (*.csv *.txt);;All files (*)");
        if (!f.isEmpty()) openFile(f.toStdString());
    });
    connect(cmdCapture, &QPushButton::clicked, this, [this] { capture(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cancel_ = true; });
    connect(cmdCopy, &QPushButton::clicked, this, [this] { copyFigures(); });
    auto* copy = new QShortcut(QKeySequence::Copy, tblFigures);
    connect(copy, &QShortcut::activated, this, [this] { copyFigures(); });
    connectExports();
    // Another choice of tau analyses the samples shown again.
    const auto again = [this] {
        spnPerDecade->setEnabled(cboTaus->currentIndex() == 0);
        if (!busy_ && !source_.empty()) reanalyse();
    };
    connect(cboTaus, &QComboBox::currentIndexChanged, this, again);
    connect(spnPerDecade, &QSpinBox::valueChanged, this, again);
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
    for (QWidget* w : std::initializer_list<QWidget*>{cmdOpen, cmdCapture, cboTaus, spnPerDecade})
        w->setEnabled(!on);
    spnPerDecade->setEnabled(!on && cboTaus->currentIndex() == 0);
    cmdCancel->setEnabled(on);
    for (QPushButton* b :
         {cmdCopy, cmdExportCsv, cmdExportSpectrum, cmdExportImuYaml, cmdExportPng})
        b->setEnabled(!on && !views_.analysis.channels.empty());
    if (on) {
        barProgress->setValue(0);
        cmdCancel->setFocus();
    }
}

void frmAnalysis::fail(const QString& text) {
    lblStatus->setText(text);
}

an::TauChoice frmAnalysis::tauChoice() const {
    an::TauChoice t;
    const an::TauSpacing spacing[] = {an::TauSpacing::PerDecade, an::TauSpacing::Octave,
                                      an::TauSpacing::Decade, an::TauSpacing::All};
    t.spacing = spacing[std::clamp(cboTaus->currentIndex(), 0, 3)];
    t.perDecade = spnPerDecade->value();
    return t;
}

bool frmAnalysis::openFile(const std::filesystem::path& file) {
    if (busy_) return false;
    an::AnalysisOptions o;
    if (const auto period = askPeriod(Q(file.filename().string()))) o.read.sensorPeriod = *period;
    return analyse(file, o);
}

void frmAnalysis::runWorker(const std::function<void()>& work,
                            const std::atomic<double>& fraction) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        barProgress->setValue(static_cast<int>(fraction * 1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
}

bool frmAnalysis::analyse(const std::filesystem::path& file, an::AnalysisOptions o) {
    o.taus = tauChoice();
    std::atomic<double> fraction{0};
    o.read.progress = [this, &fraction](double f) {
        fraction = f;
        return !cancel_;
    };
    setWorking(true);
    lblStatus->setText("Analysing " + Q(file.filename().string()) + "...");
    an::LogViews v;
    runWorker([&] { v = an::AnalyseLogViews(file, o); }, fraction);
    const an::LogProblem problem = v.analysis.problem;
    const bool cancelled = cancel_ || problem.status == an::LogStatus::Cancelled;
    setWorking(false);
    if (cancelled) {
        fail("Analysis cancelled.");
        return false;
    }
    const std::string name = base::QuotedInput(file.filename().string());
    if (problem.status == an::LogStatus::NeedsRate && o.read.rateHz == 0) {
        const auto rate = askRate(Q(file.filename().string()));
        if (!rate) {
            fail(Q(an::ProblemText(name, problem)));
            return false;
        }
        o.read.rateHz = *rate;
        return analyse(file, o);
    }
    if (!problem.ok()) {
        fail(Q(an::ProblemText(name, problem)));
        return false;
    }
    barProgress->setValue(1000);
    o.read.progress = nullptr;
    timeTab->setViews(nullptr); // before the samples it points to go
    views_ = std::move(v);
    options_ = o;
    source_ = file;
    showResult();
    setWorking(false);
    lblStatus->setText(Q(file.string()) + " \u2014 the curves stop where fewer than " +
                       QString::number(o.taus.minClusters) + " clusters remain.");
    return true;
}

void frmAnalysis::reanalyse() {
    options_.taus = tauChoice();
    setWorking(true);
    const std::atomic<double> unknown{0};
    an::AnalysisResult r;
    runWorker([&] { r = an::Reanalysed(views_, options_); }, unknown);
    views_.analysis = std::move(r);
    showResult();
    setWorking(false);
}

void frmAnalysis::showResult() {
    DrawAnalysis(chartView->chart(), views_.analysis);
    DrawSpectra(spectrumView->chart(), views_);
    timeTab->setViews(&views_);
    FillFiguresTable(tblFigures, views_.analysis);
    QStringList warnings;
    for (std::size_t i = 0; i < views_.analysis.channels.size(); ++i) {
        const an::ChannelResult& c = views_.analysis.channels[i];
        if (const std::string w = an::DecimationWarning(c); !w.empty()) warnings << Q(w) + ".";
        if (c.status == an::ChannelStatus::NoNewSamples)
            warnings << Q(c.series.title + ": " + an::StatusText(c)) + ".";
        else if (!views_.spectra[i])
            warnings << Q(c.series.title + ": no spectrum: " + views_.spectrumProblems[i]) + ".";
    }
    lblWarning->setText(warnings.join('\n'));
    lblWarning->setVisible(!warnings.isEmpty());
}

void frmAnalysis::copyFigures() {
    QApplication::clipboard()->setText(TableText(tblFigures));
}

} // namespace tavrin::ui
