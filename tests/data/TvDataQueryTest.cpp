// The names of the shipped data: every alias finds its own unit, and the names users type find
// the units they mean, in the search, the resolution, the suggestions and the query.

#include "calc/TvQuery.h"
#include "calc/TvUnitSearch.h"
#include "units/TvUnitsFile.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kDataDir = TENVARI_SOURCE_DATA_DIR "/";

class ShippedNames : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        loaded_ = units_.LoadFromFile(kDataDir + "units.dat") &&
                  prefixes_.LoadFromFile(kDataDir + "prefix.dat");
        if (loaded_) {
            names_ = std::make_unique<tv::TUnitSearch>(units_);
        }
    }
    static void TearDownTestSuite() { names_.reset(); }

    void SetUp() override { ASSERT_TRUE(loaded_); }

    static tv::TQueryData Data() { return {units_, *names_, prefixes_}; }

    static std::vector<std::string> Names(const std::vector<tv::TUnitHit>& hits, size_t most) {
        std::vector<std::string> names;
        for (size_t i = 0; i < hits.size() && i < most; ++i) {
            names.emplace_back(names_->UnitName(hits[i]));
        }
        return names;
    }

    static inline tv::TUnits units_;
    static inline tv::TPrefixes prefixes_;
    static inline std::unique_ptr<tv::TUnitSearch> names_;
    static inline bool loaded_ = false;
};

// Resolved as a query resolves a name within its group: the unit, and no other of the group.
TEST_F(ShippedNames, EveryAliasResolvesToItsOwnUnit) {
    size_t aliases = 0;
    for (int32_t g = 0; g < units_.GroupCount(); ++g) {
        const std::vector<tv::TUnitNamesEntry> group = units_.GroupUnitNameEntries(g);
        for (size_t p = 0; p < group.size(); ++p) {
            for (const std::string& alias : group[p].Aliases) {
                SCOPED_TRACE(group[p].Name + " — " + alias);
                ++aliases;
                std::vector<tv::TNameMatch> matches;
                for (const tv::TNameMatch& match : names_->Lookup(alias)) {
                    if (match.Hit.Group == g) {
                        matches.push_back(match);
                    }
                }
                ASSERT_FALSE(matches.empty());
                tv::TNameKind best = tv::TNameKind::Alias;
                for (const tv::TNameMatch& match : matches) {
                    best = std::min(best, match.Kind);
                }
                for (const tv::TNameMatch& match : matches) {
                    if (match.Kind == best) {
                        EXPECT_EQ(match.Hit.Position, static_cast<int32_t>(p))
                            << "found " << names_->UnitName(match.Hit);
                    }
                }
                // And typed in a query, the alias reads as one name of that unit.
                const tv::TQueryParse parse = tv::ParseQuery("1 " + alias, Data(), false);
                if (parse.Kind == tv::TQueryKind::Query) {
                    ASSERT_EQ(parse.Query.Terms.size(), 1U);
                    EXPECT_EQ(parse.Query.Terms[0].Unit.Group, g);
                    EXPECT_EQ(parse.Query.Terms[0].Unit.Position, static_cast<int32_t>(p));
                    EXPECT_TRUE(parse.Query.Targets.empty());
                } else {
                    // A name of several groups, which a query tells apart by its other units.
                    ASSERT_EQ(parse.Kind, tv::TQueryKind::Failed) << "no query";
                    EXPECT_EQ(parse.Problem.Fault, tv::TQueryFault::Ambiguous)
                        << parse.Problem.Message;
                    EXPECT_EQ(parse.Problem.Text, alias);
                }
            }
        }
    }
    EXPECT_GT(aliases, 1000U);
}

TEST_F(ShippedNames, QueriesByTheNamesUsersType) {
    struct TRow {
        std::string query;
        std::string report;
    };
    const std::vector<TRow> rows = {
        {"1 mile to m", "1 [マイル [mi]] => 1609.344 [メートル [m]]"},
        {"1 inch to cm", "1 [インチ [in]] => 2.54 [センチメートル [cm]]"},
        {"2 pounds to kg", "2 [ポンド [lb]] => 0.90718474 [キログラム [kg]]"},
        {"1 tsubo to m2", "1 [坪] => 3.30578512396694215 [平方メートル [m2]]"},
        {"1 つぼ を 平米", "1 [坪] => 3.30578512396694215 [平米]"},
        {"3 すん to cm", "3 [寸] => 9.09090909090909091 [センチメートル [cm]]"},
        {"5尺3寸2分 to cm",
         "5 [尺] 3 [寸] 2 [分（長さ）] => 161.212121212121212 [センチメートル [cm]]"},
        {"98.6 F to C", "98.6 [ファーレンハイト度（華氏） [°F]] => 37 [セルシウス度（摂氏） [℃]]"},
        {"1 h 30 min to min", "1 [時間 [h]] 30 [分 [min]] => 90 [分 [min]]"},
        {"3 mi + 200 yd to m", "3 [マイル [mi]] + 200 [ヤード [yd]] => 5010.912 [メートル [m]]"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.query);
        const tv::TQuery query = tv::ResolveQuery(row.query, Data());
        const std::vector<tv::TQueryLine> lines = tv::ConvertQuery(query, Data(), 0, 0);
        ASSERT_EQ(lines.size(), 1U);
        EXPECT_EQ(lines[0].ReportLine, row.report);
    }
}

TEST_F(ShippedNames, SearchRanksTheExactSymbolFirst) {
    struct TRow {
        std::string filter;
        std::vector<std::string> first;
    };
    const std::vector<TRow> rows = {
        {"mi", {"マイル [mi]"}},
        {"GB", {"ギガバイト [GB]"}},
        {"hp", {"英馬力 [hp]"}},
        {"MB", {"メガバイト [MB]"}},
        {"TB", {"テラバイト [TB]"}},
        // The power units before the energy unit 仏馬力時.
        {"馬力", {"仏馬力 [PS]", "英馬力 [hp]", "電気馬力 [hp(E)]", "仏馬力時 [PS・h]"}},
        {"tsubo", {"坪"}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.filter);
        EXPECT_EQ(Names(names_->Find(row.filter), row.first.size()), row.first);
    }
}

TEST_F(ShippedNames, SuggestsTheUnitMeant) {
    struct TRow {
        std::string text;
        std::string first;
    };
    const std::vector<TRow> rows = {
        {"feat", "フィート [ft]"}, {"metre", "メートル [m]"},
        {"metr", "メートル [m]"},  {"tubo", "坪"},
        {"ﾌｨｰﾄ", "フィート [ft]"},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.text);
        const std::vector<tv::TUnitHit> hits = names_->Suggest(row.text);
        ASSERT_FALSE(hits.empty());
        EXPECT_LE(hits.size(), 5U);
        EXPECT_EQ(names_->UnitName(hits.front()), row.first);
    }
}

} // namespace
