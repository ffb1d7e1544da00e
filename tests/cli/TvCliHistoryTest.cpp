// tenvari-cli's history commands over a history written as the window writes it.

#include "TvCliFixture.h"
#include "history/TvHistory.h"

#include <filesystem>

namespace tv {
namespace {

class CliHistoryTest : public test::TCliTest {
protected:
    void SetUp() override {
        TCliTest::SetUp();
        state_.emplace("XDG_STATE_HOME", (Folder() + "state").c_str());
        tz_.emplace("TZ", "JST-9");
        tzset();
    }
    void TearDown() override {
        tz_.reset();
        tzset();
        state_.reset();
        TCliTest::TearDown();
    }
    std::string DbPath() const { return Folder() + "state/tenvari/history.sqlite"; }

private:
    std::optional<test::TEnvOverride> state_;
    std::optional<test::TEnvOverride> tz_;
};

THistoryEntry Entry(int64_t time, const char* group, const char* source, const char* target,
                    const char* value, const char* result) {
    THistoryEntry e;
    e.Time = time;
    e.Group = group;
    e.Source = source;
    e.Target = target;
    e.Value = value;
    e.Result = result;
    return e;
}

TEST_F(CliHistoryTest, ListsClearsAndNeverRecords) {
    WriteData("units.dat", ">>\n長さ\nm,$i,$t,\nkm,$i*1000,$t/1000,\n<<\n");
    WriteData("prefix.dat", "k,1000\n");
    EXPECT_EQ(Run({"convert", "km", "m", "1"}).Status, 0);
    EXPECT_FALSE(std::filesystem::exists(DbPath())) << "the tool's own conversions are not kept";
    ExpectRuns({{"no history yet", {"history"}, ""}, {"no favourites yet", {"favourites"}, ""}});

    {
        THistory history(DbPath());
        history.Record(
            Entry(1796792585, "面積", "坪", "平方メートル [m2]", "10", "33.0578512396694215"), 0);
        THistoryEntry base = Entry(1796792645, "", "10", "16", "255", "FF");
        base.Page = THistoryPage::Base;
        history.Record(base, 0);
        THistoryEntry batch = Entry(1796792705, "長さ", "m", "", "1",
                                    "1 [m] => 1 [m]\n\tResult = x\n1 [m] => 0.001 [km]");
        batch.Batch = true;
        history.Record(batch, 0);
        history.AddFavourite({0, "坪 → m2", THistoryPage::Unit, "面積", "坪", "平方メートル [m2]"});
        history.AddFavourite({0, "基数 10 → 16", THistoryPage::Base, "", "10", "16"});
    }
    const std::string batchLine = "2026-12-09T14:05:05+09:00\t長さ\t1\tm\t"
                                  "1 [m] => 1 [m];  Result = x; 1 [m] => 0.001 [km]\t\n";
    const std::string baseLine = "2026-12-09T14:04:05+09:00\t基数変換\t255\t10\tFF\t16\n";
    const std::string unitLine =
        "2026-12-09T14:03:05+09:00\t面積\t10\t坪\t33.0578512396694215\t平方メートル [m2]\n";
    ExpectRuns({
        {"every entry, newest first", {"history"}, batchLine + baseLine + unitLine},
        {"the newest N", {"history", "-n", "2"}, batchLine + baseLine},
        {"more than there are", {"history", "-n", "99"}, batchLine + baseLine + unitLine},
        {"favourites in order",
         {"favourites"},
         "坪 → m2\t面積\t坪\t平方メートル [m2]\n基数 10 → 16\t基数変換\t10\t16\n"},
    });
    ExpectRuns({{"clear", {"history", "--clear"}, ""}});
    ExpectRuns({{"cleared", {"history"}, ""},
                {"favourites stay",
                 {"favourites"},
                 "坪 → m2\t面積\t坪\t平方メートル [m2]\n基数 10 → 16\t基数変換\t10\t16\n"}});
}

TEST_F(CliHistoryTest, UsageErrorsAndABrokenFile) {
    ExpectFailures(
        {
            {"no count", {"history", "-n"}, "tenvari-cli: history takes [-n N] or --clear\n"},
            {"count 0",
             {"history", "-n", "0"},
             "tenvari-cli: history -n takes a number of entries from 1\n"},
            {"negative count",
             {"history", "-n", "-5"},
             "tenvari-cli: history -n takes a number of entries from 1\n"},
            {"unknown argument",
             {"history", "--all"},
             "tenvari-cli: history takes [-n N] or --clear\n"},
            {"favourites with an argument",
             {"favourites", "x"},
             "tenvari-cli: favourites takes no arguments\n"},
        },
        kExitUsage);

    std::filesystem::create_directories(Folder() + "state/tenvari");
    WriteBytes("state/tenvari/history.sqlite", "not a database, not the tool's to move aside");
    for (const char* command : {"history", "favourites"}) {
        SCOPED_TRACE(command);
        const test::TCliRun run = Run({command});
        EXPECT_EQ(run.Status, kExitFailed);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err.rfind("tenvari-cli: " + DbPath() + ": 壊れています (", 0), 0U) << run.Err;
    }
    const test::TCliRun clear = Run({"history", "--clear"});
    EXPECT_EQ(clear.Status, kExitFailed);
    EXPECT_TRUE(std::filesystem::exists(DbPath())) << "the file stays for the window to move aside";
}

} // namespace
} // namespace tv
