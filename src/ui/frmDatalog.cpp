#include "ui/frmDatalog.h"
#include "app/Sensor.h"
#include "ui/QtText.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <optional>

#include "app/App.h"
#include "base/FileLocation.h"
#include "base/NumberText.h"
#include "base/SafeFile.h"
#include "datalog/LogFormat.h"
#include "datalog/LogSession.h"
#include "ui/NamedWidgets.h"

namespace tavrin::ui {

using namespace datalog;

// The four frames of settings, each with its controls.
void frmDatalog::buildFrames() {
    Frame1 = Named<QGroupBox>(this, "Frame1", "DATA FORMAT");
    ckDisableND = Named<QCheckBox>(Frame1, "ckDisableND", "Disable New Data Flags");
    ckNOScale = Named<QCheckBox>(Frame1, "ckNOScale", "LSB Data Only...   No scaling");
    ckNOHeader = Named<QCheckBox>(Frame1, "ckNOHeader", "Numeric Data Only...  No file header");
    auto* formatLayout = new QVBoxLayout(Frame1);
    formatLayout->addWidget(ckDisableND);
    formatLayout->addWidget(ckNOScale);
    formatLayout->addWidget(ckNOHeader);

    FrameFileInfo = Named<QGroupBox>(this, "FrameFileInfo", "FILE INFORMATION");
    txtFileName = Named<QLineEdit>(FrameFileInfo, "txtFileName");
    txtDirectory = Named<QLineEdit>(FrameFileInfo, "txtDirectory");
    txtDirectory->setReadOnly(true);
    txtFileNum = Named<QLineEdit>(FrameFileInfo, "txtFileNum");
    txtFileNum->setText("1");
    lblFext = Named<QLabel>(FrameFileInfo, "lblFext", ".csv");
    auto* infoLayout = new QGridLayout(FrameFileInfo);
    infoLayout->addWidget(Named<QLabel>(FrameFileInfo, "lblFileName", "File Name"), 0, 0);
    infoLayout->addWidget(txtFileName, 0, 1);
    infoLayout->addWidget(lblFext, 0, 2);
    infoLayout->addWidget(Named<QLabel>(FrameFileInfo, "lblDirectory", "Directory"), 1, 0);
    infoLayout->addWidget(txtDirectory, 1, 1, 1, 2);
    infoLayout->addWidget(Named<QLabel>(FrameFileInfo, "lblFileNum", "File Number"), 2, 0);
    infoLayout->addWidget(txtFileNum, 2, 1);

    FrameFilePref = Named<QGroupBox>(this, "FrameFilePref", "FILE SETUP");
    txtSamplesPerFile = Named<QLineEdit>(FrameFilePref, "txtSamplesPerFile");
    txtFilesPerSession = Named<QLineEdit>(FrameFilePref, "txtFilesPerSession");
    txtSampleDelay = Named<QLineEdit>(FrameFilePref, "txtSampleDelay");
    auto* prefLayout = new QGridLayout(FrameFilePref);
    prefLayout->addWidget(Named<QLabel>(FrameFilePref, "lblSamplesPerFile", "Samples per File"), 0,
                          0);
    prefLayout->addWidget(txtSamplesPerFile, 0, 1);
    prefLayout->addWidget(Named<QLabel>(FrameFilePref, "lblFilesPerSession", "Files per Session"),
                          1, 0);
    prefLayout->addWidget(txtFilesPerSession, 1, 1);
    prefLayout->addWidget(Named<QLabel>(FrameFilePref, "lblSampleDelay", "Sample Delay msec"), 2,
                          0);
    prefLayout->addWidget(txtSampleDelay, 2, 1);

    FrameDataSelection = Named<QGroupBox>(this, "FrameDataSelection", "DATA SELECTION");
    auto* selLayout = new QVBoxLayout(FrameDataSelection);
    for (int b = datalog::kFirstBox; b <= datalog::kLastBox; ++b) {
        CheckReg[b] = Named<QCheckBox>(FrameDataSelection, Indexed("CheckReg", b),
                                       Q(datalog::kBoxCaptions[b]));
        selLayout->addWidget(CheckReg[b]);
    }
}

frmDatalog::frmDatalog(app::App& app, std::function<void()> clearMainLoop, QWidget* parent)
    : QDialog(parent), app_(app), clearMainLoop_(std::move(clearMainLoop)) {
    setObjectName("frmDatalog");
    setWindowTitle("Datalog Control");
    setModal(true);

    buildFrames();

    cmdStartDatalog = Named<QPushButton>(this, "cmdStartDatalog", Q(datalog::kStartCaption));
    cmdStartDatalog->setAutoDefault(false);
    LBLDatalogInProgress =
        Named<QLabel>(this, "LBLDatalogInProgress", "D A T A L O G    I N    P R O G R E S S");
    LBLDatalogInProgress->setAlignment(Qt::AlignCenter);
    lblProgress = Named<QLabel>(this, "lblProgress", "");
    lblProgress->setAlignment(Qt::AlignCenter);
    ckBurstRead = Named<QCheckBox>(this, "ckBurstRead", "Burst read");
    ckBurstRead->setToolTip("Reads all selected registers of a sample in one adapter command "
                            "instead of one command each: many more samples per second. "
                            "Clear: one command per register.");

    auto* left = new QVBoxLayout;
    left->addWidget(Frame1);
    left->addWidget(FrameFileInfo);
    left->addWidget(FrameFilePref);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(FrameDataSelection);
    auto* main = new QVBoxLayout(this);
    main->addLayout(columns);
    main->addWidget(cmdStartDatalog);
    main->addWidget(LBLDatalogInProgress);
    main->addWidget(lblProgress);
    // Last, so that it moves none of the other controls.
    main->addWidget(ckBurstRead);

    connect(txtSamplesPerFile, &QLineEdit::textChanged, this,
            [this] { txtSamplesPerFile_Change(); });
    connect(txtFilesPerSession, &QLineEdit::textChanged, this,
            [this] { txtFilesPerSession_Change(); });
    connect(txtSampleDelay, &QLineEdit::textChanged, this, [this] { txtSampleDelay_Change(); });
    connect(txtFileName, &QLineEdit::textChanged, this, [this] { txtFileName_Change(); });
    connect(txtDirectory, &QLineEdit::textChanged, this, [this] { txtDirectory_Change(); });
    connect(cmdStartDatalog, &QPushButton::clicked, this, [this] { cmdStartDatalog_Click(); });

    Form_Load();
}

void frmDatalog::setFileSystem(datalog::LogFileSystem* fs) {
    fs_ = fs ? fs : &disk_;
}

std::string frmDatalog::decimalSep() const {
    return app_.platform.decimalSeparator();
}

void frmDatalog::Form_Load() {
    // Setting a text runs its handler only when the text changes; run it regardless.
    txtSamplesPerFile->setText("1000");
    txtSamplesPerFile_Change();
    txtSampleDelay->setText("0");
    txtSampleDelay_Change();
    txtFilesPerSession->setText("1");
    txtFilesPerSession_Change();

    directory_ = base::FilesDirectory(app_.platform).string();
    txtDirectory->setText(Q(directory_));

    LogFileName = "DATALOG";
    txtFileName->setText(Q(LogFileName));

    // The designer's initial states, so that every opening starts from the defaults.
    for (int b = datalog::kFirstBox; b <= datalog::kLastBox; ++b)
        CheckReg[b]->setChecked(b == datalog::kDefaultBox);
    ckDisableND->setChecked(false);
    ckNOScale->setChecked(false);
    ckNOHeader->setChecked(false);
    ckBurstRead->setChecked(false);
    txtFileNum->setText("1");
    cmdStartDatalog->setText(Q(datalog::kStartCaption));

    txtFileNum->setEnabled(false);
    LBLDatalogInProgress->setVisible(false);
    lblProgress->clear();

    if (clearMainLoop_) clearMainLoop_();

    lblFext->setText(Q(datalog::DecideFileFormat(app_.platform).ext));
}

namespace {

// Applies a field's rule; a rewrite sets the text, which runs the handler again.
template <class Handler>
std::optional<double> Validate(QLineEdit* edit, const datalog::FieldRule& rule,
                               const std::string& sep, Handler rerun) {
    const std::string text = edit->text().toStdString();
    if (const auto rewrite = datalog::FieldRewrite(text, rule, sep)) {
        if (edit->text() != Q(*rewrite))
            edit->setText(Q(*rewrite));
        else
            rerun();
        return std::nullopt;
    }
    return base::ParseNumber(text, sep);
}

} // namespace

void frmDatalog::txtSamplesPerFile_Change() {
    if (auto v = Validate(txtSamplesPerFile, datalog::kSamplesPerFileRule, decimalSep(),
                          [this] { txtSamplesPerFile_Change(); }))
        LogSamplesPerFile = *v;
}

void frmDatalog::txtFilesPerSession_Change() {
    if (auto v = Validate(txtFilesPerSession, datalog::kFilesPerSessionRule, decimalSep(),
                          [this] { txtFilesPerSession_Change(); }))
        LogFilesPerSession = *v;
}

void frmDatalog::txtSampleDelay_Change() {
    // Nothing is stored: the session reads the text.
    Validate(txtSampleDelay, datalog::kSampleDelayRule, decimalSep(),
             [this] { txtSampleDelay_Change(); });
}

void frmDatalog::txtFileName_Change() {
    LogFileName = txtFileName->text().toStdString();
}

void frmDatalog::txtDirectory_Change() {
    if (txtDirectory->text() != Q(directory_)) txtDirectory->setText(Q(directory_));
}

void frmDatalog::cmdStartDatalog_Click() {
    bool any = false;
    for (int b = datalog::kFirstBox; b <= datalog::kLastBox; ++b)
        any = any || CheckReg[b]->isChecked();
    if (!any) {
        app_.messages.show(datalog::kNoSelectionText, base::MsgIcon::None, "");
        return;
    }
    if (running_) {
        // A click left over from the session never starts another one.
        if (cmdStartDatalog->text() == Q(datalog::kCancelCaption))
            cmdStartDatalog->setText(Q(datalog::kStartCaption));
        return;
    }
    if (cmdStartDatalog->text() == Q(datalog::kStartCaption)) {
        if (const auto problem = datalog::StemProblem(LogFileName); !problem.empty()) {
            app_.messages.show(problem, base::MsgIcon::Exclamation, base::kAppTitle);
            return;
        }
        cmdStartDatalog->setText(Q(datalog::kCancelCaption));
        RunDatalog();
    } else if (cmdStartDatalog->text() == Q(datalog::kCancelCaption)) {
        cmdStartDatalog->setText(Q(datalog::kStartCaption));
    }
}

void frmDatalog::setSettingsEnabled(bool on) {
    for (int b = datalog::kFirstBox; b <= datalog::kLastBox; ++b) CheckReg[b]->setEnabled(on);
    ckNOHeader->setEnabled(on);
    ckNOScale->setEnabled(on);
    ckDisableND->setEnabled(on);
    txtSamplesPerFile->setEnabled(on);
    txtSampleDelay->setEnabled(on);
    txtFilesPerSession->setEnabled(on);
    txtDirectory->setEnabled(on);
    txtFileName->setEnabled(on);
    ckBurstRead->setEnabled(on);
}

void frmDatalog::showProgress(long long fileNo, long long sample, bool force) {
    const auto now = Clock::now();
    const double dt = std::chrono::duration<double>(now - lastShown_).count();
    if (!force && dt < 0.1) return;
    if (dt >= 0.1) rate_ = static_cast<double>(samplesTaken_ - samplesAtLastShown_) / dt;
    lblProgress->setText(
        Q(datalog::ProgressText(fileNo, filesTotal_, sample, samplesTotal_, rate_)));
    lastShown_ = now;
    samplesAtLastShown_ = samplesTaken_;
}

void frmDatalog::RunDatalog() {
    const std::string sep = decimalSep();
    auto number = [&](QLineEdit* e) {
        return base::ParseNumber(e->text().toStdString(), sep).value_or(0);
    };

    LBLDatalogInProgress->setVisible(true);
    setSettingsEnabled(false);

    datalog::LogSettings settings;
    for (int b = datalog::kFirstBox; b <= datalog::kLastBox; ++b)
        settings.columns.box[b] = CheckReg[b]->isChecked();
    settings.columns.disableND = ckDisableND->isChecked();
    settings.noScale = ckNOScale->isChecked();
    settings.noHeader = ckNOHeader->isChecked();
    settings.burst = ckBurstRead->isChecked();
    settings.stem = LogFileName;
    directory_ = base::FilesDirectory(app_.platform).string();
    txtDirectory->setText(Q(directory_));
    settings.directory = directory_;
    settings.filesPerSession = number(txtFilesPerSession);
    settings.samplesPerFile = number(txtSamplesPerFile);
    settings.sampleDelay = static_cast<float>(number(txtSampleDelay));
    lblFext->setText(Q(datalog::DecideFileFormat(app_.platform).ext));

    filesTotal_ = static_cast<long long>(settings.filesPerSession);
    samplesTotal_ = static_cast<long long>(settings.samplesPerFile);
    samplesTaken_ = 0;
    samplesAtLastShown_ = 0;
    rate_ = 0;
    lastShown_ = Clock::now();

    datalog::LogHooks hooks;
    hooks.fileStarted = [this](long long n) {
        cmdStartDatalog->setEnabled(true);
        txtFileNum->setText(QString::number(n));
        showProgress(n, 0, true);
    };
    long long lastFile = 0, lastSample = 0;
    hooks.sampleTaken = [&](long long n, long long s) {
        ++samplesTaken_;
        lastFile = n;
        lastSample = s;
        showProgress(n, s, false);
    };
    hooks.cancelRequested = [this] { return cmdStartDatalog->text() == Q(datalog::kStartCaption); };
    hooks.finishing = [this](long long n, unsigned long long done, unsigned long long total) {
        // Nothing is left to cancel; a click now is dropped, not queued for later.
        cmdStartDatalog->setEnabled(false);
        const auto now = Clock::now();
        if (done != 0 && done != total && now - lastShown_ < std::chrono::milliseconds(100)) return;
        lastShown_ = now;
        lblProgress->setText(QString("File %1 of %2    finishing: %3 of %4 kB")
                                 .arg(n)
                                 .arg(filesTotal_)
                                 .arg(done / 1024)
                                 .arg(total / 1024));
    };

    running_ = true;
    const auto started = Clock::now();
    app::RunLogSession(app_, settings, hooks, *fs_);
    running_ = false;
    // Final figures, with the rate averaged over the whole session.
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    rate_ = seconds > 0 ? static_cast<double>(samplesTaken_) / seconds : 0;
    lastShown_ = Clock::now();
    samplesAtLastShown_ = samplesTaken_;
    if (lastFile > 0) showProgress(lastFile, lastSample, true);

    LBLDatalogInProgress->setVisible(false);
    cmdStartDatalog->setText(Q(datalog::kStartCaption));
    // Clicks still queued from the session reach a disabled button and are dropped.
    cmdStartDatalog->setEnabled(false);
    app_.doEvents();
    cmdStartDatalog->setEnabled(true);
    setSettingsEnabled(true);

    auto after = std::move(afterSession_);
    afterSession_.clear();
    for (auto& f : after)
        if (f) f();
}

void frmDatalog::requestCancel(std::function<void()> afterSession) {
    if (!running_) {
        if (afterSession) afterSession();
        return;
    }
    afterSession_.push_back(std::move(afterSession));
    if (cmdStartDatalog->text() == Q(datalog::kCancelCaption))
        cmdStartDatalog->setText(Q(datalog::kStartCaption));
}

void frmDatalog::showEvent(QShowEvent* e) {
    if (!e->spontaneous() && !running_) {
        Form_Load();
        std::string problem;
        base::FilesDirectory(app_.platform, &problem);
        if (!problem.empty())
            app_.messages.show(problem, base::MsgIcon::Exclamation, base::kAppTitle);
    }
    QDialog::showEvent(e);
}

void frmDatalog::closeEvent(QCloseEvent* e) {
    if (running_) {
        // Closing acts as Cancel: the file under way is completed, then the window closes.
        e->ignore();
        requestCancel([this] { close(); });
        return;
    }
    QDialog::closeEvent(e);
}

void frmDatalog::reject() {
    if (running_) {
        requestCancel([this] { QDialog::reject(); });
        return;
    }
    QDialog::reject();
}

} // namespace tavrin::ui
