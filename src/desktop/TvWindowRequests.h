#pragma once

#include "desktop/TvApplicationBus.h"

#include <QObject>

class QWidget;

namespace tv {
class TTvFrmMain;
}

namespace tv::desktop {

// Shows a window, restores it when minimised, and has the window manager bring it to the front
// with the focus, judged by the launch's time stamp. A window that has only just been shown is
// brought to the front once it is mapped.
void PresentWindow(QWidget* window, const TActivation& activation);

// Carries out the requests that reach the running program, on its main window.
class TWindowRequests : public QObject, public IRequestHandler {
    Q_OBJECT
public:
    explicit TWindowRequests(TTvFrmMain& main, QObject* parent = nullptr);

    QString Take(const TLaunchRequest& request, const TActivation& activation) override;

    // The program's own command line, once its main window is shown; the message of a query
    // that it cannot show, for standard error.
    QString Start(const TLaunchRequest& request);

private:
    // The window a request brings to the front: an open modal dialog, else the main window.
    QWidget* Front() const;
    void Present(const TActivation& activation);

    TTvFrmMain& main_;
};

} // namespace tv::desktop
