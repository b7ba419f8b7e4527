#include "ui/frmMsg.h"
#include "ui/QtText.h"

#include <QCoreApplication>
#include <QVBoxLayout>

#include "base/Seams.h"
#include "ui/NamedWidgets.h"

namespace tavrin::ui {

frmMsg::frmMsg(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setObjectName("frmMsg");
    setWindowTitle(Q(base::kAppTitle));
    lblMsg = Named<QLabel>(this, "lblMsg", "lblMsg");
    lblMsg->setAlignment(Qt::AlignCenter);
    QFont f = lblMsg->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    lblMsg->setFont(f);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblMsg);
    resize(320, 140);
}

void frmMsg::showMessage(const std::string& text) {
    show();
    lblMsg->setText(Q(text));
    repaint();
    QCoreApplication::processEvents();
}

void frmMsg::hideMessage() {
    lblMsg->setText(" ");
    hide();
}

} // namespace tavrin::ui
