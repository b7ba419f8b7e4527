// The register window on the simulated sensor, driven as a user drives it.
#include <fstream>

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "WindowRigs.h"
#include "ui/frmManualReg.h"

using namespace tavrin;

namespace {

// A simulated 41120 with the window loaded on it and its files in a scratch directory.
struct Bench {
    test::ScratchDir dir;
    test::SimTestApp s{41120};
    ui::frmManualReg w{(s.t.platform.progDir = dir.path, s.app)};
    QString text(const char* name) const { return test::Find<QLineEdit>(w, name)->text(); }
    QPushButton* button(const char* name) const { return test::Find<QPushButton>(w, name); }
};

} // namespace

class RegisterWindowTest : public QObject {
    Q_OBJECT
  private slots:
    // The captions; typed hexadecimal text lands high byte first, other text
    // reaches nothing; every register listed with its documented address, size
    // and flags, Read and Write on as the flags say; choosing reads at once, but
    // a write-only register leaves txtHex.
    void everyRegisterAsDocumentedAndChoosingReads() {
        Bench b;
        QCOMPARE(test::WrongCaptions(b.w), QStringList());
        auto* combo = test::Find<QComboBox>(b.w, "cmboRegister");
        QVERIFY(combo->currentIndex() == -1 && combo->placeholderText() == "Select a Register");
        b.s.driver.clearCommands();
        for (const char* typed : {"1234", "12G4"}) { // no choice yet: position 0
            test::Find<QLineEdit>(b.w, "txtDataWrite")->setText(typed);
            b.button("cmdWrite")->click();
        }
        QCOMPARE(b.s.driver.commands(),
                 (std::deque<std::vector<uint8_t>>{{0x0D, 1, 2, 0x81, 0x12, 0x80, 0x34}}));
        QVERIFY(b.s.t.messages.texts().at(0).find("Nothing was written") != std::string::npos);
        const auto table = test::DataTable(QFINDTESTDATA("../data/ui/register_window.tsv"));
        QCOMPARE(combo->count(), table.size());
        b.s.sensor.setWord(0x58, 0xBEEF);
        for (int pos = 0; pos < table.size(); ++pos) {
            const QString before = b.text("txtHex");
            b.s.driver.clearCommands();
            combo->setCurrentIndex(pos);
            emit combo->activated(pos);
            const QString on[] = {"False", "True"};
            QCOMPARE((QStringList{combo->itemText(pos), b.text("txtRegAddr"), b.text("txtRegByte"),
                                  b.text("txtRegRead"), b.text("txtRegWrite"),
                                  on[b.button("cmdRead")->isEnabled()],
                                  on[b.button("cmdWrite")->isEnabled()]}),
                     table[pos] + table[pos].mid(3));
            QCOMPARE(b.s.driver.commands().empty(), table[pos][3] == "False");
            if (table[pos][3] == "False") QCOMPARE(b.text("txtHex"), before);
        }
        QCOMPARE(b.text("txtHex"), QString("BEEF")); // SERIAL_NUM, read last
        b.s.sensor.setWord(0x58, 0x0102);
        b.button("cmdRead")->click();
        QCOMPARE(b.text("txtHex"), QString("0102"));
    }

    // The listing shown is the one saved; Update Flash stores the settings; a
    // listing that cannot be saved says where.
    void saveAndUpdateFlash() {
        Bench b;
        b.s.sensor.setWord(0x26, 0x0BAD);
        b.button("cmdReadAll")->click();
        b.button("cmdWriteFile")->click();
        QVERIFY(b.w.listingText().find("ALM_MAG1     \t0026\t0BAD") != std::string::npos);
        QCOMPARE(b.dir.read("Registers_LOG.txt"), b.w.listingText());
        QCOMPARE(test::Find<QPlainTextEdit>(b.w, "Text1")->toPlainText(),
                 QString::fromStdString(b.w.listingText()).remove('\r'));
        const int flashes = b.s.sensor.flashCount();
        b.button("cmdUpdateFlash")->click();
        QVERIFY(b.s.sensor.flashCount() == flashes + 1 && b.s.t.messages.shown.empty());
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
