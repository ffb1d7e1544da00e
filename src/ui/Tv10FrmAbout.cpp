#include "ui/Tv10FrmAbout.h"

#include "TvVersion.h"
#include "ui/TvAccessible.h"
#include "ui/TvFormControl.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

namespace tv {

namespace {

const QString kReleaseDate = QStringLiteral("2026/12/09");
const QString kMailAddress = QStringLiteral("info@tenvari.example.org");
const QString kWebAddress = QStringLiteral("https://tenvari.example.org/");

// The client area's width, which a font wider than the program's widens (see the constructor).
constexpr int kClientWidth = 302;
constexpr int kClientHeight = 118;
// Room right of the widest text, as left of the separating line.
constexpr int kRightMargin = 9;

const QColor kLinkColor(0, 0, 255);
const QColor kHoverColor(128, 0, 128);

QLabel* TextLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont labelFont = label->font();
    labelFont.setPixelSize(13);
    label->setFont(labelFont);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void SetLabelLook(QLabel* label, const QColor& color, bool underline) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    QFont labelFont = label->font();
    labelFont.setUnderline(underline);
    label->setFont(labelFont);
}

} // namespace

TTvFrmAbout::TTvFrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    InstallAccessibility();
    MakeDialogFrame(this);
    setWindowTitle(QStringLiteral("バージョン情報"));

    Image1_ = new QLabel(this);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setGeometry(16, 24, 32, 32);
    Image1_->setAccessibleName(QStringLiteral("Tenvari"));

    TextLabel(this, "lblSoftName",
              QStringLiteral("Tenvari v%1 (%2)").arg(QString::fromLatin1(kVersion), kReleaseDate),
              64, 4);
    TextLabel(this, "lblCopyRight", QStringLiteral("© 2026 Tenvari developers, GPLv3+"), 64, 24);
    QLabel* lblLabel1 = TextLabel(this, "lblLabel1", QStringLiteral("Mail : "), 68, 44);
    QLabel* lblLabel2 = TextLabel(this, "lblLabel2", QStringLiteral("URL : "), 68, 64);
    lblMailTo_ = TextLabel(this, "lblMailTo", kMailAddress, 104, 43);
    lblURL_ = TextLabel(this, "lblURL", kWebAddress, 104, 63);
    lblMailTo_->setAccessibleName(QStringLiteral("Mail ") + kMailAddress);
    lblURL_->setAccessibleName(QStringLiteral("URL ") + kWebAddress);
    lblLabel1->setBuddy(lblMailTo_);
    lblLabel2->setBuddy(lblURL_);
    for (QLabel* link : {lblMailTo_, lblURL_}) {
        link->setCursor(Qt::PointingHandCursor);
        // Reachable with Tab and opened with Enter or Space, as a link is in a browser.
        link->setFocusPolicy(Qt::TabFocus);
        SetOffLblColor(link);
        link->installEventFilter(this);
    }

    // A font with wider glyphs than the program's (another fallback font, a scaled one) widens
    // the dialog rather than cutting the notice off at the edge.
    int textRight = 0;
    for (const QLabel* label : findChildren<QLabel*>()) {
        textRight = std::max(textRight, label->x() + label->width());
    }
    const int width = std::max(kClientWidth, textRight + kRightMargin);
    const int wider = width - kClientWidth;
    setFixedSize(width, kClientHeight);

    auto* bvlLine = new QFrame(this);
    bvlLine->setObjectName(QStringLiteral("bvlLine"));
    bvlLine->setFrameShape(QFrame::HLine);
    bvlLine->setFrameShadow(QFrame::Raised);
    bvlLine->setGeometry(8, 84, 285 + wider, 2);

    btnOK_ = new QPushButton(QStringLiteral("OK"), this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->setGeometry(108 + wider / 2, 92, 89, 21);
    btnOK_->setDefault(true);
    connect(btnOK_, &QPushButton::clicked, this, [this] { btnOKClick(); });
    // The cycle runs top to bottom, links then OK; every showing starts it at OK, so that Enter
    // closes the dialog whatever had the focus when it last closed.
    setTabOrder(btnOK_, lblMailTo_);
    setTabOrder(lblMailTo_, lblURL_);
}

int TTvFrmAbout::ShowModal() {
    fAboutShow();
    return exec();
}

void TTvFrmAbout::fAboutShow() {
    SetTopMost(this, TopMostMode);
    CenterForm(this);
    Image1_->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    FocusFirstControl(btnOK_);
}

void TTvFrmAbout::SetOnLblColor(QLabel* sender) {
    SetLabelLook(sender, kHoverColor, true);
}

void TTvFrmAbout::SetOffLblColor(QLabel* sender) {
    SetLabelLook(sender, kLinkColor, false);
}

void TTvFrmAbout::lblClick(QLabel* sender) {
    // The dialog closes whatever the desktop answers; a link nothing could open is named first.
    if (sender == lblMailTo_) {
        OpenUrlOrWarn(this, QUrl(QStringLiteral("mailto:") + lblMailTo_->text()));
    } else if (sender == lblURL_) {
        OpenUrlOrWarn(this, QUrl(lblURL_->text()));
    }
    accept();
}

void TTvFrmAbout::btnOKClick() {
    accept();
}

void TTvFrmAbout::keyPressEvent(QKeyEvent* event) {
    // The OK button is the cancel button as well: Esc closes with OK.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnOKClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TTvFrmAbout::eventFilter(QObject* watched, QEvent* event) {
    auto* label = qobject_cast<QLabel*>(watched);
    if (label != nullptr && (label == lblMailTo_ || label == lblURL_)) {
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::FocusIn:
            SetOnLblColor(label);
            break;
        case QEvent::Leave:
        case QEvent::FocusOut:
            // A link keeps its marked look while it has the focus or the mouse is over it.
            if (!label->hasFocus() && !label->underMouse()) {
                SetOffLblColor(label);
            }
            break;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::NoModifier &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                 key->key() == Qt::Key_Space)) {
                lblClick(label);
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                label->rect().contains(mouse->position().toPoint())) {
                lblClick(label);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tv
