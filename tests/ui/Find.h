#pragma once
// Controls found by their documented object names, as a user's tools find them. A name
// missing, of another type or given twice ends the test program, naming the control.
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace tavrin::test {

template <class T> T* Find(const QObject& root, const QString& name) {
    const QList<T*> found = root.findChildren<T*>(name);
    if (found.size() != 1)
        qFatal("%lld controls %s \"%s\", not one", qlonglong(found.size()),
               T::staticMetaObject.className(), qPrintable(name));
    return found.front();
}

// An element of a control array: Find<QLineEdit>(view, "txtReadReg", 8) is "txtReadReg_8".
template <class T> T* Find(const QObject& root, const char* array, int index) {
    return Find<T>(root, QString("%1_%2").arg(array).arg(index));
}

} // namespace tavrin::test
