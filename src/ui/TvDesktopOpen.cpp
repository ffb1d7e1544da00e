#include "ui/TvDesktopOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>
#include <utility>

namespace tv {

namespace {

// The desktop ids listed for types in one section of an association file ("[MIME Cache]",
// "[Default Applications]" ...); "type=a.desktop;b.desktop;" lines.
QStringList Listed(const QString& path, const QString& section, const QSet<QString>& types) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList ids;
    bool inSection = false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == QLatin1Char('[') + section + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inSection || equals <= 0 || !types.contains(line.left(equals).trimmed())) {
            continue;
        }
        for (const QString& id : line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            ids << id.trimmed();
        }
    }
    return ids;
}

// The association files, most important first: per desktop, then common, in the user's and the
// system's configuration folders and then the application folders.
QStringList AssociationFiles(const QStringList& applicationDirs) {
    QStringList names;
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        names << desktop.toLower() + QStringLiteral("-mimeapps.list");
    }
    names << QStringLiteral("mimeapps.list");
    QStringList files;
    QStringList dirs = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    dirs << applicationDirs;
    for (const QString& dir : dirs) {
        for (const QString& name : names) {
            files << QDir(dir).filePath(name);
        }
    }
    return files;
}

// An application's desktop entry is installed: the id names a file in an application folder,
// where "a-b.desktop" may also stand for "a/b.desktop".
bool Installed(const QString& id, const QStringList& applicationDirs) {
    for (const QString& dir : applicationDirs) {
        const QDir folder(dir);
        if (QFileInfo(folder.filePath(id)).isFile()) {
            return true;
        }
        const qsizetype dash = id.indexOf(QLatin1Char('-'));
        if (dash > 0 &&
            QFileInfo(folder.filePath(QString(id).replace(dash, 1, QLatin1Char('/')))).isFile()) {
            return true;
        }
    }
    return false;
}

bool NeedsPortal() {
    return QFileInfo::exists(QStringLiteral("/.flatpak-info")) || qEnvironmentVariableIsSet("SNAP");
}

// Qt's warnings for an address it found no program for, caught while they are wanted: they are
// the answer "no program", not a diagnosis. Every other message goes on to the handler before.
class TLauncherWarnings {
public:
    TLauncherWarnings() {
        caught_ = false;
        previous_ = qInstallMessageHandler(&Handle);
    }
    ~TLauncherWarnings() { qInstallMessageHandler(std::exchange(previous_, nullptr)); }
    TLauncherWarnings(const TLauncherWarnings&) = delete;
    TLauncherWarnings& operator=(const TLauncherWarnings&) = delete;

    bool Caught() const { return caught_; }

private:
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg &&
            (message.startsWith(QLatin1String("Unable to detect a launcher for")) ||
             message.startsWith(QLatin1String("Unable to detect a web browser to launch")) ||
             message.startsWith(QLatin1String("Launch failed (")) ||
             message.startsWith(
                 QLatin1String("This plugin does not support QPlatformServices::open")))) {
            caught_ = true;
            return;
        }
        if (previous_ != nullptr) {
            previous_(type, context, message);
        }
    }

    static inline QtMessageHandler previous_ = nullptr;
    static inline bool caught_ = false;
};

} // namespace

QStringList HandlerTypes(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {QStringLiteral("x-scheme-handler/") + url.scheme().toLower()};
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(url.toLocalFile());
    QStringList types{type.name()};
    for (const QString& ancestor : type.allAncestors()) {
        // A program for any bytes at all is no program to read the file with.
        if (ancestor != QLatin1String("application/octet-stream")) {
            types << ancestor;
        }
    }
    return types;
}

bool HasDesktopHandler(const QStringList& types) {
    const QSet<QString> wanted(types.begin(), types.end());
    const QStringList applicationDirs =
        QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    const QStringList associations = AssociationFiles(applicationDirs);
    QSet<QString> removed;
    for (const QString& file : associations) {
        for (const QString& id : Listed(file, QStringLiteral("Removed Associations"), wanted)) {
            removed.insert(id);
        }
    }
    const auto any = [&](const QStringList& ids, bool evenRemoved) {
        for (const QString& id : ids) {
            if ((evenRemoved || !removed.contains(id)) && Installed(id, applicationDirs)) {
                return true;
            }
        }
        return false;
    };
    for (const QString& file : associations) {
        // A default stands even where an association was removed.
        if (any(Listed(file, QStringLiteral("Default Applications"), wanted), true) ||
            any(Listed(file, QStringLiteral("Added Associations"), wanted), false)) {
            return true;
        }
    }
    for (const QString& dir : applicationDirs) {
        if (any(Listed(QDir(dir).filePath(QStringLiteral("mimeinfo.cache")),
                       QStringLiteral("MIME Cache"), wanted),
                false)) {
            return true;
        }
    }
    return false;
}

bool OpenWithDesktop(const QUrl& url) {
    if (NeedsPortal()) {
        // Qt hands the address to the desktop portal, which asks the user itself.
        return QDesktopServices::openUrl(url);
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        // xdg-open only says on its standard error that nothing handles the type.
        const QString scheme = url.scheme().toLower();
        const bool browser =
            (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
            !qEnvironmentVariableIsEmpty("BROWSER");
        if (!browser && !HasDesktopHandler(HandlerTypes(url))) {
            return false;
        }
        QProcess process;
        process.setProgram(opener);
        process.setArguments({QString::fromUtf8(url.toEncoded())});
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        return process.startDetached();
    }
    // Without xdg-open Qt looks for the desktop's own opener or a browser, and says on standard
    // error when it finds none.
    const TLauncherWarnings warnings;
    const bool opened = QDesktopServices::openUrl(url);
    return opened && !warnings.Caught();
}

} // namespace tv
