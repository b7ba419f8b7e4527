// The CLI's files against the windows' files for the same settings, on the same
// deterministic simulated sensor opened the same way.
#include <QtTest>
#include <QtWidgets>

#include "../ui/Find.h"
#include "LogTestSupport.h"
#include "RunCli.h"
#include "TestApp.h"
#include "app/Sensor.h"
#include "registers/Model.h"
#include "sim/SimDriver.h"
#include "transport/UsbSpi.h"
#include "ui/frmDatalog.h"
#include "ui/frmManualReg.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

struct NoDisplay : app::DeviceDisplay {
    void uncheckAllModels() override {}
    void checkModel(int) override {}
    void showAccLimits(const std::string&, const std::string&, const std::string&) override {}
    void showDeviceCaption(const std::string&) override {}
};

// The program's start-up on a seeded simulated adapter ("MODEL,seed=1" for the
// CLI), with the windows' files going to `dir`.
struct WindowBench {
    WindowBench(float model, const std::filesystem::path& dir) : t(&driver) {
        driver.addAdapter(0, sim::SimOptions{.model = model});
        t.platform.progDir = dir;
        transport::SetTransportDefaults(t.app.usb);
        app::ConnectFirstAdapter(t.app);
        NoDisplay display;
        app::SetDevice(t.app, app::ReadProductNumber(t.app), display);
    }
    sim::SimDriver driver;
    TestApp t;
};

// Lines 2 to 6 carry the date, the time and the seconds of the run.
Lines WithoutClockLines(Lines lines) {
    if (lines.size() > 6) lines.erase(lines.begin() + 1, lines.begin() + 6);
    return lines;
}

} // namespace

class CliWindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void dumpEqualsTheRegisterWindowsSave() {
        for (int model : {41120, 41040}) {
            ScratchDir dir;
            WindowBench w(static_cast<float>(model), dir.path);
            ui::frmManualReg window(w.t.app);
            Find<QPushButton>(window, "cmdWriteFile")->click();
            QVERIFY(w.t.messages.texts().empty());
            const auto sim = std::to_string(model) + ",seed=1";
            const auto cli = (dir.path / "cli.txt").string();
            QCOMPARE(RunCli({"--sim", sim, "dump", "-o", cli}).status, 0);
            QVERIFY(dir.read("Registers_LOG.txt").size() > 500);
            QVERIFY(dir.read("cli.txt") == dir.read("Registers_LOG.txt"));
        }
    }

    // Boxes, raw, no new-data flags, no header.
    void logEqualsTheLoggingWindow() {
        const std::tuple<QString, bool, bool, bool> cases[] = {{"2,5,8", false, false, false},
                                                               {"1,3,4,6,7", true, true, false},
                                                               {"2", false, false, true}};
        for (const auto& [boxes, raw, noND, noHeader] : cases) {
            ScratchDir windowDir, cliDir;
            {
                WindowBench w(41120, windowDir.path);
                ui::frmDatalog window(w.t.app, {});
                for (int b = 1; b <= 8; ++b)
                    Find<QCheckBox>(window, "CheckReg", b)
                        ->setChecked(boxes.split(',').contains(QString::number(b)));
                for (const auto& [name, on] :
                     {std::pair{"ckNOScale", raw}, {"ckDisableND", noND}, {"ckNOHeader", noHeader}})
                    Find<QCheckBox>(window, name)->setChecked(on);
                for (const auto& [name, text] : {std::pair{"txtSamplesPerFile", "40"},
                                                 {"txtFilesPerSession", "2"},
                                                 {"txtFileName", "RUN"}})
                    Find<QLineEdit>(window, name)->setText(text);
                Find<QPushButton>(window, "cmdStartDatalog")->click();
                QVERIFY(w.t.messages.texts().empty());
            }
            auto args = SplitFields("--sim 41120,seed=1 log --samples 40 --files 2 --stem RUN "
                                    "--dir " +
                                        cliDir.path.string() + " --boxes " + boxes.toStdString(),
                                    ' ');
            for (const auto& [on, flag] :
                 {std::pair{raw, "--raw"}, {noND, "--no-nd"}, {noHeader, "--no-header"}})
                if (on) args.push_back(flag);
            QCOMPARE(RunCli(args).status, 0);
            QCOMPARE(windowDir.names(), Lines({"RUN_1.csv", "RUN_2.csv"}));
            QCOMPARE(windowDir.names(), cliDir.names());
            for (const auto& name : windowDir.names()) {
                QCOMPARE(windowDir.lines(name).size(), std::size_t(noHeader ? 40 : 48));
                QVERIFY(WithoutClockLines(windowDir.lines(name)) ==
                        WithoutClockLines(cliDir.lines(name)));
            }
        }
    }
};

QTEST_MAIN(CliWindowsTest)
#include "CliWindowsTest.moc"
