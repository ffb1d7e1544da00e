#include "desktop/TvTray.h"

#include "desktop/TvWindowRequests.h"
#include "ui/Tv10FrmMain.h"
#include "ui/TvIniFile.h"
#include "ui/TvSettingKeys.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSystemTrayIcon>

namespace tv::desktop {

TTray::TTray(TTvFrmMain& main, QObject* parent) : QObject(parent), main_(main) {
    main_.installEventFilter(this);
}

TTray::~TTray() = default;

void TTray::Apply() {
    const bool wanted = ReadSetting(main_.Settings(), setting::TrayIcon) == 1 &&
                        QSystemTrayIcon::isSystemTrayAvailable();
    if (!wanted) {
        icon_.reset();
        menu_.reset();
        return;
    }
    if (icon_) {
        return;
    }
    menu_ = std::make_unique<QMenu>();
    QAction* show = menu_->addAction(QStringLiteral("表示(&S)"));
    show->setObjectName(QStringLiteral("mnuTrayShow"));
    connect(show, &QAction::triggered, this, [this] { Show(); });
    // The last conversions go between the two separators.
    menu_->addSeparator();
    recentEnd_ = menu_->addSeparator();
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] { FillRecent(); });
    QAction* quit = menu_->addAction(QStringLiteral("終了(&X)"));
    quit->setObjectName(QStringLiteral("mnuTrayQuit"));
    connect(quit, &QAction::triggered, this, [this] { Quit(); });

    icon_ = std::make_unique<QSystemTrayIcon>(QApplication::windowIcon());
    icon_->setToolTip(QStringLiteral("Tenvari"));
    icon_->setContextMenu(menu_.get());
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    Click();
                }
            });
    icon_->show();
}

void TTray::FillRecent() {
    constexpr size_t kRecent = 5;
    for (QAction* action : menu_->actions()) {
        if (action->property("tvRecent").toBool()) {
            menu_->removeAction(action);
            action->deleteLater();
        }
    }
    for (const THistoryEntry& entry : main_.RecentEntries(kRecent)) {
        // The report line of a batch is its first line; the menu names the conversion.
        const QString first = QString::fromStdString(entry.Result).section(QLatin1Char('\n'), 0, 0);
        const QString text = entry.Batch ? QStringLiteral("%1 [%2] 一括")
                                               .arg(QString::fromStdString(entry.Value),
                                                    QString::fromStdString(entry.Source))
                                         : QStringLiteral("%1 [%2] => %3 [%4]")
                                               .arg(QString::fromStdString(entry.Value),
                                                    QString::fromStdString(entry.Source), first,
                                                    QString::fromStdString(entry.Target));
        auto* action = new QAction(text, menu_.get());
        action->setProperty("tvRecent", true);
        menu_->insertAction(recentEnd_, action);
        connect(action, &QAction::triggered, this, [this, entry] {
            Show();
            main_.ShowEntry(entry);
        });
    }
}

void TTray::Click() {
    // The click lands on the panel, which may take the focus: a shown window hides, whether
    // active or not.
    if (main_.isVisible() && !main_.isMinimized() && QApplication::activeModalWidget() == nullptr) {
        main_.hide();
    } else {
        Show();
    }
}

void TTray::Show() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        main_.FocusActiveValueBox();
    }
    PresentWindow(modal != nullptr ? modal : &main_, {});
}

void TTray::Quit() {
    // Qt's quit closes the windows as the window manager would; none of them may hide then.
    quitting_ = true;
    if (QApplication::activeModalWidget() != nullptr) {
        // The dialog's own loop ends first; the window then closes.
        QApplication::activeModalWidget()->close();
    }
    main_.close();
    QApplication::quit();
}

bool TTray::eventFilter(QObject* watched, QEvent* event) {
    // Only the window manager's close (the title bar's button, Alt+F4) hides: the exit command,
    // the tray's quit and a failed data re-read close the window by program, and end it.
    if (watched == &main_ && event->type() == QEvent::Close && event->spontaneous() && icon_ &&
        !quitting_) {
        main_.SaveWindowSettings();
        main_.hide();
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tv::desktop
