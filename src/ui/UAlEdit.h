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

    // Marks the text as left from an earlier input (greyed, with the accessible description and
    // tooltip "前回の結果"), or as the current one.
    void SetStale(bool stale);
    bool IsStale() const { return stale_; }

protected:
    void focusInEvent(QFocusEvent* e) override;

private:
    bool stale_ = false;
};

} // namespace tv
