#pragma once
// Fixtures of the window tests: documented tables kept in tests/data/ui, and
// the logging window that both logging-window test programs drive.
#include <QtTest>
#include <QtWidgets>

#include "Find.h"
#include "LogTestSupport.h"
#include "SimTestApp.h"
#include "ui/frmDatalog.h"

namespace tavrin::test {

// Rows of a tab-separated table, comment lines left out.
inline QList<QStringList> DataTable(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read \"%s\"", qPrintable(path));
    QList<QStringList> rows;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith('#')) rows << line.split('\t');
    return rows;
}

// A caption as the user sees it: a window's title, a frame's title, a control's
// text.
inline QString Caption(const QObject* o) {
    if (o->isWidgetType() && static_cast<const QWidget*>(o)->isWindow())
        return static_cast<const QWidget*>(o)->windowTitle();
    return o->property(qobject_cast<const QGroupBox*>(o) ? "title" : "text").toString();
}

// The documented captions of window `w` (its rows of captions.tsv) that it does
// not show, as "control: shown".
inline QStringList WrongCaptions(const QWidget& w) {
    QStringList wrong;
    int rows = 0;
    for (const QStringList& row : DataTable(QFINDTESTDATA("../data/ui/captions.tsv"))) {
        if (row[0] != w.objectName()) continue;
        ++rows;
        const QObject* o = row[1] == row[0] ? &w : w.findChild<QObject*>(row[1]);
        if (!o || Caption(o) != row[2]) wrong << row[1] + ": " + (o ? Caption(o) : "missing");
    }
    return rows ? wrong : QStringList{"no captions for " + w.objectName()};
}

// The logging window on a simulated 41120, its files in a scratch directory.
struct DatalogRig {
    ScratchDir dir;
    SimTestApp s;
    int loopCleared = 0;
    ui::frmDatalog w;
    explicit DatalogRig(const char* decimalSep = ".")
        : w((s.t.platform.progDir = dir.path, s.t.platform.decimalSep = decimalSep, s.app),
            [this] { ++loopCleared; }) {}
    QLineEdit* edit(const char* name) const { return Find<QLineEdit>(w, name); }
    QCheckBox* box(const char* name) const { return Find<QCheckBox>(w, name); }
    QCheckBox* reg(int b) const { return Find<QCheckBox>(w, "CheckReg", b); }
    QPushButton* start() const { return Find<QPushButton>(w, "cmdStartDatalog"); }
};

} // namespace tavrin::test
