#pragma once

#include <QString>
#include <QStringList>

class QUrl;

// Opening files and addresses with the desktop's programs, the way xdg-open does, without a
// word on standard error.
namespace tv {

// The types a program must handle to open url: a local file's MIME type (by name and content)
// and the types it derives from, or "x-scheme-handler/<scheme>" for an address.
QStringList HandlerTypes(const QUrl& url);

// True when an installed application (a desktop entry in the XDG application folders) is
// associated with one of types, by the users' and the system's mimeapps.list or the desktop
// database (mimeinfo.cache), and not removed from it again.
bool HasDesktopHandler(const QStringList& types);

// Opens url with the desktop's handler. False when no program to open it was found: no opener
// (xdg-open, or the desktop's own that Qt knows), or, with xdg-open, no application for its
// type. Neither the program nor the opener it starts writes to standard error.
bool OpenWithDesktop(const QUrl& url);

} // namespace tv
