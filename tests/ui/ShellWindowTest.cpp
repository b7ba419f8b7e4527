#include <QtTest>
#include <QtWidgets>

#include "Find.h"
#include "SimTestApp.h"
#include "ui/MeasurementView.h"
#include "ui/frmForm1.h"
#include "ui/frmUSBselect.h"

using namespace tavrin::app;
using namespace tavrin::base;
using namespace tavrin::registers;
using namespace tavrin::sim;
using namespace tavrin::transport;
using namespace tavrin::ui;
using namespace tavrin::view;

using namespace tavrin;
using Texts = std::vector<std::string>;

namespace {

const std::string kNoBuffers = "No USB Buffers Found, Please Verify Setup and Restart";
const std::string kLowTemp = "Temperature < -99'C,  Check Dut Connections / Power";
const QString kTitle = "Corvane -  TAVRIN, ver 3.0  Six Degree of Freedom Demonstration Software";

std::string Unrecognised(const std::string& n) {
    return "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\nProductNumber = " +
           n +
           "\r\nThis product number is NOT recognized.\r\n\r\n"
           "USE 'Device' in the menu bar to select a product.\r\n";
}

// The main window with the selection window shown modally for real: once its search has
// run, `onModal` runs and OK is pressed. The program's end is counted, not done.
struct Shell {
    explicit Shell(App& app) : form(app) {
        form.execModal = [this](QDialog& d) {
            ++modalShows;
            auto& w = static_cast<frmUSBselect&>(d);
            QTimer::singleShot(0, &w, [this, &w, before = w.searchCount()] {
                QTRY_VERIFY(w.searchCount() > before);
                if (onModal) onModal();
                test::Find<QPushButton>(w, "cmdExit")->click();
            });
            w.exec();
        };
        form.endProgram = [this] { ++ends; };
        form.show();
    }
    frmForm1 form;
    MeasurementView& v = *test::Find<MeasurementView>(form, "MeasurementView");
    std::function<void()> onModal;
    int modalShows = 0, ends = 0;
    QAction* item(const char* name) const { return test::Find<QAction>(form, name); }
    QString models() const { // the Device menu's checked models
        QString out;
        for (const char* name :
             {"mnu41040", "mnu41120", "mnu41140", "mnu41160", "mnu41170", "mnu41190"})
            if (QAction* a = item(name); a->isChecked()) out += a->text() + " ";
        return out;
    }
};

int CommandIndex(const sim::SimDriver& d, uint8_t code) {
    const auto& c = d.commands();
    for (std::size_t i = 0; i < c.size(); ++i)
        if (!c[i].empty() && c[i][0] == code) return int(i);
    return -1;
}

} // namespace

class ShellWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadsOnASimulatedSensor() {
        test::SimTestApp s(41120);
        s.sensor.raiseStatus(0x0001);
        Shell sh(s.app);
        // No model applied yet.
        QVERIFY(test::Find<QLabel>(sh.form, "lblStatusModel")->text().isEmpty());
        sh.form.Form_Load();

        QCOMPARE(sh.form.windowTitle(), kTitle);
        QVERIFY(s.t.messages.shown.empty());
        QCOMPARE(sh.modalShows, 0);
        QVERIFY(sh.item("mnuUsb")->isChecked() && sh.item("mnuUsb")->isVisible());
        QCOMPARE(s.app.usb.InterfaceKind, InterfaceUsb);
        // Bits first, then the set-up, as the load step sends them.
        const int bits = CommandIndex(s.driver, 0x0C), setup = CommandIndex(s.driver, 0x0B);
        QVERIFY(bits >= 0 && setup > bits);
        QCOMPARE(s.app.model.ProductNumber, 41120.0f);
        QCOMPARE(sh.models(), sh.item("mnu41120")->text() + " ");
        QCOMPARE(test::Find<QGroupBox>(sh.v, "FrameDataPLot")->title(),
                 QString("Data Plot   Device = 41120"));
        QCOMPARE(test::Find<QLabel>(sh.v, "lblpFS2")->text(), QString("10"));
        // The status was read; one output pass filled the readouts.
        QCOMPARE(test::Find<QLabel>(sh.v, "lblLowSupplyFlag")->text() +
                     test::Find<QLabel>(sh.v, "lblHighSupplyFlag")->text(),
                 "AlarmOK");
        for (int p = 2; p <= 8; ++p)
            QVERIFY(!test::Find<QLineEdit>(sh.v, "txtReadReg", p)->text().isEmpty());
        QVERIFY(std::abs(test::Find<QLineEdit>(sh.v, "txtReadReg", 8)->text().toDouble() - 25) < 5);
        QVERIFY(std::abs(test::Find<QLineEdit>(sh.v, "txtReadReg", 7)->text().toDouble() - 1) <
                0.1);
        QVERIFY(test::Find<QCheckBox>(sh.v, "ckLoop")->isChecked());
        QCOMPARE(test::Find<QPushButton>(sh.v, "cmdReadData")->text() +
                     test::Find<QLineEdit>(sh.v, "txtLoopDelay")->text() +
                     test::Find<QLabel>(sh.v, "lblCurVal2")->text(),
                 "Read50");
        for (int c = 2; c <= 7; ++c) QVERIFY(test::Find<QCheckBox>(sh.v, "ckG", c)->isChecked());
        const QRgb colours[] = {qRgb(242, 0, 0), qRgb(0, 150, 0), qRgb(0, 0, 150)};
        for (int c = 2; c <= 7; ++c) QCOMPARE(sh.v.plotColors()[c], colours[(c - 2) % 3]);
        const QString adapter = test::Find<QLabel>(sh.form, "lblStatusAdapter")->text();
        QVERIFY2(adapter.contains("EzUsb0") && adapter.contains("simulated"), qPrintable(adapter));
        QCOMPARE(test::Find<QLabel>(sh.form, "lblStatusModel")->text(), QString("Model 41120"));
        QCOMPARE(s.driver.openHandles(), 0);

        // The Device menu applies a model and nothing else.
        sh.item("mnu41040")->trigger();
        QCOMPARE(sh.models(), sh.item("mnu41040")->text() + " ");
        QCOMPARE(test::Find<QGroupBox>(sh.v, "FrameDataPLot")->title(),
                 QString("Data Plot   Device = 41040"));
        QCOMPARE(s.app.regs.LastRegIndex, int16_t(32));
        QVERIFY(s.t.messages.shown.empty());
    }

    void noAdapterStaysUsable() {
        test::TestApp t; // no driver at all
        t.app.usb.InterfaceKind = InterfaceUsb;
        Shell sh(t.app);
        sh.form.Form_Load();

        QCOMPARE(t.messages.texts(), (Texts{kNoBuffers, kNoBuffers, Unrecognised("0")}));
        QCOMPARE(t.messages.shown[2].icon, MsgIcon::Critical);
        QCOMPARE(sh.modalShows, 1);
        const frmUSBselect& w = sh.form.usbSelectWindow();
        QVERIFY(test::Find<QRadioButton>(w, "optUsbPort", 4)->isChecked());
        for (int k = 0; k < 4; ++k)
            QVERIFY(!test::Find<QRadioButton>(w, "optUsbPort", k)->isEnabled() &&
                    test::Find<QLineEdit>(w, "txtDescript0", k)->text().isEmpty());
        QVERIFY(!sh.item("mnuUsb")->isChecked() && !t.app.usb.UsbReady);
        QCOMPARE(t.app.usb.InterfaceKind, InterfaceUsb);
        QCOMPARE(test::Find<QGroupBox>(sh.v, "FrameDataPLot")->title(),
                 QString("Data Plot   Device = 0"));
        QCOMPARE(test::Find<QLineEdit>(sh.v, "txtReadReg", 8)->text(),
                 QString("25.00")); // a word of 0: the offset only
        QVERIFY(test::Find<QCheckBox>(sh.v, "ckLoop")->isChecked());
        QVERIFY(test::Find<QLabel>(sh.form, "lblStatusAdapter")->text().contains("No adapter"));
        QCOMPARE(test::Find<QLabel>(sh.form, "lblStatusModel")->text(),
                 QString("Model 0 not recognised"));
        QCOMPARE(t.app.model.GyroBaseScale, 0.0);
        QCOMPARE(t.app.regs.RegisterTable[2].RegScale, 0.0f); // range code 0 from a word of 0

        sh.item("mnu41170")->trigger();
        QCOMPARE(sh.models(), sh.item("mnu41170")->text() + " ");
        QCOMPARE(t.messages.shown.size(), 3u);
        test::Find<QCheckBox>(sh.v, "ckLoop")->setChecked(false);
        test::Find<QPushButton>(sh.v, "cmdReadData")->click();
        QCOMPARE(test::Find<QPushButton>(sh.v, "cmdReadData")->text() + " " +
                     test::Find<QLineEdit>(sh.v, "txtReadReg", 2)->text(),
                 "Read 0.00");
        sh.item("MnuExit")->trigger();
        QCOMPARE(sh.ends, 1);
        QVERIFY(sh.form.isHidden());
    }

    // An adapter chosen in the window the load step had to show still leaves Usb unchecked.
    void loadLeavesUsbUncheckedAfterTheSelectionWindow() {
        test::SimTestApp s(41190);
        s.driver.unplug(0);
        Shell sh(s.app);
        sh.onModal = [&] {
            s.driver.replug(0);
            test::Find<QPushButton>(sh.form.usbSelectWindow(), "cmdFindEzUsb")->click();
        };
        sh.form.Form_Load();
        // One search by the load step, one as the window opened; the user's search finds it.
        QCOMPARE(s.t.messages.texts(), (Texts{kNoBuffers, kNoBuffers}));
        QVERIFY(s.app.usb.UsbReady && !sh.item("mnuUsb")->isChecked());
        QCOMPARE(s.app.model.ProductNumber, 41190.0f);
        QCOMPARE(sh.models(), sh.item("mnu41190")->text() + " ");
    }

    void osCheck() {
        const struct {
            float platform, build;
            bool refused;
        } cases[] = {
            {1, 2000, true}, {1, 1998, true}, {1, 2001, false}, {2, 100, false}, {2, 2000, false}};
        for (const auto& c : cases) {
            const QByteArray row =
                QByteArray::number(c.platform) + "/" + QByteArray::number(c.build);
            test::SimTestApp s(41120);
            s.t.platform.os = {c.platform, c.build};
            const long opensBefore = s.driver.totalOpens();
            Shell sh(s.app);
            sh.form.Form_Load();
            QCOMPARE(s.app.shell.OsPlatform, c.platform);
            QCOMPARE(s.app.shell.OsBuild, c.build);
            QCOMPARE(sh.form.windowTitle(), kTitle);
            if (!c.refused) {
                QVERIFY2(s.t.messages.shown.empty(), row);
                QVERIFY2(sh.item("mnuUsb")->isVisible() && sh.item("mnuUsb")->isChecked(), row);
                QCOMPARE(s.app.model.ProductNumber, 41120.0f);
                continue;
            }
            QCOMPARE(s.t.messages.texts(),
                     (Texts{"USB not available for Windows95", Unrecognised("0")}));
            QCOMPARE(s.t.messages.shown[0].caption, std::string("TAVRIN_3"));
            QCOMPARE(s.app.usb.InterfaceKind, InterfaceNone);
            QVERIFY2(!sh.item("mnuUsb")->isVisible() && !sh.item("mnuUsb")->isChecked(), row);
            QCOMPARE(s.driver.totalOpens(), opensBefore);
            QCOMPARE(sh.modalShows, 0);
        }
    }

    // Temperature words around -99 °C with the model's scale 0.136 and offset 25; +600 °C
    // lies beyond the 12-bit register's reach (2047 counts give 303.39). The warning has
    // an empty caption and no icon.
    void temperatureWarning() {
        const struct {
            uint16_t word;
            const char *sep, *shown;
            bool warns;
        } cases[] = {{0x0C70, ".", "-99.03", true}, // -912 counts
                     {0x0C71, ".", "-98.90", false},
                     {0x0C70, ",", "-99,03", true},
                     {0x07FF, ".", "303.39", false}};
        for (const auto& c : cases) {
            test::SimTestApp s(41120);
            s.t.platform.decimalSep = c.sep;
            s.sensor.hold(0x10, c.word);
            Shell sh(s.app);
            sh.form.Form_Load();
            QCOMPARE(test::Find<QLineEdit>(sh.v, "txtReadReg", 8)->text(), QString(c.shown));
            QCOMPARE(s.t.messages.texts(), c.warns ? Texts{kLowTemp} : Texts{});
            if (c.warns) QCOMPARE(s.t.messages.shown[0].caption + "|", std::string("|"));
            if (c.warns) QCOMPARE(s.t.messages.shown[0].icon, MsgIcon::None);
        }
    }

    void usbMenuFollowsTheSearch() {
        test::SimTestApp s(41120);
        Shell sh(s.app);
        sh.form.Form_Load();
        QVERIFY(sh.item("mnuUsb")->isChecked());

        s.driver.unplug(0);
        sh.item("mnuUsb")->trigger();
        QVERIFY(!sh.item("mnuUsb")->isChecked());
        QCOMPARE(s.app.usb.InterfaceKind, InterfaceNone);
        QCOMPARE(s.t.messages.texts(), Texts{kNoBuffers});
        QCOMPARE(test::Find<QLabel>(sh.form, "lblStatusAdapter")->text(),
                 QString("No interface selected"));
        // With no interface, Read does nothing at all.
        const QString before = test::Find<QLineEdit>(sh.v, "txtReadReg", 2)->text();
        test::Find<QPushButton>(sh.v, "cmdReadData")->click();
        QCOMPARE(test::Find<QPushButton>(sh.v, "cmdReadData")->text() + " " +
                     test::Find<QLineEdit>(sh.v, "txtReadReg", 2)->text(),
                 "Read " + before);

        s.driver.replug(0);
        sh.item("mnuUsb")->trigger();
        QVERIFY(sh.item("mnuUsb")->isChecked());
        QCOMPARE(s.app.usb.InterfaceKind, InterfaceUsb);
        QCOMPARE(sh.modalShows, 2);
    }

    // Work that must finish first defers the end until it is done, however often the
    // window is closed; closing while the read loop runs stops the loop.
    void closingEndsTheProgram() {
        test::SimTestApp s(41120);
        Shell sh(s.app);
        sh.form.Form_Load();
        int asked = 0;
        sh.form.beforeUnload = [&] { return ++asked, false; };
        sh.form.close();
        sh.form.close();
        QVERIFY(asked > 0 && sh.ends == 0 && sh.form.isVisible());
        sh.form.finishUnload();
        QCOMPARE(sh.ends, 1);
        QVERIFY(sh.form.isHidden());

        test::SimTestApp s2(41120);
        Shell looping(s2.app);
        looping.form.Form_Load();
        QString during;
        QTimer::singleShot(50, &looping.form, [&] {
            during = test::Find<QPushButton>(looping.v, "cmdReadData")->text();
            looping.form.close();
        });
        test::Find<QPushButton>(looping.v, "cmdReadData")->click(); // loops until the window closes
        QCOMPARE(during, QString("STOP"));
        QCOMPARE(looping.ends, 1);
        QVERIFY(!test::Find<QCheckBox>(looping.v, "ckLoop")->isChecked());
    }
};

QTEST_MAIN(ShellWindowTest)
#include "ShellWindowTest.moc"