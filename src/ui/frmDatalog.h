#pragma once
// The logging window: settings of a logging session, and the session itself,
// which runs inside the start button's click and lets events run between samples.
//
// Object names are the control names; array elements are named "CheckReg_1" ..
// "CheckReg_8". Every opening starts from the defaults: the window runs its load
// step each time it is shown (and once when it is built).
#include <QDialog>
#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "datalog/LogFiles.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin::app {
struct App;
}

namespace tavrin::ui {

class frmDatalog : public QDialog {
    Q_OBJECT
  public:
    // clearMainLoop clears the main window's Loop check box (load step 5).
    frmDatalog(app::App& app, std::function<void()> clearMainLoop, QWidget* parent = nullptr);
    bool sessionRunning() const { return running_; }
    // Acts as Cancel; `afterSession` runs once the file under way is complete and closed
    // (at once when no session runs).
    void requestCancel(std::function<void()> afterSession);
    // Files go through this seam (tests inject failures); null restores the disk.
    void setFileSystem(datalog::LogFileSystem* fs);

    void Form_Load();
    void txtSamplesPerFile_Change();
    void txtFilesPerSession_Change();
    void txtSampleDelay_Change();
    void txtFileName_Change();
    void txtDirectory_Change();
    void cmdStartDatalog_Click();
    void RunDatalog();

    // Window variables, set again on every load.
    std::string LogFileName;
    double LogSamplesPerFile = 1000;
    double LogFilesPerSession = 1;

  protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

  private:
    void buildFrames();
    QGroupBox* Frame1;
    QCheckBox* ckDisableND;
    QCheckBox* ckNOScale;
    QCheckBox* ckNOHeader;
    QGroupBox* FrameFileInfo;
    QLineEdit* txtFileName;
    QLineEdit* txtDirectory;
    QLineEdit* txtFileNum;
    QLabel* lblFext;
    QGroupBox* FrameFilePref;
    QLineEdit* txtSamplesPerFile;
    QLineEdit* txtFilesPerSession;
    QLineEdit* txtSampleDelay;
    QGroupBox* FrameDataSelection;
    std::array<QCheckBox*, 9> CheckReg{}; // 1..8
    QPushButton* cmdStartDatalog;
    QLabel* LBLDatalogInProgress;
    QLabel* lblProgress; // file and sample of the totals, samples per second
    // Off: one adapter command per register, as always.
    QCheckBox* ckBurstRead;

    void setSettingsEnabled(bool on);
    void showProgress(long long fileNo, long long sample, bool force);
    std::string decimalSep() const;

    app::App& app_;
    std::function<void()> clearMainLoop_;
    datalog::DiskFileSystem disk_;
    datalog::LogFileSystem* fs_ = &disk_;
    bool running_ = false;
    std::vector<std::function<void()>> afterSession_;
    std::string directory_;

    // Progress display, at most ten updates a second.
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastShown_{};
    long long samplesAtLastShown_ = 0;
    long long samplesTaken_ = 0;
    long long filesTotal_ = 1;
    long long samplesTotal_ = 1000;
    double rate_ = 0;
};

} // namespace tavrin::ui
