// The register window on the simulated sensor, driven as a user drives it.
#include <QtWidgets>
#include <fstream>

#include "WindowRigs.h"
#include "ui/frmManualReg.h"

using namespace tavrin;
using Bytes = std::vector<uint8_t>;

namespace {

// A simulated 41120 with the window loaded on it and its files in a temporary
// directory.
struct Bench {
    test::ScratchDir dir;
    test::SimTestApp s{41120};
    ui::frmManualReg w{(s.t.platform.progDir = dir.path, s.app)};
    QString text(const char* name) const { return test::Find<QLineEdit>(w, name)->text(); }
    QPushButton* button(const char* name) const { return test::Find<QPushButton>(w, name); }
    void choose(int position) {
        test::Find<QComboBox>(w, "cmboRegister")->setCurrentIndex(position);
        emit test::Find<QComboBox>(w, "cmboRegister")->activated(position);
    }
    void write(const QString& text) {
        test::Find<QLineEdit>(w, "txtDataWrite")->setText(text);
        button("cmdWrite")->click();
    }
};

} // namespace

class RegisterWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadShowsCaptionsAndTheListing() {
        Bench b;
        QCOMPARE(test::WrongCaptions(b.w), QStringList());
        auto* combo = test::Find<QComboBox>(b.w, "cmboRegister");
        QVERIFY(combo->currentIndex() == -1 && combo->placeholderText() == "Select a Register");
        auto* listing = test::Find<QPlainTextEdit>(b.w, "Text1");
        QCOMPARE(listing->toPlainText(), QString::fromStdString(b.w.listingText()).remove('\r'));
        QVERIFY(listing->isReadOnly() && test::Find<QLineEdit>(b.w, "txtHex")->isReadOnly());
    }

    // Every register listed with its documented address, size and flags, Read and
    // Write on as the flags say; choosing reads at once, but a write-only
    // register leaves txtHex.
    void everyRegisterAsDocumentedAndChoosingReads() {
        Bench b;
        const auto table = test::DataTable(QFINDTESTDATA("../data/ui/register_window.tsv"));
        auto* combo = test::Find<QComboBox>(b.w, "cmboRegister");
        QCOMPARE(combo->count(), table.size());
        b.s.sensor.setWord(0x58, 0xBEEF);
        for (int pos = 0; pos < table.size(); ++pos) {
            const QString before = b.text("txtHex");
            b.s.driver.clearCommands();
            b.choose(pos);
            const QString on[] = {"False", "True"};
            QCOMPARE((QStringList{combo->itemText(pos), b.text("txtRegAddr"), b.text("txtRegByte"),
                                  b.text("txtRegRead"), b.text("txtRegWrite"),
                                  on[b.button("cmdRead")->isEnabled()],
                                  on[b.button("cmdWrite")->isEnabled()]}),
                     table[pos] + table[pos].mid(3));
            QCOMPARE(b.s.app.shell.SelRegIndex, pos);
            QCOMPARE(b.s.driver.commands().empty(), table[pos][3] == "False");
            if (table[pos][3] == "False") QCOMPARE(b.text("txtHex"), before);
        }
        QCOMPARE(b.text("txtHex"), QString("BEEF")); // SERIAL_NUM, read last
        b.s.sensor.setWord(0x58, 0x0102);
        b.button("cmdRead")->click();
        QCOMPARE(b.text("txtHex"), QString("0102"));
    }

    // High byte first but for position 35; an 8-bit register takes one byte; text
    // that is no four-digit hexadecimal number reaches nothing.
    void writesLandAsTyped() {
        Bench b;
        b.s.driver.clearCommands();
        b.write("1234"); // no choice yet: position 0
        b.write("12G4");
        QCOMPARE(b.s.driver.commands(),
                 (std::deque<Bytes>{Bytes{0x0D, 1, 2, 0x81, 0x12, 0x80, 0x34}}));
        QVERIFY(b.s.t.messages.texts().at(0).find("Nothing was written") != std::string::npos);
        b.s.sensor.setWord(0x2A, 0);
        b.choose(20); // ALM_SMPL1
        b.write("1FF");
        QCOMPARE(int(b.s.sensor.word(0x2A)), 0x00FF);
        b.choose(35);
        b.s.driver.clearCommands();
        test::Find<QLineEdit>(b.w, "txtDataWrite")->setText("1234");
        b.w.cmdWrite_Click(); // its button is off
        QCOMPARE(b.s.driver.commands(),
                 (std::deque<Bytes>{Bytes{0x0D, 1, 2, 0xD8, 0x34, 0xD9, 0x12}}));
        // Rebuilt after a model change, the last choice (35) lies beyond the 41040
        // table.
        LoadRegisterTable(b.s.app.regs, 41040);
        ui::frmManualReg rebuilt(b.s.app);
        b.s.driver.clearCommands();
        test::Find<QPushButton>(rebuilt, "cmdWrite")->click();
        QCOMPARE(b.s.t.messages.shown.size(), size_t(2));
        QVERIFY(b.s.driver.commands().empty());
    }

    void saveAndUpdateFlash() {
        Bench b;
        b.s.sensor.setWord(0x26, 0x0BAD);
        b.button("cmdReadAll")->click();
        b.button("cmdWriteFile")->click();
        QVERIFY(b.w.listingText().find("ALM_MAG1     \t0026\t0BAD") != std::string::npos);
        QCOMPARE(b.dir.read("Registers_LOG.txt"), b.w.listingText());
        const int flashes = b.s.sensor.flashCount();
        const long long steps = b.s.t.delaySteps;
        b.button("cmdUpdateFlash")->click();
        QCOMPARE(b.s.sensor.flashCount(), flashes + 1);
        QCOMPARE(b.s.t.delaySteps - steps, 25000LL); // 250 ms in steps of 10 us
        QVERIFY(b.s.t.messages.shown.empty());
        // Neither the program directory nor the per-user folder can be used.
        const auto plain = b.dir.path / "plain";
        std::ofstream(plain) << "x";
        b.s.t.platform.progDir = plain;
        b.s.t.platform.dataDir = plain / "user";
        b.button("cmdWriteFile")->click();
        QVERIFY(b.s.t.messages.texts().at(0).find("\"" + (plain / "user").string() +
                                                  "\" does not exist") != std::string::npos);
    }
};

QTEST_MAIN(RegisterWindowTest)
#include "RegisterWindowTest.moc"
