#include "ui/UAlEdit.h"

#include <QFocusEvent>
#include <QPalette>

namespace tv {

namespace {

const QString kStaleText = QStringLiteral("前回の結果");

// Between the text and the background colour, nearer the text: on black and white it gives
// #757575, which still reads at the contrast ratio that small text needs (4.5:1).
QColor StaleColour(const QPalette& palette) {
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const auto mix = [](int from, int to) { return (from * 54 + to * 46) / 100; };
    return QColor(mix(text.red(), base.red()), mix(text.green(), base.green()),
                  mix(text.blue(), base.blue()));
}

} // namespace

TAlEdit::TAlEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TAlEdit::SetStale(bool stale) {
    if (stale == stale_) {
        return;
    }
    stale_ = stale;
    if (stale) {
        QPalette greyed;
        const QColor colour = StaleColour(palette());
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            greyed.setColor(group, QPalette::Text, colour);
        }
        setPalette(greyed);
    } else {
        // Back to the colours the box inherits.
        setPalette(QPalette());
    }
    setAccessibleDescription(stale ? kStaleText : QString());
    setToolTip(stale ? kStaleText : QString());
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
