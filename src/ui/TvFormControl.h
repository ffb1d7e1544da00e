#pragma once

#include <QFont>
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace tv {

// The font of every window: a Japanese proportional Gothic at 12 pixels.
QFont ProgramFont();

// True while the top-most display is on; only the main window's command writes it.
extern bool TopMostMode;

// Puts a window into the top-most band (on) or takes it out; position and size stay.
void SetTopMost(QWidget* window, bool on);

// Moves a window to ((work width - outer width) / 2, (work height - outer height) / 2) of the
// primary screen's work area, truncated toward zero, without adding the work area's origin.
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

} // namespace tv
