#pragma once

#include "history/TvHistory.h"
#include "units/TvUnitsFile.h"

#include <QMainWindow>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace tv {

class TAlEdit;
class TFavouritesMenu;
class THistoryRecorder;
class TIniFile;
class TTvFrmAbout;
class TStatusPanel;
class TTvFrmAll;
class TTvFrmFavourites;
class TTvFrmFind;
class TTvFrmHistory;
class TTvFrmSet;
class TUnitSearch;
class TUpDown;
struct TFindChoice;
struct TUnitHit;
struct TQuery;
struct TQueryParse;

// The main window: the unit page, the base page, the menu and the status bar.
class TTvFrmMain : public QMainWindow {
    Q_OBJECT
public:
    // dataDir holds units.dat, prefix.dat and the help files (with a trailing "/");
    // settingsPath is the settings file, settingsDefaults the file read in its place while it
    // does not exist (none when empty). A units file that fails to load shows the error box
    // and leaves UnitsLoadFailed() true; the window must then not be shown.
    TTvFrmMain(const QString& dataDir, const QString& settingsPath,
               const QString& settingsDefaults = QString(), QWidget* parent = nullptr);
    ~TTvFrmMain() override;

    // The three secondary windows, created by the program after the main window.
    void SetWindows(TTvFrmAbout* about, TTvFrmAll* all, TTvFrmSet* set);
    // Or made at their first use: make calls SetWindows.
    void SetWindowMaker(std::function<void()> make);

    bool UnitsLoadFailed() const { return unitsLoadFailed_; }

    // The settings file, as the windows read and write it.
    TIniFile Settings() const;

    // For the desktop's requests: the active page's value box takes the focus with its text
    // selected; the unit search opens with terms in its filter; the window's position and group
    // are written as at a close, for a window that hides instead.
    void FocusActiveValueBox();
    void OpenUnitSearch(const QString& terms);
    void SaveWindowSettings();
    // Opens the history ahead of its first use: for the user's first key or click, so that the
    // first conversion does not wait for the store.
    void OpenHistoryAhead();
    // A query from the desktop: empty when the window can show it, else why not, in the
    // query's own words.
    QString QueryProblem(const QString& text);
    // Shows a query as Enter on one in the unit search does. One without a target is shown in
    // its own unit, then in every unit of its group in the results window, as the batch gives it.
    void ShowQuery(const QString& text);
    // The newest conversions of the history, at most count (none while it is off or cannot be
    // read), and one of them shown again as the history window shows a chosen entry.
    std::vector<THistoryEntry> RecentEntries(size_t count);
    void ShowEntry(const THistoryEntry& entry);

signals:
    // The settings dialog has closed and its conversion settings are in effect.
    void SettingsClosed();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FrmMainCreate();
    void FrmMainShow();
    void FrmMainDestroy();
    void PageControlChange();
    void comUnitsClick();

    // The two conversions; false when they reported a failure (status text and beep).
    bool UnitConv();
    bool BaseConv();
    void mnuNConvClick();
    void edtInputChange();
    // The user's choice of a unit; false when the conversion it ran reported a failure.
    bool comChange();
    void edtInputBChange();
    void edtBaseInputChange();
    void btnBaseInputClick(const QString& caption);
    void btnBaseOutputClick(const QString& caption);
    // The key filters: what remains of a typed or committed text.
    QString edtInputKeyPress(const QString& text) const;
    QString edtInputBKeyPress(const QString& text) const;
    QString edtBaseKeyPress(const QString& text) const;
    // What the key filter of a box keeps of a typed or committed text; nothing for a box
    // without a filter.
    std::optional<QString> FilterTyped(const QLineEdit* box, const QString& text) const;

    void mnuAConvClick();
    void mnuOtherWinShowClick();
    void mnuCopyClick();
    void mnuPasteClick();
    void mnuClearClick();
    void mnuFrontClick();
    void mnuSettingClick();
    void mnuDataReReadClick();
    void mnuHelpClick();
    void mnuAboutClick();
    void mnuEndClick();
    void mnuFindClick();
    void mnuSwapClick();
    void mnuCopyValueClick();
    void mnuUserEditClick();
    // The unit search, with the filter of the last search or the one given.
    void FindUnit(const std::optional<QString>& filter);
    // Selects a unit taken in the unit search as the user would: the unit page, its group, then
    // the unit in its list.
    void TakeFoundUnit(const TFindChoice& choice);
    // Fills the unit page with a query taken in the unit search and converts it.
    void TakeFoundQuery(const TQuery& query, const QString& text);
    // The text read as a query on the window's data.
    TQueryParse ReadQuery(const QString& text);
    // The unit search's hits of the units the history names, most recent first.
    std::vector<TUnitHit> RecentHits() const;

    void mnuHistoryClick();
    // Puts a history entry back (page, group, units or bases, value) and converts it again.
    void ApplyEntry(const THistoryEntry& entry);
    void mnuFavouriteAddClick();
    void mnuFavouritesManageClick();
    // Selects a favourite's page, group and units (or bases) as the user would.
    void FavouriteClick(const TFavourite& favourite);
    void FillFavourites();
    // Shows the unit page (running the page change) and selects the units of a group by name;
    // false, with the exclamation beep and the missing name in status panel 0, when the group or
    // a unit has left the data.
    bool SelectUnitPair(const std::string& group, const std::string& source,
                        const std::string& target);
    // Shows the base page, running the page change.
    void ShowPage(int page);
    // The entry of the unit page's or the base page's conversion as the boxes show it.
    THistoryEntry PageEntry(bool basePage, const std::string& result) const;
    void ReadHistorySettings(const TIniFile& ini);

    void CreateControls();
    void CreateMenu();
    // Loads both tables; false after the unit-data error box.
    bool LoadData();
    void FillGroupList();
    void FillUnitLists();
    void SelectGroupIndex(int index);
    void ReadConvertSettings(const TIniFile& ini);
    // Says once in the status bar that a read-only settings file keeps the settings only for
    // this session.
    void NoticeReadOnlySettings();
    // Gives a value box the focus with its whole text selected, so typing replaces it.
    void FocusValueBox(QLineEdit* box);
    // Leaves the "0" that a conversion wrote into an empty box selected.
    void SetZeroSelected(QLineEdit* box);
    QString GroupCaption() const;
    void SetCaption(const QString& caption);
    void SetStatus(const QString& text);
    bool UnitListsUsable() const;
    QAction* ShortcutAction(const QKeyEvent* key) const;

    // Runs an event handler: a failure it passes on is shown in the error box, or, when the
    // handler runs inside another one (a program change of a box's text), handed to that one.
    template <typename F> void Guard(F&& handler);
    // Sets a box's text as a program edit; a failure of the change handler it ran goes on to
    // the caller.
    void SetBoxText(QLineEdit* box, const QString& text);
    void ShowFailure(std::exception_ptr failure);

    QString dataDir_;
    QString unitsPath_;
    QString prefixPath_;
    QString settingsPath_;
    QString settingsDefaults_;
    std::unique_ptr<TUnits> units_;
    std::unique_ptr<TPrefixes> prefixes_;
    // The unit search's index of the catalogue: built at the first search, dropped at a re-read.
    std::unique_ptr<TUnitSearch> search_;
    std::unique_ptr<THistoryRecorder> history_;
    std::unique_ptr<TFavouritesMenu> favouritesMenu_;
    int lastUnitPair_ = 0;

    bool unitsLoadFailed_ = false;
    bool StartUpDone = false;
    // LoadedUnits at creation and after a data re-read: below -1 (no selection), so no index of
    // the group list equals it and the next group change always fills the unit lists.
    static constexpr int kNoGroupLoaded = -2;
    int LoadedUnits = kNoGroupLoaded;
    bool BatchRunning = false;
    int ConvDispose = 0;
    int ShowAns = 0;
    int ShowExp = 0;
    // The open lists' widths fit their entries (set when a list first opens after a filling).
    bool groupListFitted_ = false;
    bool unitListsFitted_ = false;
    bool shown_ = false;
    bool shutdownDone_ = false;
    bool readOnlyNoticed_ = false;

    int handlerDepth_ = 0;
    std::exception_ptr pending_;

    void WatchListView(QComboBox* list);
    std::vector<QObject*> listViews_;

    // The secondary windows, made by makeWindows_ when they are first needed.
    void EnsureWindows();
    std::function<void()> makeWindows_;
    TTvFrmAbout* frmAbout_ = nullptr;
    TTvFrmAll* frmAll_ = nullptr;
    TTvFrmSet* frmSet_ = nullptr;
    TTvFrmFind* frmFind_ = nullptr;
    TTvFrmHistory* frmHistory_ = nullptr;
    TTvFrmFavourites* frmFavourites_ = nullptr;

    QTabWidget* PageControl = nullptr;
    QGroupBox* gbxInput = nullptr;
    QGroupBox* gbxOutput = nullptr;
    TAlEdit* edtInput = nullptr;
    TAlEdit* edtOutput = nullptr;
    QComboBox* comInput = nullptr;
    QComboBox* comOutput = nullptr;
    QComboBox* comUnits = nullptr;
    QGroupBox* gbxInputB = nullptr;
    QGroupBox* gbxOutputB = nullptr;
    TAlEdit* edtInputB = nullptr;
    TAlEdit* edtOutputB = nullptr;
    QLineEdit* edtBaseInput = nullptr;
    QLineEdit* edtBaseOutput = nullptr;
    TUpDown* udbBaseInput = nullptr;
    TUpDown* udbBaseOutput = nullptr;
    TStatusPanel* panel0_ = nullptr;
    QLabel* panel1_ = nullptr;

    QAction* mnuNConv = nullptr;
    QAction* mnuAConv = nullptr;
    QAction* mnuOtherWinShow = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QAction* mnuClear = nullptr;
    QAction* mnuFront = nullptr;
    QAction* mnuSetting = nullptr;
    QAction* mnuDataReRead = nullptr;
    QAction* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuEnd = nullptr;
    QAction* mnuFind = nullptr;
    QAction* mnuSwap = nullptr;
    QAction* mnuCopyValue = nullptr;
    QAction* mnuUserEdit = nullptr;
    QAction* mnuHistory = nullptr;
    QAction* mnuFavouriteAdd = nullptr;
    QAction* mnuFavouritesManage = nullptr;
    // Every menu item, for the key routing of the menu's shortcuts.
    std::vector<QAction*> menuActions_;
};

} // namespace tv
