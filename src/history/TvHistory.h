#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tv {

class TUnits;

// The page a conversion or a favourite belongs to.
enum class THistoryPage : int { Unit = 0, Base = 1 };

// One completed conversion as the window showed it. On the base page Group is empty and Source
// and Target are the texts of the two base fields. A batch has no Target; its Result is the
// report, one line per converted unit or base, joined by line feeds.
struct THistoryEntry {
    int64_t Id = 0;   // given by the store; 0 for an entry not yet written
    int64_t Time = 0; // seconds since 1970-01-01 UTC
    THistoryPage Page = THistoryPage::Unit;
    std::string Group;
    std::string Source;
    std::string Target;
    std::string Value;  // as typed
    std::string Result; // as shown
    int ShowAns = 0;    // the display mode the result was written in
    bool Batch = false;

    // The same conversion, whenever and under whatever id it was written.
    bool SameConversion(const THistoryEntry& other) const;
};

// A favourite pair: a group and its source and target units, or the two bases. Units are named
// by their group's name and their own name, never by a position, so that a favourite means the
// same units after a data re-read and in a file whose groups or units were reordered.
struct TFavourite {
    int64_t Id = 0;
    std::string Name;
    THistoryPage Page = THistoryPage::Unit;
    std::string Group; // empty on the base page
    std::string Source;
    std::string Target;

    bool SamePair(const TFavourite& other) const;
};

// A unit named in the history, for the unit search's recent units.
struct TRecentUnit {
    std::string Group;
    std::string Unit;
    bool operator==(const TRecentUnit&) const = default;
};

// A failure of the history store; the message names the file and says what went wrong.
class EHistoryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The history database: $XDG_STATE_HOME/tenvari/history.sqlite, shared by the window and
// tenvari-cli. Not thread-safe: one object per thread.
class THistory {
public:
    // How Open treats a missing or broken file.
    enum class TOpenMode {
        // The program: creates the folder and the file; a broken file is renamed aside and a new
        // one started.
        Create,
        // The tool: an existing file only, never renamed; a broken one is an error.
        Existing,
    };

    // The schema version that this program writes (PRAGMA user_version).
    static constexpr int kSchemaVersion = 2;
    // How long a writer waits for the other program's transaction before giving up, in ms.
    static constexpr int kBusyTimeoutMs = 500;
    // Entries that could not be written yet, kept for the next write; the oldest beyond this go.
    static constexpr size_t kMaxUnsaved = 1000;

    // The default place: $XDG_STATE_HOME/tenvari/history.sqlite (default ~/.local/state).
    static std::string DefaultPath();
    // Whether the program's open of path may be left until the store is first used: there is
    // an SQLite file (or an empty one) there, or none and a folder that may be written where
    // the file's folders would go. Reads at most the file's first bytes, so that a start which
    // has nothing to say about its store does not pay for opening it. A false answer is no
    // verdict: opening says what is wrong, or finds nothing wrong.
    static bool LooksOpenable(const std::string& path);

    // Opens the database at path and migrates it to kSchemaVersion. Throws EHistoryError when
    // no database can be used there: a folder that cannot be made or written, a full disk, a
    // file of a newer schema; in Existing mode also a missing (message empty) or broken file.
    THistory(std::string path, TOpenMode mode = TOpenMode::Create);
    ~THistory();
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;

    const std::string& Path() const { return path_; }
    // Where a broken file found at open was moved; empty when none was.
    const std::string& BrokenCopy() const { return brokenCopy_; }

    // Writes entry (with the time now when its Time is 0) and drops the oldest entries beyond
    // cap (none when cap is 0), in one transaction committed before it returns. Throws
    // EHistoryError when it cannot be written; the entry is then kept and written by the next
    // call that succeeds.
    void Record(THistoryEntry entry, size_t cap);
    // Begins the log with a write that changes nothing, so that the first Record does not wait
    // for what a new log costs: it syncs its header and its folder to disk. Does nothing on a
    // store opened read-only or while another program writes; returns whether it wrote. Throws
    // EHistoryError when the store cannot be read.
    bool StartLog();
    // Entries not written yet.
    size_t Unsaved() const { return unsaved_.size(); }

    // The entries, newest first; at most limit of them (0: all).
    std::vector<THistoryEntry> Entries(size_t limit = 0) const;
    void Remove(int64_t id);
    void Clear();
    // Drops the oldest entries beyond cap.
    void Trim(size_t cap);

    // The units of the unit page's entries, most recently used first, each once: an entry's
    // source before its target. At most count.
    std::vector<TRecentUnit> RecentUnits(size_t count) const;
    // The source and target units of the newest unit-page conversion (not a batch) in group.
    std::optional<std::pair<std::string, std::string>> LastUnits(const std::string& group) const;

    // The favourites in their order.
    std::vector<TFavourite> Favourites() const;
    // Adds favourite at the end and returns its id; nothing when the same pair is there already.
    std::optional<int64_t> AddFavourite(const TFavourite& favourite);
    void RenameFavourite(int64_t id, const std::string& name);
    // Moves the favourite to position (0 first; beyond the end: last).
    void MoveFavourite(int64_t id, size_t position);
    void RemoveFavourite(int64_t id);

private:
    void OpenFile(TOpenMode mode);
    // Renames the broken file and its log to history.sqlite.broken-YYYYMMDD-HHMMSS.
    void MoveAside();
    void Migrate();
    // PRAGMA user_version; a version above kSchemaVersion fails when refuseNewer.
    int Version(bool refuseNewer) const;
    void WriteUnsaved(size_t cap);
    void TrimLocked(size_t cap);
    [[noreturn]] void Fail(const std::string& what) const;

    std::string path_;
    std::string brokenCopy_;
    sqlite3* db_ = nullptr;
    std::deque<THistoryEntry> unsaved_;
};

// Where a favourite's or an entry's units are now: the group's index and the units' positions
// in it, each the first of that name. Missing names the group or the unit that is not there.
struct TUnitPairPlace {
    int32_t Group = -1;
    int32_t Source = -1;
    int32_t Target = -1; // -1 also when the pair has no target (a batch)
    std::string Missing;
    bool Found() const { return Missing.empty(); }
};
TUnitPairPlace FindUnitPair(const TUnits& units, const std::string& group,
                            const std::string& source, const std::string& target);

// The unit search's hits (see TUnitSearch) of the recent units still in units, in order.
struct TUnitHit;
std::vector<TUnitHit> RecentUnitHits(const std::vector<TRecentUnit>& recent, const TUnits& units);

// A favourite of the unit page's group and two units, named "source → target", and one of the
// base page's two bases, named "基数 source → target".
TFavourite UnitFavourite(const std::string& group, const std::string& source,
                         const std::string& target);
TFavourite BaseFavourite(const std::string& source, const std::string& target);

// Time as ISO 8601 local time with its offset: "2026-12-09T14:03:05+09:00".
std::string FormatIsoLocalTime(int64_t time);

// The entries folded once (as the unit search folds names: case, full-width forms, kana), so
// that filtering them on every keystroke stays fast. A filter matches the group, the units or
// bases, the value and the result.
class THistoryIndex {
public:
    explicit THistoryIndex(const std::vector<THistoryEntry>& entries);
    // Positions in entries of those that hold the folded filter, in order; every position for
    // an empty filter.
    std::vector<size_t> Find(std::string_view filter) const;

private:
    std::string folded_;
    std::vector<size_t> starts_;
};

} // namespace tv
