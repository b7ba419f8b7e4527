// The register window on the simulated sensor, driven as a user drives it.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimTestApp.h"
#include "app/State.h"
#include "registers/frmManualReg.h"

using namespace tavrin;
namespace fs = std::filesystem;

namespace {

void Choose(frmManualReg& w, int position) {
    w.cmboRegister->setCurrentIndex(position);
    emit w.cmboRegister->activated(position);
}

void TypeAndWrite(frmManualReg& w, const QString& text) {
    w.txtDataWrite->setText(text);
    w.cmdWrite->click();
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Every text the window caught in a message box.
std::vector<std::string> Shown(test::SimTestApp& s) {
    return s.t.messages.texts();
}

// A simulated 41120 with the window loaded on it and its files in a temporary directory.
struct Bench {
    Bench() {
        s.t.platform.progDir = dir.path().toStdString();
        w = std::make_unique<frmManualReg>(s.app);
    }
    QTemporaryDir dir;
    test::SimTestApp s{41120};
    std::unique_ptr<frmManualReg> w;
    RegisterMap& regs() { return s.app.regs; }
    fs::path path(const char* name) const { return fs::path(dir.path().toStdString()) / name; }
    // Prints through a dialog step that targets a PDF file instead of a printer.
    void printTo(const fs::path& pdf) {
        w->printDialog = [pdf](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(pdf.string()));
            return true;
        };
        w->cmdPrint->click();
    }
};

} // namespace

class RegisterWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadShowsCaptionsRegistersAndTheListing();
    void choosingShowsFlagsAndReadsAtOnce();
    void writeOnlyAndReadOnlyRegisters();
    void writesLandAsTyped();
    void refusedWriteTextsReachNothing();
    void saveWritesTheShownListingAndReportsFailure();
    void updateFlashCountsAndWaits();
    void printsOnePageWithTheWindowImage();
    void closeWindowKeepsItCloseBoxRebuildsIt();
};

void RegisterWindowTest::loadShowsCaptionsRegistersAndTheListing() {
    Bench b;
    QCOMPARE(b.w->windowTitle(), QString("Register Information"));
    const std::pair<const char*, const char*> captions[] = {
        {"frameRegister", "Register Read/Write"},
        {"lblRegAddr", "Base Addr (Hex)"},
        {"lblRegByte", "Num Bytes"},
        {"lblRegRead", "Read Flag"},
        {"lblRegWrite", "Write Flag"},
        {"cmdRead", "Read (Hex)"},
        {"cmdWrite", "Write (Hex)"},
        {"frameUserReg", "User Registers (Hex Values)"},
        {"cmdReadAll", "Read"},
        {"cmdWriteFile", "Save"},
        {"cmdPrint", "Print"},
        {"Label2", "Registers_Log"},
        {"cmdUpdateFlash", "Update Flash"},
        {"cmdClose", "Close Window"},
    };
    for (const auto& [name, caption] : captions) {
        QObject* o = b.w->findChild<QObject*>(name);
        QVERIFY2(o, name);
        QString text;
        if (auto* button = qobject_cast<QPushButton*>(o)) text = button->text();
        if (auto* label = qobject_cast<QLabel*>(o)) text = label->text();
        if (auto* frame = qobject_cast<QGroupBox*>(o)) text = frame->title();
        QCOMPARE(text, QString(caption));
    }

    QCOMPARE(b.w->cmboRegister->count(), 36);
    for (int pos = 0; pos <= b.regs().LastRegIndex; ++pos)
        QCOMPARE(b.w->cmboRegister->itemText(pos),
                 QString::fromStdString(b.regs().RegisterTable[pos].Label));
    QCOMPARE(b.w->cmboRegister->currentIndex(), -1);
    QCOMPARE(b.w->cmboRegister->placeholderText(), QString("Select a Register"));

    const std::string& listing = b.w->listingText();
    QVERIFY(listing.find("SERIAL_NUM     \t0058\t") != std::string::npos);
    QCOMPARE(b.w->Text1->toPlainText(), QString::fromStdString(listing).remove('\r'));
    QVERIFY(b.w->Text1->isReadOnly());
    const QFontMetrics metrics(b.w->Text1->font()); // the columns line up only in a fixed font
    QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
}

void RegisterWindowTest::choosingShowsFlagsAndReadsAtOnce() {
    Bench b;
    b.s.sensor.setWord(0x38, 0x0402);
    Choose(*b.w, b.regs().iSENS_AVG);
    QCOMPARE(b.s.app.shell.SelRegIndex, b.regs().iSENS_AVG);
    QCOMPARE(b.w->txtRegAddr->text(), QString("0038"));
    QCOMPARE(b.w->txtRegByte->text(), QString("2"));
    QCOMPARE(b.w->txtRegRead->text(), QString("True"));
    QCOMPARE(b.w->txtRegWrite->text(), QString("True"));
    QVERIFY(b.w->cmdRead->isEnabled() && b.w->cmdWrite->isEnabled());
    QCOMPARE(b.w->txtHex->text(), QString("0402"));

    b.s.sensor.setWord(0x38, 0x0201);
    b.w->cmdRead->click();
    QCOMPARE(b.w->txtHex->text(), QString("0201"));
    // Choosing the same register again reads it again.
    b.s.sensor.setWord(0x38, 0x0102);
    Choose(*b.w, b.regs().iSENS_AVG);
    QCOMPARE(b.w->txtHex->text(), QString("0102"));
}

void RegisterWindowTest::writeOnlyAndReadOnlyRegisters() {
    Bench b;
    b.s.sensor.setWord(0x52, 0xBEEF);
    Choose(*b.w, b.regs().iLot_ID1);
    QCOMPARE(b.w->txtHex->text(), QString("BEEF"));

    for (int pos : {int(b.regs().iGLOB_CMD), int(b.regs().iCONT_SLP)}) {
        b.s.driver.clearCommands();
        Choose(*b.w, pos);
        QVERIFY(!b.w->cmdRead->isEnabled());
        QVERIFY(b.w->cmdWrite->isEnabled());
        QCOMPARE(b.w->txtRegRead->text(), QString("False"));
        QCOMPARE(b.w->txtRegWrite->text(), QString("True"));
        QCOMPARE(b.w->txtHex->text(), QString("BEEF")); // nothing read, nothing shown
        QVERIFY(b.s.driver.commands().empty());
    }
    QCOMPARE(b.w->txtRegAddr->text(), QString("003B"));
    QCOMPARE(b.w->txtRegByte->text(), QString("1"));

    Choose(*b.w, b.regs().iPROD_ID);
    QVERIFY(b.w->cmdRead->isEnabled());
    QVERIFY(!b.w->cmdWrite->isEnabled());
    QCOMPARE(b.w->txtRegWrite->text(), QString("False"));
    QCOMPARE(b.w->txtHex->text(), QString("A0A0")); // the model number
}

void RegisterWindowTest::writesLandAsTyped() {
    Bench b;
    // Before any choice the write goes to position 0, FLSH_CNT at 0x00: high byte first.
    // The sensor itself ignores it.
    QCOMPARE(b.s.app.shell.SelRegIndex, 0);
    b.s.driver.clearCommands();
    TypeAndWrite(*b.w, "1234");
    QCOMPARE(b.s.driver.commands().size(), size_t(1));
    QCOMPARE(b.s.driver.commands().back(),
             (std::vector<uint8_t>{0x0D, 0x01, 0x02, 0x81, 0x12, 0x80, 0x34}));

    Choose(*b.w, b.regs().iALM_MAG1);
    TypeAndWrite(*b.w, " abcd ");
    QCOMPARE(int(b.s.sensor.word(0x26)), 0xABCD);

    // A new gyroscope range through SENS_AVG.
    Choose(*b.w, b.regs().iSENS_AVG);
    TypeAndWrite(*b.w, "0102");
    QCOMPARE(int(b.s.sensor.word(0x38)), 0x0102);

    // An 8-bit register takes one byte: the rest of the text does not spill over.
    b.s.sensor.setWord(0x2A, 0x0000);
    Choose(*b.w, b.regs().iALM_SMPL1);
    TypeAndWrite(*b.w, "1FF");
    QCOMPARE(int(b.s.sensor.word(0x2A)), 0x00FF);

    // Position 35 goes low byte first. Its register is read-only, so the button is off;
    // the handler is called directly.
    Choose(*b.w, 35);
    QVERIFY(!b.w->cmdWrite->isEnabled());
    b.s.driver.clearCommands();
    b.w->txtDataWrite->setText("1234");
    b.w->cmdWrite_Click();
    QCOMPARE(b.s.driver.commands().size(), size_t(1));
    QCOMPARE(b.s.driver.commands().back(),
             (std::vector<uint8_t>{0x0D, 0x01, 0x02, 0xD8, 0x34, 0xD9, 0x12}));
    QVERIFY(Shown(b.s).empty());
}

void RegisterWindowTest::refusedWriteTextsReachNothing() {
    Bench b;
    Choose(*b.w, b.regs().iALM_MAG1);
    b.s.driver.clearCommands();
    const long long steps = b.s.t.delaySteps;
    for (const char* text : {"", "  ", "12G4", "0x12", "12345"}) {
        b.s.t.messages.clear();
        TypeAndWrite(*b.w, text);
        QCOMPARE(Shown(b.s).size(), size_t(1));
        QVERIFY2(Shown(b.s)[0].find("Nothing was written") != std::string::npos,
                 Shown(b.s)[0].c_str());
    }
    QVERIFY(b.s.driver.commands().empty());
    QCOMPARE(b.s.t.delaySteps, steps); // a 16-bit write would have waited 0.1 ms

    // Rebuilt after the close box and a model change, the window has Write on while the
    // last choice (SERIAL_NUM, 35) lies beyond the 41040 table: there is nothing to write to.
    Choose(*b.w, 35);
    LoadRegisterTable(b.regs(), 41040);
    frmManualReg rebuilt(b.s.app);
    b.s.driver.clearCommands();
    b.s.t.messages.clear();
    TypeAndWrite(rebuilt, "0001");
    QCOMPARE(Shown(b.s).size(), size_t(1));
    QVERIFY(b.s.driver.commands().empty());
}

void RegisterWindowTest::saveWritesTheShownListingAndReportsFailure() {
    Bench b;
    const fs::path file = b.path("Registers_LOG.txt");
    b.w->cmdWriteFile->click();
    QCOMPARE(ReadFile(file), b.w->listingText());

    b.s.sensor.setWord(0x26, 0x0BAD);
    b.w->cmdReadAll->click();
    QVERIFY(b.w->listingText().find("ALM_MAG1     \t0026\t0BAD") != std::string::npos);
    b.w->cmdWriteFile->click();
    QCOMPARE(ReadFile(file), b.w->listingText());
    QVERIFY(Shown(b.s).empty());

    // The program directory and the per-user folder both lie under a regular file.
    const fs::path blocker = b.path("plain");
    std::ofstream(blocker) << "x";
    b.s.t.platform.progDir = blocker;
    b.s.t.platform.dataDir = blocker / "user";
    b.w->cmdWriteFile->click();
    QCOMPARE(Shown(b.s).size(), size_t(1));
    const std::string expectedPath = (blocker / "user" / "Registers_LOG.txt").string();
    QVERIFY2(Shown(b.s)[0].find(expectedPath) != std::string::npos, Shown(b.s)[0].c_str());
}

void RegisterWindowTest::updateFlashCountsAndWaits() {
    Bench b;
    const int before = b.s.sensor.flashCount();
    const long long steps = b.s.t.delaySteps;
    b.w->cmdUpdateFlash->click();
    QCOMPARE(b.s.sensor.flashCount(), before + 1);
    QCOMPARE(b.s.t.delaySteps - steps, 25000LL); // 250 ms in 10-microsecond steps
    QVERIFY(Shown(b.s).empty());
}

void RegisterWindowTest::printsOnePageWithTheWindowImage() {
    Bench b;
    b.w->show();
    b.printTo(b.path("window.pdf"));
    QVERIFY(Shown(b.s).empty());
    const QByteArray pdf = QByteArray::fromStdString(ReadFile(b.path("window.pdf")));
    QVERIFY(pdf.startsWith("%PDF"));
    QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page/") + pdf.count("/Type /Page>"),
             qsizetype(1));
    QVERIFY(pdf.contains("/Subtype /Image"));

    // A cancelled dialog is no failure; a file that cannot be created is.
    b.w->printDialog = [](QPrinter&) { return false; };
    b.w->cmdPrint->click();
    QVERIFY(Shown(b.s).empty());
    std::ofstream(b.path("plain")) << "x";
    const fs::path bad = b.path("plain") / "window.pdf";
    b.printTo(bad);
    QCOMPARE(Shown(b.s).size(), size_t(1));
    QVERIFY2(Shown(b.s)[0].find(bad.string()) != std::string::npos, Shown(b.s)[0].c_str());
}

void RegisterWindowTest::closeWindowKeepsItCloseBoxRebuildsIt() {
    test::SimTestApp s(41120);
    std::unique_ptr<frmManualReg> holder;
    int listed = 0;
    // Runs once the modal window's event loop is running.
    auto whenShown = [&](bool closeBox) {
        QTimer::singleShot(0, [&, closeBox] {
            listed = holder && holder->isVisible() ? holder->cmboRegister->count() : -1;
            if (closeBox)
                holder->close();
            else
                holder->cmdClose->click();
        });
    };

    whenShown(false);
    ShowRegisterWindow(s.app, nullptr, holder);
    QCOMPARE(listed, 36);
    QVERIFY(holder && !holder->isVisible());

    // A model change while the window is hidden: the kept window still lists the old table.
    LoadRegisterTable(s.app.regs, 41040);
    whenShown(true);
    ShowRegisterWindow(s.app, nullptr, holder);
    QCOMPARE(listed, 36);
    QVERIFY(!holder);

    whenShown(false);
    ShowRegisterWindow(s.app, nullptr, holder);
    QCOMPARE(listed, 33);
    QCOMPARE(holder->cmboRegister->itemText(1), QString("not used"));
}

QTEST_MAIN(RegisterWindowTest)
#include "RegisterWindowTest.moc"
