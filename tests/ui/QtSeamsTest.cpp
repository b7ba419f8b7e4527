// The Qt seams in a real application object: the command line the program sees and
// what Qt is given of it, and the title a message box shows the window system.
#include <QtTest>
#include <QtWidgets>

#include "ui/QtSeams.h"

using namespace tavrin::base;
using namespace tavrin::ui;

using namespace tavrin;

namespace {

// The title of the message box `show` opens, as the widget and its window have it.
QStringList ShownTitles(std::string_view caption) {
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen << box->windowTitle() << (box->windowHandle() ? box->windowHandle()->title() : "?");
        box->accept();
    });
    QtMessages().show("text", MsgIcon::None, caption);
    return seen;
}

} // namespace

class QtSeamsTest : public QObject {
    Q_OBJECT
  private slots:
    // The application object below was built the way the program builds it, from
    // `tavrin -reverse -style Windows ""`.
    void qtOptionsAreTheProgramsTextNotQts() {
        QCOMPARE(QGuiApplication::layoutDirection(), Qt::LeftToRight);
        QVERIFY(QApplication::style()->name().compare("windows", Qt::CaseInsensitive) != 0);
        QCOMPARE(QCoreApplication::arguments().size(), 1);

        const char* raw[] = {"tavrin", "-reverse", "-style", "Windows", "", nullptr};
        RawCommandLine cl(5, const_cast<char**>(raw));
        QCOMPARE(cl.text(), std::string(R"(-reverse -style Windows "")"));
        QCOMPARE(QtPlatform(cl.text()).commandLine(), cl.text());
        QCOMPARE(cl.qtArgc(), 1);
        QCOMPARE(cl.qtArgv()[0], raw[0]);
        QCOMPARE(cl.qtArgv()[1], nullptr);

        // An empty argument is still a command line, so the calibration starts low.
        const char* empty[] = {"tavrin", "", nullptr};
        QCOMPARE(RawCommandLine(2, const_cast<char**>(empty)).text(), std::string(R"("")"));
        const char* blank[] = {"tavrin", "a b", "-x", nullptr};
        QCOMPARE(RawCommandLine(3, const_cast<char**>(blank)).text(), std::string(R"("a b" -x)"));
        const char* none[] = {"tavrin", nullptr};
        QVERIFY(RawCommandLine(1, const_cast<char**>(none)).text().empty());
    }

    // An empty caption must not turn into the application's name: the window system
    // gets a blank title instead.
    void emptyCaptionStaysEmpty() {
        QCOMPARE(ShownTitles(""), QStringList({" ", " "}));
        QCOMPARE(ShownTitles("TAVRIN_3"), QStringList({"TAVRIN_3", "TAVRIN_3"}));
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