#include "ui/frmForm1.h"
#include "ui/QtText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include "app/App.h"
#include "registers/FrontEnd.h"
#include "transport/UsbSpi.h"
#include "ui/frmUSBselect.h"
#include "ui/MeasurementView.h"

namespace tavrin::ui {

frmForm1::frmForm1(app::App& app, QWidget* parent) : QMainWindow(parent), app_(app) {
    setObjectName("frmForm1");
    setWindowTitle("Corvane Evaluation Software");

    view = new MeasurementView(app, this);
    setCentralWidget(view);

    mnuInterface = menuBar()->addMenu("Interface");
    mnuInterface->setObjectName("mnuInterface");
    mnuUsb = mnuInterface->addAction("Usb");
    mnuUsb->setObjectName("mnuUsb");
    mnuUsb->setCheckable(true);
    connect(mnuUsb, &QAction::triggered, this, [this] { mnuUsb_Click(); });

    mnuDevice = menuBar()->addMenu("Device");
    mnuDevice->setObjectName("mnuDevice");
    for (std::size_t i = 0; i < registers::kDeviceModels.size(); ++i) {
        const int model = registers::kDeviceModels[i];
        QAction* item = mnuDevice->addAction(QString::number(model));
        item->setObjectName(QString("mnu%1").arg(model));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this,
                [this, model] { SetDevice(static_cast<float>(model)); });
        deviceItems_[i] = item;
    }
    mnu41040 = deviceItems_[0];
    mnu41120 = deviceItems_[1];
    mnu41140 = deviceItems_[2];
    mnu41160 = deviceItems_[3];
    mnu41170 = deviceItems_[4];
    mnu41190 = deviceItems_[5];

    mnuDatalog = menuBar()->addAction("Datalog");
    mnuDatalog->setObjectName("mnuDatalog");
    mnuDatalog->setEnabled(false);
    connect(mnuDatalog, &QAction::triggered, this, [this] { mnuDatalog_Click(); });
    mnuRegisters = menuBar()->addAction("Registers");
    mnuRegisters->setObjectName("mnuRegisters");
    mnuRegisters->setEnabled(false);
    connect(mnuRegisters, &QAction::triggered, this, [this] { mnuRegisters_Click(); });
    mnuAnalysis = menuBar()->addAction("Analysis");
    mnuAnalysis->setObjectName("mnuAnalysis");
    mnuAnalysis->setEnabled(false);
    connect(mnuAnalysis, &QAction::triggered, this, [this] { mnuAnalysis_Click(); });
    MnuExit = menuBar()->addAction("Exit");
    MnuExit->setObjectName("MnuExit");
    connect(MnuExit, &QAction::triggered, this, [this] { MnuExit_Click(); });

    lblStatusAdapter = new QLabel(this);
    lblStatusAdapter->setObjectName("lblStatusAdapter");
    lblStatusModel = new QLabel(this);
    lblStatusModel->setObjectName("lblStatusModel");
    lblStatusRate = new QLabel(this);
    lblStatusRate->setObjectName("lblStatusRate");
    statusBar()->addWidget(lblStatusAdapter, 1);
    statusBar()->addPermanentWidget(lblStatusModel);
    statusBar()->addPermanentWidget(lblStatusRate);
    connect(view, &MeasurementView::passRate, this, [this](double r) { showPassRate(r); });
    connect(view, &MeasurementView::loopRunning, this, [this](bool running) {
        if (!running) lblStatusRate->clear();
        updateStatusBar();
    });

    // A failed transfer can drop the adapter at any time; the status bar follows it.
    auto* statusTimer = new QTimer(this);
    connect(statusTimer, &QTimer::timeout, this, [this] { updateStatusBar(); });
    statusTimer->start(500);

    execModal = [](QDialog& dialog) { dialog.exec(); };
    endProgram = [] { QCoreApplication::exit(0); };
    updateStatusBar();
}

frmForm1::~frmForm1() = default;

void frmForm1::Form_Load() {
    app::RunLoadSequence(app_, *this);
    updateStatusBar();
}

void frmForm1::setPlotColors() {
    view->PlotColor[2] = view->PlotColor[5] = qRgb(242, 0, 0);
    view->PlotColor[3] = view->PlotColor[6] = qRgb(0, 150, 0);
    view->PlotColor[4] = view->PlotColor[7] = qRgb(0, 0, 150);
}

void frmForm1::hideUsbMenu() {
    mnuUsb->setChecked(false);
    mnuUsb->setVisible(false);
}

void frmForm1::checkUsbMenu() {
    mnuUsb->setChecked(true);
}

void frmForm1::chooseAdapter() {
    execModal(usbSelectWindow());
}

void frmForm1::showLoadedCaption() {
    setWindowTitle(QString("Corvane - ") +
                   " TAVRIN, ver 3.0  Six Degree of Freedom Demonstration Software");
}

void frmForm1::resetReadouts() {
    for (int c = 2; c <= 7; ++c) {
        view->Shape[c]->show();
        view->ckG[c]->setChecked(true);
    }
    view->lblCurVal1->setText("0");
    view->lblCurSam1->setText("0");
    view->lblCurVal2->setText("0");
    view->lblCurSam2->setText("0");
    view->txtLoopDelay->setText("5");
}

void frmForm1::setDevice(float ProdNum) {
    SetDevice(ProdNum);
}

void frmForm1::updateStatusFlags() {
    view->CmdUpdateStatus_Click();
}

std::string frmForm1::readData() {
    view->ReadData();
    return view->txtReadReg[8]->text().toStdString();
}

void frmForm1::startLoop() {
    view->ckLoop->setChecked(true);
}

void frmForm1::SetDevice(float ProdNum) {
    modelApplied_ = true;
    registers::SetDevice(app_, ProdNum, *this);
    updateStatusBar();
}

void frmForm1::uncheckAllModels() {
    for (QAction* item : deviceItems_) item->setChecked(false);
}

void frmForm1::checkModel(int model) {
    for (std::size_t i = 0; i < registers::kDeviceModels.size(); ++i)
        if (registers::kDeviceModels[i] == model) deviceItems_[i]->setChecked(true);
}

void frmForm1::showAccLimits(const std::string& lower, const std::string& middle,
                             const std::string& upper) {
    view->lblnFS2->setText(Q(lower));
    view->lblmidS2->setText(Q(middle));
    view->lblpFS2->setText(Q(upper));
}

void frmForm1::showDeviceCaption(const std::string& caption) {
    view->FrameDataPLot->setTitle(Q(caption));
}

frmUSBselect& frmForm1::usbSelectWindow() {
    if (!usbSelect_) usbSelect_ = new frmUSBselect(app_, this);
    return *usbSelect_;
}

void frmForm1::mnuUsb_Click() {
    execModal(usbSelectWindow());
    if (app_.usb.UsbReady) {
        app_.usb.InterfaceKind = transport::InterfaceUsb;
        mnuUsb->setChecked(true);
    } else {
        app_.usb.InterfaceKind = transport::InterfaceNone;
        mnuUsb->setChecked(false);
    }
    updateStatusBar();
}

void frmForm1::setDatalogWindow(std::function<void()> showModal) {
    showDatalog_ = std::move(showModal);
    mnuDatalog->setEnabled(static_cast<bool>(showDatalog_));
}

void frmForm1::setRegistersWindow(std::function<void()> showModal) {
    showRegisters_ = std::move(showModal);
    mnuRegisters->setEnabled(static_cast<bool>(showRegisters_));
}

void frmForm1::setAnalysisWindow(std::function<void()> showModal) {
    showAnalysis_ = std::move(showModal);
    mnuAnalysis->setEnabled(static_cast<bool>(showAnalysis_));
}

void frmForm1::mnuAnalysis_Click() {
    if (showAnalysis_) showAnalysis_();
}

void frmForm1::mnuDatalog_Click() {
    if (showDatalog_) showDatalog_();
}

void frmForm1::mnuRegisters_Click() {
    if (showRegisters_) showRegisters_();
}

void frmForm1::MnuExit_Click() {
    close();
}

void frmForm1::closeEvent(QCloseEvent* event) {
    if (unloadPending_) { // still finishing; finishUnload() ends the program
        event->ignore();
        return;
    }
    if (!unloaded_ && beforeUnload && !beforeUnload()) {
        unloadPending_ = true;
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmForm1::finishUnload() {
    Form_Unload();
    hide();
}

void frmForm1::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // A running read loop ends after its current pass instead of spinning on with no window.
    view->ckLoop->setChecked(false);
    // Every other window goes with the main one; hiding a modal window ends its loop.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible()) w->hide();
    endProgram();
}

void frmForm1::updateStatusBar() {
    lblStatusAdapter->setText(Q(transport::AdapterStatusText(app_)));
    if (!modelApplied_) return;
    lblStatusModel->setText(
        Q(registers::ModelStatusText(app_.model.ProductNumber, app_.platform.decimalSeparator())));
}

void frmForm1::showPassRate(double passesPerSecond) {
    lblStatusRate->setText(QString("%1 passes/s").arg(passesPerSecond, 0, 'f', 0));
    updateStatusBar();
}

} // namespace tavrin::ui
