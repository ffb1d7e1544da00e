#pragma once

#include <QFont>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>

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

// Returns ((work width - outer width) / 2, (work height - outer height) / 2) of the primary
// screen's work area, truncated toward zero, without adding the work area's origin.
QPoint CentredPosition(const QWidget* window);

// Moves a window to its centred position; without a screen it stays where it is.
void CenterForm(QWidget* window);

// The program-wide error box: error icon, one OK button, the application title as caption,
// ErrorBoxText(message) as text. Tests replace it with SetErrorBoxHandler, whose handler receives
// that text instead of a box being shown; an empty handler restores the box.
void ShowErrorBox(QWidget* parent, const QString& message);
void SetErrorBoxHandler(std::function<void(const QString&)> handler);

// Opens a URL with the desktop's default handler (help file, mail and web links). Tests replace
// it with SetUrlOpener so that nothing is launched; an empty opener restores the desktop's.
bool OpenUrl(const QUrl& url);
void SetUrlOpener(std::function<bool(const QUrl&)> opener);

// Up-down buttons bound to an edit box: a click reads the box's number, steps it within the
// range and writes it back as text.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    TUpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent = nullptr);

    // The box's number when it is an integer within the range, else the last such number.
    int Position() const;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Step(int delta);

    QLineEdit* buddy_;
    int min_;
    int max_;
    mutable int position_;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
};

} // namespace tv
