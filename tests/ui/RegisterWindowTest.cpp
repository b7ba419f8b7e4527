// The register window on the simulated sensor, driven as a user drives it.

#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "WindowRigs.h"
#include "ui/frmManualReg.h"

using namespace tavrin;

class RegisterWindowTest : public QObject {
    Q_OBJECT
  private slots:
    // The captions; typed hexadecimal text lands high byte first, other text
    // reaches nothing; every register listed with its documented address, size
    // and flags, Read and Write on as the flags say; choosing reads at once, but
    // a write-only register leaves txtHex.
    void everyRegisterAsDocumentedReadWrittenAndSaved() {
        test::ScratchDir dir; // the listing's directory
        test::SimTestApp s{41120};
        ui::frmManualReg w{(s.t.platform.progDir = dir.path, s.app)};
        auto text = [&](const char* name) { return test::Find<QLineEdit>(w, name)->text(); };
        auto button = [&](const char* name) { return test::Find<QPushButton>(w, name); };
        QCOMPARE(test::WrongCaptions(w), QStringList());
        auto* combo = test::Find<QComboBox>(w, "cmboRegister");
        QVERIFY(combo->currentIndex() == -1 && combo->placeholderText() == "Select a Register");
        QVERIFY(test::Find<QPlainTextEdit>(w, "Text1")->isReadOnly() &&
                test::Find<QLineEdit>(w, "txtHex")->isReadOnly());
        s.driver.clearCommands();
        for (const char* typed : {"1234", "12G4"}) { // no choice yet: position 0
            test::Find<QLineEdit>(w, "txtDataWrite")->setText(typed);
            button("cmdWrite")->click();
        }
        QCOMPARE(s.driver.commands(),
                 (std::deque<std::vector<uint8_t>>{{0x0D, 1, 2, 0x81, 0x12, 0x80, 0x34}}));
        QVERIFY(s.t.messages.texts().at(0).find("Nothing was written") != std::string::npos);
        const auto table = test::DataTable(QFINDTESTDATA("../data/ui/register_window.tsv"));
        QCOMPARE(combo->count(), table.size());
        s.sensor.setWord(0x58, 0xBEEF);
        for (int pos = 0; pos < table.size(); ++pos) {
            const QString before = text("txtHex");
            s.driver.clearCommands();
            combo->setCurrentIndex(pos);
            emit combo->activated(pos);
            const QString on[] = {"False", "True"};
            QCOMPARE((QStringList{combo->itemText(pos), text("txtRegAddr"), text("txtRegByte"),
                                  text("txtRegRead"), text("txtRegWrite"),
                                  on[button("cmdRead")->isEnabled()],
                                  on[button("cmdWrite")->isEnabled()]}),
                     table[pos] + table[pos].mid(3));
            QCOMPARE(s.driver.commands().empty(), table[pos][3] == "False");
            if (table[pos][3] == "False") QCOMPARE(text("txtHex"), before);
        }
        QCOMPARE(text("txtHex"), QString("BEEF")); // SERIAL_NUM, read last

        // The listing shown is the one saved; Update Flash stores the settings.
        s.sensor.setWord(0x26, 0x0BAD);
        button("cmdReadAll")->click();
        button("cmdWriteFile")->click();
        QVERIFY(w.listingText().find("ALM_MAG1     \t0026\t0BAD") != std::string::npos);
        QCOMPARE(dir.read("Registers_LOG.txt"), w.listingText());
        QCOMPARE(test::Find<QPlainTextEdit>(w, "Text1")->toPlainText(),
                 QString::fromStdString(w.listingText()).remove('\r'));
        const int flashes = s.sensor.flashCount();
        button("cmdUpdateFlash")->click();
        QVERIFY(s.sensor.flashCount() == flashes + 1 && s.t.messages.shown.size() == 1);
    }
};

QTEST_MAIN(RegisterWindowTest)
#include "RegisterWindowTest.moc"
