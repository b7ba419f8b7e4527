#include "app/frmMsg.h"
#include "app/QtText.h"

#include <QVBoxLayout>

#include "app/Seams.h"

namespace tavrin {

frmMsg::frmMsg(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setObjectName("frmMsg");
    setWindowTitle(Q(kAppTitle));
    lblMsg = new QLabel("lblMsg", this);
    lblMsg->setObjectName("lblMsg");
    lblMsg->setAlignment(Qt::AlignCenter);
    QFont f = lblMsg->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    lblMsg->setFont(f);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblMsg);
    resize(320, 140);
}

} // namespace tavrin
