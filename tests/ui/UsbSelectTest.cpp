// The adapter selection window on simulated adapters.
#include "TestApp.h"
#include "WindowRigs.h"
#include "registers/FrontEnd.h"
#include "sim/SimDriver.h"
#include "ui/frmUSBselect.h"

using namespace tavrin;

namespace {

QRadioButton* Port(const QWidget& w, int k) {
    return test::Find<QRadioButton>(w, "optUsbPort", k);
}

// The model the chosen adapter's sensor reports.
int Model(app::App& app) {
    registers::ReadRawRegister(app, 0x56);
    return app.res.RegValue;
}

} // namespace

class UsbSelectTest : public QObject {
    Q_OBJECT
  private slots:
    void adaptersInSlotsOneAndTwoAndTheChoiceRules() {
        sim::SimDriver driver;
        driver.addAdapter(1, {.model = 41120});
        driver.addAdapter(
            2, {.model = 41190, .highSpeed = false, .firmwareMajor = 1, .firmwareMinor = 3});
        test::TestApp t(&driver);
        t.platform.decimalSep = ",";
        ui::frmUSBselect w(t.app);
        QCOMPARE(test::WrongCaptions(w), QStringList());
        w.Form_Activate();
        QStringList shown;
        for (int k = 0; k < 4; ++k) {
            shown << (Port(w, k)->isEnabled() ? "on" : "off");
            for (const char* box : {"txtDescript0", "txtDriverRev", "txtSpeed"})
                if (!test::Find<QLineEdit>(w, box, k)->text().isEmpty()) shown << box;
        }
        QCOMPARE(shown.join(' '), QString("off on txtDescript0 txtDriverRev txtSpeed on "
                                          "txtDescript0 txtDriverRev txtSpeed off"));
        QVERIFY(Port(w, 1)->isChecked() && t.app.usb.UsbReady && t.messages.shown.empty());
        // Revision and speed in the "0.0" format with the user's separator.
        QCOMPARE(QStringList({test::Find<QLineEdit>(w, "txtDriverRev", 2)->text(),
                              test::Find<QLineEdit>(w, "txtSpeed", 1)->text(),
                              test::Find<QLineEdit>(w, "txtSpeed", 2)->text()}),
                 QStringList({"1,3", "2,0", "1,1"}));
        // Choosing EzUsb2 while 1 is ready: SPI setup, then SPI bits, to slot 2.
        // The last board read (slot 2, full speed) left the setup value at 35.
        t.app.usb.InterfaceKind = transport::InterfaceUsb;
        driver.clearCommands();
        Port(w, 2)->click();
        QCOMPARE(driver.commands(), (std::deque<std::vector<uint8_t>>{{0x0B, 35}, {0x0C, 120}}));
        QCOMPARE(Model(t.app), 41190);
        w.Form_Activate(); // reopening searches again: back to the lowest slot
        QVERIFY(Port(w, 1)->isChecked() && Model(t.app) == 41120);
        // "None" then an adapter: copied, not ready, nothing sent.
        Port(w, 4)->click();
        driver.clearCommands();
        Port(w, 2)->click();
        QVERIFY(t.app.usb.UsbSelDevice.DevName == "Ezusb-2" && !t.app.usb.UsbReady &&
                driver.commands().empty() && driver.openHandles() == 0);
    }

    // A high-speed adapter alone is set up with 10; a toggle by assistive
    // technology switches the adapter like a click, once; the close box only hides.
    void toggleSelectsAndCloseBoxHides() {
        sim::SimDriver driver;
        driver.addAdapter(0, {.model = 41120});
        driver.addAdapter(2, {.model = 41190});
        test::TestApp t(&driver);
        QWidget owner;
        ui::frmUSBselect w(t.app, &owner);
        w.Form_Activate();
        QCOMPARE(driver.spiSetup(0), 10);
        t.app.usb.InterfaceKind = transport::InterfaceUsb;
        driver.clearCommands();
        QAccessible::queryAccessibleInterface(Port(w, 2))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::toggleAction());
        Port(w, 2)->setChecked(true); // already selected: nothing runs again
        QVERIFY(!Port(w, 0)->isChecked() && driver.commands().size() == 2 && Model(t.app) == 41190);
        bool closedByBox = false;
        QTimer::singleShot(0, &w, [&] {
            QTRY_COMPARE(w.searchCount(), 2);
            closedByBox = !w.close();
        });
        w.exec(); // returns only when the window is hidden
        QVERIFY(closedByBox && w.isHidden() && Port(w, 0)->isChecked());
    }
};

QTEST_MAIN(UsbSelectTest)
#include "UsbSelectTest.moc"
