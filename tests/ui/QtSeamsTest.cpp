// The Qt seams in a real application object: the command line the program sees and
// what Qt is given of it, and the title a message box shows the window system.
#include <QtTest>
#include <QtWidgets>

#include "ui/QtSeams.h"

using tavrin::ui::RawCommandLine;

class QtSeamsTest : public QObject {
    Q_OBJECT
  private slots:
    // The application object below was built from `tavrin -reverse -style Windows ""`.
    void qtOptionsAreTheProgramsTextNotQts() {
        QCOMPARE(QGuiApplication::layoutDirection(), Qt::LeftToRight);
        QVERIFY(QApplication::style()->name().compare("windows", Qt::CaseInsensitive) != 0);
        QCOMPARE(QCoreApplication::arguments().size(), 1);

        const char* raw[] = {"tavrin", "-reverse", "-style", "Windows", "", nullptr};
        RawCommandLine cl(5, const_cast<char**>(raw));
        QCOMPARE(cl.text(), std::string(R"(-reverse -style Windows "")"));
        QCOMPARE(tavrin::ui::QtPlatform(cl.text()).osInfo().platform, 2.0f); // USB is offered
        QVERIFY(cl.qtArgc() == 1 && cl.qtArgv()[0] == raw[0] && cl.qtArgv()[1] == nullptr);
    }

    // An empty caption must not turn into the application's name: the title stays blank.
    void emptyCaptionStaysEmpty() {
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box && box->windowHandle());
            seen << box->windowTitle() << box->windowHandle()->title();
            box->accept();
        });
        tavrin::ui::QtMessages().show("text", tavrin::base::MsgIcon::None, "");
        QCOMPARE(seen, QStringList(2, " "));
    }
};

int main(int argc, char** argv) {
    // As the program starts: Qt sees only what the raw command line hands it.
    const char* raw[] = {argv[0], "-reverse", "-style", "Windows", "", nullptr};
    RawCommandLine cl(5, const_cast<char**>(raw));
    QApplication app(cl.qtArgc(), cl.qtArgv());
    QApplication::setApplicationName("TAVRIN_3");
    QtSeamsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "QtSeamsTest.moc"
