#pragma once
// The noise analysis window: opens a log file, or captures one from the sensor through
// the logging session with burst reads, then shows the Allan deviation of each channel,
// the figures read from it, and exports the curve (CSV) and the plot (PNG).
//
// Object names are the control names. Long work runs inside the click, with events
// served and Cancel honoured: captures between samples, analyses on a worker thread.
#include <QDialog>
#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>

#include "analysis/Analyse.h"

class QCheckBox;
class QChart;
class QChartView;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tavrin::app {
struct App;
}

namespace tavrin::ui {

class frmAnalysis : public QDialog {
    Q_OBJECT
  public:
    explicit frmAnalysis(app::App& app, QWidget* parent = nullptr);

    // The work behind the buttons, without their file dialogs. False with the reason
    // shown in lblStatus when nothing could be done.
    bool openFile(const std::filesystem::path& file);
    bool capture();
    bool exportCsv(const std::filesystem::path& file);
    bool exportPng(const std::filesystem::path& file);
    bool busy() const { return busy_; }
    const analysis::AnalysisResult& result() const { return result_; }
    // The log file of the last capture.
    const std::filesystem::path& capturedFile() const { return captured_; }

    // Asks the logging rate of a file without header; nothing when the user declines.
    std::function<std::optional<double>(const QString& file)> askRate;

  protected:
    void reject() override;

  private:
    QPushButton* cmdOpen;
    std::array<QCheckBox*, 9> ckOutput{}; // the logging window's boxes 2..7 (gyros, accels)
    QLineEdit* txtSamples;
    QPushButton* cmdCapture;
    QPushButton* cmdCancel;
    QProgressBar* barProgress;
    QLabel* lblStatus;
    QChartView* chartView;
    QTableWidget* tblFigures;
    QPushButton* cmdExportCsv;
    QPushButton* cmdExportPng;

    bool analyse(const std::filesystem::path& file, double rateHz);
    void showResult(const analysis::AnalysisResult& r);
    void setWorking(bool on);
    void fail(const QString& text);

    app::App& app_;
    analysis::AnalysisResult result_;
    std::filesystem::path captured_;
    std::filesystem::path source_; // the file analysed: no export may replace it
    bool busy_ = false;
    std::atomic<bool> cancel_{false};
};

} // namespace tavrin::ui
