#include "ui/Tv10FrmAbout.h"
#include "ui/Tv10FrmAll.h"
#include "ui/Tv10FrmMain.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvFormControl.h"
#include "units/TvPaths.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tenvari"));

    QApplication::setFont(tv::ProgramFont());

    QIcon icon;
    for (const QString& size : QDir(QStringLiteral(":/icons")).entryList()) {
        icon.addFile(QStringLiteral(":/icons/") + size);
    }
    QApplication::setWindowIcon(icon);

    const std::string exeDir = tv::ExecutableDir();
    tv::TTvFrmMain frmMain(QString::fromStdString(tv::DataDir(exeDir)),
                           QString::fromStdString(tv::SettingsPath(exeDir)));
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
