// The analysis window's capture: the checked outputs logged through the logging session with
// burst reads for a duration on the capture's clock, then analysed.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <cmath>

#include "app/App.h"
#include "app/Sensor.h"
#include "base/FileLocation.h"
#include "base/NumberText.h"
#include "datalog/LogFormat.h"
#include "registers/FrontEnd.h"
#include "ui/QtText.h"
#include "ui/frmAnalysis.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

// The sensor's sample period from its SMPL_PRD word: (low byte + 1) half-milliseconds.
double SamplePeriodOf(int32_t word) {
    return static_cast<double>((word & 0xFF) + 1) * 0.0005;
}

} // namespace

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

} // namespace tavrin::ui
