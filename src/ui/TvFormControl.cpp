#include "ui/TvFormControl.h"

#include "units/TvErrors.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
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

void CenterForm(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect work = screen->availableGeometry();
    const QRect frame = window->frameGeometry();
    window->move((work.width() - frame.width()) / 2, (work.height() - frame.height()) / 2);
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

} // namespace tv
