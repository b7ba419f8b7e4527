#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/Sensor.h"
#include "app/Startup.h"
#include "base/FileLocation.h"
#include "base/OsFiles.h"
#include "datalog/Recovery.h"
#include "transport/EzUsbDriver.h"
#include "ui/MeasurementView.h"
#include "ui/QtSeams.h"
#include "ui/SignalCancel.h"
#include "ui/frmAnalysis.h"
#include "ui/frmDatalog.h"
#include "ui/frmForm1.h"
#include "ui/frmManualReg.h"
#include "ui/frmMsg.h"

namespace {

// TAVRIN_SIM="41120" or "0:41120,2:41190": simulated adapters instead of real ones;
// unset: the adapters attached through USB. Returns false (after printing why) when the
// text is malformed.
bool MakeDriver(std::unique_ptr<tavrin::transport::EzUsbDriver>& driver) {
    const char* sim = std::getenv("TAVRIN_SIM");
    std::string error;
    driver = tavrin::app::MakeDriver(sim ? std::optional<std::string>(sim) : std::nullopt, error);
    if (driver) return true;
    std::fprintf(stderr, "tavrin: TAVRIN_SIM: %s\n", error.c_str());
    return false;
}

// Without a display Qt reports a fatal error and aborts. Held back while the application
// starts, its messages give way to one line saying what is missing, and status 1.
std::vector<std::string> startupMessages;
QtMessageHandler previousHandler = nullptr;

void HoldStartupMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        startupMessages.push_back(qFormatLogMessage(type, context, text).toStdString());
        return;
    }
    std::fputs("tavrin: no display to open its window on: run it in a desktop session, or set "
               "DISPLAY (or WAYLAND_DISPLAY) to one\n",
               stderr);
    std::_Exit(1);
}

void ReleaseStartupMessages() {
    qInstallMessageHandler(previousHandler);
    for (const std::string& line : startupMessages) std::fprintf(stderr, "%s\n", line.c_str());
    startupMessages.clear();
}

// TAVRIN_SCREENSHOT=<png>: after the load step, run the read loop for a moment, save an
// image of the main window and end.
void ScheduleScreenshot(tavrin::ui::frmForm1& form, const QString& path) {
    QTimer::singleShot(1500, &form, [&form, path] {
        const bool saved = form.grab().toImage().save(path, "PNG");
        if (!saved) std::fprintf(stderr, "tavrin: cannot save %s\n", qPrintable(path));
        form.close();
    });
    form.measurementView().cmdReadData_Click();
}

} // namespace

int main(int argc, char** argv) {
    using namespace tavrin;
    // Closed standard descriptors are given the null device, so no file gets their numbers.
    base::GuardStandardDescriptors();
    std::unique_ptr<transport::EzUsbDriver> driver;
    if (!MakeDriver(driver)) return 2;

    previousHandler = qInstallMessageHandler(HoldStartupMessage);
    // The calibration reads the command line as typed; Qt gets the program name only.
    ui::RawCommandLine commandLine(argc, argv);
    QApplication qapp(commandLine.qtArgc(), commandLine.qtArgv());
    ReleaseStartupMessages();
    // Qt adopts the environment's C locale; number texts are made and parsed with "."
    // and then given the user's separator, so the C library must keep its own.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("TAVRIN_3");

    ui::QtPlatform platform(commandLine.text());
    ui::QtMessages messages;
    app::App app(platform, messages, driver.get());
    app.doEvents = [] { QCoreApplication::processEvents(); };

    {
        ui::frmMsg msg;
        app::RunStartup(app, msg);
    }
    app::ReportUnfinished(app, base::FilesDirectory(platform));

    ui::frmForm1 form(app);
    messages.setParentWindow(&form);

    std::unique_ptr<ui::frmManualReg> registers;
    form.setRegistersWindow([&] { ui::ShowRegisterWindow(app, &form, registers); });

    // The logging window loads its defaults each time it is shown.
    std::unique_ptr<ui::frmDatalog> datalog;
    form.setDatalogWindow([&] {
        if (!datalog)
            datalog = std::make_unique<ui::frmDatalog>(
                app, [&form] { form.measurementView().stopLoop(); }, &form);
        datalog->exec();
    });
    std::unique_ptr<ui::frmAnalysis> analysis;
    form.setAnalysisWindow([&] {
        if (!analysis) analysis = std::make_unique<ui::frmAnalysis>(app, &form);
        analysis->exec();
    });
    // Leaving during a logging session completes the file under way first.
    form.beforeUnload = [&] {
        if (!datalog || !datalog->sessionRunning()) return true;
        datalog->requestCancel([&form] { form.finishUnload(); });
        return false;
    };
    // A logout, a kill or Ctrl+C ends the program whatever it is doing: the read loop stops
    // as at STOP, a logging session or a capture completes its file first, and modal windows
    // close with the event loops the exit ends.
    ui::InstallSignalCancel([&](int signo) {
        const auto end = [signo] { QCoreApplication::exit(128 + signo); };
        form.measurementView().stopLoop();
        if (analysis && analysis->busy()) analysis->close(); // cancels; its file stays whole
        if (datalog && datalog->sessionRunning())
            datalog->requestCancel(end);
        else
            end();
    });
    form.show();
    const QString screenshot = qEnvironmentVariable("TAVRIN_SCREENSHOT");
    // TAVRIN_HOLD_AT=loop: Read pressed after start-up, and the process stopped (SIGSTOP) in
    // the read loop's first pass, so that a test can send it a signal there.
    const bool holdInLoop = qEnvironmentVariable("TAVRIN_HOLD_AT") == "loop";
    QTimer::singleShot(0, &form, [&form, screenshot, holdInLoop] {
        form.Form_Load();
        if (!screenshot.isEmpty()) ScheduleScreenshot(form, screenshot);
        if (holdInLoop) {
            QTimer::singleShot(0, &form, [] { std::raise(SIGSTOP); });
            form.measurementView().cmdReadData_Click();
        }
    });
    return QApplication::exec();
}
