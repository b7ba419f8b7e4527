#pragma once
// The small start-up message window shown while the busy-wait is calibrated.
#include <QLabel>
#include <QWidget>

namespace tavrin {

class frmMsg : public QWidget {
    Q_OBJECT
public:
    explicit frmMsg(QWidget* parent = nullptr);
    QLabel* lblMsg;
};

} // namespace tavrin
