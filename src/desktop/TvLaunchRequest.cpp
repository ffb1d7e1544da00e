#include "desktop/TvLaunchRequest.h"

#include <QRegularExpression>

namespace tv::desktop {

namespace {

const QString kStartupIdKey = QStringLiteral("desktop-startup-id");
const QString kActivationTokenKey = QStringLiteral("activation-token");

const char kUsage[] = "usage: tenvari [--toggle | QUERY...]\n"
                      "\n"
                      "Converts values between units and integers between number bases.\n"
                      "One window per session: a second start brings the first to the front.\n"
                      "\n"
                      "  QUERY...       show this conversion in the window, e.g. 5 ft to m or "
                      "1坪をm2に\n"
                      "                 (put -- before a query that starts with a minus sign)\n"
                      "  --toggle       hide the window, or show it and bring it to the front\n"
                      "  -h, --help     show this text\n"
                      "  -v, --version  show the version\n";

QByteArray Bytes(const QVariant& value) {
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray()
                                                   : value.toString().toUtf8();
}

} // namespace

TActivation ActivationFromEnvironment() {
    return {qgetenv("DESKTOP_STARTUP_ID"), qgetenv("XDG_ACTIVATION_TOKEN")};
}

QVariantMap PlatformData(const TActivation& activation) {
    QVariantMap data;
    if (!activation.StartupId.isEmpty()) {
        data.insert(kStartupIdKey, QString::fromUtf8(activation.StartupId));
    }
    if (!activation.ActivationToken.isEmpty()) {
        data.insert(kActivationTokenKey, QString::fromUtf8(activation.ActivationToken));
    }
    return data;
}

TActivation ActivationFrom(const QVariantMap& platformData) {
    return {Bytes(platformData.value(kStartupIdKey)),
            Bytes(platformData.value(kActivationTokenKey))};
}

quint32 StartupTime(const QByteArray& startupId) {
    static const QRegularExpression time(QStringLiteral("_TIME([0-9]{1,10})$"));
    const QRegularExpressionMatch match = time.match(QString::fromUtf8(startupId));
    if (!match.hasMatch()) {
        return 0;
    }
    bool ok = false;
    const quint32 stamp = match.captured(1).toUInt(&ok);
    return ok ? stamp : 0;
}

TCommandLine ParseCommandLine(const QStringList& arguments, const QString& version) {
    TCommandLine line;
    const auto usageError = [&line](const QString& message) {
        line.ExitCode = 2;
        line.Error = QStringLiteral("tenvari: ") + message +
                     QStringLiteral(" (tenvari --help shows the usage)");
        return line;
    };
    bool toggle = false;
    bool optionsEnded = false;
    QStringList words;
    for (const QString& argument : arguments) {
        // Options come first: from the query's first word on, every argument is part of it.
        if (optionsEnded || !words.isEmpty() || !argument.startsWith(QLatin1Char('-')) ||
            argument == QLatin1String("-")) {
            words << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.ExitCode = 0;
            line.Output = QString::fromUtf8(kUsage);
            return line;
        } else if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            line.ExitCode = 0;
            line.Output = QStringLiteral("tenvari (Tenvari) ") + version + QLatin1Char('\n');
            return line;
        } else if (argument == QLatin1String("--toggle")) {
            toggle = true;
        } else {
            return usageError(QStringLiteral("unknown option ") + argument);
        }
    }
    const QString text = words.join(QLatin1Char(' ')).trimmed();
    if (toggle && !text.isEmpty()) {
        return usageError(QStringLiteral("--toggle takes no query"));
    }
    if (toggle) {
        line.Request.Kind = TLaunchRequest::TKind::Toggle;
    } else if (!text.isEmpty()) {
        line.Request = {TLaunchRequest::TKind::Query, text};
    } else if (!words.isEmpty()) {
        return usageError(QStringLiteral("the query is empty"));
    }
    return line;
}

} // namespace tv::desktop
