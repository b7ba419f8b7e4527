#include "ui/frmUSBselect.h"
#include "app/Sensor.h"
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

#include "app/App.h"
#include "base/NumberText.h"
#include "transport/UsbSpi.h"
#include "ui/NamedWidgets.h"

namespace tavrin::ui {

frmUSBselect::frmUSBselect(app::App& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName("frmUSBselect");
    setWindowTitle("USB SPI Card Selection");
    setModal(true);

    frameBufferSetup = Named<QGroupBox>(this, "frameBufferSetup", "Buffer Select");
    auto* grid = new QGridLayout(frameBufferSetup);
    Label3 = Named<QLabel>(frameBufferSetup, "Label3", "Descriptor0");
    Label6 = Named<QLabel>(frameBufferSetup, "Label6", "Rev");
    Label7 = Named<QLabel>(frameBufferSetup, "Label7", "Speed");
    grid->addWidget(Label3, 0, 1);
    grid->addWidget(Label6, 0, 2);
    grid->addWidget(Label7, 0, 3);

    group_ = new QButtonGroup(this);
    for (int k = 0; k < 5; ++k) {
        const QString caption = k < 4 ? QString("EzUsb%1").arg(k) : QString("None");
        optUsbPort[k] = Named<QRadioButton>(frameBufferSetup, Indexed("optUsbPort", k), caption);
        group_->addButton(optUsbPort[k], k);
        grid->addWidget(optUsbPort[k], k + 1, 0);
        // Becoming selected runs the handler, whether by a click, the keyboard, code or
        // assistive technology (which toggles the button without clicking it).
        connect(optUsbPort[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on) optUsbPort_Click(k);
        });
    }
    for (int k = 0; k < 4; ++k) {
        txtDescript0[k] = Named<QLineEdit>(frameBufferSetup, Indexed("txtDescript0", k));
        txtDriverRev[k] = Named<QLineEdit>(frameBufferSetup, Indexed("txtDriverRev", k));
        txtSpeed[k] = Named<QLineEdit>(frameBufferSetup, Indexed("txtSpeed", k));
        for (QLineEdit* box : {txtDescript0[k], txtDriverRev[k], txtSpeed[k]})
            box->setReadOnly(true);
        txtDescript0[k]->setFixedWidth(220);
        txtDriverRev[k]->setFixedWidth(50);
        txtSpeed[k]->setFixedWidth(50);
        lblSlotStatus[k] = Named<QLabel>(frameBufferSetup, Indexed("lblSlotStatus", k));
        lblSlotStatus[k]->setMinimumWidth(120);
        lblSlotStatus[k]->setStyleSheet("color: rgb(160, 0, 0);");
        grid->addWidget(txtDescript0[k], k + 1, 1);
        grid->addWidget(txtDriverRev[k], k + 1, 2);
        grid->addWidget(txtSpeed[k], k + 1, 3);
        grid->addWidget(lblSlotStatus[k], k + 1, 4);
    }

    cmdFindEzUsb = Named<QPushButton>(this, "cmdFindEzUsb", "Search");
    cmdExit = Named<QPushButton>(this, "cmdExit", "OK");
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

    app::FindAdapters(app_);

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
        app::ChooseAdapter(app_, Index);
    } else {
        app_.usb.ready = false;
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
