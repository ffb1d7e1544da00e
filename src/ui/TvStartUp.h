#pragma once

#include <QString>
#include <functional>
#include <memory>

class QApplication;
class QObject;
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

// Runs work once, at the application's first key press, click, wheel turn or touch, before that
// event is handled; never when owner is gone first.
void OnFirstInput(QObject* owner, std::function<void()> work);

// The program's four windows: the main window, and the about dialog, the results window and
// the settings dialog, each with the main window as its parent. The three are made together when
// the main window first needs one of them.
class TProgramWindows {
public:
    // A units file that fails to load shows its error box; the main window must then not be
    // shown.
    TProgramWindows(const QString& dataDir, const QString& settingsPath,
                    const QString& settingsDefaults);
    ~TProgramWindows();

    bool UnitsLoadFailed() const;
    TTvFrmMain& Main() { return *main_; }

    // Shows the main window. After its first frame the application's icon gets its large
    // sizes; at the first key or click the history opens.
    void Show();

private:
    std::unique_ptr<TTvFrmMain> main_;
    std::unique_ptr<TTvFrmAbout> about_;
    std::unique_ptr<TTvFrmAll> all_;
    std::unique_ptr<TTvFrmSet> set_;
};

} // namespace tv
