#pragma once

#include <QLineEdit>

class QFocusEvent;

namespace tv {

// The right-aligned edit box of the four value boxes. When the focus enters it by the keyboard
// or by the program, its whole text is selected, so typing replaces it; a click places the caret
// as usual, and a return to the window keeps the selection as it was.
class TAlEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TAlEdit(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* e) override;
};

} // namespace tv
