#include "ui/frmManualReg.h"
#include "app/Sensor.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/App.h"
#include "base/FileLocation.h"
#include "base/HexText.h"
#include "base/SafeFile.h"
#include "base/Timing.h"
#include "registers/FrontEnd.h"
#include "registers/Listing.h"
#include "ui/NamedWidgets.h"

namespace tavrin::ui {

namespace {

const char* FlagText(bool flag) {
    return flag ? "True" : "False";
}

} // namespace

// The controls' places: the register frame and its buttons on the left, the listing on
// the right.
void frmManualReg::layOut() {
    auto* regGrid = new QGridLayout(frameRegister);
    regGrid->addWidget(cmboRegister, 0, 0, 1, 2);
    regGrid->addWidget(lblRegAddr, 1, 0);
    regGrid->addWidget(txtRegAddr, 1, 1);
    regGrid->addWidget(lblRegByte, 2, 0);
    regGrid->addWidget(txtRegByte, 2, 1);
    regGrid->addWidget(lblRegRead, 3, 0);
    regGrid->addWidget(txtRegRead, 3, 1);
    regGrid->addWidget(lblRegWrite, 4, 0);
    regGrid->addWidget(txtRegWrite, 4, 1);

    auto* rwGrid = new QGridLayout;
    rwGrid->addWidget(cmdRead, 0, 0);
    rwGrid->addWidget(txtHex, 0, 1);
    rwGrid->addWidget(cmdWrite, 1, 0);
    rwGrid->addWidget(txtDataWrite, 1, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(frameRegister);
    left->addLayout(rwGrid);
    left->addStretch(1);
    left->addWidget(cmdUpdateFlash);
    left->addWidget(cmdClose);

    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(Label2);
    listButtons->addStretch(1);
    listButtons->addWidget(cmdReadAll);
    listButtons->addWidget(cmdWriteFile);
    listButtons->addWidget(cmdPrint);
    auto* right = new QVBoxLayout(frameUserReg);
    right->addLayout(listButtons);
    right->addWidget(Text1);

    auto* top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addWidget(frameUserReg, 1);
}

frmManualReg::frmManualReg(app::App& app, QWidget* parent) : QDialog(parent), app_(app) {
    setObjectName("frmManualReg");
    setWindowTitle("Register Information");
    setModal(true);

    frameRegister = Named<QGroupBox>(this, "frameRegister", "Register Read/Write");
    cmboRegister = Named<QComboBox>(frameRegister, "cmboRegister");
    cmboRegister->setMaxVisibleItems(20);
    // Assistive technology does not read the placeholder: the prompt is also the box's
    // name (read while nothing is chosen) and its description.
    cmboRegister->setAccessibleName("Select a Register");
    cmboRegister->setAccessibleDescription("Select a Register");
    txtRegAddr = Named<QLineEdit>(frameRegister, "txtRegAddr");
    lblRegAddr = Named<QLabel>(frameRegister, "lblRegAddr", "Base Addr (Hex)");
    txtRegByte = Named<QLineEdit>(frameRegister, "txtRegByte");
    lblRegByte = Named<QLabel>(frameRegister, "lblRegByte", "Num Bytes");
    txtRegRead = Named<QLineEdit>(frameRegister, "txtRegRead");
    lblRegRead = Named<QLabel>(frameRegister, "lblRegRead", "Read Flag");
    txtRegWrite = Named<QLineEdit>(frameRegister, "txtRegWrite");
    lblRegWrite = Named<QLabel>(frameRegister, "lblRegWrite", "Write Flag");
    cmdRead = Named<QPushButton>(this, "cmdRead", "Read (Hex)");
    txtHex = Named<QLineEdit>(this, "txtHex");
    txtDataWrite = Named<QLineEdit>(this, "txtDataWrite");
    cmdWrite = Named<QPushButton>(this, "cmdWrite", "Write (Hex)");
    // Only the value to write is typed in.
    for (QLineEdit* e : {txtRegAddr, txtRegByte, txtRegRead, txtRegWrite, txtHex})
        e->setReadOnly(true);

    frameUserReg = Named<QGroupBox>(this, "frameUserReg", "User Registers (Hex Values)");
    Text1 = Named<QPlainTextEdit>(frameUserReg, "Text1");
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    Text1->setFont(fixed);
    Text1->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(QLatin1Char(' ')) * 8);
    Text1->setMinimumSize(560, 360);
    cmdReadAll = Named<QPushButton>(frameUserReg, "cmdReadAll", "Read");
    cmdWriteFile = Named<QPushButton>(frameUserReg, "cmdWriteFile", "Save");
    cmdPrint = Named<QPushButton>(frameUserReg, "cmdPrint", "Print");
    Label2 = Named<QLabel>(frameUserReg, "Label2", "Registers_Log");
    cmdUpdateFlash = Named<QPushButton>(this, "cmdUpdateFlash", "Update Flash");
    cmdClose = Named<QPushButton>(this, "cmdClose", "Close Window");
    for (QPushButton* b :
         {cmdRead, cmdWrite, cmdReadAll, cmdWriteFile, cmdPrint, cmdUpdateFlash, cmdClose})
        b->setAutoDefault(false);

    // Wide enough for "False" and four hexadecimal digits in any font.
    const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("FalseW")) + 16;
    for (QLineEdit* e : {txtRegAddr, txtRegByte, txtRegRead, txtRegWrite, txtHex, txtDataWrite})
        e->setMinimumWidth(fieldWidth);

    layOut();

    printDialog = [this](QPrinter& printer) {
        QPrintDialog dlg(&printer, this);
        return dlg.exec() == QDialog::Accepted;
    };

    // activated, not currentIndexChanged: choosing the same register again reads it again.
    connect(cmboRegister, &QComboBox::activated, this, [this](int) { cmboRegister_Click(); });
    connect(cmdRead, &QPushButton::clicked, this, [this] { cmdRead_Click(); });
    connect(cmdWrite, &QPushButton::clicked, this, [this] { cmdWrite_Click(); });
    connect(cmdReadAll, &QPushButton::clicked, this, [this] { cmdReadAll_Click(); });
    connect(cmdWriteFile, &QPushButton::clicked, this, [this] { cmdWriteFile_Click(); });
    connect(cmdPrint, &QPushButton::clicked, this, [this] { cmdPrint_Click(); });
    connect(cmdUpdateFlash, &QPushButton::clicked, this, [this] { cmdUpdateFlash_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });

    Form_Load();
}

void frmManualReg::Form_Load() {
    if (QWidget* owner = parentWidget()) move(owner->frameGeometry().topLeft());

    cmboRegister->clear();
    for (int pos = 0; pos <= app_.regs.LastRegIndex; ++pos) {
        const registers::RegisterRecord* reg = app_.regs.at(pos);
        if (!reg) break;
        cmboRegister->addItem(QString::fromStdString(reg->Label));
    }
    cmboRegister->setPlaceholderText("Select a Register");
    cmboRegister->setCurrentIndex(-1);

    cmdReadAll_Click();
}

void frmManualReg::cmboRegister_Click() {
    const int index = cmboRegister->currentIndex();
    const registers::RegisterRecord* reg = app_.regs.at(index);
    if (index < 0 || !reg) return;
    app_.shell.SelRegIndex = static_cast<int16_t>(index);
    txtRegAddr->setText(QString::fromStdString(base::LongToHex4(reg->Address)));
    txtRegByte->setText(QString::number(reg->NumBytes));
    txtRegRead->setText(FlagText(reg->ReadFlag));
    txtRegWrite->setText(FlagText(reg->WriteFlag));
    cmdWrite->setEnabled(reg->WriteFlag);
    cmdRead->setEnabled(reg->ReadFlag);
    cmdRead_Click();
}

void frmManualReg::cmdRead_Click() {
    const int index = cmboRegister->currentIndex();
    const registers::RegisterRecord* reg = app_.regs.at(index);
    if (!reg || !reg->ReadFlag) return;
    const registers::RegResults res = app::Read(app_, static_cast<int16_t>(index));
    txtHex->setText(QString::fromStdString(base::LongToHex4(res.RegRaw)));
}

void frmManualReg::cmdWrite_Click() {
    const int16_t pos = app_.shell.SelRegIndex;
    if (pos < 0 || pos > app_.regs.LastRegIndex) {
        // A choice left over from a table with more registers than the one loaded now.
        app_.messages.show("No register of the loaded table is chosen. Choose a register "
                           "first. Nothing was written.",
                           base::MsgIcon::Exclamation, base::kAppTitle);
        return;
    }
    int32_t value = 0;
    std::string error;
    if (!registers::ParseWriteValue(txtDataWrite->text().toStdString(), value, error)) {
        app_.messages.show(error, base::MsgIcon::Exclamation, base::kAppTitle);
        return;
    }
    app::Write(app_, pos, value);
}

void frmManualReg::cmdReadAll_Click() {
    listing_ = app::Listing(app_);
    // The box shows lines; the saved file keeps the CR LF line ends of listing_.
    Text1->setPlainText(QString::fromStdString(listing_).remove(QLatin1Char('\r')));
}

void frmManualReg::cmdWriteFile_Click() {
    std::string problem;
    const auto dir = base::FilesDirectory(app_.platform, &problem);
    if (!problem.empty()) {
        app_.messages.show(problem, base::MsgIcon::Critical, base::kAppTitle);
        return;
    }
    const auto file = dir / std::string(registers::kListingFileName);
    std::string error;
    if (!registers::SaveListing(file, listing_, error))
        app_.messages.show(error, base::MsgIcon::Critical, base::kAppTitle);
}

void frmManualReg::cmdPrint_Click() {
    const QPixmap image = grab();
    QPrinter printer(QPrinter::HighResolution);
    if (!printDialog || !printDialog(printer)) return; // cancelled: nothing to report

    const QString target = printer.outputFileName().isEmpty()
                               ? "the printer \"" + printer.printerName() + "\""
                               : "\"" + printer.outputFileName() + "\"";
    QPainter painter;
    bool ok = painter.begin(&printer);
    if (ok) {
        // The window at its size on screen, reduced only when the page is smaller.
        const QRect page = painter.viewport();
        const double dpr = image.devicePixelRatio();
        const double scale = printer.resolution() / (logicalDpiX() > 0 ? logicalDpiX() : 96.0);
        QSize size(qRound(image.width() / dpr * scale), qRound(image.height() / dpr * scale));
        if (size.width() > page.width() || size.height() > page.height())
            size.scale(page.size(), Qt::KeepAspectRatio);
        painter.drawPixmap(QRect(page.topLeft(), size), image);
        ok = painter.end();
    }
    if (!ok || printer.printerState() == QPrinter::Error) {
        app_.messages.show(("The window could not be printed to " + target + ".").toStdString(),
                           base::MsgIcon::Critical, base::kAppTitle);
    }
}

void frmManualReg::cmdUpdateFlash_Click() {
    app::UpdateFlash(app_);
}

void frmManualReg::cmdClose_Click() {
    hide();
}

void frmManualReg::closeEvent(QCloseEvent* event) {
    unload_ = true;
    QDialog::closeEvent(event);
}

void ShowRegisterWindow(app::App& app, QWidget* parent, std::unique_ptr<frmManualReg>& holder) {
    if (!holder) holder = std::make_unique<frmManualReg>(app, parent);
    holder->exec();
    if (holder->unloadRequested()) holder.reset();
}

} // namespace tavrin::ui
