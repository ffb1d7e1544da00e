#include "ui/UAlEdit.h"

#include <QFocusEvent>

namespace tv {

TAlEdit::TAlEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TAlEdit::focusInEvent(QFocusEvent* e) {
    QLineEdit::focusInEvent(e);
    switch (e->reason()) {
    case Qt::MouseFocusReason:
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        break;
    default:
        selectAll();
        break;
    }
}

} // namespace tv
