#pragma once
// The main window: menus, the load step that finishes start-up, model selection, and
// the status bar. Its body (readouts, charts, status flags) is the MeasurementView.
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include "app/LoadSequence.h"
#include "app/Sensor.h"
#include "registers/Model.h"

class QAction;
class QDialog;
class QLabel;
class QMenu;

namespace tavrin::app {
struct App;
}

namespace tavrin::ui {
class MeasurementView;
class frmUSBselect;

class frmForm1 : public QMainWindow, private app::DeviceDisplay, private app::LoadDisplay {
    Q_OBJECT
  public:
    explicit frmForm1(app::App& app, QWidget* parent = nullptr);
    ~frmForm1() override;

    // The window's body, for its read loop and readouts.
    MeasurementView& measurementView() { return *view; }

    // The load step; run once, after the window is first shown.
    void Form_Load();
    void SetDevice(float ProdNum);
    void mnuUsb_Click();
    void mnuDatalog_Click();
    void mnuRegisters_Click();
    void mnuAnalysis_Click();
    void MnuExit_Click();

    // The adapter selection window, created on first use and kept.
    frmUSBselect& usbSelectWindow();

    // Where the Datalog and Registers windows are connected: each function shows its
    // window modally and returns when it closes. Until one is set, its menu item is disabled.
    void setDatalogWindow(std::function<void()> showModal);
    void setRegistersWindow(std::function<void()> showModal);
    void setAnalysisWindow(std::function<void()> showModal);

    // Shows a window modally and returns when it is closed (tests replace it).
    std::function<void(QDialog&)> execModal;

    // Runs when the window is about to unload, before the program ends. Return true to
    // end at once; return false when work must be finished first (an open log file) and
    // call finishUnload() once it is, which then ends the program. Closing again while
    // that work finishes is ignored.
    std::function<bool()> beforeUnload;
    void finishUnload();

    // Ends the program; QCoreApplication::exit by default (tests count the calls).
    std::function<void()> endProgram;

    // Refreshes the adapter and model shown in the status bar.
    void updateStatusBar();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    MeasurementView* view;
    QMenu* mnuInterface;
    QAction* mnuUsb;
    QMenu* mnuDevice; // its items are named after their models: "mnu41040" ...
    QAction* mnuDatalog;
    QAction* mnuRegisters;
    QAction* mnuAnalysis;
    QAction* MnuExit;
    QLabel* lblStatusAdapter;
    QLabel* lblStatusModel;
    QLabel* lblStatusRate;

    void Form_Unload();
    void showPassRate(double passesPerSecond);
    void uncheckAllModels() override;
    void checkModel(int model) override;
    void showAccLimits(const std::string& lower, const std::string& middle,
                       const std::string& upper) override;
    void showDeviceCaption(const std::string& caption) override;
    void setPlotColors() override;
    void hideUsbMenu() override;
    void checkUsbMenu() override;
    void chooseAdapter() override;
    void showLoadedCaption() override;
    void resetReadouts() override;
    void setDevice(float ProdNum) override;
    void updateStatusFlags() override;
    std::string readData() override;
    void startLoop() override;

    app::App& app_;
    std::array<QAction*, registers::kModels.size()> deviceItems_{};
    frmUSBselect* usbSelect_ = nullptr;
    std::function<void()> showDatalog_;
    std::function<void()> showRegisters_;
    std::function<void()> showAnalysis_;
    bool unloaded_ = false;
    bool unloadPending_ = false;
    bool modelApplied_ = false;
};

} // namespace tavrin::ui
