#pragma once
// Every control carries its documented object name, by which tests and assistive tools
// find it. `Named` builds one in its parent: the arguments come first, the parent last,
// as the Qt constructors take them.
#include <QString>
#include <QWidget>
#include <utility>

namespace tavrin::ui {

template <class W, class... A> W* Named(QWidget* parent, const QString& name, A&&... args) {
    auto* w = new W(std::forward<A>(args)..., parent);
    w->setObjectName(name);
    return w;
}

// The name of an element of a control array: "txtReadReg_2".
inline QString Indexed(const char* array, int index) {
    return QString("%1_%2").arg(array).arg(index);
}

} // namespace tavrin::ui
