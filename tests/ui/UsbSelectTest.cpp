#include <QtTest>
#include <QtWidgets>
#include <functional>

#include "Find.h"
#include "TestApp.h"
#include "registers/FrontEnd.h"
#include "sim/SimDriver.h"
#include "ui/frmUSBselect.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

using namespace tavrin;

namespace {

// A driver whose slot 3 holds an adapter the user may not open.
struct StatusDriver : sim::SimDriver {
    std::string slotStatus(int slot) override { return slot == 3 ? "no permission" : ""; }
};

// The SPI setting commands (setup and bits) sent since the log was last cleared.
size_t SettingsSent(const sim::SimDriver& driver) {
    size_t n = 0;
    for (const auto& c : driver.commands()) n += !c.empty() && (c[0] == 0x0B || c[0] == 0x0C);
    return n;
}

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
            QCOMPARE(test::Find<QRadioButton>(w, "optUsbPort", k)->isEnabled(), k == 1 || k == 2);
            QCOMPARE(test::Find<QLineEdit>(w, "txtDescript0", k)->text().isEmpty(),
                     k != 1 && k != 2);
        }
        QVERIFY(test::Find<QRadioButton>(w, "optUsbPort", 1)->isChecked() && t.app.usb.UsbReady);
        QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-1"));
        QVERIFY(!t.app.drv.UsbDevices[1].Descriptor1.empty());
        QCOMPARE(test::Find<QLineEdit>(w, "txtDescript0", 1)->text(),
                 QString::fromStdString(t.app.drv.UsbDevices[1].Descriptor1));
        // Revision and speed in the "0.0" format with the user's separator.
        QCOMPARE(QStringList({test::Find<QLineEdit>(w, "txtDriverRev", 2)->text(),
                              test::Find<QLineEdit>(w, "txtSpeed", 1)->text(),
                              test::Find<QLineEdit>(w, "txtSpeed", 2)->text(),
                              test::Find<QLabel>(w, "lblSlotStatus", 3)->text()}),
                 QStringList({"1,3", "2,0", "1,1", "no permission"}));
        // Selecting slot 1 sent it the two SPI settings.
        QCOMPARE(driver.spiSetup(1), t.app.usb.SpiSetupValue);
        QCOMPARE(driver.spiBits(1), uint8_t(120));
        QVERIFY(t.messages.shown.empty());

        // Choosing EzUsb2 while 1 is ready moves the transfers there.
        t.app.usb.InterfaceKind = InterfaceUsb;
        test::Find<QRadioButton>(w, "optUsbPort", 2)->click();
        QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-2"));
        QCOMPARE(driver.spiSetup(2), t.app.usb.SpiSetupValue);
        QCOMPARE(driver.spiBits(2), uint8_t(120));
        ReadRawRegister(t.app, 0x56);
        QCOMPARE(t.app.res.RegValue, 41190);

        w.Form_Activate(); // reopening searches again: back to the lowest slot
        QVERIFY(test::Find<QRadioButton>(w, "optUsbPort", 1)->isChecked());
        ReadRawRegister(t.app, 0x56);
        QCOMPARE(t.app.res.RegValue, 41120);

        // "None" then an adapter: copied, not ready, nothing sent.
        test::Find<QRadioButton>(w, "optUsbPort", 4)->click();
        QVERIFY(!t.app.usb.UsbReady);
        driver.clearCommands();
        test::Find<QRadioButton>(w, "optUsbPort", 2)->click();
        QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-2"));
        QVERIFY(!t.app.usb.UsbReady);
        QVERIFY(driver.commands().empty());
        QCOMPARE(driver.openHandles(), 0);
    }

    // A selection made by code or by assistive technology (its toggle action, not a
    // click) switches the adapter like a click does, and sends the settings once.
    void selectionByCodeOrAssistiveToggleRunsTheHandlerOnce() {
        sim::SimDriver driver;
        driver.addAdapter(0, {.model = 41120});
        driver.addAdapter(2, {.model = 41190});
        test::TestApp t(&driver);
        frmUSBselect w(t.app);
        w.Form_Activate();
        QVERIFY(test::Find<QRadioButton>(w, "optUsbPort", 0)->isChecked() && t.app.usb.UsbReady);
        // The search sent slot 0 its two settings once.
        QCOMPARE(SettingsSent(driver), size_t(2));
        t.app.usb.InterfaceKind = InterfaceUsb;

        auto toggle = [](QAbstractButton* b) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
            QVERIFY(a && a->actionInterface());
            QVERIFY(a->actionInterface()->actionNames().contains(
                QAccessibleActionInterface::toggleAction()));
            a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        };
        const std::function<void(QAbstractButton*)> ways[2] = {
            [](QAbstractButton* b) { b->setChecked(true); }, toggle};
        for (const auto& select : ways) {
            w.Form_Activate(); // a fresh search: slot 0 ready
            driver.clearCommands();
            select(test::Find<QRadioButton>(w, "optUsbPort", 2));
            QVERIFY(test::Find<QRadioButton>(w, "optUsbPort", 2)->isChecked() &&
                    !test::Find<QRadioButton>(w, "optUsbPort", 0)->isChecked());
            QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-2"));
            QCOMPARE(SettingsSent(driver), size_t(2));
            QCOMPARE(driver.spiBits(2), uint8_t(120));
            ReadRawRegister(t.app, 0x56);
            QCOMPARE(t.app.res.RegValue, 41190);

            driver.clearCommands();
            select(test::Find<QRadioButton>(w, "optUsbPort", 0));
            QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-0"));
            QCOMPARE(SettingsSent(driver), size_t(2));
            // Already selected: nothing runs again.
            test::Find<QRadioButton>(w, "optUsbPort", 0)->setChecked(true);
            QCOMPARE(SettingsSent(driver), size_t(2));

            select(test::Find<QRadioButton>(w, "optUsbPort", 4)); // "None"
            QVERIFY(!t.app.usb.UsbReady);
        }
        // A click still runs the handler, and a search still sends once, whether or not
        // its adapter was selected before.
        test::Find<QRadioButton>(w, "optUsbPort", 2)->click();
        QCOMPARE(t.app.usb.UsbSelDevice.DevName, std::string("Ezusb-2"));
        driver.clearCommands();
        w.Form_Activate();
        QVERIFY(test::Find<QRadioButton>(w, "optUsbPort", 0)->isChecked());
        QCOMPARE(SettingsSent(driver), size_t(2));
        driver.clearCommands();
        w.Form_Activate();
        QCOMPARE(SettingsSent(driver), size_t(2));
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
            test::Find<QPushButton>(w, "cmdExit")->click();
        });
        w.exec();
        QCOMPARE(w.searchCount(), 2);
        QVERIFY(t.app.usb.UsbReady);
    }
};

QTEST_MAIN(UsbSelectTest)
#include "UsbSelectTest.moc"