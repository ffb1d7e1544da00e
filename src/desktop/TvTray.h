#pragma once

#include <QObject>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tv {
class TTvFrmMain;
}

namespace tv::desktop {

// The tray icon, while the setting asks for one and the desktop has a tray: a click shows or
// hides the main window, the menu shows it, shows one of the last conversions again or ends the
// program, and closing the window through the window manager hides it to the tray after writing
// the settings as a close does.
class TTray : public QObject {
    Q_OBJECT
public:
    explicit TTray(TTvFrmMain& main, QObject* parent = nullptr);
    ~TTray() override;

    // Reads the setting and shows or removes the icon accordingly.
    void Apply();
    bool Shown() const { return icon_ != nullptr; }

    // For tests: the icon's menu, while the icon is shown.
    QMenu* Menu() const { return menu_.get(); }
    void Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Show();
    void Quit();
    // The menu's entries of the newest conversions, made anew each time the menu opens.
    void FillRecent();

    TTvFrmMain& main_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QAction* recentEnd_ = nullptr;
    bool quitting_ = false;
};

} // namespace tv::desktop
