#pragma once
// The main window's body: seven output readouts with the read loop, two sweeping
// strip charts with their scale buttons, and the status flag panel.
//
// Object names: single controls carry their own name ("cmdReadData"); elements of
// control arrays carry the array name, an underscore and the index ("txtReadReg_2",
// "lblReadReg_8", "ckG_5", "Shape_7", "lblPlotX_0", "LineX_4").
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRgb>
#include <QTimer>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>

#include "view/ChartCore.h"

namespace tavrin::app {
struct App;
}

namespace tavrin::ui {
class StripChart;

class MeasurementView : public QWidget {
    Q_OBJECT
  public:
    explicit MeasurementView(app::App& app, QWidget* parent = nullptr);

    void ReadData();              // one pass or the loop
    void CmdUpdateStatus_Click(); // the status read
    void cmdReadData_Click();
    void ckLoop_Click();
    void txtLoopDelay_Change();
    void cmdScaleGyro_Click();
    void cmdScaleAcc_Click();
    void ckG_Click(int index);

    // For the main window's load step and unload, with the effects of the controls.
    void startLoop(); // checks Loop: its handler runs
    void stopLoop();  // clears Loop: a running loop ends after its pass
    void resetReadouts();
    void showAccLimits(const QString& lower, const QString& middle, const QString& upper);
    void showDeviceCaption(const QString& caption);
    // Trace colours by channel; entries 2..7 are taken, the others ignored.
    void setPlotColors(const std::array<QRgb, 9>& colors);
    const std::array<QRgb, 9>& plotColors() const { return PlotColor; }
    QString temperatureText() const;

    // One step of each chart; `min` is the caller's variable and may change.
    void PlotDataPointsGy(const view::Samples& samples, double& max, double& min);
    void PlotDataPointsAcc(const view::Samples& samples, double& max, double& min);

    // The samples a chart shows, oldest first, as the log writes them: "Sample #" and the
    // value columns of the chart's channels that show any, numbered from 1 ("Copy values").
    QString chartValues(view::Axis axis) const;
    // The chart as drawn, as PNG ("Save image..."); a failure is said in a message box.
    bool saveChartImage(view::Axis axis, const std::filesystem::path& file);

    // Trace state of each chart, kept for the view's lifetime.
    const view::TraceState& gyroTrace() const { return traceGy_; }
    const view::TraceState& accTrace() const { return traceAcc_; }

    // Waits between loop passes while window events keep being served; tests may
    // replace it. The default runs a local event loop for `ms` milliseconds.
    std::function<void(int ms)> waitBetweenPasses;

  signals:
    void passRate(double passesPerSecond); // while looping, at most twice a second
    void loopRunning(bool running);

  private:
    // Output readouts
    QGroupBox* frameDataReg;
    QPushButton* cmdReadData;
    QCheckBox* ckLoop;
    QLineEdit* txtLoopDelay;
    QLabel* Label11;
    std::array<QLineEdit*, 9> txtReadReg{}; // indices 2..8 used
    std::array<QLabel*, 9> lblReadReg{};    // indices 2..8 used

    // Chart selection and charts
    QLabel* Label10;
    std::array<QCheckBox*, 8> ckG{}; // 2..7
    std::array<QWidget*, 8> Shape{}; // 2..7 colour swatches
    QGroupBox* FrameDataPLot;
    StripChart* pic1;
    StripChart* pic2;
    QPushButton* cmdScaleGyro;
    QPushButton* cmdScaleAcc;
    QLabel *lblpFS1, *lblmidS1, *lblnFS1, *lblpFS2, *lblmidS2, *lblnFS2;
    QLabel *lblCurSam1, *lblCurVal1, *lblCurSam2, *lblCurVal2;
    QLabel *Label15, *Label16, *Lbl1Units, *lblUnits2, *LblXaxis, *lblYscale;
    std::array<QLabel*, 5> lblPlotX{};
    std::array<QWidget*, 5> LineX{};
    std::array<QRgb, 9> PlotColor{}; // entries 2..7, set by the load step

    // Status panel
    QGroupBox* FrmStatus;
    QPushButton* CmdUpdateStatus;
    QLabel *lblLowSupply, *lblHighSupply, *lblWriteFail, *Label20, *lblAlarm1Set, *lblAlarm2Set;
    QLabel *lblLowSupplyFlag, *lblHighSupplyFlag, *lblWriteFailFlag, *lblSpiWriteFlag,
        *lblAlarm1SetFlag, *lblAlarm2SetFlag;

    void buildReadouts();
    void buildCharts();
    void buildStatus();
    void plotStep(StripChart* pic, view::TraceState& trace, int firstChannel,
                  const view::Samples& samples, double& max, double& min,
                  std::array<QLabel*, 3> limitLabels);
    void scaleStep(view::Axis axis);
    void hover(view::Axis axis, double x, double y);
    void setFlag(QLabel* flag, bool alarm);
    void setFlagNotRead(QLabel* flag, const QString& why);
    bool loopContinues() const;
    void limitRepaints(bool on);
    void countPass();

    app::App& app_;
    view::TraceState traceGy_;
    view::TraceState traceAcc_;
    bool looping_ = false;
    QElapsedTimer rateClock_;
    QObject* repaintLimiter_ = nullptr;
    QWidget* limitedWindow_ = nullptr;
    long long ratePasses_ = 0;
};

} // namespace tavrin::ui
