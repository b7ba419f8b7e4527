// The adapter selection window on simulated adapters.
#include "TestApp.h"
#include "WindowRigs.h"
#include "registers/FrontEnd.h"
#include "sim/SimDriver.h"
#include "ui/frmUSBselect.h"

using namespace tavrin;

class UsbSelectTest : public QObject {
    Q_OBJECT
  private slots:
    void adaptersInSlotsOneAndTwoAndTheChoiceRules() {
        sim::SimDriver driver;
        driver.addAdapter(
            1, {.model = 41190, .highSpeed = false, .firmwareMajor = 1, .firmwareMinor = 3});
        driver.addAdapter(2, {.model = 41120, .firmwareMajor = 2, .firmwareMinor = 1});
        test::TestApp t(&driver);
        t.platform.decimalSep = ",";
        QWidget owner;
        ui::frmUSBselect w(t.app, &owner);
        QCOMPARE(test::WrongCaptions(w), QStringList());
        auto port = [&](int k) { return test::Find<QRadioButton>(w, "optUsbPort", k); };
        auto model = [&] { // the one the chosen adapter's sensor reports
            return registers::ReadRawRegister(t.app.registers(), 0x56).res.RegValue;
        };
        w.Form_Activate();
        // Per slot: enabled, a descriptor or none, revision and speed in the "0.0"
        // format with the user's separator; the boxes are read-only.
        QStringList shown;
        for (int k = 0; k < 4; ++k) {
            shown << (port(k)->isEnabled() ? "on" : "off");
            for (const char* box : {"txtDescript0", "txtDriverRev", "txtSpeed"}) {
                auto* edit = test::Find<QLineEdit>(w, box, k);
                shown << (edit->isReadOnly() ? "" : "editable ") +
                             (box == std::string_view("txtDescript0") && !edit->text().isEmpty()
                                  ? "named"
                                  : edit->text());
            }
        }
        QCOMPARE(shown.join(' '), QString("off    on named 1,3 1,1 on named 2,1 2,0 off   "));
        QVERIFY(port(1)->isChecked() && t.app.UsbReady() && t.messages.shown.empty());
        // Choosing EzUsb2 while 1 is ready: SPI setup, then SPI bits, to slot 2. The
        // last board read (slot 2, high speed) left the setup value at 10.
        t.app.usb.InterfaceKind = transport::InterfaceUsb;
        driver.clearCommands();
        port(2)->click();
        QCOMPARE(driver.commands(), (std::deque<std::vector<uint8_t>>{{0x0B, 10}, {0x0C, 120}}));
        QVERIFY(!port(1)->isChecked() && model() == 41120);
        // Reopening searches again: back to the lowest slot. The close box only hides.
        bool closedByBox = false;
        QTimer::singleShot(0, &w, [&] {
            QTRY_COMPARE(w.searchCount(), 2);
            closedByBox = !w.close();
        });
        w.exec(); // returns only when the window is hidden
        QVERIFY(closedByBox && w.isHidden() && port(1)->isChecked() && model() == 41190);
    }
};

QTEST_MAIN(UsbSelectTest)
#include "UsbSelectTest.moc"
