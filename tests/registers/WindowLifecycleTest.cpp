// The register window without a sensor: captions, printing, and its lifecycle
// (hidden by "Close Window", unloaded by the close box).
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "TestApp.h"
#include "app/State.h"
#include "registers/frmManualReg.h"

using namespace tavrin;

namespace {

// Runs `step` once the modal window's event loop is running.
void WhenShown(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

int CountPages(const QByteArray& pdf) {
    int pages = 0;
    for (qsizetype at = pdf.indexOf("/Type /Page"); at >= 0;
         at = pdf.indexOf("/Type /Page", at + 1)) {
        if (pdf.mid(at + 11, 1) != "s") ++pages;
    }
    return pages;
}

} // namespace

class WindowLifecycleTest : public QObject {
    Q_OBJECT
  private slots:
    void captionsAndObjectNames();
    void printsTheWindowImageToAPdfPage();
    void reportsAFailedPrintButNotACancel();
    void closeWindowKeepsItCloseBoxRebuildsIt();
};

void WindowLifecycleTest::captionsAndObjectNames() {
    test::TestApp t;
    LoadRegisterTable(t.app.regs, 41120);
    frmManualReg w(t.app);
    QCOMPARE(w.windowTitle(), QString("Register Information"));
    const std::pair<const char*, const char*> captions[] = {
        {"frameRegister", "Register Read/Write"},
        {"lblRegAddr", "Base Addr (Hex)"},
        {"lblRegByte", "Num Bytes"},
        {"lblRegRead", "Read Flag"},
        {"lblRegWrite", "Write Flag"},
        {"cmdRead", "Read (Hex)"},
        {"cmdWrite", "Write (Hex)"},
        {"frameUserReg", "User Registers (Hex Values)"},
        {"cmdReadAll", "Read"},
        {"cmdWriteFile", "Save"},
        {"cmdPrint", "Print"},
        {"Label2", "Registers_Log"},
        {"cmdUpdateFlash", "Update Flash"},
        {"cmdClose", "Close Window"},
    };
    for (const auto& [name, caption] : captions) {
        QObject* o = w.findChild<QObject*>(name);
        QVERIFY2(o, name);
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(o)) text = b->text();
        if (auto* l = qobject_cast<QLabel*>(o)) text = l->text();
        if (auto* g = qobject_cast<QGroupBox*>(o)) text = g->title();
        QCOMPARE(text, QString(caption));
    }
    for (const char* name :
         {"txtRegAddr", "txtRegByte", "txtRegRead", "txtRegWrite", "txtHex", "txtDataWrite"}) {
        auto* e = w.findChild<QLineEdit*>(name);
        QVERIFY2(e, name);
        QVERIFY2(e->text().isEmpty(), name);
    }
    QVERIFY(w.findChild<QPlainTextEdit*>("Text1")->isReadOnly());
    const QFontMetrics metrics(w.Text1->font()); // columns line up only in a fixed font
    QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    QCOMPARE(w.cmboRegister->count(), 36);
    QCOMPARE(w.cmboRegister->currentIndex(), -1);
    QCOMPARE(w.cmboRegister->placeholderText(), QString("Select a Register"));
    QCOMPARE(w.cmboRegister->itemText(12), QString("XGYRO_ OFF"));
    QCOMPARE(w.cmboRegister->itemText(35), QString("SERIAL_NUM"));
}

void WindowLifecycleTest::printsTheWindowImageToAPdfPage() {
    test::TestApp t;
    LoadRegisterTable(t.app.regs, 41120);
    frmManualReg w(t.app);
    w.show();
    QTemporaryDir dir;
    const QString pdf = dir.filePath("window.pdf");
    w.printDialog = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return true;
    };
    w.cmdPrint->click();
    QVERIFY(t.messages.texts().empty());
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    QCOMPARE(CountPages(bytes), 1);
    QVERIFY(bytes.contains("/Subtype /Image"));
}

void WindowLifecycleTest::reportsAFailedPrintButNotACancel() {
    test::TestApp t;
    LoadRegisterTable(t.app.regs, 41120);
    frmManualReg w(t.app);
    QTemporaryDir dir;

    bool asked = false;
    w.printDialog = [&](QPrinter&) { return asked = true, false; };
    w.cmdPrint->click();
    QVERIFY(asked);
    QVERIFY(t.messages.texts().empty());

    // A file whose directory is a regular file cannot be created.
    QFile blocker(dir.filePath("plain"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString pdf = dir.filePath("plain/window.pdf");
    w.printDialog = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return true;
    };
    w.cmdPrint->click();
    QCOMPARE(t.messages.texts().size(), size_t(1));
    QVERIFY2(QString::fromStdString(t.messages.texts()[0]).contains(pdf),
             t.messages.texts()[0].c_str());
}

void WindowLifecycleTest::closeWindowKeepsItCloseBoxRebuildsIt() {
    test::TestApp t;
    LoadRegisterTable(t.app.regs, 41120);
    std::unique_ptr<frmManualReg> holder;

    bool ran = false;
    WhenShown([&] {
        ran = holder && holder->isVisible();
        holder->cmdClose->click();
    });
    ShowRegisterWindow(t.app, nullptr, holder);
    QVERIFY(ran);
    QVERIFY(holder);
    QVERIFY(!holder->isVisible());

    // A model change while the window is hidden: the kept window still lists the old table.
    LoadRegisterTable(t.app.regs, 41040);
    int shownCount = 0;
    WhenShown([&] {
        shownCount = holder->cmboRegister->count();
        holder->close(); // the close box
    });
    ShowRegisterWindow(t.app, nullptr, holder);
    QCOMPARE(shownCount, 36);
    QVERIFY(!holder);

    WhenShown([&] {
        shownCount = holder->cmboRegister->count();
        holder->cmdClose->click();
    });
    ShowRegisterWindow(t.app, nullptr, holder);
    QCOMPARE(shownCount, 33);
    QVERIFY(holder);
    QCOMPARE(holder->cmboRegister->itemText(1), QString("not used"));
}

QTEST_MAIN(WindowLifecycleTest)
#include "WindowLifecycleTest.moc"
