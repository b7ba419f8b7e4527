#include <QtTest>
#include <QtWidgets>

#include "TestApp.h"
#include "sim/SimDriver.h"
#include "transport/FrontEnd.h"
#include "transport/frmUSBselect.h"

using namespace tavrin;

namespace {

// A driver whose slot 3 holds an adapter the user may not open.
struct StatusDriver : sim::SimDriver {
    std::string slotStatus(int slot) override { return slot == 3 ? "no permission" : ""; }
};

} // namespace

class UsbSelectTest : public QObject {
    Q_OBJECT
  private slots:
    void adaptersInSlotsOneAndTwoAndTheChoiceRules() {
        StatusDriver driver;
        driver.addAdapter(1, {.model = 41120});
        driver.addAdapter(
            2, {.model = 41190, .highSpeed = false, .firmwareMajor = 1, .firmwareMinor = 3});
        test::TestApp t(&driver);
        t.platform.decimalSep = std::string(1, ',');
        frmUSBselect w(t.app);
        w.Form_Activate();

        QCOMPARE(w.windowTitle(), QString("USB SPI Card Selection"));
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(w.optUsbPort[k]->isEnabled(), k == 1 || k == 2);
            QCOMPARE(w.txtDescript0[k]->text().isEmpty(), k != 1 && k != 2);
        }
        QVERIFY(w.optUsbPort[1]->isChecked() && t.app.usb.UsbReady);
        QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-1"));
        QVERIFY(!t.app.drv.UsbDevices[1].Descriptor1.empty());
        QCOMPARE(w.txtDescript0[1]->text(),
                 QString::fromStdString(t.app.drv.UsbDevices[1].Descriptor1));
        // Revision and speed in the "0.0" format with the user's separator.
        QCOMPARE(QStringList({w.txtDriverRev[2]->text(), w.txtSpeed[1]->text(),
                              w.txtSpeed[2]->text(), w.lblSlotStatus[3]->text()}),
                 QStringList({"1,3", "2,0", "1,1", "no permission"}));
        // Selecting slot 1 sent it the two SPI settings.
        QCOMPARE(driver.spiSetup(1), t.app.usb.SpiSetupValue);
        QCOMPARE(driver.spiBits(1), uint8_t(120));
        QVERIFY(t.messages.shown.empty());

        // Choosing EzUsb2 while 1 is ready moves the transfers there.
        t.app.model.InterfaceKind = InterfaceUsb;
        w.optUsbPort[2]->click();
        QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-2"));
        QCOMPARE(driver.spiSetup(2), t.app.usb.SpiSetupValue);
        QCOMPARE(driver.spiBits(2), uint8_t(120));
        ReadRawRegister(t.app, 0x56);
        QCOMPARE(t.app.res.RegValue, 41190);

        w.Form_Activate(); // reopening searches again: back to the lowest slot
        QVERIFY(w.optUsbPort[1]->isChecked());
        ReadRawRegister(t.app, 0x56);
        QCOMPARE(t.app.res.RegValue, 41120);

        // "None" then an adapter: copied, not ready, nothing sent.
        w.optUsbPort[4]->click();
        QVERIFY(!t.app.usb.UsbReady);
        driver.clearCommands();
        w.optUsbPort[2]->click();
        QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-2"));
        QVERIFY(!t.app.usb.UsbReady);
        QVERIFY(driver.commands().empty());
        QCOMPARE(driver.openHandles(), 0);
    }

    // Each showing searches once, however often activation comes and goes.
    void closeBoxHidesAndEachShowingSearchesOnce() {
        sim::SimDriver driver;
        driver.addAdapter(0, {});
        test::TestApp t(&driver);
        QWidget owner;
        frmUSBselect w(t.app, &owner);

        bool closedByBox = false;
        QTimer::singleShot(0, &w, [&] {
            QTRY_COMPARE(w.searchCount(), 1);
            QEvent activate(QEvent::WindowActivate);
            QCoreApplication::sendEvent(&w, &activate);
            QCoreApplication::processEvents();
            QCloseEvent close;
            QCoreApplication::sendEvent(&w, &close);
            closedByBox = !close.isAccepted();
        });
        w.exec(); // returns only when the window is hidden
        QVERIFY(closedByBox && w.isHidden());
        QCOMPARE(w.searchCount(), 1);

        QTimer::singleShot(0, &w, [&] {
            QTRY_COMPARE(w.searchCount(), 2);
            w.cmdExit->click();
        });
        w.exec();
        QCOMPARE(w.searchCount(), 2);
        QVERIFY(t.app.usb.UsbReady);
    }
};

QTEST_MAIN(UsbSelectTest)
#include "UsbSelectTest.moc"
