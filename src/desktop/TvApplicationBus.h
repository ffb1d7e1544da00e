#pragma once

#include "desktop/TvLaunchRequest.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <chrono>

namespace tv::desktop {

// What the running program does with a request that reaches it over the bus.
class IRequestHandler {
public:
    virtual ~IRequestHandler() = default;
    // Returns at once, with the message of a request that cannot be carried out (empty when it
    // can), and does the work only after the caller has its answer, so that no caller waits on
    // a dialog.
    virtual QString Take(const TLaunchRequest& request, const TActivation& activation) = 0;
};

// The D-Bus error of a request that the running program refuses; its message says why.
inline constexpr char kRequestRefusedError[] = "io.github.tenvari.Tenvari.Error.Refused";

// org.freedesktop.Application of the running program, exported at kAppPath. The handler comes
// once the main window exists; until then requests are refused.
class TApplicationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit TApplicationService(QObject* parent = nullptr);
    void SetHandler(IRequestHandler* handler) { handler_ = handler; }

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);
    // Tenvari has no documents: without URIs this is Activate, with some an error.
    Q_SCRIPTABLE void Open(const QStringList& uris, const QVariantMap& platformData);
    // kActionToggle without a parameter; kActionQuery and kActionSearch with one string.
    Q_SCRIPTABLE void ActivateAction(const QString& actionName, const QVariantList& parameter,
                                     const QVariantMap& platformData);

private:
    void Take(const TLaunchRequest& request, const QVariantMap& platformData);

    IRequestHandler* handler_ = nullptr;
};

// The call that asks the program at kAppId to carry out request.
QDBusMessage RequestMessage(const TLaunchRequest& request, const TActivation& activation);

enum class TInstanceRole {
    Primary,   // this copy owns the bus name and serves requests
    Forwarded, // a running copy took the request; this one ends
    Alone,     // no bus, or the running copy did not answer: this copy runs on its own
};

struct TInstance {
    TInstanceRole Role = TInstanceRole::Alone;
    // Forwarded: the running copy's refusal, if any. Alone: a warning for standard error, empty
    // when there simply is no session bus.
    QString Message;
};

// Makes this copy the session's one instance, exporting service and owning kAppId, or hands
// request to the copy that owns the name, waiting at most timeout for its answer. Needs the
// application object.
TInstance ClaimOrForward(const TLaunchRequest& request, const TActivation& activation,
                         TApplicationService& service,
                         std::chrono::milliseconds timeout = std::chrono::seconds(2));

} // namespace tv::desktop
