#include "app/frmForm1.h"

#include "app/State.h"

namespace tavrin {

frmForm1::frmForm1(App& app, QWidget* parent) : QMainWindow(parent), app_(app) {
    setObjectName("frmForm1");
    setWindowTitle("Corvane Evaluation Software");
    resize(900, 700);
}

void frmForm1::Form_Load() {
    setWindowTitle(QString("Corvane - ") +
                   " TAVRIN, ver 3.0  Six Degree of Freedom Demonstration Software");
}

} // namespace tavrin
