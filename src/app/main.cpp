#include "TvVersion.h"
#include "desktop/TvApplicationBus.h"
#include "desktop/TvLaunchRequest.h"
#include "desktop/TvTray.h"
#include "desktop/TvWindowRequests.h"
#include "ui/Tv10FrmMain.h"
#include "ui/TvAccessible.h"
#include "ui/TvPlatform.h"
#include "ui/TvStartUp.h"
#include "units/TvPaths.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace {

void Print(std::FILE* stream, const QString& text) {
    if (!text.isEmpty()) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
        if (!text.endsWith(QLatin1Char('\n'))) {
            std::fputc('\n', stream);
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    namespace desktop = tv::desktop;
    // Qt's X11 platform takes the startup id out of the environment as the application starts.
    const desktop::TActivation activation = desktop::ActivationFromEnvironment();
    const QString version = QString::fromLatin1(tv::kVersion);
    // --help and --version are answered before Qt starts, so also where there is no display. Any
    // other reading waits for Qt to take its own options (-platform NAME, ...) out of the line.
    {
        QStringList arguments;
        for (int i = 1; i < argc; ++i) {
            arguments << QString::fromLocal8Bit(argv[i]);
        }
        if (const desktop::TCommandLine early = desktop::ParseCommandLine(arguments, version);
            early.Ends() && early.ExitCode == 0) {
            Print(stdout, early.Output);
            return 0;
        }
    }
    if (const auto platform =
            tv::ChoosePlatform([](const char* name) { return std::getenv(name); })) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*platform));
    }
    tv::DropLateQuestionWarnings();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tenvari"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tenvari.Tenvari"));

    const desktop::TCommandLine line =
        desktop::ParseCommandLine(QApplication::arguments().mid(1), version);
    if (line.Ends()) {
        Print(stdout, line.Output);
        Print(stderr, line.Error);
        return line.ExitCode;
    }
    // A second copy hands its request to the first and ends, before building any window.
    desktop::TApplicationService service;
    const desktop::TInstance instance = desktop::ClaimOrForward(line.Request, activation, service);
    if (instance.Role == desktop::TInstanceRole::Forwarded) {
        Print(stderr, instance.Message);
        return instance.Message.isEmpty() ? 0 : 2;
    }
    Print(stderr, instance.Message);

    // The name, Qt's Japanese texts, the font, the style and the icon.
    tv::SetUpApplication(app);

    const tv::TSettingsFiles settings = tv::SettingsFiles(tv::ExecutablePath());
    tv::TProgramWindows windows(QString::fromStdString(tv::DataDir(tv::ExecutableDir())),
                                QString::fromStdString(settings.Path),
                                QString::fromStdString(settings.Defaults));
    if (windows.UnitsLoadFailed()) {
        return 1;
    }
    tv::TTvFrmMain& frmMain = windows.Main();
    desktop::TTray tray(frmMain);
    QObject::connect(&frmMain, &tv::TTvFrmMain::SettingsClosed, &tray, &desktop::TTray::Apply);
    desktop::TWindowRequests requests(frmMain);
    service.SetHandler(&requests);

    windows.Show();
    tray.Apply();
    if (const QString problem = requests.Start(line.Request); !problem.isEmpty()) {
        Print(stderr, QStringLiteral("tenvari: ") + problem);
    }
    const int result = QApplication::exec();
    service.SetHandler(nullptr);
    return windows.UnitsLoadFailed() ? 1 : result;
}
