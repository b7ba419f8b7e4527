#include "SimTestApp.h"
#include "WindowRigs.h"
#include "ui/MeasurementView.h"
#include "ui/frmForm1.h"
#include "ui/frmUSBselect.h"

using namespace tavrin;
using transport::InterfaceNone;
using transport::InterfaceUsb;
using Texts = std::vector<std::string>;

namespace {

const std::string kNoBuffers = "No USB Buffers Found, Please Verify Setup and Restart";

const std::string kUnrecognised0 =
    "\r\nERROR\r\nModule Name = frmForm1\r\nRoutine Name = SetDevice\r\nProductNumber = 0\r\n"
    "This product number is NOT recognized.\r\n\r\nUSE 'Device' in the menu bar to select a "
    "product.\r\n";

// What a user reads on a control (or the window): its text or title, or for "name:property" that
// property.
QString Shown(const QObject& root, const QString& what) {
    const QStringList p = what.split(':');
    const QObject* o = root.objectName() == p[0] ? &root : test::Find<QObject>(root, p[0]);
    for (const QString& property :
         p.size() > 1 ? p.mid(1) : QStringList{"text", "title", "windowTitle"})
        if (const QVariant v = o->property(qPrintable(property)); v.isValid()) return v.toString();
    return "?";
}

// Checks the rows listed for `state` in the table of what the user reads.
void CheckShown(const QWidget& root, const QString& state) {
    int rows = 0;
    for (const QStringList& c : test::DataTable(QFINDTESTDATA("../data/ui/shell-captions.tsv")))
        if (c[0] == state && ++rows)
            QCOMPARE(c[1] + ": " + Shown(root, c[1]), c[1] + ": " + c.value(2));
    QVERIFY(rows > 0);
}

// The main window; the selection window is shown modally for real: once its search has run,
// `onModal` runs and OK is pressed. The program's end is counted, not done.
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
        test::Find<QLineEdit>(sh.v, "txtLoopDelay")->setText("7");
        sh.form.Form_Load();

        // Bits first, then the set-up.
        QString codes;
        for (const auto& c : s.driver.commands())
            if (!c.empty() && (c[0] == 0x0B || c[0] == 0x0C)) codes += QString::number(c[0]);
        QVERIFY2(codes.startsWith("1211"), qPrintable(codes));
        // The status was read and one output pass filled the readouts.
        CheckShown(sh.form, "41120");
        QVERIFY(std::abs(Shown(sh.v, "txtReadReg_8").toDouble() - 25) < 5);
        QVERIFY(std::abs(Shown(sh.v, "txtReadReg_7").toDouble() - 1) < 0.1);
        for (int c = 2; c <= 7; ++c)
            QCOMPARE(sh.v.plotColors()[c],
                     (std::array{qRgb(242, 0, 0), qRgb(0, 150, 0), qRgb(0, 0, 150)}[(c - 2) % 3]));

        // The Device menu applies a model and nothing else; the accel limits go back to 10.
        test::Find<QPushButton>(sh.v, "cmdScaleAcc")->click();
        sh.item("mnu41040")->trigger();
        CheckShown(sh.form, "41040");

        // The Usb menu searches again, and offers the selection window when none is found.
        s.driver.unplug(0);
        sh.item("mnuUsb")->trigger();
        QCOMPARE(s.t.messages.texts(), Texts{kNoBuffers});
        CheckShown(sh.form, "unplugged");
        QCOMPARE(sh.modalShows, 1);

        // Work that must finish first defers the end, however often the window is closed.
        int asked = 0;
        sh.form.beforeUnload = [&] { return ++asked, false; };
        sh.form.close();
        sh.form.close();
        QVERIFY(asked > 0 && sh.ends == 0 && sh.form.isVisible());
        sh.form.finishUnload();
        QVERIFY(sh.ends == 1 && sh.form.isHidden());
    }

    // An adapter chosen in the window the load step had to show still leaves Usb unchecked: one
    // search by the load step, one as the window opened; the user's search finds it. Closing while
    // the read loop runs stops the loop and ends the program.
    void selectionWindowAtLoadThenClosingWhileLooping() {
        test::SimTestApp s(41190);
        s.driver.unplug(0);
        Shell sh(s.app);
        sh.onModal = [&] {
            s.driver.replug(0);
            test::Find<QPushButton>(sh.form.usbSelectWindow(), "cmdFindEzUsb")->click();
        };
        sh.form.Form_Load();
        QCOMPARE(s.t.messages.texts(), (Texts{kNoBuffers, kNoBuffers}));
        QVERIFY(s.app.UsbReady());
        CheckShown(sh.form, "41190");
        QString during;
        QTimer::singleShot(50, &sh.form, [&] {
            during = Shown(sh.v, "cmdReadData");
            sh.form.close();
        });
        test::Find<QPushButton>(sh.v, "cmdReadData")->click(); // loops until closed
        QVERIFY(during == "STOP" && sh.ends == 1);
        QVERIFY(!test::Find<QCheckBox>(sh.v, "ckLoop")->isChecked());
    }

    // The oldest system family refuses USB (up to build 2000). Around -99 degC with the model's
    // scale 0.136 and offset 25 the load warns, with an empty caption and no icon; 2047 counts give
    // 303.39.
    void loadStepRefusalsAndWarnings() {
        const std::string cold = "Temperature < -99'C,  Check Dut Connections / Power";
        const std::tuple<float, float, uint16_t, const char*, const char*, Texts> cases[] = {
            {1, 2000, 0, ".", "25.00", {"USB not available for Windows95", kUnrecognised0}},
            {1, 2001, 0x0C70, ".", "-99.03", {cold}}, // -912 counts
            {2, 100, 0x0C71, ".", "-98.90", {}},
            {2, 2000, 0x0C70, ",", "-99,03", {cold}},
            {2, 2000, 0x07FF, ".", "303.39", {}}};
        for (const auto& [platform, build, word, sep, shown, texts] : cases) {
            test::SimTestApp s(41120);
            s.t.platform.os = {platform, build};
            s.t.platform.decimalSep = sep;
            s.sensor.hold(0x10, word);
            const long opensBefore = s.driver.totalOpens();
            Shell sh(s.app);
            sh.form.Form_Load();
            const bool refused = !texts.empty() && texts[0].starts_with("USB not");
            QCOMPARE(sh.item("mnuUsb")->isVisible() && sh.item("mnuUsb")->isChecked(), !refused);
            QCOMPARE(s.app.usb.InterfaceKind, refused ? InterfaceNone : InterfaceUsb);
            QCOMPARE(Shown(sh.v, "txtReadReg_8"), QString(shown));
            QVERIFY((s.driver.totalOpens() > opensBefore) != refused && sh.modalShows == 0);
            QCOMPARE(s.t.messages.texts(), texts);
            if (texts.empty()) continue;
            QCOMPARE(s.t.messages.shown[0].caption, std::string(refused ? "TAVRIN_3" : ""));
            QVERIFY(refused || s.t.messages.shown[0].icon == base::MsgIcon::None);
        }
    }
};

QTEST_MAIN(ShellWindowTest)
#include "ShellWindowTest.moc"
