#include "ui/Tv10FrmAbout.h"
#include "ui/Tv10FrmAll.h"
#include "ui/Tv10FrmMain.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvAccessible.h"
#include "ui/TvFormControl.h"
#include "ui/TvPlatform.h"
#include "units/TvPaths.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (const auto platform =
            tv::ChoosePlatform([](const char* name) { return std::getenv(name); })) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*platform));
    }
    tv::DropLateQuestionWarnings();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tenvari"));
    // The desktop entry's name: what a desktop matches the program's windows and D-Bus name with.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tenvari.Tenvari"));
    tv::InstallQtTranslation(&app);

    QApplication::setFont(tv::ProgramFont());
    tv::InstallProgramStyle();

    QIcon icon;
    for (const QString& size : QDir(QStringLiteral(":/icons")).entryList()) {
        icon.addFile(QStringLiteral(":/icons/") + size);
    }
    QApplication::setWindowIcon(icon);

    const std::string exePath = tv::ExecutablePath();
    const tv::TSettingsFiles settings = tv::SettingsFiles(exePath);
    tv::TTvFrmMain frmMain(QString::fromStdString(tv::DataDir(tv::ExecutableDir())),
                           QString::fromStdString(settings.Path),
                           QString::fromStdString(settings.Defaults));
    if (frmMain.UnitsLoadFailed()) {
        return 1;
    }
    tv::TTvFrmAbout frmAbout(&frmMain);
    tv::TTvFrmAll frmAll(&frmMain);
    tv::TTvFrmSet frmSet(&frmMain);
    frmMain.SetWindows(&frmAbout, &frmAll, &frmSet);

    frmMain.show();
    const int result = QApplication::exec();
    return frmMain.UnitsLoadFailed() ? 1 : result;
}
