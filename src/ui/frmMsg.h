#pragma once
// The small start-up message window shown while the busy-wait is calibrated.
#include <QLabel>
#include <QWidget>

#include "app/Startup.h"

namespace tavrin::ui {

class frmMsg : public QWidget, public app::StartupDisplay {
    Q_OBJECT
  public:
    explicit frmMsg(QWidget* parent = nullptr);

    void showMessage(const std::string& text) override;
    void hideMessage() override;

  private:
    QLabel* lblMsg;
};

} // namespace tavrin::ui
