#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "analysis/frmAnalysis.h"
#include "app/FileLocation.h"
#include "app/QtSeams.h"
#include "app/SignalCancel.h"
#include "app/Startup.h"
#include "app/State.h"
#include "app/frmForm1.h"
#include "app/frmMsg.h"
#include "datalog/LogSession.h"
#include "datalog/frmDatalog.h"
#include "registers/frmManualReg.h"
#include "sim/SimConfig.h"
#include "transport/HardwareDriver.h"
#include "view/MeasurementView.h"

namespace {

// TAVRIN_SIM="41120" or "0:41120,2:41190": simulated adapters instead of real ones;
// unset: the adapters attached through USB. Returns false (after printing why) when the
// text is malformed.
bool MakeDriver(std::unique_ptr<tavrin::EzUsbDriver>& driver) {
    const char* sim = std::getenv("TAVRIN_SIM");
    if (!sim) {
        driver = tavrin::MakeHardwareDriver();
        return true;
    }
    std::string error;
    driver = tavrin::sim::MakeSimDriverFromText(sim, error);
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
void ScheduleScreenshot(tavrin::frmForm1& form, const QString& path) {
    QTimer::singleShot(1500, &form, [&form, path] {
        const bool saved = form.grab().toImage().save(path, "PNG");
        if (!saved) std::fprintf(stderr, "tavrin: cannot save %s\n", qPrintable(path));
        form.close();
    });
    form.view->cmdReadData->click();
}

} // namespace

int main(int argc, char** argv) {
    using namespace tavrin;
    std::unique_ptr<EzUsbDriver> driver;
    if (!MakeDriver(driver)) return 2;

    previousHandler = qInstallMessageHandler(HoldStartupMessage);
    // The calibration reads the command line as typed; Qt gets the program name only.
    RawCommandLine commandLine(argc, argv);
    QApplication qapp(commandLine.qtArgc(), commandLine.qtArgv());
    ReleaseStartupMessages();
    // Qt adopts the environment's C locale; number texts are made and parsed with "."
    // and then given the user's separator, so the C library must keep its own.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("TAVRIN_3");

    QtPlatform platform(commandLine.text());
    QtMessages messages;
    App app(platform, messages, driver.get());
    app.doEvents = [] { QCoreApplication::processEvents(); };

    {
        frmMsg msg;
        RunStartup(app, msg);
    }
    datalog::ReportUnfinished(app, FilesDirectory(platform));

    frmForm1 form(app);
    messages.setParentWindow(&form);

    std::unique_ptr<frmManualReg> registers;
    form.setRegistersWindow([&] { ShowRegisterWindow(app, &form, registers); });

    // The logging window loads its defaults each time it is shown.
    std::unique_ptr<frmDatalog> datalog;
    form.setDatalogWindow([&] {
        if (!datalog)
            datalog = std::make_unique<frmDatalog>(
                app, [&form] { form.view->ckLoop->setChecked(false); }, &form);
        datalog->exec();
    });
    std::unique_ptr<frmAnalysis> analysis;
    form.setAnalysisWindow([&] {
        if (!analysis) analysis = std::make_unique<frmAnalysis>(app, &form);
        analysis->exec();
    });
    // Leaving during a logging session completes the file under way first.
    form.beforeUnload = [&] {
        if (!datalog || !datalog->sessionRunning()) return true;
        datalog->requestCancel([&form] { form.finishUnload(); });
        return false;
    };
    // A logout, a kill or Ctrl+C acts as Cancel, then the program ends.
    InstallSignalCancel([&](int signo) {
        const auto end = [signo] { QCoreApplication::exit(128 + signo); };
        if (datalog && datalog->sessionRunning())
            datalog->requestCancel(end);
        else
            end();
    });
    form.show();
    const QString screenshot = qEnvironmentVariable("TAVRIN_SCREENSHOT");
    QTimer::singleShot(0, &form, [&form, screenshot] {
        form.Form_Load();
        if (!screenshot.isEmpty()) ScheduleScreenshot(form, screenshot);
    });
    return QApplication::exec();
}
