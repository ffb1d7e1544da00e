#include "desktop/TvWindowRequests.h"

#include "desktop/TvDesktopAnswers.h"
#include "ui/Tv10FrmMain.h"
#include "ui/TvX11.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <chrono>

namespace tv::desktop {

namespace {

// How long a window that has just been shown may take to be mapped before it is brought to the
// front all the same.
constexpr auto kMapDeadline = std::chrono::seconds(2);

void Raise(QWidget* window, const TActivation& activation) {
    if (x11::Active()) {
        // A launch through a Wayland compositor's XWayland names its token as the startup id.
        const QByteArray id =
            activation.StartupId.isEmpty() ? activation.ActivationToken : activation.StartupId;
        if (x11::ActivateWindow(window, id, StartupTime(id))) {
            return;
        }
    }
    if (!activation.ActivationToken.isEmpty()) {
        // Qt's Wayland platform hands this token to the compositor with the next activation.
        qputenv("XDG_ACTIVATION_TOKEN", activation.ActivationToken);
    }
    window->raise();
    window->activateWindow();
}

} // namespace

void PresentWindow(QWidget* window, const TActivation& activation) {
    if (window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
    window->show();
    QWindow* handle = window->windowHandle();
    if (handle != nullptr && handle->isExposed()) {
        Raise(window, activation);
        return;
    }
    // The window manager (or compositor) only takes requests for windows it shows: wait for the
    // mapping.
    QPointer<QWidget> guarded(window);
    auto* poll = new QTimer(window);
    const auto deadline = std::chrono::steady_clock::now() + kMapDeadline;
    QObject::connect(poll, &QTimer::timeout, window, [guarded, poll, activation, deadline] {
        QWindow* shown = guarded ? guarded->windowHandle() : nullptr;
        const bool mapped = shown != nullptr && shown->isExposed();
        if (guarded && (mapped || std::chrono::steady_clock::now() >= deadline)) {
            Raise(guarded, activation);
        }
        if (!guarded || mapped || std::chrono::steady_clock::now() >= deadline) {
            poll->deleteLater();
            poll->stop();
        }
    });
    poll->start(5);
}

TWindowRequests::TWindowRequests(TTvFrmMain& main, QObject* parent)
    : QObject(parent), main_(main) {}

QWidget* TWindowRequests::Front() const {
    QWidget* modal = QApplication::activeModalWidget();
    return modal != nullptr ? modal : &main_;
}

void TWindowRequests::Present(const TActivation& activation) {
    QWidget* front = Front();
    if (front == &main_) {
        main_.FocusActiveValueBox();
    }
    PresentWindow(front, activation);
}

QString TWindowRequests::Take(const TLaunchRequest& request, const TActivation& activation) {
    using TKind = TLaunchRequest::TKind;
    const bool modal = Front() != &main_;
    switch (request.Kind) {
    case TKind::Activate:
        QTimer::singleShot(0, this, [this, activation] { Present(activation); });
        return {};
    case TKind::Toggle: {
        // Decided now, as the window stands when the key is pressed: by the window manager's
        // word where there is one, since the program may not have heard of a change of focus yet.
        const bool active = x11::IsActiveWindow(&main_).value_or(main_.isActiveWindow());
        const bool hide = !modal && main_.isVisible() && !main_.isMinimized() && active;
        QTimer::singleShot(0, this, [this, hide, activation] {
            if (hide) {
                main_.hide();
            } else {
                Present(activation);
            }
        });
        return {};
    }
    case TKind::Query:
    case TKind::Search:
        break;
    }
    QTimer::singleShot(0, this, [this, activation] { Present(activation); });
    if (modal) {
        return QStringLiteral("Tenvari has a dialog open; close it and try again");
    }
    // What the desktop's search lets through is all a query or a search can be.
    if (!QueryFromText(request.Text.toStdString())) {
        return QStringLiteral("the text is empty, longer than %1 bytes or holds control characters")
            .arg(kMaxQueryBytes);
    }
    if (request.Kind == TKind::Query) {
        if (const QString problem = main_.QueryProblem(request.Text); !problem.isEmpty()) {
            return problem;
        }
    }
    QTimer::singleShot(0, this, [this, request] {
        if (request.Kind == TKind::Search) {
            main_.OpenUnitSearch(request.Text);
        } else {
            main_.ShowQuery(request.Text);
        }
    });
    return {};
}

QString TWindowRequests::Start(const TLaunchRequest& request) {
    using TKind = TLaunchRequest::TKind;
    if (request.Kind == TKind::Search) {
        QTimer::singleShot(0, this, [this, request] { main_.OpenUnitSearch(request.Text); });
    }
    if (request.Kind != TKind::Query) {
        return {};
    }
    // The window starts on the query, or says in its status bar why it cannot.
    QTimer::singleShot(0, this, [this, request] { main_.ShowQuery(request.Text); });
    return main_.QueryProblem(request.Text);
}

} // namespace tv::desktop
