#pragma once
// The main window.
#include <QMainWindow>

namespace tavrin {
struct App;

class frmForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit frmForm1(App& app, QWidget* parent = nullptr);
    // The window's load step, run once after it is first shown.
    void Form_Load();

private:
    App& app_;
};

} // namespace tavrin
