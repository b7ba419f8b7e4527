#pragma once
// The documented tables of the window tests, kept in tests/data/ui.
#include <QtTest>
#include <QtWidgets>

#include "Find.h"

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

// The documented captions of window `w` (its rows of captions.tsv: a window's
// title, a frame's title, a control's text) that it does not show.
inline QStringList WrongCaptions(const QWidget& w) {
    QStringList wrong;
    int rows = 0;
    for (const QStringList& row : DataTable(QFINDTESTDATA("../data/ui/captions.tsv"))) {
        if (row[0] != w.objectName()) continue;
        ++rows;
        const QObject* o = row[1] == row[0] ? &w : w.findChild<QObject*>(row[1]);
        const char* caption = o == &w                             ? "windowTitle"
                              : qobject_cast<const QGroupBox*>(o) ? "title"
                                                                  : "text";
        const QString shown = o ? o->property(caption).toString() : "missing";
        if (shown != row[2]) wrong << row[1] + ": " + shown;
    }
    return rows ? wrong : QStringList{"no captions for " + w.objectName()};
}

} // namespace tavrin::test
