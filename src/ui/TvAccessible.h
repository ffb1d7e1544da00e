#pragma once

#include <QAccessible>
#include <QString>
#include <QTreeView>

class QWidget;

// What screen readers learn of the windows beyond what Qt's own accessible interfaces tell them.
namespace tv {

// A caption as a screen reader should say it: without its mnemonic marker ("単位変換(&U)" gives
// "単位変換", "&OK" gives "OK"), a trailing colon or surrounding blanks; "&&" stays one "&".
QString AccessibleCaption(const QString& caption);

// Installs the program's accessible interfaces once per process: menu items and page tabs named
// by AccessibleCaption, page tabs that leave the focus to their tab bar (Qt reports the bar and
// its current tab, and the tab widget around them, as focused at once; the current tab even
// while another control has the focus), separator lines as separators, and a status panel
// (TStatusPanel) as a notification whose text can be read.
void InstallAccessibility();

// Names every label, button and group box under root whose caption carries a mnemonic marker by
// AccessibleCaption, where no accessible name was given.
void NameWithoutMnemonics(QWidget* root);

// Lets no warning of Qt's AT-SPI bridge about a screen reader's question on an object that has
// just gone (a closed dialog, a list refilled at a keystroke) reach standard error: the reader
// asked too late, nothing is wrong, and nothing could be done about it. Every other message goes
// on to the handler before. Once per process, before the first window.
void DropLateQuestionWarnings();

// Tells screen readers that panel, a status panel, shows a new outcome; they present it as a
// notification. The outcomes of one command are told once, the last one, when the command has
// returned to the event loop. An empty panel tells nothing.
void AnnounceStatus(QWidget* panel);

// While it lives, the program's changes to its controls are not told to screen readers: a run of
// them (the conversions of a batch) would bury the outcome under hundreds of events, which a
// screen reader then drops as a flood. What the controls show afterwards is told as usual.
class TQuietAccessibility {
public:
    TQuietAccessibility();
    ~TQuietAccessibility();
    TQuietAccessibility(const TQuietAccessibility&) = delete;
    TQuietAccessibility& operator=(const TQuietAccessibility&) = delete;

private:
    QAccessible::UpdateHandler previous_;
};

// A flat list that the keyboard drives from another control (the unit search's hits): its
// current row is its selected row, and it keeps no current index of Qt's, which Qt would report
// to screen readers as a focused row, and even announce as the focus, while the keyboard focus
// is elsewhere. Setting a current index selects that row; the arrow and page keys sent to it
// move the selection.
class TSelectionTreeView : public QTreeView {
    Q_OBJECT
public:
    using QTreeView::QTreeView;

    // The selected row, or -1.
    int SelectedRow() const;

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
};

} // namespace tv
