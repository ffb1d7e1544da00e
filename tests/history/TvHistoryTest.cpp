// The history store on real files in a temporary folder: recording and the cap, the migration
// from the first schema, broken files, folders it cannot use, two writers at once, the recent
// units, favourites, the filter and the time format.

#include "history/TvHistory.h"
#include "TvTestFolder.h"
#include "calc/TvUnitSearch.h"
#include "units/TvUnitsFile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tv {
namespace {

namespace fs = std::filesystem;

THistoryEntry Unit(const std::string& group, const std::string& source, const std::string& target,
                   const std::string& value, const std::string& result) {
    THistoryEntry e;
    e.Group = group;
    e.Source = source;
    e.Target = target;
    e.Value = value;
    e.Result = result;
    return e;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs sql on the file through a connection of its own, as another program would.
void Sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

int UserVersion(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr);
    const int version = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return version;
}

// Runs body in a child process and returns what it returned, so that limits and a changed user
// stay in the child.
std::string InChild(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return "pipe failed";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        std::string out;
        try {
            out = body();
        } catch (const std::exception& e) {
            out = std::string("unexpected: ") + e.what();
        }
        const ssize_t written = write(pipeEnds[1], out.data(), out.size());
        _exit(written == static_cast<ssize_t>(out.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string out;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<size_t>(n));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

// The message of the EHistoryError that fn throws, or a note that it threw none.
std::string FailureOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const EHistoryError& e) {
        return e.what();
    }
    return "no failure";
}

class HistoryTest : public test::TTempFolderTest {
protected:
    std::string DbPath() const { return Folder() + "state/tenvari/history.sqlite"; }
};

TEST_F(HistoryTest, PathFollowsXdgStateHome) {
    {
        const test::TEnvOverride xdg("XDG_STATE_HOME", (Folder() + "s").c_str());
        EXPECT_EQ(THistory::DefaultPath(), Folder() + "s/tenvari/history.sqlite");
    }
    const test::TEnvOverride home("HOME", (Folder() + "home").c_str());
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative"}) {
        SCOPED_TRACE(value == nullptr ? "unset" : value);
        const test::TEnvOverride xdg("XDG_STATE_HOME", value);
        EXPECT_EQ(THistory::DefaultPath(), Folder() + "home/.local/state/tenvari/history.sqlite");
    }
}

TEST_F(HistoryTest, RecordsEveryFieldAndListsNewestFirst) {
    {
        THistory history(DbPath());
        EXPECT_TRUE(history.BrokenCopy().empty());
        THistoryEntry first =
            Unit("面積", "坪", "平方メートル [m2]", "１０", "33.0578512396694215");
        first.Time = 1000;
        first.ShowAns = 2;
        history.Record(first, 0);
        THistoryEntry base;
        base.Page = THistoryPage::Base;
        base.Source = "16";
        base.Target = "10";
        base.Value = "ff";
        base.Result = "255";
        history.Record(base, 0);
        THistoryEntry batch = Unit("長さ", "m", "", "1", "1 [m] => 1 [m]\n1 [m] => 0.001 [km]");
        batch.Batch = true;
        history.Record(batch, 0);
    }
    THistory history(DbPath());
    const std::vector<THistoryEntry> entries = history.Entries();
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_TRUE(entries[0].Batch);
    EXPECT_EQ(entries[0].Result, "1 [m] => 1 [m]\n1 [m] => 0.001 [km]");
    EXPECT_EQ(entries[1].Page, THistoryPage::Base);
    EXPECT_EQ(entries[1].Value, "ff");
    EXPECT_EQ(entries[1].Group, "");
    const THistoryEntry& first = entries[2];
    EXPECT_EQ(first.Time, 1000);
    EXPECT_EQ(first.Group, "面積");
    EXPECT_EQ(first.Source, "坪");
    EXPECT_EQ(first.Target, "平方メートル [m2]");
    EXPECT_EQ(first.Value, "１０");
    EXPECT_EQ(first.Result, "33.0578512396694215");
    EXPECT_EQ(first.ShowAns, 2);
    EXPECT_FALSE(first.Batch);
    const int64_t now = std::time(nullptr);
    EXPECT_NEAR(static_cast<double>(entries[1].Time), static_cast<double>(now), 60.0)
        << "an entry without a time gets the time now";
    EXPECT_GT(entries[0].Id, entries[1].Id);
    EXPECT_EQ(history.Entries(2).size(), 2U);

    history.Remove(entries[1].Id);
    EXPECT_EQ(history.Entries().size(), 2U);
    history.Clear();
    EXPECT_TRUE(history.Entries().empty());
    EXPECT_EQ(UserVersion(DbPath()), THistory::kSchemaVersion);
}

TEST_F(HistoryTest, CapDropsTheOldest) {
    THistory history(DbPath());
    for (int i = 1; i <= 5; ++i) {
        history.Record(Unit("g", "a", "b", std::to_string(i), "r"), 3);
    }
    std::vector<THistoryEntry> entries = history.Entries();
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[0].Value, "5");
    EXPECT_EQ(entries[2].Value, "3");

    history.Record(Unit("g", "a", "b", "6", "r"), 0);
    EXPECT_EQ(history.Entries().size(), 4U) << "cap 0 keeps everything";
    history.Trim(1);
    entries = history.Entries();
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].Value, "6");
}

TEST_F(HistoryTest, MigratesTheFirstSchema) {
    fs::create_directories(fs::path(DbPath()).parent_path());
    // The file as the first version of the program wrote it.
    Sql(DbPath(), R"sql(
        PRAGMA journal_mode=WAL;
        CREATE TABLE entries (id INTEGER PRIMARY KEY, time INTEGER NOT NULL,
            page INTEGER NOT NULL, grp TEXT NOT NULL, source TEXT NOT NULL,
            target TEXT NOT NULL, value TEXT NOT NULL, result TEXT NOT NULL);
        CREATE TABLE favourites (id INTEGER PRIMARY KEY, name TEXT NOT NULL,
            page INTEGER NOT NULL, grp TEXT NOT NULL, source TEXT NOT NULL,
            target TEXT NOT NULL);
        INSERT INTO entries VALUES (1, 100, 0, '長さ', 'mi', 'km', '1', '1.609344');
        INSERT INTO entries VALUES (2, 200, 1, '', '10', '16', '255', 'FF');
        INSERT INTO favourites VALUES (7, 'second', 0, '長さ', 'm', 'ft');
        INSERT INTO favourites VALUES (3, 'first', 1, '', '10', '2');
        PRAGMA user_version = 1;
    )sql");

    THistory history(DbPath());
    EXPECT_EQ(UserVersion(DbPath()), 2);
    std::vector<THistoryEntry> entries = history.Entries();
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries[0].Result, "FF");
    EXPECT_EQ(entries[0].Page, THistoryPage::Base);
    EXPECT_EQ(entries[1].Time, 100);
    EXPECT_EQ(entries[1].Source, "mi");
    EXPECT_EQ(entries[1].ShowAns, 0);
    EXPECT_FALSE(entries[1].Batch);
    const std::vector<TFavourite> favourites = history.Favourites();
    ASSERT_EQ(favourites.size(), 2U);
    EXPECT_EQ(favourites[0].Name, "first") << "the order of the first version: by id";
    EXPECT_EQ(favourites[1].Name, "second");

    history.MoveFavourite(favourites[1].Id, 0);
    EXPECT_EQ(history.Favourites()[0].Name, "second") << "the migrated order can be changed";
    THistoryEntry batch = Unit("長さ", "m", "", "2", "r");
    batch.Batch = true;
    history.Record(batch, 0);
    EXPECT_TRUE(THistory(DbPath()).Entries()[0].Batch);
}

TEST_F(HistoryTest, NewerSchemaIsLeftAlone) {
    fs::create_directories(fs::path(DbPath()).parent_path());
    Sql(DbPath(), "CREATE TABLE entries (id INTEGER PRIMARY KEY); PRAGMA user_version = 3;");
    const std::string before = ReadAll(DbPath());
    EXPECT_EQ(FailureOf([&] { THistory history(DbPath()); }),
              DbPath() + ": 新しい版の Tenvari が書いた履歴です (版 3)");
    EXPECT_TRUE(ReadAll(DbPath()) == before) << "the newer file is not changed";
    EXPECT_EQ(UserVersion(DbPath()), 3);
}

TEST_F(HistoryTest, BrokenFileIsMovedAsideAndANewOneStarted) {
    // A database whose table pages were overwritten in the middle, header intact.
    const auto corrupted = [this]() {
        {
            THistory history(DbPath());
            for (int i = 0; i < 400; ++i) {
                history.Record(Unit("長さ", "m", "km", std::to_string(i), std::string(60, 'x')), 0);
            }
        }
        Sql(DbPath(), "PRAGMA wal_checkpoint(TRUNCATE)");
        std::string bytes = ReadAll(DbPath());
        for (size_t i = 4096 * 3; i < 4096 * 5 && i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(0xA5);
        }
        return bytes;
    };
    struct Row {
        const char* name;
        std::function<std::string()> bytes;
    };
    const std::vector<Row> rows = {
        {"not a database", [] { return std::string("units.dat は別のファイルです\n"); }},
        {"pages that fail the integrity check", corrupted},
    };
    const std::regex aside(R"(.*/history\.sqlite\.broken-\d{8}-\d{6}(-\d+)?)");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(Folder() + "state");
        const std::string bytes = row.bytes();
        fs::create_directories(fs::path(DbPath()).parent_path());
        std::ofstream(DbPath(), std::ios::binary | std::ios::trunc) << bytes;
        // A log left beside the broken file must not reach the new one.
        std::ofstream(DbPath() + "-wal", std::ios::binary) << "log of the broken file";

        EXPECT_EQ(FailureOf([&] {
                      THistory(DbPath(), THistory::TOpenMode::Existing);
                  }).rfind(DbPath() + ": 壊れています (", 0),
                  0U)
            << "the tool reports it and leaves it";
        EXPECT_TRUE(ReadAll(DbPath()) == bytes);

        THistory history(DbPath());
        ASSERT_TRUE(std::regex_match(history.BrokenCopy(), aside)) << history.BrokenCopy();
        EXPECT_TRUE(ReadAll(history.BrokenCopy()) == bytes) << "the broken file is kept as it was";
        EXPECT_EQ(ReadAll(history.BrokenCopy() + "-wal"), "log of the broken file");
        EXPECT_TRUE(history.Entries().empty());
        history.Record(Unit("g", "a", "b", "1", "2"), 0);
        EXPECT_EQ(THistory(DbPath()).Entries().size(), 1U);
        EXPECT_TRUE(THistory(DbPath()).BrokenCopy().empty()) << "a sound file is kept";
    }
}

TEST_F(HistoryTest, FoldersThatCannotHoldIt) {
    struct Row {
        const char* name;
        std::function<void()> prepare;
        std::function<std::string()> open; // the failure's message, run in a child process
        std::string expected;              // what the message starts with
    };
    const std::string state = Folder() + "state/";
    const auto openAsNobody = [this] {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            return std::string("cannot become nobody");
        }
        return FailureOf([this] { THistory history(DbPath()); });
    };
    const std::vector<Row> rows = {
        {"a file where the folder belongs", [&] { std::ofstream(state + "tenvari") << "x"; },
         [this] { return FailureOf([this] { THistory history(DbPath()); }); }, state + "tenvari: "},
        {"a read-only folder",
         [&] {
             fs::create_directories(state + "tenvari");
             fs::permissions(Folder(), fs::perms(0755));
             fs::permissions(state, fs::perms(0755));
             fs::permissions(state + "tenvari", fs::perms(0555));
         },
         openAsNobody, DbPath() + ": "},
        {"a full disk", [&] { fs::create_directories(state + "tenvari"); },
         [this] {
             std::signal(SIGXFSZ, SIG_IGN);
             rlimit limit{};
             getrlimit(RLIMIT_FSIZE, &limit);
             limit.rlim_cur = 0;
             setrlimit(RLIMIT_FSIZE, &limit);
             return FailureOf([this] { THistory history(DbPath()); });
         },
         DbPath() + ": "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(state);
        fs::create_directories(state);
        row.prepare();
        const std::string message = InChild(row.open);
        EXPECT_EQ(message.rfind(row.expected, 0), 0U) << message;
        EXPECT_GT(message.size(), row.expected.size()) << "the message gives the reason";
        fs::permissions(Folder(), fs::perms(0700));
    }
}

// What a start may leave for later without hiding a problem it would have said at once.
TEST_F(HistoryTest, LooksOpenableReadsNoMoreThanTheHeader) {
    const std::string state = Folder() + "state/";
    const auto file = [this](const std::string& bytes) {
        fs::create_directories(fs::path(DbPath()).parent_path());
        std::ofstream(DbPath(), std::ios::binary) << bytes;
    };
    struct Row {
        const char* name;
        std::function<void()> prepare;
        bool openable;
    };
    const std::vector<Row> rows = {
        {"no file and no folder yet", [] {}, true},
        {"an empty file", [&] { file(""); }, true},
        {"a history", [this] { THistory(DbPath()).Record(Unit("g", "a", "b", "1", "1"), 0); },
         true},
        {"not a database", [&] { file("units.dat は別のファイルです\n"); }, false},
        {"shorter than the header", [&] { file("SQLite"); }, false},
        {"a folder where the file belongs", [this] { fs::create_directories(DbPath()); }, false},
        {"a file where a folder belongs",
         [&] {
             fs::create_directories(state);
             std::ofstream(state + "tenvari") << "x";
         },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(state);
        row.prepare();
        const bool existed = fs::exists(state + "tenvari");
        EXPECT_EQ(THistory::LooksOpenable(DbPath()), row.openable);
        EXPECT_EQ(fs::exists(state + "tenvari"), existed) << "nothing is made";
    }
}

// The log begun ahead of the first entry: nothing in the store changes, and a store that another
// program is writing is left alone.
TEST_F(HistoryTest, StartLogChangesNothing) {
    THistory(DbPath()).Record(Unit("g", "a", "b", "1", "1"), 0);
    {
        THistory history(DbPath());
        EXPECT_TRUE(history.StartLog());
        history.Record(Unit("g", "a", "b", "2", "2"), 0);
    }
    EXPECT_EQ(UserVersion(DbPath()), THistory::kSchemaVersion);
    EXPECT_EQ(THistory(DbPath()).Entries().size(), 2U);

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    THistory history(DbPath());
    EXPECT_FALSE(history.StartLog());
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    history.Record(Unit("g", "a", "b", "3", "3"), 0);
    EXPECT_EQ(history.Unsaved(), 0U) << "the busy wait is back for the entries";
    EXPECT_EQ(history.Entries().size(), 3U);
}

TEST_F(HistoryTest, FullDiskKeepsTheEntryForLater) {
    THistory(DbPath()).Record(Unit("g", "a", "b", "0", "0"), 0);
    const std::string outcome = InChild([this] {
        THistory history(DbPath());
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit saved = limit;
        limit.rlim_cur = static_cast<rlim_t>(
            std::max(fs::file_size(DbPath()), fs::file_size(DbPath() + "-wal")));
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string failure = FailureOf([&] {
            for (int i = 0; i < 50; ++i) {
                history.Record(Unit("g", "a", "b", std::to_string(i + 1), "r"), 0);
            }
        });
        const size_t unsaved = history.Unsaved();
        setrlimit(RLIMIT_FSIZE, &saved);
        history.Record(Unit("g", "a", "b", "after", "r"), 0);
        return failure.substr(0, DbPath().size() + 2) + "|" + std::to_string(unsaved > 0) + "|" +
               std::to_string(history.Unsaved());
    });
    EXPECT_EQ(outcome, DbPath() + ": |1|0");
    const std::vector<THistoryEntry> entries = THistory(DbPath()).Entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].Value, "after");
    for (size_t i = 1; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].Value, std::to_string(entries.size() - 1 - i))
            << "every entry written, in order";
    }
}

TEST_F(HistoryTest, TwoWritersLoseNothing) {
    THistory(DbPath()).Record(Unit("g", "a", "b", "0", "0"), 0);
    {
        // Another program holds the write lock beyond the busy timeout.
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        THistory history(DbPath());
        EXPECT_EQ(FailureOf([&] { history.Record(Unit("g", "a", "b", "1", "1"), 0); }),
                  DbPath() + ": database is locked");
        EXPECT_EQ(history.Unsaved(), 1U);
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        history.Record(Unit("g", "a", "b", "2", "2"), 0);
        EXPECT_EQ(history.Unsaved(), 0U);
    }
    // The window and the tool writing at the same moments.
    constexpr int kEach = 150;
    const auto writer = [this](const std::string& who) {
        THistory history(DbPath());
        for (int i = 0; i < kEach; ++i) {
            history.Record(Unit("g", who, "b", std::to_string(i), "r"), 0);
        }
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    const std::vector<THistoryEntry> entries = THistory(DbPath()).Entries();
    EXPECT_EQ(entries.size(), 3U + 2 * kEach);
    EXPECT_EQ(entries.back().Value, "0");
}

TEST_F(HistoryTest, RecentUnitsAndLastUnits) {
    THistory history(DbPath());
    history.Record(Unit("長さ", "m", "km", "1", "0.001"), 0);
    history.Record(Unit("面積", "坪", "m2", "1", "3.3"), 0);
    THistoryEntry base;
    base.Page = THistoryPage::Base;
    base.Source = "10";
    base.Target = "16";
    history.Record(base, 0);
    THistoryEntry batch = Unit("長さ", "ft", "", "1", "report");
    batch.Batch = true;
    history.Record(batch, 0);
    history.Record(Unit("長さ", "km", "m", "2", "2000"), 0);

    const std::vector<TRecentUnit> expected = {
        {"長さ", "km"}, {"長さ", "m"}, {"長さ", "ft"}, {"面積", "坪"}, {"面積", "m2"}};
    EXPECT_EQ(history.RecentUnits(10), expected);
    EXPECT_EQ(history.RecentUnits(2),
              std::vector<TRecentUnit>(expected.begin(), expected.begin() + 2));
    EXPECT_EQ(history.LastUnits("長さ"), std::make_pair(std::string("km"), std::string("m")))
        << "a batch is not a pair";
    EXPECT_EQ(history.LastUnits("面積"), std::make_pair(std::string("坪"), std::string("m2")));
    EXPECT_EQ(history.LastUnits("温度"), std::nullopt);
}

TEST_F(HistoryTest, Favourites) {
    {
        THistory history(DbPath());
        TFavourite f{0,      "マイル → キロ", THistoryPage::Unit,
                     "長さ", "マイル [mi]",   "キロメートル [km]"};
        ASSERT_TRUE(history.AddFavourite(f).has_value());
        f.Name = "other name";
        EXPECT_EQ(history.AddFavourite(f), std::nullopt) << "a pair is kept once";
        ASSERT_TRUE(history.AddFavourite({0, "b", THistoryPage::Base, "", "10", "16"}));
        ASSERT_TRUE(history.AddFavourite({0, "c", THistoryPage::Unit, "面積", "坪", "m2"}));
    }
    THistory history(DbPath());
    std::vector<TFavourite> favourites = history.Favourites();
    ASSERT_EQ(favourites.size(), 3U);
    EXPECT_EQ(favourites[0].Name, "マイル → キロ");
    EXPECT_EQ(favourites[0].Source, "マイル [mi]");
    EXPECT_EQ(favourites[1].Page, THistoryPage::Base);

    history.MoveFavourite(favourites[2].Id, 0);
    history.MoveFavourite(favourites[0].Id, 99);
    history.RenameFavourite(favourites[1].Id, "基数");
    favourites = history.Favourites();
    EXPECT_EQ(favourites[0].Name, "c");
    EXPECT_EQ(favourites[1].Name, "基数");
    EXPECT_EQ(favourites[2].Name, "マイル → キロ");
    history.RemoveFavourite(favourites[1].Id);
    history.Clear();
    EXPECT_EQ(history.Favourites().size(), 2U) << "clearing the history keeps the favourites";
}

TEST_F(HistoryTest, IndexFoldsAsTheUnitSearch) {
    std::vector<THistoryEntry> entries = {
        Unit("長さ", "マイル [mi]", "キロメートル [km]", "２", "3.218688"),
        Unit("面積", "坪", "平方メートル [m2]", "10", "33.0578512396694215"),
        Unit("長さ", "フィート [ft]", "メートル [m]", "1", "0.3048"),
    };
    const THistoryIndex index(entries);
    struct Row {
        const char* filter;
        std::vector<size_t> found;
    };
    const std::vector<Row> rows = {
        {"", {0, 1, 2}},  {"まいる", {0}}, {"KM", {0}},       {"メートル", {0, 1, 2}},
        {"2", {0, 1}},    {"坪", {1}},     {"0.3048", {2}},   {"ｆｔ", {2}},
        {"長さ", {0, 2}}, {"zzz", {}},     {"mi]\nキロ", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.filter);
        EXPECT_EQ(index.Find(row.filter), row.found);
    }
}

TEST_F(HistoryTest, UnitPairsAreFoundByName) {
    const auto load = [this](std::string_view text) {
        TUnits units;
        EXPECT_TRUE(units.LoadFromFile(WriteBytes("units.dat", text)));
        return units;
    };
    const TUnits units = load(">>\n長さ\nm,$i,$t,\nkm,$i*1000,$t/1000,\n<<\n"
                              ">>\n面積\n坪,$i*400/121,$t*121/400,\nm2,$i,$t,\n<<\n");
    const TUnits reordered = load(">>\n面積\nm2,$i,$t,\n坪,$i*400/121,$t*121/400,\n<<\n"
                                  ">>\n長さ\nkm,$i*1000,$t/1000,\nm,$i,$t,\n<<\n");
    struct Row {
        const char* name;
        const TUnits* units;
        std::string group, source, target;
        int32_t g, s, t;
        std::string missing;
    };
    const std::vector<Row> rows = {
        {"as written", &units, "面積", "坪", "m2", 1, 0, 1, ""},
        {"reordered file", &reordered, "面積", "坪", "m2", 0, 1, 0, ""},
        {"no target (a batch)", &units, "長さ", "km", "", 0, 1, -1, ""},
        {"group gone", &units, "温度", "K", "C", -1, -1, -1, "温度"},
        {"source gone", &units, "長さ", "ft", "m", 0, -1, -1, "ft"},
        {"target gone", &reordered, "長さ", "m", "mi", 1, 1, -1, "mi"},
        {"no match by symbol", &units, "面積", "坪 [tsubo]", "m2", 1, -1, -1, "坪 [tsubo]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TUnitPairPlace place = FindUnitPair(*row.units, row.group, row.source, row.target);
        EXPECT_EQ(place.Group, row.g);
        EXPECT_EQ(place.Source, row.s);
        EXPECT_EQ(place.Target, row.t);
        EXPECT_EQ(place.Missing, row.missing);
        EXPECT_EQ(place.Found(), row.missing.empty());
    }
}

TEST_F(HistoryTest, RecentUnitsAsHitsOfTheUnitSearch) {
    TUnits units;
    ASSERT_TRUE(units.LoadFromFile(
        WriteBytes("units.dat", ">>\n長さ\nm,$i,$t,\nkm,$i*1000,$t/1000,\n<<\n"
                                ">>\n面積\n坪,$i*400/121,$t*121/400,\nm2,$i,$t,\n<<\n")));
    const TUnitSearch search(units);
    const std::vector<TUnitHit> hits =
        RecentUnitHits({{"面積", "m2"}, {"長さ", "mi"}, {"温度", "K"}, {"長さ", "km"}}, units);
    ASSERT_EQ(hits.size(), 2U) << "units no longer in the data are left out";
    EXPECT_EQ(search.GroupName(hits[0]) + "/" + std::string(search.UnitName(hits[0])), "面積/m2");
    EXPECT_EQ(search.GroupName(hits[1]) + "/" + std::string(search.UnitName(hits[1])), "長さ/km");
    EXPECT_EQ(hits[0], (TUnitHit{1, 1, 3}));

    EXPECT_EQ(UnitFavourite("長さ", "マイル [mi]", "m").Name, "マイル [mi] → m");
    const TFavourite base = BaseFavourite("10", "16");
    EXPECT_EQ(base.Name, "基数 10 → 16");
    EXPECT_EQ(base.Page, THistoryPage::Base);
    EXPECT_EQ(base.Group, "");
}

TEST(HistoryTime, IsoLocalTimeWithOffset) {
    struct Row {
        const char* zone;
        int64_t time;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"UTC0", 0, "1970-01-01T00:00:00+00:00"},
        {"JST-9", 1796792585, "2026-12-09T14:03:05+09:00"},
        {"EST5", 1796792585, "2026-12-09T00:03:05-05:00"},
        {"IST-5:30", 0, "1970-01-01T05:30:00+05:30"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.zone);
        const test::TEnvOverride tz("TZ", row.zone);
        tzset();
        EXPECT_EQ(FormatIsoLocalTime(row.time), row.expected);
    }
    tzset();
}

} // namespace
} // namespace tv
