#include "desktop/TvApplicationBus.h"

#include "desktop/TvDesktopIds.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QDBusVariant>
#include <QTimer>
#include <optional>

namespace tv::desktop {

namespace {

// One string parameter of ActivateAction, whether it arrives as a plain or a wrapped variant.
std::optional<QString> StringParameter(const QVariantList& parameter) {
    if (parameter.size() != 1) {
        return std::nullopt;
    }
    QVariant value = parameter.front();
    if (value.userType() == qMetaTypeId<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    if (value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString();
}

} // namespace

TApplicationService::TApplicationService(QObject* parent) : QObject(parent) {}

void TApplicationService::Activate(const QVariantMap& platformData) {
    Take({TLaunchRequest::TKind::Activate, {}}, platformData);
}

void TApplicationService::Open(const QStringList& uris, const QVariantMap& platformData) {
    if (!uris.isEmpty()) {
        sendErrorReply(QDBusError::NotSupported, QStringLiteral("Tenvari opens no files"));
        return;
    }
    Take({TLaunchRequest::TKind::Activate, {}}, platformData);
}

void TApplicationService::ActivateAction(const QString& actionName, const QVariantList& parameter,
                                         const QVariantMap& platformData) {
    if (actionName == QLatin1String(kActionToggle)) {
        if (!parameter.isEmpty()) {
            sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("toggle takes no parameter"));
            return;
        }
        Take({TLaunchRequest::TKind::Toggle, {}}, platformData);
        return;
    }
    const bool query = actionName == QLatin1String(kActionQuery);
    if (!query && actionName != QLatin1String(kActionSearch)) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("no action named ") + actionName);
        return;
    }
    const std::optional<QString> text = StringParameter(parameter);
    if (!text) {
        sendErrorReply(QDBusError::InvalidArgs, actionName + QStringLiteral(" takes one string"));
        return;
    }
    Take({query ? TLaunchRequest::TKind::Query : TLaunchRequest::TKind::Search, *text},
         platformData);
}

void TApplicationService::Take(const TLaunchRequest& request, const QVariantMap& platformData) {
    const QString refused = handler_ != nullptr
                                ? handler_->Take(request, ActivationFrom(platformData))
                                : QStringLiteral("Tenvari is still starting; try again");
    if (!refused.isEmpty()) {
        sendErrorReply(QLatin1String(kRequestRefusedError), refused);
    }
}

QDBusMessage RequestMessage(const TLaunchRequest& request, const TActivation& activation) {
    const QString service = QLatin1String(kAppId);
    const QString path = QLatin1String(kAppPath);
    const QString interface = QLatin1String(kApplicationInterface);
    const QVariantMap platformData = PlatformData(activation);
    using TKind = TLaunchRequest::TKind;
    if (request.Kind == TKind::Activate) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Activate"));
        call << platformData;
        return call;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("ActivateAction"));
    QVariantList parameter;
    QString action = QLatin1String(kActionToggle);
    if (request.Kind != TKind::Toggle) {
        action = QLatin1String(request.Kind == TKind::Query ? kActionQuery : kActionSearch);
        parameter << QVariant::fromValue(QDBusVariant(request.Text));
    }
    call << action << QVariant::fromValue(parameter) << platformData;
    return call;
}

TInstance ClaimOrForward(const TLaunchRequest& request, const TActivation& activation,
                         TApplicationService& service, std::chrono::milliseconds timeout) {
    if (!qEnvironmentVariableIsEmpty(kNoBusVariable)) {
        return {};
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        return {};
    }
    const QString path = QLatin1String(kAppPath);
    if (!bus.registerObject(path, &service, QDBusConnection::ExportScriptableSlots)) {
        return {TInstanceRole::Alone,
                QStringLiteral("tenvari: cannot export %1 on the session bus; running on its own")
                    .arg(path)};
    }
    QDBusMessage call = RequestMessage(request, activation);
    // A copy that ends between the claim and the call is replaced by this one, not by a copy
    // the bus would start.
    call.setAutoStartService(false);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claimed =
            bus.interface()->registerService(QLatin1String(kAppId),
                                             QDBusConnectionInterface::DontQueueService,
                                             QDBusConnectionInterface::DontAllowReplacement);
        if (claimed.isValid() && claimed.value() == QDBusConnectionInterface::ServiceRegistered) {
            return {TInstanceRole::Primary, {}};
        }
        const QDBusMessage answer = bus.call(call, QDBus::Block, static_cast<int>(timeout.count()));
        if (answer.type() == QDBusMessage::ReplyMessage) {
            return {TInstanceRole::Forwarded, {}};
        }
        const QString error = answer.errorName();
        if (error == QLatin1String(kRequestRefusedError)) {
            return {TInstanceRole::Forwarded, QStringLiteral("tenvari: ") + answer.errorMessage()};
        }
        const bool ownerGone =
            error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
        if (!ownerGone) {
            bus.unregisterObject(path);
            const bool noAnswer = error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
                                  error == QLatin1String("org.freedesktop.DBus.Error.Timeout");
            const QString why =
                noAnswer ? QStringLiteral("did not answer within %1 ms").arg(timeout.count())
                         : QStringLiteral("answered %1 (%2)").arg(error, answer.errorMessage());
            return {
                TInstanceRole::Alone,
                QStringLiteral("tenvari: the running Tenvari %1; starting on its own").arg(why)};
        }
    }
    bus.unregisterObject(path);
    return {TInstanceRole::Alone,
            QStringLiteral("tenvari: cannot own %1 on the session bus; starting on its own")
                .arg(QLatin1String(kAppId))};
}

} // namespace tv::desktop
