// The register window on the simulated sensor: choosing, reading, writing, saving and
// the flash update, as a user drives them.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimTestApp.h"
#include "app/State.h"
#include "registers/Listing.h"
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

// A simulated 41120 with the window loaded on it and its files in a temporary directory.
struct Bench {
    Bench() : s(41120) {
        s.t.platform.progDir = dir.path().toStdString();
        w = std::make_unique<frmManualReg>(s.app);
    }
    QTemporaryDir dir;
    test::SimTestApp s;
    std::unique_ptr<frmManualReg> w;
    App& app() { return s.app; }
};

} // namespace

class RegisterWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadListsEveryPositionAndTheListing();
    void choosingShowsFlagsAndReadsAtOnce();
    void writeOnlyAndReadOnlyRegisters();
    void writeBeforeAnyChoiceGoesToPositionZero();
    void refusedWriteTextsReachNothing();
    void sixteenBitWritesLandAsTyped();
    void saveWritesTheShownListingAndReplacesIt();
    void saveReportsADirectoryThatCannotHoldTheFile();
    void updateFlashCountsAndWaits();
};

void RegisterWindowTest::loadListsEveryPositionAndTheListing() {
    Bench b;
    QCOMPARE(b.w->cmboRegister->count(), b.app().regs.LastRegIndex + 1);
    for (int pos = 0; pos <= b.app().regs.LastRegIndex; ++pos)
        QCOMPARE(b.w->cmboRegister->itemText(pos),
                 QString::fromStdString(b.app().regs.RegisterTable[pos].Label));
    QCOMPARE(b.w->cmboRegister->currentIndex(), -1);
    const std::string& listing = b.w->listingText();
    QVERIFY(listing.rfind(ListingHeading(), 0) == 0);
    QVERIFY(listing.find("SERIAL_NUM     \t0058\t") != std::string::npos);
    QCOMPARE(b.w->Text1->toPlainText(), QString::fromStdString(listing).remove('\r'));
}

void RegisterWindowTest::choosingShowsFlagsAndReadsAtOnce() {
    Bench b;
    const int pos = b.app().regs.iSENS_AVG;
    b.s.sensor.setWord(0x38, 0x0402);
    Choose(*b.w, pos);
    QCOMPARE(b.app().shell.SelRegIndex, pos);
    QCOMPARE(b.w->txtRegAddr->text(), QString("0038"));
    QCOMPARE(b.w->txtRegByte->text(), QString("2"));
    QCOMPARE(b.w->txtRegRead->text(), QString("True"));
    QCOMPARE(b.w->txtRegWrite->text(), QString("True"));
    QVERIFY(b.w->cmdRead->isEnabled());
    QVERIFY(b.w->cmdWrite->isEnabled());
    QCOMPARE(b.w->txtHex->text(), QString("0402"));

    // Read fetches the register again, not the value shown.
    b.s.sensor.setWord(0x38, 0x0201);
    b.w->cmdRead->click();
    QCOMPARE(b.w->txtHex->text(), QString("0201"));
    // Choosing the same register again reads it again.
    b.s.sensor.setWord(0x38, 0x0102);
    Choose(*b.w, pos);
    QCOMPARE(b.w->txtHex->text(), QString("0102"));
}

void RegisterWindowTest::writeOnlyAndReadOnlyRegisters() {
    Bench b;
    b.s.sensor.setWord(0x52, 0xBEEF);
    Choose(*b.w, b.app().regs.iLot_ID1);
    QCOMPARE(b.w->txtHex->text(), QString("BEEF"));

    for (int pos : {int(b.app().regs.iGLOB_CMD), int(b.app().regs.iCONT_SLP)}) {
        Choose(*b.w, pos);
        QVERIFY(!b.w->cmdRead->isEnabled());
        QVERIFY(b.w->cmdWrite->isEnabled());
        QCOMPARE(b.w->txtRegRead->text(), QString("False"));
        QCOMPARE(b.w->txtRegWrite->text(), QString("True"));
        QCOMPARE(b.w->txtRegByte->text(), QString("1"));
        QCOMPARE(b.w->txtHex->text(), QString("BEEF")); // nothing read, nothing shown
    }
    QCOMPARE(b.w->txtRegAddr->text(), QString("003B"));

    b.s.sensor.setWord(0x56, 0xA0A0);
    Choose(*b.w, b.app().regs.iPROD_ID);
    QVERIFY(b.w->cmdRead->isEnabled());
    QVERIFY(!b.w->cmdWrite->isEnabled());
    QCOMPARE(b.w->txtRegRead->text(), QString("True"));
    QCOMPARE(b.w->txtRegWrite->text(), QString("False"));
    QCOMPARE(b.w->txtHex->text(), QString("A0A0"));
}

void RegisterWindowTest::writeBeforeAnyChoiceGoesToPositionZero() {
    Bench b;
    QCOMPARE(b.app().shell.SelRegIndex, 0);
    b.s.driver.clearCommands();
    TypeAndWrite(*b.w, "1234");
    // FLSH_CNT at 0x00: high byte to 0x01 first. The sensor itself ignores the write.
    QCOMPARE(b.s.driver.commands().size(), size_t(1));
    const std::vector<uint8_t> frames{0x0D, 0x01, 0x02, 0x81, 0x12, 0x80, 0x34};
    QCOMPARE(b.s.driver.commands().back(), frames);
    QVERIFY(b.s.t.messages.texts().empty());
}

void RegisterWindowTest::refusedWriteTextsReachNothing() {
    Bench b;
    Choose(*b.w, b.app().regs.iALM_MAG1);
    b.s.sensor.setWord(0x26, 0x5A5A);
    const long long steps = b.s.t.delaySteps;
    b.s.driver.clearCommands();
    const std::pair<const char*, const char*> refused[] = {
        {"", "no value"},
        {"   ", "no value"},
        {"12G4", "not a hexadecimal value"},
        {"0x12", "not a hexadecimal value"},
        {"1 2", "not a hexadecimal value"},
        {"12345", "more than four hexadecimal digits"},
    };
    for (const auto& [text, reason] : refused) {
        b.s.t.messages.clear();
        TypeAndWrite(*b.w, text);
        QCOMPARE(b.s.t.messages.texts().size(), size_t(1));
        const std::string msg = b.s.t.messages.texts()[0];
        QVERIFY2(msg.find(reason) != std::string::npos, msg.c_str());
        QCOMPARE(int(b.s.sensor.word(0x26)), 0x5A5A);
    }
    QVERIFY(b.s.driver.commands().empty());
    QCOMPARE(b.s.t.delaySteps, steps); // a 16-bit write would have waited 0.1 ms
}

void RegisterWindowTest::sixteenBitWritesLandAsTyped() {
    Bench b;
    Choose(*b.w, b.app().regs.iALM_MAG1);
    TypeAndWrite(*b.w, " abcd ");
    QCOMPARE(int(b.s.sensor.word(0x26)), 0xABCD);
    QVERIFY(b.s.t.messages.texts().empty());

    // A new gyroscope range through SENS_AVG.
    Choose(*b.w, b.app().regs.iSENS_AVG);
    TypeAndWrite(*b.w, "0102");
    QCOMPARE(int(b.s.sensor.word(0x38)), 0x0102);
    b.w->cmdRead->click();
    QCOMPARE(b.w->txtHex->text(), QString("0102"));

    // Position 35 is written low byte first, both frames in one transfer. Its register is
    // read-only in the window (and in the sensor), so the handler is called directly.
    Choose(*b.w, 35);
    b.s.driver.clearCommands();
    b.w->txtDataWrite->setText("1234");
    b.w->cmdWrite_Click();
    QCOMPARE(b.s.driver.commands().size(), size_t(1));
    const std::vector<uint8_t> lowFirst{0x0D, 0x01, 0x02, 0xD8, 0x34, 0xD9, 0x12};
    QCOMPARE(b.s.driver.commands().back(), lowFirst);

    // One byte for an 8-bit register: the high byte of the text does not spill over.
    b.s.sensor.setWord(0x2A, 0x0000);
    Choose(*b.w, b.app().regs.iALM_SMPL1);
    TypeAndWrite(*b.w, "1FF");
    QCOMPARE(int(b.s.sensor.word(0x2A)), 0x00FF);
}

void RegisterWindowTest::saveWritesTheShownListingAndReplacesIt() {
    Bench b;
    const fs::path file = fs::path(b.dir.path().toStdString()) / "Registers_LOG.txt";
    b.w->cmdWriteFile->click();
    QCOMPARE(ReadFile(file), b.w->listingText());

    b.s.sensor.setWord(0x26, 0x0BAD);
    b.w->cmdReadAll->click();
    QVERIFY(b.w->listingText().find("ALM_MAG1     \t0026\t0BAD") != std::string::npos);
    b.w->cmdWriteFile->click();
    QCOMPARE(ReadFile(file), b.w->listingText());
    QVERIFY(b.s.t.messages.texts().empty());
}

void RegisterWindowTest::saveReportsADirectoryThatCannotHoldTheFile() {
    Bench b;
    // Program directory and the per-user folder both lie under a regular file.
    const fs::path blocker = fs::path(b.dir.path().toStdString()) / "plain";
    std::ofstream(blocker) << "x";
    b.s.t.platform.progDir = blocker;
    b.s.t.platform.dataDir = blocker / "user";
    b.w->cmdWriteFile->click();
    QCOMPARE(b.s.t.messages.texts().size(), size_t(1));
    const std::string msg = b.s.t.messages.texts()[0];
    QVERIFY2(msg.find("Registers_LOG.txt") != std::string::npos, msg.c_str());
    QVERIFY2(msg.find(blocker.string()) != std::string::npos, msg.c_str());
}

void RegisterWindowTest::updateFlashCountsAndWaits() {
    Bench b;
    const int before = b.s.sensor.flashCount();
    const long long steps = b.s.t.delaySteps;
    b.w->cmdUpdateFlash->click();
    QCOMPARE(b.s.sensor.flashCount(), before + 1);
    QCOMPARE(b.s.t.delaySteps - steps, 25000LL); // 250 ms in 10-microsecond steps
    QVERIFY(b.s.t.messages.texts().empty());
}

QTEST_MAIN(RegisterWindowTest)
#include "RegisterWindowTest.moc"
