#include "TvVersion.h"
#include "desktop/TvDesktopAnswers.h"
#include "desktop/TvDesktopIds.h"
#include "desktop/TvQueryAnswerer.h"
#include "desktop/TvSearchProvider.h"
#include "units/TvPaths.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QTimer>
#include <cstdio>
#include <string>

// tenvari-search-provider: answers the desktop's search (GNOME Shell, KRunner) on the session
// bus, started by the bus when the desktop first asks, and ends after a while without a call.

namespace {

const char kUsage[] =
    "usage: tenvari-search-provider [--idle SECONDS]\n"
    "\n"
    "Answers unit conversions in the desktop's search: GNOME Shell's search provider\n"
    "(org.gnome.Shell.SearchProvider2) and KRunner's (org.kde.krunner1), on the session bus\n"
    "as io.github.tenvari.Tenvari.SearchProvider. The bus starts it when a search needs it.\n"
    "\n"
    "  --idle SECONDS  end after this long without a call (default 20; 0: never)\n"
    "  -h, --help      show this text\n"
    "  -v, --version   show the version\n";

void Log(const std::string& line) {
    std::fprintf(stderr, "tenvari-search-provider: %s\n", line.c_str());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int idleSeconds = 20;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            std::printf("tenvari-search-provider (Tenvari) %s\n", tv::kVersion);
            return 0;
        }
        bool ok = false;
        if (argument == QLatin1String("--idle") && i + 1 < arguments.size()) {
            idleSeconds = arguments[++i].toInt(&ok);
        }
        if (!ok || idleSeconds < 0) {
            Log("unknown or incomplete option " + argument.toStdString() +
                " (tenvari-search-provider --help shows the usage)");
            return 2;
        }
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        Log("no session bus: " + bus.lastError().message().toStdString());
        return 1;
    }
    tv::desktop::RegisterProviderTypes();
    // The window's settings, for its display mode: those of tenvari beside this program.
    const tv::TSettingsFiles settings = tv::SettingsFiles(tv::ExecutableDir() + "tenvari");
    tv::desktop::TAnswerData data(tv::DataDir(tv::ExecutableDir()), tv::UserDataDir(),
                                  {settings.Path, settings.Defaults}, Log);
    const tv::desktop::TQueryAnswerer answerer;
    tv::desktop::TDesktopAnswers answers(data, answerer);
    tv::desktop::TProviderCore core(answers);
    tv::desktop::TSearchProvider shell(core);
    tv::desktop::TKRunner runner(core);
    using tv::desktop::kProviderBusName;
    if (!bus.registerObject(QLatin1String(tv::desktop::kProviderPath), &shell,
                            QDBusConnection::ExportScriptableSlots) ||
        !bus.registerObject(QLatin1String(tv::desktop::kRunnerPath), &runner,
                            QDBusConnection::ExportScriptableSlots)) {
        Log("cannot export the search objects on the session bus");
        return 1;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claimed =
        bus.interface()->registerService(QLatin1String(kProviderBusName),
                                         QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!claimed.isValid() || claimed.value() != QDBusConnectionInterface::ServiceRegistered) {
        // Another copy answers already; two would only split the calls.
        Log(std::string(kProviderBusName) + " is taken: another copy is running; ending");
        return 0;
    }
    // The first answer must not wait for the files.
    data.Current();

    QTimer idle;
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, &app, &QCoreApplication::quit);
    if (idleSeconds > 0) {
        idle.setInterval(idleSeconds * 1000);
        QObject::connect(&core, &tv::desktop::TProviderCore::Called, &idle,
                         qOverload<>(&QTimer::start));
        idle.start();
    }
    return QCoreApplication::exec();
}
