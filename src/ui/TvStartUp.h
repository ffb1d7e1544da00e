#pragma once

#include <QString>
#include <functional>
#include <memory>

class QApplication;
class QWidget;

namespace tv {

class TTvFrmAbout;
class TTvFrmAll;
class TTvFrmMain;
class TTvFrmSet;

// Prepares the application as the program starts it, before its windows exist: the name, Qt's
// own Japanese texts, the program's font and style, and the window icon in the sizes of title
// bars and task bars (up to 64 pixels; CompleteApplicationIcon adds the larger ones).
void SetUpApplication(QApplication& app);

// Gives the application's icon its sizes above 64 pixels too, which only window switchers and
// docks show: decoding them is a good part of the work before the first frame.
void CompleteApplicationIcon();

// Runs work once, after the window has drawn its first frame, or after half a second when no
// frame comes (a window that starts minimised).
void AfterFirstFrame(QWidget* window, std::function<void()> work);

// The program's four windows, created in the program's order: the main window, then the about
// dialog, the results window and the settings dialog, each dialog with the main window as its
// parent. The dialogs measure their texts only after the main window's first frame.
class TProgramWindows {
public:
    // A units file that fails to load shows its error box; the dialogs are then not created and
    // the main window must not be shown.
    TProgramWindows(const QString& dataDir, const QString& settingsPath,
                    const QString& settingsDefaults);
    ~TProgramWindows();

    bool UnitsLoadFailed() const;
    TTvFrmMain& Main() { return *main_; }

    // Shows the main window. After its first frame the dialogs lay out and the application's
    // icon gets its large sizes.
    void Show();

private:
    std::unique_ptr<TTvFrmMain> main_;
    std::unique_ptr<TTvFrmAbout> about_;
    std::unique_ptr<TTvFrmAll> all_;
    std::unique_ptr<TTvFrmSet> set_;
};

} // namespace tv
