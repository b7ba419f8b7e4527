#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/QtSeams.h"
#include "app/Startup.h"
#include "app/State.h"
#include "app/frmForm1.h"
#include "app/frmMsg.h"

int main(int argc, char** argv) {
    using namespace tavrin;
    QApplication qapp(argc, argv);
    QApplication::setApplicationName("TAVRIN_3");

    QtPlatform platform;
    QtMessages messages;
    App app(platform, messages, nullptr);
    app.doEvents = [] { QCoreApplication::processEvents(); };

    {
        frmMsg msg;
        RunStartup(app, msg);
    }

    frmForm1 form(app);
    messages.setParentWindow(&form);
    form.show();
    form.Form_Load();
    return QApplication::exec();
}
