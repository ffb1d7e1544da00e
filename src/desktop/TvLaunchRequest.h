#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace tv::desktop {

// What one start of `tenvari` asks of the program: to show its window, to toggle it, to show a
// query converted, or to open the unit search with some terms.
struct TLaunchRequest {
    enum class TKind { Activate, Toggle, Query, Search };
    TKind Kind = TKind::Activate;
    QString Text; // the query or the search terms; empty for Activate and Toggle

    bool operator==(const TLaunchRequest&) const = default;
};

// How the launch may bring a window to the front: the startup-notification id of an X11 launch
// (its "_TIME" part is the launch's time stamp) or a Wayland activation token. Both empty when
// the program was started from a terminal.
struct TActivation {
    QByteArray StartupId;
    QByteArray ActivationToken;

    bool operator==(const TActivation&) const = default;
};

// The launch's own, from DESKTOP_STARTUP_ID and XDG_ACTIVATION_TOKEN. Read before the
// application object exists: Qt's X11 platform takes the first from the environment.
TActivation ActivationFromEnvironment();

// The platform data of org.freedesktop.Application ("desktop-startup-id", "activation-token")
// and back.
QVariantMap PlatformData(const TActivation& activation);
TActivation ActivationFrom(const QVariantMap& platformData);

// The launch time stamp carried by an X11 startup id ("..._TIME12345"); 0 when it has none.
quint32 StartupTime(const QByteArray& startupId);

// The outcome of reading the command line of `tenvari`.
struct TCommandLine {
    TLaunchRequest Request;
    // Set when the program ends at once: 0 after --help or --version, 2 after a usage error.
    int ExitCode = -1;
    QString Output; // for standard output
    QString Error;  // for standard error, one line

    bool Ends() const { return ExitCode >= 0; }
};

// Reads the arguments that follow the program name (Qt's own options already taken out by the
// application object). The words of a query are joined by blanks. Options come before the
// query: from its first word on every argument belongs to it, and "--" ends the options so that
// a query may start with a minus sign.
TCommandLine ParseCommandLine(const QStringList& arguments, const QString& version);

} // namespace tv::desktop
