#pragma once

#include <QLineEdit>

namespace tv {

// The right-aligned edit box of the four value boxes.
class TAlEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TAlEdit(QWidget* parent = nullptr);
};

} // namespace tv
