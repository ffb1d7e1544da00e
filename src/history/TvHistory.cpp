#include "history/TvHistory.h"

#include "calc/TvUnitSearch.h"
#include "units/TvPaths.h"
#include "units/TvUnitsFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace tv {

namespace {

namespace fs = std::filesystem;

// The schema as the first version wrote it. Every new database is made from it and migrated, so
// the migrations below run on every start of a new history, not only on old files.
constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE entries (
    id INTEGER PRIMARY KEY,
    time INTEGER NOT NULL,
    page INTEGER NOT NULL,
    grp TEXT NOT NULL,
    source TEXT NOT NULL,
    target TEXT NOT NULL,
    value TEXT NOT NULL,
    result TEXT NOT NULL
);
CREATE TABLE favourites (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    page INTEGER NOT NULL,
    grp TEXT NOT NULL,
    source TEXT NOT NULL,
    target TEXT NOT NULL
);
)sql";

// Version 2: the display mode and the batch mark of an entry; an order of the favourites of its
// own, which version 1 took from the ids, so that they can be reordered.
constexpr const char* kMigrateToV2 = R"sql(
ALTER TABLE entries ADD COLUMN show_ans INTEGER NOT NULL DEFAULT 0;
ALTER TABLE entries ADD COLUMN batch INTEGER NOT NULL DEFAULT 0;
ALTER TABLE favourites ADD COLUMN position INTEGER NOT NULL DEFAULT 0;
UPDATE favourites SET position = (SELECT COUNT(*) FROM favourites AS f WHERE f.id < favourites.id);
)sql";

constexpr const char* kEntryColumns =
    "id, time, page, grp, source, target, value, result, show_ans, batch";

std::string LocalStamp(std::time_t time, const char* format) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[64];
    const size_t size = std::strftime(text, sizeof text, format, &local);
    return std::string(text, size);
}

// A statement that is finalised when it goes out of scope.
class TStatement {
public:
    TStatement(sqlite3* db, const char* sql) {
        prepared_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
        rc_ = prepared_;
    }
    ~TStatement() { sqlite3_finalize(stmt_); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    // Whether the statement was prepared.
    bool Ok() const { return prepared_ == SQLITE_OK; }
    // The result of the preparation, or of the last step.
    int Rc() const { return rc_; }
    sqlite3_stmt* Get() const { return stmt_; }

    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void Bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return rc_ = sqlite3_step(stmt_); }
    int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text == nullptr
                   ? std::string()
                   : std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepared_ = SQLITE_OK;
    int rc_ = SQLITE_OK;
};

THistoryEntry ReadEntry(const TStatement& row) {
    THistoryEntry entry;
    entry.Id = row.Int(0);
    entry.Time = row.Int(1);
    entry.Page = row.Int(2) == 1 ? THistoryPage::Base : THistoryPage::Unit;
    entry.Group = row.Text(3);
    entry.Source = row.Text(4);
    entry.Target = row.Text(5);
    entry.Value = row.Text(6);
    entry.Result = row.Text(7);
    entry.ShowAns = static_cast<int>(row.Int(8));
    entry.Batch = row.Int(9) != 0;
    return entry;
}

bool IsBrokenCode(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

} // namespace

bool THistoryEntry::SameConversion(const THistoryEntry& other) const {
    return Page == other.Page && Group == other.Group && Source == other.Source &&
           Target == other.Target && Value == other.Value && Result == other.Result &&
           ShowAns == other.ShowAns && Batch == other.Batch;
}

bool TFavourite::SamePair(const TFavourite& other) const {
    return Page == other.Page && Group == other.Group && Source == other.Source &&
           Target == other.Target;
}

std::string THistory::DefaultPath() {
    return UserStateDir() + "history.sqlite";
}

bool THistory::LooksOpenable(const std::string& path) {
    std::error_code ec;
    const fs::path file(path);
    const fs::file_status status = fs::status(file, ec);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            return false;
        }
        std::ifstream in(file, std::ios::binary);
        static constexpr char kHeader[] = "SQLite format 3"; // and its terminating zero
        char head[sizeof kHeader] = {};
        in.read(head, sizeof head);
        return in.gcount() == 0 ? in.eof() : std::memcmp(head, kHeader, sizeof head) == 0;
    }
    // The nearest folder that is there must be one that may be written.
    for (fs::path folder = file.parent_path(); !folder.empty(); folder = folder.parent_path()) {
        const fs::file_status found = fs::status(folder, ec);
        if (fs::exists(found)) {
            return fs::is_directory(found) && access(folder.c_str(), W_OK | X_OK) == 0;
        }
        if (folder == folder.root_path()) {
            break;
        }
    }
    return false;
}

THistory::THistory(std::string path, TOpenMode mode) : path_(std::move(path)) {
    try {
        OpenFile(mode);
        Migrate();
    } catch (...) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw;
    }
}

THistory::~THistory() {
    sqlite3_close_v2(db_);
}

void THistory::Fail(const std::string& what) const {
    throw EHistoryError(path_ + ": " + what);
}

void THistory::OpenFile(TOpenMode mode) {
    const fs::path file(path_);
    std::error_code ec;
    if (mode == TOpenMode::Create) {
        const fs::path folder = file.parent_path();
        if (!folder.empty()) {
            fs::create_directories(folder, ec);
            if (ec || !fs::is_directory(folder)) {
                throw EHistoryError(folder.string() + ": " +
                                    (ec ? ec.message() : std::string("フォルダーではありません")));
            }
        }
    } else if (!fs::exists(file, ec)) {
        Fail("履歴がありません");
    }

    const auto open = [&](int flags) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        const int rc = sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db_, kBusyTimeoutMs);
            sqlite3_extended_result_codes(db_, 1);
        } else {
            const std::string message =
                db_ != nullptr ? sqlite3_errmsg(db_) : std::string(sqlite3_errstr(rc));
            sqlite3_close_v2(db_);
            db_ = nullptr;
            Fail(message);
        }
    };

    // A file that is not a database, or one whose pages no longer agree, is kept for inspection
    // under another name and a new history is started beside it. The check reads through a
    // connection that cannot write: closing a writing one would delete the log beside the file,
    // which belongs to the broken file. A file of a newer schema is refused before anything in
    // it changes.
    if (fs::exists(file, ec)) {
        open(SQLITE_OPEN_READONLY);
        std::optional<std::string> broken;
        {
            TStatement stmt(db_, "PRAGMA integrity_check");
            const int step = stmt.Ok() ? stmt.Step() : stmt.Rc();
            if (step == SQLITE_ROW) {
                if (stmt.Text(0) != "ok") {
                    broken = stmt.Text(0);
                }
            } else if (IsBrokenCode(step)) {
                broken = sqlite3_errmsg(db_);
            } else {
                Fail(sqlite3_errmsg(db_));
            }
        }
        if (!broken) {
            Version(true);
        }
        sqlite3_close_v2(db_);
        db_ = nullptr;
        if (broken) {
            if (mode == TOpenMode::Existing) {
                Fail("壊れています (" + *broken + ")");
            }
            MoveAside();
        }
    }

    if (mode == TOpenMode::Create) {
        open(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    } else {
        try {
            open(SQLITE_OPEN_READWRITE);
        } catch (const EHistoryError&) {
            // A file the tool may read but not write: listing still works.
            open(SQLITE_OPEN_READONLY);
        }
    }
    if (sqlite3_db_readonly(db_, "main") == 1) {
        return;
    }
    // WAL: the window and the tool read while the other writes, and a commit is in the log
    // before it returns, so a killed program loses nothing it committed. NORMAL does not sync
    // at each commit: it survives the program's end at any moment, not a power failure.
    {
        TStatement wal(db_, "PRAGMA journal_mode=WAL");
        if (!wal.Ok() || wal.Step() != SQLITE_ROW) {
            Fail(sqlite3_errmsg(db_));
        }
    }
    if (sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(sqlite3_errmsg(db_));
    }
}

void THistory::MoveAside() {
    std::error_code ec;
    const std::string stamp = LocalStamp(std::time(nullptr), "%Y%m%d-%H%M%S");
    std::string aside = path_ + ".broken-" + stamp;
    for (int n = 2; fs::exists(aside, ec) || fs::exists(aside + "-wal", ec); ++n) {
        aside = path_ + ".broken-" + stamp + "-" + std::to_string(n);
    }
    fs::rename(path_, aside, ec);
    if (ec) {
        Fail("壊れたファイルを別名にできません (" + ec.message() + ")");
    }
    // Left in place, the broken file's log would be played into the new one.
    if (fs::exists(path_ + "-wal", ec)) {
        fs::rename(path_ + "-wal", aside + "-wal", ec);
    }
    fs::remove(path_ + "-shm", ec);
    brokenCopy_ = aside;
}

int THistory::Version(bool refuseNewer) const {
    TStatement stmt(db_, "PRAGMA user_version");
    if (!stmt.Ok() || stmt.Step() != SQLITE_ROW) {
        Fail(sqlite3_errmsg(db_));
    }
    const auto version = static_cast<int>(stmt.Int(0));
    if (refuseNewer && version > kSchemaVersion) {
        Fail("新しい版の Tenvari が書いた履歴です (版 " + std::to_string(version) + ")");
    }
    return version;
}

void THistory::Migrate() {
    int v = Version(true);
    if (v == kSchemaVersion) {
        return;
    }
    if (sqlite3_db_readonly(db_, "main") == 1) {
        Fail("古い版の履歴で、書き込めません");
    }
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(sqlite3_errmsg(db_));
    }
    const auto run = [this](const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            const std::string message = sqlite3_errmsg(db_);
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            Fail(message);
        }
    };
    // Another program may have migrated the file while this one waited for the lock.
    v = Version(true);
    if (v < 1) {
        run(kSchemaV1);
    }
    if (v < 2) {
        run(kMigrateToV2);
    }
    run(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    run("COMMIT");
}

void THistory::Record(THistoryEntry entry, size_t cap) {
    if (entry.Time == 0) {
        entry.Time = static_cast<int64_t>(std::time(nullptr));
    }
    unsaved_.push_back(std::move(entry));
    while (unsaved_.size() > kMaxUnsaved) {
        unsaved_.pop_front();
    }
    WriteUnsaved(cap);
}

bool THistory::StartLog() {
    if (sqlite3_db_readonly(db_, "main") != 0) {
        return false;
    }
    const int version = Version(false);
    // No wait for another writer: this is an idle moment's work, never worth a stalled window.
    sqlite3_busy_timeout(db_, 0);
    const std::string sql =
        "BEGIN IMMEDIATE; PRAGMA user_version = " + std::to_string(version) + "; COMMIT";
    const bool begun = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!begun && sqlite3_get_autocommit(db_) == 0) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    return begun;
}

void THistory::WriteUnsaved(size_t cap) {
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(sqlite3_errmsg(db_));
    }
    const auto fail = [this] {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        Fail(message);
    };
    {
        TStatement insert(db_, "INSERT INTO entries (time, page, grp, source, target, value, "
                               "result, show_ans, batch) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        if (!insert.Ok()) {
            fail();
        }
        for (const THistoryEntry& entry : unsaved_) {
            sqlite3_reset(insert.Get());
            insert.Bind(1, entry.Time);
            insert.Bind(2, static_cast<int64_t>(entry.Page));
            insert.Bind(3, entry.Group);
            insert.Bind(4, entry.Source);
            insert.Bind(5, entry.Target);
            insert.Bind(6, entry.Value);
            insert.Bind(7, entry.Result);
            insert.Bind(8, static_cast<int64_t>(entry.ShowAns));
            insert.Bind(9, static_cast<int64_t>(entry.Batch ? 1 : 0));
            if (insert.Step() != SQLITE_DONE) {
                fail();
            }
        }
    }
    try {
        TrimLocked(cap);
    } catch (const EHistoryError&) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail();
    }
    unsaved_.clear();
}

void THistory::TrimLocked(size_t cap) {
    if (cap == 0) {
        return;
    }
    int64_t count = 0;
    {
        TStatement stmt(db_, "SELECT COUNT(*) FROM entries");
        if (!stmt.Ok() || stmt.Step() != SQLITE_ROW) {
            Fail(sqlite3_errmsg(db_));
        }
        count = stmt.Int(0);
    }
    if (count <= static_cast<int64_t>(cap)) {
        return;
    }
    TStatement drop(db_,
                    "DELETE FROM entries WHERE id IN (SELECT id FROM entries ORDER BY id LIMIT ?)");
    if (!drop.Ok()) {
        Fail(sqlite3_errmsg(db_));
    }
    drop.Bind(1, count - static_cast<int64_t>(cap));
    if (drop.Step() != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
    }
}

void THistory::Trim(size_t cap) {
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(sqlite3_errmsg(db_));
    }
    try {
        TrimLocked(cap);
    } catch (const EHistoryError&) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        Fail(message);
    }
}

std::vector<THistoryEntry> THistory::Entries(size_t limit) const {
    const std::string sql =
        std::string("SELECT ") + kEntryColumns + " FROM entries ORDER BY id DESC LIMIT ?";
    TStatement stmt(db_, sql.c_str());
    if (!stmt.Ok()) {
        Fail(sqlite3_errmsg(db_));
    }
    stmt.Bind(1, limit == 0 ? int64_t{-1} : static_cast<int64_t>(limit));
    std::vector<THistoryEntry> entries;
    while (stmt.Step() == SQLITE_ROW) {
        entries.push_back(ReadEntry(stmt));
    }
    if (stmt.Rc() != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
    }
    return entries;
}

void THistory::Remove(int64_t id) {
    TStatement stmt(db_, "DELETE FROM entries WHERE id = ?");
    stmt.Bind(1, id);
    if (!stmt.Ok() || stmt.Step() != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
    }
}

void THistory::Clear() {
    unsaved_.clear();
    if (sqlite3_exec(db_, "DELETE FROM entries", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(sqlite3_errmsg(db_));
    }
}

std::vector<TRecentUnit> THistory::RecentUnits(size_t count) const {
    std::vector<TRecentUnit> recent;
    if (count == 0) {
        return recent;
    }
    TStatement stmt(db_, "SELECT grp, source, target FROM entries WHERE page = 0 "
                         "ORDER BY id DESC");
    if (!stmt.Ok()) {
        Fail(sqlite3_errmsg(db_));
    }
    std::set<std::pair<std::string, std::string>> seen;
    while (recent.size() < count && stmt.Step() == SQLITE_ROW) {
        const std::string group = stmt.Text(0);
        for (const int column : {1, 2}) {
            std::string unit = stmt.Text(column);
            if (!unit.empty() && recent.size() < count && seen.emplace(group, unit).second) {
                recent.push_back({group, std::move(unit)});
            }
        }
    }
    return recent;
}

std::optional<std::pair<std::string, std::string>>
THistory::LastUnits(const std::string& group) const {
    TStatement stmt(db_, "SELECT source, target FROM entries WHERE page = 0 AND batch = 0 "
                         "AND grp = ? ORDER BY id DESC LIMIT 1");
    if (!stmt.Ok()) {
        Fail(sqlite3_errmsg(db_));
    }
    stmt.Bind(1, group);
    if (stmt.Step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return std::make_pair(stmt.Text(0), stmt.Text(1));
}

std::vector<TFavourite> THistory::Favourites() const {
    TStatement stmt(db_, "SELECT id, name, page, grp, source, target FROM favourites "
                         "ORDER BY position, id");
    if (!stmt.Ok()) {
        Fail(sqlite3_errmsg(db_));
    }
    std::vector<TFavourite> favourites;
    while (stmt.Step() == SQLITE_ROW) {
        TFavourite f;
        f.Id = stmt.Int(0);
        f.Name = stmt.Text(1);
        f.Page = stmt.Int(2) == 1 ? THistoryPage::Base : THistoryPage::Unit;
        f.Group = stmt.Text(3);
        f.Source = stmt.Text(4);
        f.Target = stmt.Text(5);
        favourites.push_back(std::move(f));
    }
    if (stmt.Rc() != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
    }
    return favourites;
}

std::optional<int64_t> THistory::AddFavourite(const TFavourite& favourite) {
    for (const TFavourite& f : Favourites()) {
        if (f.SamePair(favourite)) {
            return std::nullopt;
        }
    }
    TStatement stmt(db_, "INSERT INTO favourites (name, page, grp, source, target, position) "
                         "VALUES (?, ?, ?, ?, ?, (SELECT COALESCE(MAX(position), -1) + 1 "
                         "FROM favourites))");
    if (!stmt.Ok()) {
        Fail(sqlite3_errmsg(db_));
    }
    stmt.Bind(1, favourite.Name);
    stmt.Bind(2, static_cast<int64_t>(favourite.Page));
    stmt.Bind(3, favourite.Group);
    stmt.Bind(4, favourite.Source);
    stmt.Bind(5, favourite.Target);
    if (stmt.Step() != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
    }
    return sqlite3_last_insert_rowid(db_);
}

void THistory::RenameFavourite(int64_t id, const std::string& name) {
    TStatement stmt(db_, "UPDATE favourites SET name = ? WHERE id = ?");
    stmt.Bind(1, name);
    stmt.Bind(2, id);
    if (!stmt.Ok() || stmt.Step() != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
    }
}

void THistory::MoveFavourite(int64_t id, size_t position) {
    std::vector<int64_t> order;
    for (const TFavourite& f : Favourites()) {
        if (f.Id != id) {
            order.push_back(f.Id);
        }
    }
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(std::min(position, order.size())), id);
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail(sqlite3_errmsg(db_));
    }
    TStatement stmt(db_, "UPDATE favourites SET position = ? WHERE id = ?");
    for (size_t i = 0; i < order.size(); ++i) {
        sqlite3_reset(stmt.Get());
        stmt.Bind(1, static_cast<int64_t>(i));
        stmt.Bind(2, order[i]);
        if (!stmt.Ok() || stmt.Step() != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(db_);
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            Fail(message);
        }
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        Fail(message);
    }
}

void THistory::RemoveFavourite(int64_t id) {
    TStatement stmt(db_, "DELETE FROM favourites WHERE id = ?");
    stmt.Bind(1, id);
    if (!stmt.Ok() || stmt.Step() != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_));
    }
}

TUnitPairPlace FindUnitPair(const TUnits& units, const std::string& group,
                            const std::string& source, const std::string& target) {
    TUnitPairPlace place;
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        if (units.GetGroup(g).Name == group) {
            place.Group = g;
            break;
        }
    }
    if (place.Group < 0) {
        place.Missing = group;
        return place;
    }
    const std::vector<std::string> names = units.GroupUnitNames(place.Group);
    const auto position = [&names](const std::string& name) {
        const auto it = std::find(names.begin(), names.end(), name);
        return it == names.end() ? -1 : static_cast<int32_t>(it - names.begin());
    };
    place.Source = position(source);
    if (place.Source < 0) {
        place.Missing = source;
        return place;
    }
    if (!target.empty()) {
        place.Target = position(target);
        if (place.Target < 0) {
            place.Missing = target;
        }
    }
    return place;
}

std::vector<TUnitHit> RecentUnitHits(const std::vector<TRecentUnit>& recent, const TUnits& units) {
    // A unit's index in the search counts the units of the groups before its own.
    std::vector<int32_t> firstUnit(static_cast<size_t>(units.GroupCount()) + 1, 0);
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        firstUnit[static_cast<size_t>(g) + 1] =
            firstUnit[static_cast<size_t>(g)] + units.GetGroup(g).Count;
    }
    std::vector<TUnitHit> hits;
    for (const TRecentUnit& unit : recent) {
        const TUnitPairPlace place = FindUnitPair(units, unit.Group, unit.Unit, {});
        if (place.Found()) {
            hits.push_back({place.Group, place.Source,
                            firstUnit[static_cast<size_t>(place.Group)] + place.Source});
        }
    }
    return hits;
}

TFavourite UnitFavourite(const std::string& group, const std::string& source,
                         const std::string& target) {
    return {0, source + " → " + target, THistoryPage::Unit, group, source, target};
}

TFavourite BaseFavourite(const std::string& source, const std::string& target) {
    return {0, "基数 " + source + " → " + target, THistoryPage::Base, "", source, target};
}

std::string FormatIsoLocalTime(int64_t time) {
    const auto t = static_cast<std::time_t>(time);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    const size_t size = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::string out(text, size);
    const long offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60 % (24 * 60);
    const auto twoDigits = [](long n) {
        return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
    };
    return out + (offset < 0 ? '-' : '+') + twoDigits(minutes / 60) + ':' + twoDigits(minutes % 60);
}

THistoryIndex::THistoryIndex(const std::vector<THistoryEntry>& entries) {
    starts_.reserve(entries.size() + 1);
    folded_.reserve(entries.size() * 64);
    // Groups and units repeat from entry to entry: each distinct name is folded once.
    std::unordered_map<std::string_view, std::string> names;
    const auto foldName = [&names](const std::string& name) -> const std::string& {
        auto [it, added] = names.try_emplace(name);
        if (added) {
            it->second = FoldForSearch(name);
        }
        return it->second;
    };
    for (const THistoryEntry& entry : entries) {
        starts_.push_back(folded_.size());
        for (const std::string* name : {&entry.Group, &entry.Source, &entry.Target}) {
            folded_ += foldName(*name);
            folded_ += '\n';
        }
        for (const std::string* text : {&entry.Value, &entry.Result}) {
            folded_ += FoldForSearch(*text);
            folded_ += '\n';
        }
    }
    starts_.push_back(folded_.size());
}

std::vector<size_t> THistoryIndex::Find(std::string_view filter) const {
    const size_t count = starts_.size() - 1;
    std::vector<size_t> found;
    const std::string key = FoldForSearch(filter);
    if (key.empty()) {
        found.resize(count);
        for (size_t i = 0; i < count; ++i) {
            found[i] = i;
        }
        return found;
    }
    if (key.find('\n') != std::string::npos) {
        return found;
    }
    const char* const text = folded_.data();
    const size_t size = folded_.size();
    size_t from = 0;
    size_t entry = 0;
    while (from < size) {
        const void* hit = memmem(text + from, size - from, key.data(), key.size());
        if (hit == nullptr) {
            break;
        }
        const auto at = static_cast<size_t>(static_cast<const char*>(hit) - text);
        while (starts_[entry + 1] <= at) {
            ++entry;
        }
        found.push_back(entry);
        from = starts_[entry + 1];
    }
    return found;
}

} // namespace tv
