#include "ui/TvFormControl.h"

#include "units/TvErrors.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QToolButton>
#include <QWidget>
#include <algorithm>
#include <exception>
#include <utility>

namespace tv {

QFont ProgramFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setPixelSize(12);
    return font;
}

bool TopMostMode = false;

namespace {

std::function<void(const QString&)>& ErrorBoxHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}

std::function<bool(const QUrl&)>& UrlOpener() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

} // namespace

void SetTopMost(QWidget* window, bool on) {
    if (window == nullptr) {
        return;
    }
    const bool visible = window->isVisible();
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
        const QPoint position = window->pos();
        const QSize size = window->size();
        // Changing the flags re-creates the native window and hides it.
        window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
        window->resize(size);
        window->move(position);
        if (visible) {
            window->show();
        }
    }
    if (visible) {
        window->raise();
        window->activateWindow();
    }
}

QPoint CentredPosition(const QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect();
    const QRect frame = window->frameGeometry();
    return {(work.width() - frame.width()) / 2, (work.height() - frame.height()) / 2};
}

void CenterForm(QWidget* window) {
    if (window == nullptr || QGuiApplication::primaryScreen() == nullptr) {
        return;
    }
    window->move(CentredPosition(window));
}

void ShowErrorBox(QWidget* parent, const QString& message) {
    const QString text = QString::fromStdString(ErrorBoxText(message.toStdString()));
    if (ErrorBoxHandler()) {
        ErrorBoxHandler()(text);
        return;
    }
    QString caption = QApplication::applicationDisplayName();
    if (caption.isEmpty()) {
        caption = QStringLiteral("Tenvari");
    }
    QMessageBox::critical(parent, caption, text);
}

void SetErrorBoxHandler(std::function<void(const QString&)> handler) {
    ErrorBoxHandler() = std::move(handler);
}

bool OpenUrl(const QUrl& url) {
    try {
        if (UrlOpener()) {
            return UrlOpener()(url);
        }
        return QDesktopServices::openUrl(url);
    } catch (const std::exception&) {
        // A link that cannot be opened goes unnoticed, as a failed shell call does.
        return false;
    }
}

void SetUrlOpener(std::function<bool(const QUrl&)> opener) {
    UrlOpener() = std::move(opener);
}

TUpDown::TUpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max), position_(position) {
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    up_->setObjectName(QStringLiteral("up"));
    down_->setObjectName(QStringLiteral("down"));
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

int TUpDown::Position() const {
    bool ok = false;
    const int value = buddy_->text().toInt(&ok);
    if (ok && value >= min_ && value <= max_) {
        position_ = value;
    }
    return position_;
}

void TUpDown::Step(int delta) {
    position_ = std::clamp(Position() + delta, min_, max_);
    buddy_->setText(QString::number(position_));
}

void TUpDown::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

} // namespace tv
