#pragma once

#include "history/TvHistory.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace tv {

class TRecordDebounce;

// The main window's side of the history: the store, whether conversions are kept, and how a
// conversion becomes an entry. A command's conversion is written before its result is shown; a
// conversion made by an edit (conversion on every change) is held until the edits pause, a unit
// or base changes, or the window closes. Problems with the store are said once per run, in a
// warning box after the handler that met them; conversions never fail because of them.
class THistoryRecorder {
public:
    // What a conversion that completes now becomes.
    enum class TMode {
        Held, // made by an edit: held until the edits pause
        Now,  // made by a command: written at once
        None, // part of a larger conversion (a batch step, the "0" put into an empty box)
    };

    // Sets the recorder's mode for a scope.
    class TScope {
    public:
        TScope(THistoryRecorder& recorder, TMode mode)
            : recorder_(recorder), saved_(recorder.mode_) {
            recorder_.mode_ = mode;
        }
        ~TScope() { recorder_.mode_ = saved_; }
        TScope(const TScope&) = delete;
        TScope& operator=(const TScope&) = delete;

    private:
        THistoryRecorder& recorder_;
        TMode saved_;
    };

    explicit THistoryRecorder(QWidget* window);
    ~THistoryRecorder();
    THistoryRecorder(const THistoryRecorder&) = delete;
    THistoryRecorder& operator=(const THistoryRecorder&) = delete;

    // The store at path, opened at its first use. It opens now when the file is plainly no
    // history or none can be made there (THistory::LooksOpenable), so that the start says so: a
    // broken file moved aside, or a store that cannot be used, is said in a warning box.
    void Open(const std::string& path);
    // Opens the store ahead of its first use, when conversions are kept or there is a file,
    // and begins its log (see StartLog): for the user's first key or click, so that the first
    // conversion waits for neither.
    void OpenAhead();
    // Runs opened each time the store has been opened.
    void SetOpened(std::function<void()> opened);
    // The store if it is open, without opening it.
    THistory* OpenStore() const { return store_.get(); }
    // The store for reading: null when it could not be opened or there is no file.
    THistory* Store();
    // The store for a command that writes to it or shows it, created when there is no file;
    // null when it cannot be used.
    THistory* CreateStore();

    // Whether conversions are kept, and how many entries; while they are, entries beyond cap
    // are dropped at once.
    void SetKeeping(bool on, int cap);
    bool Keeping() const { return keeping_; }

    // Where the units last used in group are in units (nothing found: no entry, or a unit gone).
    TUnitPairPlace LastUnitsIn(const TUnits& units, const std::string& group);

    TMode Mode() const { return mode_; }
    // A conversion has completed and its result is about to be shown: written, held or left
    // according to the mode. fromEmptyBox: the value is the "0" that the program put into an
    // empty box, which an edit does not hold.
    void Converted(const THistoryEntry& entry, bool fromEmptyBox);
    // Writes entry now (a batch): what is held is written first unless it is the same.
    void RecordNow(const THistoryEntry& entry);
    // Writes what is held: a unit or base changed, a window opens, the program ends.
    void Flush();
    // For tests: the pause after which a held conversion is written.
    void SetPause(int ms);

    // Says a problem with the store once per run.
    void Warn(const QString& text, const QString& detail);

private:
    void Write(const THistoryEntry& entry);

    void OpenNow();
    // Readies the open store for the first conversion's entry, in an idle moment: see
    // THistory::StartLog. A store that fails here says so when an entry is written.
    void StartLog();

    QWidget* window_;
    std::function<void()> opened_;
    std::string path_;
    bool failed_ = false;
    std::unique_ptr<THistory> store_;
    std::unique_ptr<TRecordDebounce> debounce_;
    bool keeping_ = true;
    int cap_ = 10000;
    TMode mode_ = TMode::Held;
    bool warned_ = false;
};

} // namespace tv
