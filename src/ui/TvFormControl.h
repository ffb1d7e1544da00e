#pragma once

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

class QCoreApplication;
class QDialog;
class QLineEdit;
class QResizeEvent;
class QToolButton;

namespace tv {

// The font of every window: a Japanese proportional Gothic at 12 pixels.
QFont ProgramFont();

// True while the top-most display is on; only the main window's command writes it.
extern bool TopMostMode;

// Puts a window into the top-most band (on) or takes it out; position and size stay.
void SetTopMost(QWidget* window, bool on);

// The frame the window manager gives the window (title bar and borders), also before the window
// is mapped for the first time; empty where there is none or it cannot be known. Until the
// mapping each call is a round trip to the window manager: a caller that places a window in
// several steps asks once and passes the answer to the functions below.
QMargins FrameMargins(QWidget* window);

// Asks the window manager now for the frame it will give the window, so that placing the window
// at its first showing finds the answer there instead of waiting for it. The window's controls
// must be in place: the answer depends on its size limits, which its layout sets here.
void AskForFrame(QWidget* window);

// The corner of the outer frame (the window with margins around it) that centres the frame on the
// primary screen's work area: the work area's origin plus half the difference of the sizes, each
// half truncated toward zero.
QPoint CentredPosition(QWidget* window, const QMargins& margins);

// Moves a window so that the top-left corner of its outer frame lies at corner, whatever frame
// the window manager gives it. The corner is what pos() reports once the window is shown.
void PlaceFrame(QWidget* window, const QPoint& corner);
void PlaceFrame(QWidget* window, const QPoint& corner, const QMargins& margins);

// Moves a window to its centred position; without a screen it stays where it is.
void CenterForm(QWidget* window);

// The frame corner to use for a stored one: the stored corner when at least a grip of the title
// bar (its full height, kTitleGrip pixels of its width) lies in one of the work areas, otherwise
// the corner moved just far enough into the work area nearest to the title bar.
inline constexpr int kTitleGrip = 40;
QPoint BringIntoWorkArea(const QRect& frame, int titleHeight, const QList<QRect>& workAreas);

// The corner to use for a stored main-window position on the screens as they are now.
QPoint KeepOnScreen(QWidget* window, const QPoint& corner, const QMargins& margins);

// Makes a dialog a dialog under every window manager: a title bar without minimise and maximise
// buttons, and neither minimising nor closing it ever leaves its main window hidden.
void MakeDialogFrame(QDialog* dialog);

// Sets the program's style: the platform's, with a group box's frame line running through the
// middle of its title, so that controls placed for that layout stay clear of the line, and with
// TDropDownList opening as a drop-down list.
void InstallProgramStyle();

// Loads Qt's own Japanese texts (qtbase_ja) into the application, whatever the locale says.
bool InstallQtTranslation(QCoreApplication* app);

// The program-wide error box: error icon, one OK button, the application title as caption,
// ErrorBoxText(message) as text. Tests replace it with SetErrorBoxHandler, whose handler receives
// that text instead of a box being shown; an empty handler restores the box.
void ShowErrorBox(QWidget* parent, const QString& message);
void SetErrorBoxHandler(std::function<void(const QString&)> handler);

// Opens a URL with the desktop's default handler (help file, mail and web links); false when no
// program to open it was found. Tests replace it with SetUrlOpener so that nothing is launched;
// an empty opener restores the desktop's.
bool OpenUrl(const QUrl& url);
void SetUrlOpener(std::function<bool(const QUrl&)> opener);

// OpenUrl, and where it fails a warning box over parent that names the file or address and says
// that no program to open it was found.
bool OpenUrlOrWarn(QWidget* parent, const QUrl& url);

// A message text in which a number stays on one line with the counter or word that follows it
// ("4 つ", "6 行目"): the blank between them does not break.
QString KeepNumbersWithCounters(const QString& text);

// Gives control, the first control of its dialog, the focus for the dialog's next showing, drawn
// as the keyboard's focus is (the style draws it only after a key moved it otherwise).
void FocusFirstControl(QWidget* control);

// Up-down buttons bound to an edit box: a click reads the box's number, steps it within the
// range and writes it back as text.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent = nullptr);

    // The box's number when it is an integer within the range, else the last such number.
    int Position() const;

    // Names the pair for screen readers: name, and the two buttons after it.
    void SetAccessibleNames(const QString& name);

protected:
    void resizeEvent(QResizeEvent* e) override;
    // Up and Down in the bound box step as the buttons do.
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Step(int delta);

    QLineEdit* buddy_;
    int min_;
    int max_;
    mutable int position_;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
};

// A list without free text that, under the program's style, opens below itself with its
// maxVisibleItems rows (the platform style would open it over itself with all its entries), and
// that runs a step just before it opens, for work that only the open list needs.
class TDropDownList : public QComboBox {
    Q_OBJECT
public:
    explicit TDropDownList(QWidget* parent = nullptr);

    void SetBeforeOpen(std::function<void()> step);
    void showPopup() override;

private:
    std::function<void()> beforeOpen_;
};

// A status-bar panel that shows a text too wide for it with "…" in the middle, so that both
// ends stay readable (a unit's symbol ends its name), and carries the whole text as its tooltip
// then. text() is always the whole text. Screen readers read it as a notification, which they
// present at every SetText (InstallAccessibility).
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    void SetText(const QString& text);
    // True while the text is shown shortened.
    bool Elided() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QRect TextRect() const;
    QString ShownText() const;
    void UpdateToolTip();
};

} // namespace tv
