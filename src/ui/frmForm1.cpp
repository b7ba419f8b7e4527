#include "ui/frmForm1.h"
#include "app/Sensor.h"
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
#include "ui/MeasurementView.h"
#include "ui/NamedWidgets.h"
#include "ui/frmUSBselect.h"

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
    for (std::size_t i = 0; i < registers::kModels.size(); ++i) {
        const int model = registers::kModels[i].number;
        QAction* item = mnuDevice->addAction(QString::number(model));
        item->setObjectName(QString("mnu%1").arg(model));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this,
                [this, model] { SetDevice(static_cast<float>(model)); });
        deviceItems_[i] = item;
    }

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

    lblStatusAdapter = Named<QLabel>(this, "lblStatusAdapter");
    lblStatusModel = Named<QLabel>(this, "lblStatusModel");
    lblStatusRate = Named<QLabel>(this, "lblStatusRate");
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
    const QRgb x = qRgb(242, 0, 0), y = qRgb(0, 150, 0), z = qRgb(0, 0, 150);
    view->setPlotColors({0, 0, x, y, z, x, y, z, 0});
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
    view->resetReadouts();
}

void frmForm1::setDevice(float ProdNum) {
    SetDevice(ProdNum);
}

void frmForm1::updateStatusFlags() {
    view->CmdUpdateStatus_Click();
}

std::string frmForm1::readData() {
    view->ReadData();
    return view->temperatureText().toStdString();
}

void frmForm1::startLoop() {
    view->startLoop();
}

void frmForm1::SetDevice(float ProdNum) {
    modelApplied_ = true;
    app::SetDevice(app_, ProdNum, *this);
    updateStatusBar();
}

void frmForm1::uncheckAllModels() {
    for (QAction* item : deviceItems_) item->setChecked(false);
}

void frmForm1::checkModel(int model) {
    for (std::size_t i = 0; i < registers::kModels.size(); ++i)
        if (registers::kModels[i].number == model) deviceItems_[i]->setChecked(true);
}

void frmForm1::showAccLimits(const std::string& lower, const std::string& middle,
                             const std::string& upper) {
    view->showAccLimits(Q(lower), Q(middle), Q(upper));
}

void frmForm1::showDeviceCaption(const std::string& caption) {
    view->showDeviceCaption(Q(caption));
}

frmUSBselect& frmForm1::usbSelectWindow() {
    if (!usbSelect_) usbSelect_ = new frmUSBselect(app_, this);
    return *usbSelect_;
}

void frmForm1::mnuUsb_Click() {
    execModal(usbSelectWindow());
    if (app_.UsbReady()) {
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
    view->stopLoop();
    // Every other window goes with the main one; hiding a modal window ends its loop.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible()) w->hide();
    endProgram();
}

void frmForm1::updateStatusBar() {
    lblStatusAdapter->setText(Q(transport::AdapterStatusText(app_.link())));
    if (!modelApplied_) return;
    lblStatusModel->setText(
        Q(registers::ModelStatusText(app_.model.ProductNumber, app_.platform.decimalSeparator())));
}

void frmForm1::showPassRate(double passesPerSecond) {
    lblStatusRate->setText(QString("%1 passes/s").arg(passesPerSecond, 0, 'f', 0));
    updateStatusBar();
}

} // namespace tavrin::ui
