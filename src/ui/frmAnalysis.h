#pragma once
// The noise analysis window: opens a log file, or captures one from the sensor for a
// duration or a number of the sensor's samples through the logging session with burst
// reads, then shows in three tabs the Allan deviation of each channel with its intervals
// and fit, its spectrum with the white-noise level of the fit, and its samples against
// time; below them the fitted terms and single-point figures. It exports the curve and the
// spectrum (CSV), the fitted figures as imu.yaml and any plot (PNG).
//
// Object names are the control names. Long work runs inside the click, with events
// served and Cancel honoured: captures between samples, analyses on a worker thread.
// The capture is in AnalysisCapture.cpp, the exports in AnalysisExports.cpp.
#include <QDialog>
#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>

#include "analysis/LogViews.h"
#include "datalog/LogSession.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QVBoxLayout;

namespace tavrin::app {
struct App;
}

namespace tavrin::ui {

class PlotView;
class TimeTab;

class frmAnalysis : public QDialog {
    Q_OBJECT
  public:
    explicit frmAnalysis(app::App& app, QWidget* parent = nullptr);

    // The work behind the buttons, without their file dialogs. False with the reason
    // shown in lblStatus when nothing could be done.
    bool openFile(const std::filesystem::path& file);
    bool capture();
    bool exportCsv(const std::filesystem::path& file);
    bool exportSpectrumCsv(const std::filesystem::path& file);
    // The fitted figures as imu.yaml; refused, saying which is missing, without them.
    bool exportImuYaml(const std::filesystem::path& file);
    // The plot of the tab shown.
    bool exportPng(const std::filesystem::path& file);
    // Any plot, as "Save image..." of its menu saves it.
    bool savePlot(QWidget* plot, const std::filesystem::path& file);
    // The selected figures (all when none is selected) onto the clipboard, as text.
    void copyFigures();
    bool busy() const { return busy_; }
    const analysis::AnalysisResult& result() const { return views_.analysis; }
    const analysis::LogViews& views() const { return views_; }
    // The log file of the last capture.
    const std::filesystem::path& capturedFile() const { return captured_; }

    // Asks the logging rate of a file without header; nothing when the user declines.
    std::function<std::optional<double>(const QString& file)> askRate;
    // Asks the sensor's sample period (s) of an opened log; nothing when it is not known.
    std::function<std::optional<double>(const QString& file)> askPeriod;
    // Seconds on the clock a capture is timed by: the adapter's own where it keeps one (a
    // deterministic simulator), else the machine's.
    std::function<double()> clock;

  protected:
    void reject() override;

  private:
    static constexpr int kFirstOutput = 2, kLastOutput = 7; // gyroscopes and accelerometers
    struct Capture {
        datalog::LogSettings settings;
        std::filesystem::path file;
        double period = 0;  // s, from SMPL_PRD
        double seconds = 0; // how long to capture
    };

    QPushButton* cmdOpen;
    std::array<QCheckBox*, 9> ckOutput{}; // the logging window's boxes 2..7 (gyros, accels)
    QLineEdit* txtDuration;
    QComboBox* cboDurationUnit;
    QPushButton* cmdCapture;
    QComboBox* cboTaus;
    QSpinBox* spnPerDecade;
    QPushButton* cmdCancel;
    QProgressBar* barProgress;
    QLabel* lblStatus;
    QLabel* lblWarning;
    QTabWidget* tabResults;
    PlotView* chartView;    // Allan deviation
    PlotView* spectrumView; // spectrum
    QLabel* lblSpectrumHover;
    TimeTab* timeTab;
    QTableWidget* tblFigures;
    QPushButton* cmdCopy;
    QPushButton* cmdExportCsv;
    QPushButton* cmdExportSpectrum;
    QPushButton* cmdExportImuYaml;
    QPushButton* cmdExportPng;

    void buildSource(QVBoxLayout* top);
    void buildResults(QVBoxLayout* top);
    QWidget* buildSpectrumTab();
    void connectButtons();
    void connectExports();
    analysis::TauChoice tauChoice() const;
    bool analyse(const std::filesystem::path& file, analysis::AnalysisOptions options);
    // Runs `work` on a worker thread while the window serves events, `fraction` on the bar.
    void runWorker(const std::function<void()>& work, const std::atomic<double>& fraction);
    void reanalyse();
    std::optional<Capture> planCapture();
    bool runCapture(const Capture& plan, double& seconds);
    void showResult();
    void setWorking(bool on);
    void fail(const QString& text);

    app::App& app_;
    analysis::LogViews views_;
    analysis::AnalysisOptions options_; // of the result shown
    std::filesystem::path captured_;
    std::filesystem::path source_; // the file analysed: no export may replace it
    bool busy_ = false;
    std::atomic<bool> cancel_{false};
};

} // namespace tavrin::ui
