#include <QtTest>
#include <QtWidgets>

#include "Find.h"
#include "SimTestApp.h"
#include "ui/MeasurementView.h"
#include "ui/frmForm1.h"
#include "ui/frmUSBselect.h"

using namespace tavrin;
using transport::InterfaceNone;
using transport::InterfaceUsb;
using Texts = std::vector<std::string>;

namespace {

const std::string kNoBuffers = "No USB Buffers Found, Please Verify Setup and Restart";
const QString kTitle = "Corvane -  TAVRIN, ver 3.0  Six Degree of Freedom Demonstration Software";

std::string Unrecognised(const std::string& n) {
    return "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\nProductNumber = " +
           n +
           "\r\nThis product number is NOT recognized.\r\n\r\n"
           "USE 'Device' in the menu bar to select a product.\r\n";
}

// What a user reads on a control (or the window): its text or title.
QString Shown(const QObject& root, const QString& name) {
    const QObject* o = root.objectName() == name ? &root : test::Find<QObject>(root, name);
    for (const char* property : {"text", "title", "windowTitle"})
        if (const QVariant v = o->property(property); v.isValid()) return v.toString();
    return "?";
}

// Checks the controls listed for `state` in the table of documented texts.
void CheckShown(const QWidget& root, const QString& state) {
    QFile f(TAVRIN_UI_DATA "/shell-captions.tsv");
    QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
    int rows = 0;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
        const QStringList c = line.split('\t');
        if (c[0] != state) continue;
        ++rows;
        QCOMPARE(c[1] + ": " + Shown(root, c[1]), c[1] + ": " + c.value(2));
    }
    QVERIFY(rows > 3);
}

// The main window; the selection window is shown modally for real: once its search has
// run, `onModal` runs and OK is pressed. The program's end is counted, not done.
struct Shell {
    explicit Shell(app::App& app) : form(app) {
        form.execModal = [this](QDialog& d) {
            ++modalShows;
            auto& w = static_cast<ui::frmUSBselect&>(d);
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
    ui::frmForm1 form;
    ui::MeasurementView& v = *test::Find<ui::MeasurementView>(form, "MeasurementView");
    std::function<void()> onModal;
    int modalShows = 0, ends = 0;
    QAction* item(const char* name) const { return test::Find<QAction>(form, name); }
    QString models() const { // the Device menu's checked models
        QString out;
        for (const char* name :
             {"mnu41040", "mnu41120", "mnu41140", "mnu41160", "mnu41170", "mnu41190"})
            if (item(name)->isChecked()) out += item(name)->text() + " ";
        return out;
    }
    QString readout(int p) const { return test::Find<QLineEdit>(v, "txtReadReg", p)->text(); }
};

} // namespace

class ShellWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void loadsOnASimulatedSensor() {
        test::SimTestApp s(41120);
        s.sensor.raiseStatus(0x0001);
        Shell sh(s.app);
        CheckShown(sh.form, "design");
        QCOMPARE(test::Find<QPushButton>(sh.v, "cmdReadData")->toolTip(),
                 QString("Read the Output Registers"));
        test::Find<QLineEdit>(sh.v, "txtLoopDelay")->setText("7");
        sh.form.Form_Load();

        QVERIFY(s.t.messages.shown.empty() && sh.modalShows == 0);
        QVERIFY(sh.item("mnuUsb")->isChecked() && sh.item("mnuUsb")->isVisible());
        QCOMPARE(s.app.usb.InterfaceKind, InterfaceUsb);
        // Bits first, then the set-up.
        const auto& sent = s.driver.commands();
        auto first = [&](uint8_t code) {
            return std::find_if(sent.begin(), sent.end(),
                                [&](auto& c) { return !c.empty() && c[0] == code; });
        };
        QVERIFY(first(0x0C) < first(0x0B) && first(0x0B) != sent.end());
        QCOMPARE(sh.models(), QString("41120 "));
        // The status was read and one output pass filled the readouts.
        CheckShown(sh.form, "41120");
        QVERIFY(std::abs(sh.readout(8).toDouble() - 25) < 5);
        QVERIFY(std::abs(sh.readout(7).toDouble() - 1) < 0.1);
        QVERIFY(test::Find<QCheckBox>(sh.v, "ckLoop")->isChecked());
        const QRgb colours[] = {qRgb(242, 0, 0), qRgb(0, 150, 0), qRgb(0, 0, 150)};
        for (int c = 2; c <= 7; ++c) {
            QVERIFY(test::Find<QCheckBox>(sh.v, "ckG", c)->isChecked());
            QCOMPARE(sh.v.plotColors()[c], colours[(c - 2) % 3]);
        }
        const QString adapter = Shown(sh.form, "lblStatusAdapter");
        QVERIFY2(adapter.contains("EzUsb0") && adapter.contains("simulated"), qPrintable(adapter));
        QCOMPARE(s.driver.openHandles(), 0);

        // The Device menu applies a model and nothing else.
        sh.item("mnu41040")->trigger();
        QCOMPARE(sh.models(), QString("41040 "));
        QCOMPARE(Shown(sh.v, "FrameDataPLot") + " " + Shown(sh.v, "lblnFS2"),
                 QString("Data Plot   Device = 41040 -10"));
        QCOMPARE(s.app.regs.LastRegIndex, int16_t(32));
        QVERIFY(s.t.messages.shown.empty());

        // The Usb menu searches again; with no interface Read does nothing at all.
        s.driver.unplug(0);
        sh.item("mnuUsb")->trigger();
        QVERIFY(!sh.item("mnuUsb")->isChecked() && s.app.usb.InterfaceKind == InterfaceNone);
        QCOMPARE(s.t.messages.texts(), Texts{kNoBuffers});
        QCOMPARE(Shown(sh.form, "lblStatusAdapter"), QString("No interface selected"));
        const QString before = sh.readout(2);
        test::Find<QPushButton>(sh.v, "cmdReadData")->click();
        QCOMPARE(Shown(sh.v, "cmdReadData") + " " + sh.readout(2), "Read " + before);
        s.driver.replug(0);
        sh.item("mnuUsb")->trigger();
        QVERIFY(sh.item("mnuUsb")->isChecked() && s.app.usb.InterfaceKind == InterfaceUsb);
        QCOMPARE(sh.modalShows, 2);

        // Work that must finish first defers the end, however often the window is closed.
        int asked = 0;
        sh.form.beforeUnload = [&] { return ++asked, false; };
        sh.form.close();
        sh.form.close();
        QVERIFY(asked > 0 && sh.ends == 0 && sh.form.isVisible());
        sh.form.finishUnload();
        QVERIFY(sh.ends == 1 && sh.form.isHidden());
    }

    void noAdapterStaysUsable() {
        test::TestApp t; // no driver at all
        t.app.usb.InterfaceKind = InterfaceUsb;
        Shell sh(t.app);
        sh.form.Form_Load();

        QCOMPARE(t.messages.texts(), (Texts{kNoBuffers, kNoBuffers, Unrecognised("0")}));
        QCOMPARE(t.messages.shown[2].icon, base::MsgIcon::Critical);
        QCOMPARE(sh.modalShows, 1);
        QVERIFY(!sh.item("mnuUsb")->isChecked() && !t.app.usb.UsbReady);
        QCOMPARE(t.app.usb.InterfaceKind, InterfaceUsb);
        CheckShown(sh.form, "none");
        QVERIFY(Shown(sh.form, "lblStatusAdapter").contains("No adapter"));
        QCOMPARE(t.app.model.GyroBaseScale, 0.0);
        QCOMPARE(t.app.regs.RegisterTable[2].RegScale, 0.0f); // range code 0 from a word of 0

        sh.item("mnu41170")->trigger();
        QCOMPARE(sh.models(), QString("41170 "));
        QCOMPARE(t.messages.shown.size(), 3u);
        test::Find<QCheckBox>(sh.v, "ckLoop")->setChecked(false);
        test::Find<QPushButton>(sh.v, "cmdReadData")->click();
        QCOMPARE(Shown(sh.v, "cmdReadData") + " " + sh.readout(2), "Read 0.00");
        sh.item("MnuExit")->trigger();
        QVERIFY(sh.ends == 1 && sh.form.isHidden());
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
        QCOMPARE(sh.models(), QString("41190 "));
    }

    void oldestSystemFamilyRefusesUsb() {
        const struct {
            float platform, build;
            bool refused;
        } cases[] = {
            {1, 2000, true}, {1, 1998, true}, {1, 2001, false}, {2, 100, false}, {2, 2000, false}};
        for (const auto& c : cases) {
            test::SimTestApp s(41120);
            s.t.platform.os = {c.platform, c.build};
            const long opensBefore = s.driver.totalOpens();
            Shell sh(s.app);
            sh.form.Form_Load();
            QCOMPARE(std::pair(s.app.shell.OsPlatform, s.app.shell.OsBuild),
                     std::pair(c.platform, c.build));
            QCOMPARE(sh.form.windowTitle(), kTitle);
            QCOMPARE(sh.item("mnuUsb")->isVisible() && sh.item("mnuUsb")->isChecked(), !c.refused);
            if (!c.refused) {
                QVERIFY(s.t.messages.shown.empty());
                QCOMPARE(s.app.model.ProductNumber, 41120.0f);
                continue;
            }
            QCOMPARE(s.t.messages.texts(),
                     (Texts{"USB not available for Windows95", Unrecognised("0")}));
            QCOMPARE(s.t.messages.shown[0].caption, std::string("TAVRIN_3"));
            QCOMPARE(s.app.usb.InterfaceKind, InterfaceNone);
            QVERIFY(s.driver.totalOpens() == opensBefore && sh.modalShows == 0);
        }
    }

    // Around -99 degC with the model's scale 0.136 and offset 25; 2047 counts give 303.39.
    // The warning has an empty caption and no icon.
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
            QCOMPARE(sh.readout(8), QString(c.shown));
            QCOMPARE(s.t.messages.texts().size(), size_t(c.warns));
            if (!c.warns) continue;
            QCOMPARE(s.t.messages.shown[0].text,
                     std::string("Temperature < -99'C,  Check Dut Connections / Power"));
            QCOMPARE(s.t.messages.shown[0].caption + "|", std::string("|"));
            QCOMPARE(s.t.messages.shown[0].icon, base::MsgIcon::None);
        }
    }

    // Closing while the read loop runs stops the loop and ends the program.
    void closingStopsTheLoop() {
        test::SimTestApp s(41120);
        Shell looping(s.app);
        looping.form.Form_Load();
        QString during;
        QTimer::singleShot(50, &looping.form, [&] {
            during = Shown(looping.v, "cmdReadData");
            looping.form.close();
        });
        test::Find<QPushButton>(looping.v, "cmdReadData")->click(); // loops until closed
        QVERIFY(during == "STOP" && looping.ends == 1);
        QVERIFY(!test::Find<QCheckBox>(looping.v, "ckLoop")->isChecked());
    }
};

QTEST_MAIN(ShellWindowTest)
#include "ShellWindowTest.moc"
