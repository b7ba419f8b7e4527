#include "ui/frmUSBselect.h"
#include "ui/QtText.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/NumberText.h"
#include "app/App.h"
#include "transport/UsbSpi.h"

namespace tavrin::ui {
namespace {

QLineEdit* MakeBox(QWidget* parent, const QString& name, int width) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFixedWidth(width);
    return box;
}

} // namespace

frmUSBselect::frmUSBselect(app::App& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName("frmUSBselect");
    setWindowTitle("USB SPI Card Selection");
    setModal(true);

    frameBufferSetup = new QGroupBox("Buffer Select", this);
    frameBufferSetup->setObjectName("frameBufferSetup");
    auto* grid = new QGridLayout(frameBufferSetup);
    Label3 = new QLabel("Descriptor0", frameBufferSetup);
    Label3->setObjectName("Label3");
    Label6 = new QLabel("Rev", frameBufferSetup);
    Label6->setObjectName("Label6");
    Label7 = new QLabel("Speed", frameBufferSetup);
    Label7->setObjectName("Label7");
    grid->addWidget(Label3, 0, 1);
    grid->addWidget(Label6, 0, 2);
    grid->addWidget(Label7, 0, 3);

    group_ = new QButtonGroup(this);
    for (int k = 0; k < 5; ++k) {
        const QString caption = k < 4 ? QString("EzUsb%1").arg(k) : QString("None");
        optUsbPort[k] = new QRadioButton(caption, frameBufferSetup);
        optUsbPort[k]->setObjectName(QString("optUsbPort_%1").arg(k));
        group_->addButton(optUsbPort[k], k);
        grid->addWidget(optUsbPort[k], k + 1, 0);
        // Becoming selected runs the handler, whether by a click, the keyboard, code or
        // assistive technology (which toggles the button without clicking it).
        connect(optUsbPort[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on) optUsbPort_Click(k);
        });
    }
    for (int k = 0; k < 4; ++k) {
        txtDescript0[k] = MakeBox(frameBufferSetup, QString("txtDescript0_%1").arg(k), 220);
        txtDriverRev[k] = MakeBox(frameBufferSetup, QString("txtDriverRev_%1").arg(k), 50);
        txtSpeed[k] = MakeBox(frameBufferSetup, QString("txtSpeed_%1").arg(k), 50);
        lblSlotStatus[k] = new QLabel(frameBufferSetup);
        lblSlotStatus[k]->setObjectName(QString("lblSlotStatus_%1").arg(k));
        lblSlotStatus[k]->setMinimumWidth(120);
        lblSlotStatus[k]->setStyleSheet("color: rgb(160, 0, 0);");
        grid->addWidget(txtDescript0[k], k + 1, 1);
        grid->addWidget(txtDriverRev[k], k + 1, 2);
        grid->addWidget(txtSpeed[k], k + 1, 3);
        grid->addWidget(lblSlotStatus[k], k + 1, 4);
    }

    cmdFindEzUsb = new QPushButton("Search", this);
    cmdFindEzUsb->setObjectName("cmdFindEzUsb");
    cmdExit = new QPushButton("OK", this);
    cmdExit->setObjectName("cmdExit");
    cmdExit->setDefault(true);
    connect(cmdFindEzUsb, &QPushButton::clicked, this, [this] { cmdFindEzUsb_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdFindEzUsb);
    buttons->addWidget(cmdExit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameBufferSetup);
    layout->addLayout(buttons);
}

void frmUSBselect::Form_Load() {
    // Placed over the middle of the main window.
    if (QWidget* owner = parentWidget()) {
        adjustSize();
        const QRect r = owner->frameGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
}

void frmUSBselect::showEvent(QShowEvent* event) {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    QDialog::showEvent(event);
    // The search may show message boxes, so it runs once the window is up. Message
    // boxes hand activation back when they close; that is not a new activation.
    if (!activationPending_) {
        activationPending_ = true;
        QTimer::singleShot(0, this, [this] {
            activationPending_ = false;
            if (isVisible()) Form_Activate();
        });
    }
}

void frmUSBselect::Form_Activate() {
    cmdFindEzUsb_Click();
}

void frmUSBselect::cmdFindEzUsb_Click() {
    if (searching_) return; // a click served while a search message box is open
    searching_ = true;
    for (int k = 0; k < 4; ++k) {
        optUsbPort[k]->setEnabled(false);
        txtDescript0[k]->clear();
        txtDriverRev[k]->clear();
        txtSpeed[k]->clear();
        lblSlotStatus[k]->clear();
    }

    transport::UsbFindBuffers(app_);

    const std::string sep = app_.platform.decimalSeparator();
    for (int k = 0; k < 4; ++k) {
        if (app_.driver) lblSlotStatus[k]->setText(Q(app_.driver->slotStatus(k)));
        const transport::UsbDeviceInfo& dev = app_.drv.UsbDevices[k];
        if (!dev.Present) continue;
        optUsbPort[k]->setEnabled(true);
        if (app_.usb.UsbSelIndex == k) selectPort(k);
        txtDescript0[k]->setText(Q(dev.Descriptor1));
        txtDriverRev[k]->setText(Q(base::FixedText(dev.FirmwareRev, 1, sep)));
        const auto speed = base::ParseNumber(dev.Speed, ".");
        txtSpeed[k]->setText(Q(speed ? base::FixedText(*speed, 1, sep) : dev.Speed));
    }
    if (app_.usb.UsbSelIndex == -1) selectPort(4);
    ++searches_;
    searching_ = false;
}

void frmUSBselect::selectPort(int Index) {
    // The search runs the handler even when the button was selected already.
    if (optUsbPort[Index]->isChecked())
        optUsbPort_Click(Index);
    else
        optUsbPort[Index]->setChecked(true);
}

void frmUSBselect::optUsbPort_Click(int Index) {
    if (Index >= 0 && Index < 4) {
        transport::ChooseAdapter(app_, Index);
    } else {
        app_.usb.UsbReady = false;
    }
}

void frmUSBselect::cmdExit_Click() {
    hide();
}

void frmUSBselect::reject() {
    cmdExit_Click();
}

void frmUSBselect::closeEvent(QCloseEvent* event) {
    // The close box acts as OK: hide and stay loaded.
    event->ignore();
    cmdExit_Click();
}

} // namespace tavrin::ui
