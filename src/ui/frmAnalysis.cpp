#include "ui/frmAnalysis.h"
#include "app/Sensor.h"

#include <QApplication>
#include <QBuffer>
#include <QChart>
#include <QChartView>
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
#include <QTableWidget>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>
#include <thread>

#include "app/App.h"
#include "base/FileLocation.h"
#include "base/NumberText.h"
#include "base/SafeFile.h"
#include "datalog/LogFormat.h"
#include "registers/FrontEnd.h"
#include "ui/AnalysisPlot.h"
#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

constexpr int kFirstOutput = 2, kLastOutput = 7; // gyroscopes and accelerometers

// The sensor's sample period from its SMPL_PRD word: (low byte + 1) half-milliseconds.
double SamplePeriodOf(int32_t word) {
    return static_cast<double>((word & 0xFF) + 1) * 0.0005;
}

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
    chartView = Tagged("chartView", new QChartView(chart), "Allan deviation plot");
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumSize(640, 360);
    top->addWidget(chartView, 1);
    tblFigures = Tagged("tblFigures", new QTableWidget(0, 10), "Noise figures");
    tblFigures->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblFigures->setMinimumHeight(130);
    top->addWidget(tblFigures);
    auto* exports = new QHBoxLayout;
    cmdCopy = Tagged("cmdCopy", new QPushButton("Cop&y figures"), "Copy figures");
    cmdExportCsv =
        Tagged("cmdExportCsv", new QPushButton("Export curve (CS&V)..."), "Export curve as CSV");
    cmdExportPng =
        Tagged("cmdExportPng", new QPushButton("Export plot (&PNG)..."), "Export plot as PNG");
    exports->addStretch(1);
    for (QPushButton* b : {cmdCopy, cmdExportCsv, cmdExportPng}) {
        b->setEnabled(false);
        exports->addWidget(b);
    }
    top->addLayout(exports);
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
    // Another choice of tau analyses the file shown again.
    const auto again = [this] {
        spnPerDecade->setEnabled(cboTaus->currentIndex() == 0);
        if (!busy_ && !source_.empty()) analyse(source_, options_);
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
    for (QPushButton* b : {cmdCopy, cmdExportCsv, cmdExportPng})
        b->setEnabled(!on && !result_.channels.empty());
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

bool frmAnalysis::analyse(const std::filesystem::path& file, an::AnalysisOptions o) {
    o.taus = tauChoice();
    std::atomic<double> fraction{0};
    o.read.progress = [this, &fraction](double f) {
        fraction = f;
        return !cancel_;
    };
    setWorking(true);
    lblStatus->setText("Analysing " + Q(file.filename().string()) + "...");
    an::AnalysisResult r;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        r = an::AnalyseLog(file, o);
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
    const std::string name = base::QuotedInput(file.filename().string());
    if (r.problem.status == an::LogStatus::NeedsRate && o.read.rateHz == 0) {
        const auto rate = askRate(Q(file.filename().string()));
        if (!rate) {
            fail(Q(an::ProblemText(name, r.problem)));
            return false;
        }
        o.read.rateHz = *rate;
        return analyse(file, o);
    }
    if (!r.problem.ok()) {
        fail(Q(an::ProblemText(name, r.problem)));
        return false;
    }
    barProgress->setValue(1000);
    o.read.progress = nullptr;
    result_ = std::move(r);
    options_ = o;
    source_ = file;
    showResult();
    setWorking(false);
    lblStatus->setText(Q(file.string()) + " \u2014 the curves stop where fewer than " +
                       QString::number(o.taus.minClusters) + " clusters remain.");
    return true;
}

void frmAnalysis::showResult() {
    DrawAnalysis(chartView->chart(), result_);
    FillFiguresTable(tblFigures, result_);
    QStringList warnings;
    for (const auto& c : result_.channels) {
        if (const std::string w = an::DecimationWarning(c); !w.empty()) warnings << Q(w) + ".";
        if (c.status == an::ChannelStatus::NoNewSamples)
            warnings << Q(c.series.title + ": " + an::StatusText(c)) + ".";
    }
    lblWarning->setText(warnings.join('\n'));
    lblWarning->setVisible(!warnings.isEmpty());
}

void frmAnalysis::copyFigures() {
    QApplication::clipboard()->setText(TableText(tblFigures));
}

std::optional<frmAnalysis::Capture> frmAnalysis::planCapture() {
    Capture c;
    datalog::LogSettings& st = c.settings;
    for (int b = kFirstOutput; b <= kLastOutput; ++b) st.columns.box[b] = ckOutput[b]->isChecked();
    if (std::none_of(st.columns.box.begin(), st.columns.box.end(), [](bool b) { return b; })) {
        fail("Check at least one output to capture.");
        return std::nullopt;
    }
    const bool inSamples = cboDurationUnit->currentIndex() == 1;
    const auto amount = base::ParseNumber(txtDuration->text().toStdString());
    const double most = inSamples ? 2147483647.0 : 1e6;
    if (!amount || !(*amount >= (inSamples ? 100 : 0.1) && *amount <= most)) {
        fail(inSamples ? "Duration: a number of sensor samples from 100 to 2147483647."
                       : "Duration: a number of seconds from 0.1 to 1000000.");
        return std::nullopt;
    }
    if (!app_.UsbReady()) {
        fail("No adapter is ready.");
        return std::nullopt;
    }
    // The sensor's period as it stands now: tau0 of the capture.
    const registers::RegResults period = app::Read(app_, app_.regs.iSMPL_PRD);
    if (!app_.UsbReady()) {
        fail("The sensor's sample period (SMPL_PRD) could not be read.");
        return std::nullopt;
    }
    c.period = SamplePeriodOf(period.RegRaw);
    c.seconds = inSamples ? std::round(*amount) * c.period : *amount;
    st.samplesPerFile = 2147483647; // the clock ends it
    st.filesPerSession = 1;
    st.burst = true;
    st.directory = base::FilesDirectory(app_.platform);
    // A stem whose file is not there yet: earlier captures are kept.
    const std::string ext = datalog::DecideFileFormat(app_.platform).ext;
    for (int k = 1;; ++k) {
        st.stem = "ADEV" + std::to_string(k);
        c.file = st.directory / datalog::LogFileNameFor(st.stem, 1, ext);
        std::error_code ec;
        if (!std::filesystem::exists(c.file, ec)) break;
    }
    return c;
}

// Logs until the capture's clock has run `plan.seconds`; `seconds` is then the time from
// the first sample to the last, plus the period the first one stood for.
bool frmAnalysis::runCapture(const Capture& plan, double& seconds) {
    const double start = clock();
    double first = -1, last = start, shown = start;
    bool timeUp = false;
    datalog::LogHooks hooks;
    hooks.sampleTaken = [&](long long, long long) {
        last = clock();
        if (first < 0) first = last;
        if (last - shown < 0.05 && last - start < plan.seconds) return;
        shown = last;
        barProgress->setValue(
            static_cast<int>(1000 * std::min(1.0, (last - start) / plan.seconds)));
        QCoreApplication::processEvents();
    };
    hooks.cancelRequested = [&] {
        timeUp = timeUp || clock() - start >= plan.seconds;
        return timeUp || cancel_.load() || !app_.UsbReady();
    };
    datalog::DiskFileSystem disk;
    const auto report = app::RunLogSession(app_, plan.settings, hooks, disk);
    seconds = first < 0 ? 0 : last - first + plan.period;
    std::error_code ec;
    if (!std::filesystem::exists(plan.file, ec)) {
        fail("The capture wrote no file.");
        return false;
    }
    if (report.outcome != datalog::LogOutcome::Completed &&
        report.outcome != datalog::LogOutcome::Cancelled) {
        fail("The capture stopped; its samples are in " + Q(plan.file.string()) + ".");
        return false;
    }
    return true;
}

bool frmAnalysis::capture() {
    if (busy_) return false;
    const auto plan = planCapture();
    if (!plan) return false;
    setWorking(true);
    lblStatus->setText("Capturing " + Q(an::Sig3(plan->seconds)) + " s into " +
                       Q(plan->file.string()) + "...");
    double seconds = 0;
    const bool logged = runCapture(*plan, seconds);
    const bool cancelled = cancel_;
    setWorking(false);
    if (!logged) return false;
    captured_ = plan->file;
    an::AnalysisOptions o;
    o.read.sensorPeriod = plan->period;
    o.captureSeconds = seconds;
    const bool analysed = analyse(plan->file, o);
    if (analysed)
        lblStatus->setText(
            (cancelled ? "Capture cancelled; the samples taken are in " : "Captured into ") +
            Q(plan->file.string()) + " (sensor sample period " + Q(an::Sig3(plan->period * 1000)) +
            " ms); the curves stop where fewer than " + QString::number(options_.taus.minClusters) +
            " clusters remain.");
    return analysed;
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
    if (!chartView->grab().save(&buffer, "PNG")) {
        fail(Q(file.string()) + ": the plot could not be drawn.");
        return false;
    }
    std::string error;
    if (!base::WriteOutputFile(file, std::string_view(bytes.constData(), bytes.size()), error,
                               {source_})) {
        fail(Q(error));
        return false;
    }
    lblStatus->setText("Plot written to " + Q(file.string()) + ".");
    return true;
}

} // namespace tavrin::ui
