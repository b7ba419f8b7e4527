#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "SimTestApp.h"
#include "app/frmForm1.h"
#include "transport/frmUSBselect.h"
#include "view/MeasurementView.h"

using namespace tavrin;

namespace {

const std::string kNoBuffers = "No USB Buffers Found, Please Verify Setup and Restart";
const std::string kRefused = "USB not available for Windows95";
const QString kTitle = "Corvane -  TAVRIN, ver 3.0  Six Degree of Freedom Demonstration Software";

std::string Unrecognised(const std::string& n) {
    return "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\nProductNumber = " +
           n +
           "\r\nThis product number is NOT recognized.\r\n\r\n"
           "USE 'Device' in the menu bar to select a product.\r\n";
}

// Shows the selection window modally for real; once its search has run, does `action`
// and presses OK.
void RunModal(frmUSBselect& w, std::function<void()> action) {
    const int before = w.searchCount();
    auto* poll = new QTimer(&w);
    QObject::connect(poll, &QTimer::timeout, &w, [&w, poll, before, action] {
        if (w.searchCount() == before) return;
        poll->stop();
        poll->deleteLater();
        if (action) action();
        w.cmdExit->click();
    });
    poll->start(0);
    w.exec();
}

struct Shell {
    explicit Shell(App& app) : form(app) {
        form.execModal = [this](QDialog& d) {
            ++modalShows;
            RunModal(static_cast<frmUSBselect&>(d), onModal);
        };
        form.endProgram = [this] { ++ends; };
        form.show();
    }
    frmForm1 form;
    MeasurementView& v = *form.view;
    std::function<void()> onModal;
    int modalShows = 0;
    int ends = 0;
};

int CommandIndex(const sim::SimDriver& d, uint8_t code) {
    int i = 0;
    for (const auto& c : d.commands()) {
        if (!c.empty() && c[0] == code) return i;
        ++i;
    }
    return -1;
}

double Shown(QLineEdit* box) {
    return box->text().toDouble();
}

} // namespace

class ShellWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadsOnASimulatedSensor() {
        test::SimTestApp s(41120);
        s.sensor.raiseStatus(0x0001);
        Shell sh(s.app);
        QVERIFY(sh.form.lblStatusModel->text().isEmpty()); // no model applied yet
        sh.form.Form_Load();

        QCOMPARE(sh.form.windowTitle(), kTitle);
        QVERIFY(s.t.messages.shown.empty());
        QCOMPARE(sh.modalShows, 0);
        QVERIFY(sh.form.mnuUsb->isChecked());
        QVERIFY(sh.form.mnuUsb->isVisible());
        QCOMPARE(s.app.model.InterfaceKind, InterfaceUsb);
        // Bits first, then the set-up, as the load step sends them.
        const int bits = CommandIndex(s.driver, 0x0C), setup = CommandIndex(s.driver, 0x0B);
        QVERIFY(bits >= 0 && setup > bits);

        QCOMPARE(s.app.model.ProductNumber, 41120.0f);
        QVERIFY(sh.form.mnu41120->isChecked());
        QVERIFY(!sh.form.mnu41040->isChecked() && !sh.form.mnu41190->isChecked());
        QCOMPARE(sh.v.FrameDataPLot->title(), QString("Data Plot   Device = 41120"));
        QCOMPARE(sh.v.lblpFS2->text(), QString("10"));

        QCOMPARE(sh.v.lblLowSupplyFlag->text(), QString("Alarm")); // the status was read
        QCOMPARE(sh.v.lblHighSupplyFlag->text(), QString("OK"));
        for (int p = 2; p <= 8; ++p) QVERIFY(!sh.v.txtReadReg[p]->text().isEmpty());
        QVERIFY(std::abs(Shown(sh.v.txtReadReg[8]) - 25) < 5);
        QVERIFY(std::abs(Shown(sh.v.txtReadReg[7]) - 1) < 0.1);

        QVERIFY(sh.v.ckLoop->isChecked());
        QCOMPARE(sh.v.cmdReadData->text(), QString("Read"));
        QCOMPARE(sh.v.txtLoopDelay->text(), QString("5"));
        QCOMPARE(sh.v.lblCurVal2->text(), QString("0"));
        for (int c = 2; c <= 7; ++c) QVERIFY(sh.v.ckG[c]->isChecked());
        QCOMPARE(sh.v.PlotColor[2], qRgb(242, 0, 0));
        QCOMPARE(sh.v.PlotColor[6], qRgb(0, 150, 0));
        QCOMPARE(sh.v.PlotColor[7], qRgb(0, 0, 150));

        const QString adapter = sh.form.lblStatusAdapter->text();
        QVERIFY2(adapter.contains("EzUsb0") && adapter.contains("simulated"), qPrintable(adapter));
        QCOMPARE(sh.form.lblStatusModel->text(), QString("Model 41120"));
        QCOMPARE(s.driver.openHandles(), 0);

        // The Device menu applies a model and nothing else.
        sh.form.mnu41040->trigger();
        QVERIFY(sh.form.mnu41040->isChecked() && !sh.form.mnu41120->isChecked());
        QCOMPARE(sh.v.FrameDataPLot->title(), QString("Data Plot   Device = 41040"));
        QCOMPARE(s.app.regs.LastRegIndex, int16_t(32));
        QVERIFY(s.t.messages.shown.empty());
    }

    void noAdapterStaysUsable() {
        test::TestApp t; // no driver at all
        t.app.model.InterfaceKind = InterfaceUsb;
        Shell sh(t.app);
        sh.form.Form_Load();

        QCOMPARE(t.messages.texts(),
                 (std::vector<std::string>{kNoBuffers, kNoBuffers, Unrecognised("0")}));
        QCOMPARE(t.messages.shown[2].icon, MsgIcon::Critical);
        QCOMPARE(sh.modalShows, 1);
        const frmUSBselect& w = sh.form.usbSelectWindow();
        QVERIFY(w.optUsbPort[4]->isChecked());
        for (int k = 0; k < 4; ++k)
            QVERIFY(!w.optUsbPort[k]->isEnabled() && w.txtDescript0[k]->text().isEmpty());
        QVERIFY(!sh.form.mnuUsb->isChecked());
        QCOMPARE(t.app.model.InterfaceKind, InterfaceUsb);
        QVERIFY(!t.app.usb.UsbReady);
        QCOMPARE(sh.v.FrameDataPLot->title(), QString("Data Plot   Device = 0"));
        QCOMPARE(sh.v.txtReadReg[8]->text(), QString("25.00")); // a word of 0: the offset only
        QVERIFY(sh.v.ckLoop->isChecked());
        QVERIFY(sh.form.lblStatusAdapter->text().contains("No adapter"));
        QCOMPARE(sh.form.lblStatusModel->text(), QString("Model 0 not recognised"));

        sh.form.mnu41170->trigger();
        QVERIFY(sh.form.mnu41170->isChecked());
        QCOMPARE(t.messages.shown.size(), 3u);

        sh.v.ckLoop->setChecked(false);
        sh.v.cmdReadData->click();
        QCOMPARE(sh.v.cmdReadData->text(), QString("Read"));
        QCOMPARE(sh.v.txtReadReg[2]->text(), QString("0.00"));

        sh.form.MnuExit->trigger();
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
            sh.form.usbSelectWindow().cmdFindEzUsb->click();
        };
        sh.form.Form_Load();
        // One search by the load step, one as the window opened; the user's search finds it.
        QCOMPARE(s.t.messages.texts(), (std::vector<std::string>{kNoBuffers, kNoBuffers}));
        QVERIFY(s.app.usb.UsbReady);
        QVERIFY(!sh.form.mnuUsb->isChecked());
        QCOMPARE(s.app.model.ProductNumber, 41190.0f);
        QVERIFY(sh.form.mnu41190->isChecked());
    }

    void osCheck_data() {
        QTest::addColumn<float>("platform");
        QTest::addColumn<float>("build");
        QTest::addColumn<bool>("refused");
        QTest::newRow("9x build 2000") << 1.0f << 2000.0f << true;
        QTest::newRow("9x build 1998") << 1.0f << 1998.0f << true;
        QTest::newRow("9x build 2001") << 1.0f << 2001.0f << false;
        QTest::newRow("platform 2, low build") << 2.0f << 100.0f << false;
        QTest::newRow("platform 2, build 2000") << 2.0f << 2000.0f << false;
    }
    void osCheck() {
        QFETCH(float, platform);
        QFETCH(float, build);
        QFETCH(bool, refused);
        test::SimTestApp s(41120);
        s.t.platform.os = {platform, build};
        const long opensBefore = s.driver.totalOpens();
        Shell sh(s.app);
        sh.form.Form_Load();

        QCOMPARE(s.app.shell.OsPlatform, platform);
        QCOMPARE(s.app.shell.OsBuild, build);
        if (refused) {
            QCOMPARE(s.t.messages.texts(), (std::vector<std::string>{kRefused, Unrecognised("0")}));
            QCOMPARE(s.t.messages.shown[0].caption, std::string("TAVRIN_3"));
            QCOMPARE(s.app.model.InterfaceKind, InterfaceNone);
            QVERIFY(!sh.form.mnuUsb->isVisible() && !sh.form.mnuUsb->isChecked());
            QCOMPARE(s.driver.totalOpens(), opensBefore);
            QCOMPARE(sh.modalShows, 0);
        } else {
            QVERIFY(s.t.messages.shown.empty());
            QVERIFY(sh.form.mnuUsb->isVisible() && sh.form.mnuUsb->isChecked());
            QCOMPARE(s.app.model.ProductNumber, 41120.0f);
        }
        QCOMPARE(sh.form.windowTitle(), kTitle);
    }

    // Temperature words around -99 °C with the model's scale 0.136 and offset 25; +600 °C
    // lies beyond the 12-bit register's reach (2047 counts give 303.39).
    void temperatureWarning_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("sep");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("warns");
        QTest::newRow("-912 counts") << 0x0C70 << "."
                                     << "-99.03" << true;
        QTest::newRow("-911 counts") << 0x0C71 << "."
                                     << "-98.90" << false;
        QTest::newRow("-912 counts, decimal comma") << 0x0C70 << ","
                                                    << "-99,03" << true;
        QTest::newRow("highest word") << 0x07FF << "."
                                      << "303.39" << false;
    }
    void temperatureWarning() {
        QFETCH(int, word);
        QFETCH(QString, sep);
        QFETCH(QString, shown);
        QFETCH(bool, warns);
        test::SimTestApp s(41120);
        s.t.platform.decimalSep = sep.toStdString();
        s.sensor.hold(0x10, static_cast<uint16_t>(word));
        Shell sh(s.app);
        sh.form.Form_Load();
        QCOMPARE(sh.v.txtReadReg[8]->text(), shown);
        if (warns) {
            QCOMPARE(
                s.t.messages.texts(),
                std::vector<std::string>{"Temperature < -99'C,  Check Dut Connections / Power"});
            QCOMPARE(s.t.messages.shown[0].caption, std::string());
            QCOMPARE(s.t.messages.shown[0].icon, MsgIcon::None);
        } else {
            QVERIFY(s.t.messages.shown.empty());
        }
    }

    void usbMenuFollowsTheSearch() {
        test::SimTestApp s(41120);
        Shell sh(s.app);
        sh.form.Form_Load();
        QVERIFY(sh.form.mnuUsb->isChecked());

        s.driver.unplug(0);
        sh.form.mnuUsb->trigger();
        QVERIFY(!sh.form.mnuUsb->isChecked());
        QCOMPARE(s.app.model.InterfaceKind, InterfaceNone);
        QCOMPARE(s.t.messages.texts(), std::vector<std::string>{kNoBuffers});
        QCOMPARE(sh.form.lblStatusAdapter->text(), QString("No interface selected"));
        // With no interface, Read does nothing at all.
        const QString before = sh.v.txtReadReg[2]->text();
        sh.v.cmdReadData->click();
        QCOMPARE(sh.v.cmdReadData->text(), QString("Read"));
        QCOMPARE(sh.v.txtReadReg[2]->text(), before);

        s.driver.replug(0);
        sh.form.mnuUsb->trigger();
        QVERIFY(sh.form.mnuUsb->isChecked());
        QCOMPARE(s.app.model.InterfaceKind, InterfaceUsb);
        QCOMPARE(sh.modalShows, 2);
    }

    void closingEndsTheProgram() {
        test::SimTestApp s(41120);
        Shell sh(s.app);
        sh.form.Form_Load();

        // Work that must finish first defers the end until it is done.
        bool asked = false;
        sh.form.beforeUnload = [&] {
            asked = true;
            return false;
        };
        sh.form.close();
        QVERIFY(asked);
        QCOMPARE(sh.ends, 0);
        sh.form.close(); // impatient: still waits for the work to finish
        QCOMPARE(sh.ends, 0);
        QVERIFY(sh.form.isVisible());
        sh.form.finishUnload();
        QCOMPARE(sh.ends, 1);
        QVERIFY(sh.form.isHidden());
    }

    // Closing while the read loop runs stops the loop; the program does not spin on.
    void closingStopsARunningLoop() {
        test::SimTestApp s(41120);
        Shell sh(s.app);
        sh.form.Form_Load();
        int passesAtClose = -1;
        QTimer::singleShot(50, &sh.form, [&] {
            QCOMPARE(sh.v.cmdReadData->text(), QString("STOP"));
            passesAtClose = 0;
            sh.form.close();
        });
        sh.v.cmdReadData->click(); // loops until the window closes
        QCOMPARE(passesAtClose, 0);
        QCOMPARE(sh.ends, 1);
        QVERIFY(!sh.v.ckLoop->isChecked());
    }
};

QTEST_MAIN(ShellWindowTest)
#include "ShellWindowTest.moc"
