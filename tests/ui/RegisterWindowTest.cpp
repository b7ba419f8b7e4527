// The register window on the simulated sensor, driven as a user drives it.
#include <QPrinter>
#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Find.h"
#include "SimTestApp.h"
#include "ui/frmManualReg.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

using namespace tavrin;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

std::string ReadFile(const fs::path& p) {
    std::stringstream ss;
    ss << std::ifstream(p, std::ios::binary).rdbuf();
    return ss.str();
}

// A simulated 41120 with the window loaded on it and its files in a temporary directory.
struct Bench {
    Bench() { s.t.platform.progDir = dir.path().toStdString(); }
    QTemporaryDir dir;
    test::SimTestApp s{41120};
    frmManualReg w{s.app};
    RegisterMap& regs = s.app.regs;
    std::vector<std::string> shown() { return s.t.messages.texts(); }
    fs::path path(const char* name) const { return fs::path(dir.path().toStdString()) / name; }
    void choose(int position) {
        test::Find<QComboBox>(w, "cmboRegister")->setCurrentIndex(position);
        emit test::Find<QComboBox>(w, "cmboRegister")->activated(position);
    }
    void write(const QString& text) {
        test::Find<QLineEdit>(w, "txtDataWrite")->setText(text);
        test::Find<QPushButton>(w, "cmdWrite")->click();
    }
    // Address, bytes, read and write flags, the value shown and which buttons are on.
    QString state() const {
        return QStringList{test::Find<QLineEdit>(w, "txtRegAddr")->text(),
                           test::Find<QLineEdit>(w, "txtRegByte")->text(),
                           test::Find<QLineEdit>(w, "txtRegRead")->text(),
                           test::Find<QLineEdit>(w, "txtRegWrite")->text(),
                           test::Find<QLineEdit>(w, "txtHex")->text(),
                           QString(test::Find<QPushButton>(w, "cmdRead")->isEnabled() ? "R" : "-") +
                               (test::Find<QPushButton>(w, "cmdWrite")->isEnabled() ? "W" : "-")}
            .join(' ');
    }
    // Prints through a dialog step that targets a PDF file instead of a printer.
    void printTo(const fs::path& pdf) {
        w.printDialog = [pdf](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(pdf.string()));
            return true;
        };
        test::Find<QPushButton>(w, "cmdPrint")->click();
    }
};

} // namespace

class RegisterWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadShowsCaptionsRegistersAndTheListing() {
        Bench b;
        QCOMPARE(b.w.windowTitle(), QString("Register Information"));
        // clang-format off
    const std::pair<const char*, const char*> captions[] = {
        {"frameRegister", "Register Read/Write"}, {"lblRegAddr", "Base Addr (Hex)"},
        {"lblRegByte", "Num Bytes"}, {"lblRegRead", "Read Flag"}, {"lblRegWrite", "Write Flag"},
        {"cmdRead", "Read (Hex)"}, {"cmdWrite", "Write (Hex)"},
        {"frameUserReg", "User Registers (Hex Values)"}, {"cmdReadAll", "Read"},
        {"cmdWriteFile", "Save"}, {"cmdPrint", "Print"}, {"Label2", "Registers_Log"},
        {"cmdUpdateFlash", "Update Flash"}, {"cmdClose", "Close Window"}};
        // clang-format on
        for (const auto& [name, caption] : captions) {
            QObject* o = b.w.findChild<QObject*>(name);
            QVERIFY2(o, name);
            QString text;
            if (auto* button = qobject_cast<QPushButton*>(o)) text = button->text();
            if (auto* label = qobject_cast<QLabel*>(o)) text = label->text();
            if (auto* frame = qobject_cast<QGroupBox*>(o)) text = frame->title();
            QCOMPARE(text, QString(caption));
        }
        QCOMPARE(test::Find<QComboBox>(b.w, "cmboRegister")->count(), 36);
        for (int pos = 0; pos <= b.regs.LastRegIndex; ++pos)
            QCOMPARE(test::Find<QComboBox>(b.w, "cmboRegister")->itemText(pos),
                     QString::fromStdString(b.regs.RegisterTable[pos].Label));
        QCOMPARE(test::Find<QComboBox>(b.w, "cmboRegister")->currentIndex(), -1);
        QCOMPARE(test::Find<QComboBox>(b.w, "cmboRegister")->placeholderText(),
                 QString("Select a Register"));
        // A screen reader gets the prompt too (the placeholder alone is not exposed), and
        // the chosen register as the value.
        QAccessibleInterface* a =
            QAccessible::queryAccessibleInterface(test::Find<QComboBox>(b.w, "cmboRegister"));
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), QString("Select a Register"));
        test::Find<QComboBox>(b.w, "cmboRegister")->setCurrentIndex(2);
        QCOMPARE(a->text(QAccessible::Description), QString("Select a Register"));
        QCOMPARE(a->text(QAccessible::Value),
                 test::Find<QComboBox>(b.w, "cmboRegister")->itemText(2));
        test::Find<QComboBox>(b.w, "cmboRegister")->setCurrentIndex(-1);

        const std::string& listing = b.w.listingText();
        QVERIFY(listing.find("SERIAL_NUM     \t0058\t") != std::string::npos);
        QCOMPARE(test::Find<QPlainTextEdit>(b.w, "Text1")->toPlainText(),
                 QString::fromStdString(listing).remove('\r'));
        QVERIFY(test::Find<QPlainTextEdit>(b.w, "Text1")->isReadOnly());
        // The columns line up only in a fixed font.
        const QFontMetrics metrics(test::Find<QPlainTextEdit>(b.w, "Text1")->font());
        QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    }

    // Choosing reads at once, also the same register again; write-only registers read nothing
    // and leave txtHex as it was; read-only ones have Write off.
    void choosingShowsFlagsAndReadsAtOnce() {
        Bench b;
        b.s.sensor.setWord(0x38, 0x0402);
        b.choose(b.regs.iSENS_AVG);
        QCOMPARE(b.s.app.shell.SelRegIndex, b.regs.iSENS_AVG);
        QCOMPARE(b.state(), QString("0038 2 True True 0402 RW"));
        b.s.sensor.setWord(0x38, 0x0201);
        test::Find<QPushButton>(b.w, "cmdRead")->click();
        QCOMPARE(test::Find<QLineEdit>(b.w, "txtHex")->text(), QString("0201"));
        b.s.sensor.setWord(0x38, 0x0102);
        b.choose(b.regs.iSENS_AVG);
        QCOMPARE(test::Find<QLineEdit>(b.w, "txtHex")->text(), QString("0102"));

        b.s.sensor.setWord(0x52, 0xBEEF);
        b.choose(b.regs.iLot_ID1);
        const std::pair<int, const char*> writeOnly[] = {
            {b.regs.iGLOB_CMD, "003E 1 False True BEEF -W"},
            {b.regs.iCONT_SLP, "003B 1 False True BEEF -W"}};
        for (const auto& [pos, state] : writeOnly) {
            b.s.driver.clearCommands();
            b.choose(pos);
            QCOMPARE(b.state(), QString(state));
            QVERIFY(b.s.driver.commands().empty());
        }
        b.choose(b.regs.iPROD_ID);
        QCOMPARE(b.state(), QString("0056 1 True False A0A0 R-")); // the model number
    }

    void writesLandAsTyped() {
        Bench b;
        // Before any choice the write goes to position 0, FLSH_CNT at 0x00: high byte first.
        // The sensor itself ignores it.
        QCOMPARE(b.s.app.shell.SelRegIndex, 0);
        b.s.driver.clearCommands();
        b.write("1234");
        QCOMPARE(b.s.driver.commands(),
                 (std::deque<Bytes>{Bytes{0x0D, 1, 2, 0x81, 0x12, 0x80, 0x34}}));
        // A new range through SENS_AVG; an 8-bit register takes one byte, the rest of the
        // text does not spill over.
        b.s.sensor.setWord(0x2A, 0x0000);
        const std::tuple<int, const char*, int, int> writes[] = {
            {b.regs.iALM_MAG1, " abcd ", 0x26, 0xABCD},
            {b.regs.iSENS_AVG, "0102", 0x38, 0x0102},
            {b.regs.iALM_SMPL1, "1FF", 0x2A, 0x00FF}};
        for (const auto& [pos, text, addr, word] : writes) {
            b.choose(pos);
            b.write(text);
            QCOMPARE(int(b.s.sensor.word(addr)), word);
        }
        // Position 35 goes low byte first. Its register is read-only, so the button is off;
        // the handler is called directly.
        b.choose(35);
        QVERIFY(!test::Find<QPushButton>(b.w, "cmdWrite")->isEnabled());
        b.s.driver.clearCommands();
        test::Find<QLineEdit>(b.w, "txtDataWrite")->setText("1234");
        b.w.cmdWrite_Click();
        QCOMPARE(b.s.driver.commands(),
                 (std::deque<Bytes>{Bytes{0x0D, 1, 2, 0xD8, 0x34, 0xD9, 0x12}}));
        QVERIFY(b.shown().empty());
    }

    void refusedWriteTextsReachNothing() {
        Bench b;
        b.choose(b.regs.iALM_MAG1);
        b.s.driver.clearCommands();
        const long long steps = b.s.t.delaySteps;
        for (const char* text : {"", "  ", "12G4", "0x12", "12345"}) {
            b.s.t.messages.clear();
            b.write(text);
            QCOMPARE(b.shown().size(), size_t(1));
            QVERIFY2(b.shown()[0].find("Nothing was written") != std::string::npos, text);
        }
        QVERIFY(b.s.driver.commands().empty());
        QCOMPARE(b.s.t.delaySteps, steps); // a 16-bit write would have waited 0.1 ms

        // Rebuilt after the close box and a model change, the window has Write on while the
        // last choice (SERIAL_NUM, 35) lies beyond the 41040 table: there is nothing to write to.
        b.choose(35);
        LoadRegisterTable(b.regs, 41040);
        frmManualReg rebuilt(b.s.app);
        b.s.driver.clearCommands();
        b.s.t.messages.clear();
        test::Find<QLineEdit>(rebuilt, "txtDataWrite")->setText("0001");
        test::Find<QPushButton>(rebuilt, "cmdWrite")->click();
        QCOMPARE(b.shown().size(), size_t(1));
        QVERIFY(b.s.driver.commands().empty());
    }

    void saveWritesTheShownListingAndReportsFailure() {
        Bench b;
        const fs::path file = b.path("Registers_LOG.txt");
        test::Find<QPushButton>(b.w, "cmdWriteFile")->click();
        QCOMPARE(ReadFile(file), b.w.listingText());
        b.s.sensor.setWord(0x26, 0x0BAD);
        test::Find<QPushButton>(b.w, "cmdReadAll")->click();
        QVERIFY(b.w.listingText().find("ALM_MAG1     \t0026\t0BAD") != std::string::npos);
        test::Find<QPushButton>(b.w, "cmdWriteFile")->click();
        QCOMPARE(ReadFile(file), b.w.listingText());
        QVERIFY(b.shown().empty());

        // The program directory and the per-user folder both lie under a regular file.
        const fs::path blocker = b.path("plain");
        std::ofstream(blocker) << "x";
        b.s.t.platform.progDir = blocker;
        b.s.t.platform.dataDir = blocker / "user";
        test::Find<QPushButton>(b.w, "cmdWriteFile")->click();
        QCOMPARE(b.shown().size(), size_t(1));
        QVERIFY2(b.shown()[0].find("\"" + (blocker / "user").string() + "\" does not exist") !=
                     std::string::npos,
                 b.shown()[0].c_str());
    }

    void updateFlashAndPrint() {
        Bench b;
        const int flashes = b.s.sensor.flashCount();
        const long long steps = b.s.t.delaySteps;
        test::Find<QPushButton>(b.w, "cmdUpdateFlash")->click();
        QCOMPARE(b.s.sensor.flashCount(), flashes + 1);
        QCOMPARE(b.s.t.delaySteps - steps, 25000LL); // 250 ms in 10-microsecond steps

        b.w.show();
        b.printTo(b.path("window.pdf"));
        QVERIFY(b.shown().empty());
        const QByteArray pdf = QByteArray::fromStdString(ReadFile(b.path("window.pdf")));
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page/") + pdf.count("/Type /Page>"),
                 qsizetype(1));
        QVERIFY(pdf.contains("/Subtype /Image"));
        // A cancelled dialog is no failure; a file that cannot be created is.
        b.w.printDialog = [](QPrinter&) { return false; };
        test::Find<QPushButton>(b.w, "cmdPrint")->click();
        QVERIFY(b.shown().empty());
        std::ofstream(b.path("plain")) << "x";
        const fs::path bad = b.path("plain") / "window.pdf";
        b.printTo(bad);
        QCOMPARE(b.shown().size(), size_t(1));
        QVERIFY2(b.shown()[0].find(bad.string()) != std::string::npos, b.shown()[0].c_str());
    }

    void closeWindowKeepsItCloseBoxRebuildsIt() {
        test::SimTestApp s(41120);
        std::unique_ptr<frmManualReg> holder;
        // Opens the window modally; once it runs, notes how many registers it lists and closes
        // it by the button or the close box.
        auto open = [&](bool closeBox) {
            int listed = -1;
            QTimer::singleShot(0, [&] {
                if (holder && holder->isVisible())
                    listed = test::Find<QComboBox>(*holder, "cmboRegister")->count();
                closeBox ? void(holder->close())
                         : test::Find<QPushButton>(*holder, "cmdClose")->click();
            });
            ShowRegisterWindow(s.app, nullptr, holder);
            return listed;
        };
        QCOMPARE(open(false), 36);
        QVERIFY(holder && !holder->isVisible());
        // A model change while the window is hidden: the kept window still lists the old table.
        LoadRegisterTable(s.app.regs, 41040);
        QCOMPARE(open(true), 36);
        QVERIFY(!holder);
        QCOMPARE(open(false), 33);
        QCOMPARE(test::Find<QComboBox>(*holder, "cmboRegister")->itemText(1), QString("not used"));
    }
};

QTEST_MAIN(RegisterWindowTest)
#include "RegisterWindowTest.moc"