#include "ui/UAlEdit.h"

namespace tv {

TAlEdit::TAlEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

} // namespace tv
