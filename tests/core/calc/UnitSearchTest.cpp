#include "calc/TvUnitSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tv {
namespace {

TEST(FoldForSearchTest, FoldsCaseWidthAndKana) {
    struct TRow {
        const char* name;
        const char* text;
        const char* folded;
    };
    const std::vector<TRow> rows = {
        {"ASCII letters to lower case", "MiLe [Mi]", "mile [mi]"},
        {"full-width letters and digits", "ＭＩ２", "mi2"},
        {"ideographic space", "a　b", "a b"},
        {"hiragana to half-width katakana", "まいる", "ﾏｲﾙ"},
        {"katakana to half-width", "マイル", "ﾏｲﾙ"},
        {"voiced hiragana keeps its mark", "がろん", "ｶﾞﾛﾝ"},
        {"hiragana iteration mark", "ゝ", "ヽ"},
        {"kanji and other letters unchanged", "坪µÅ", "坪µÅ"},
        {"empty", "", ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FoldForSearch(row.text), row.folded);
    }
}

// A shipped file and a user's file, merged as the program reads them.
class UnitSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(units_.LoadFromText(">>\n長さ\n"
                                        "\"メートル [m]\",$i,$t,\n"
                                        "\"マイル [mi]\",$i*1609.344,$t/1609.344,\n"
                                        "\"ミル [mil]\",$i*0.0000254,$t/0.0000254,\n"
                                        "\"米国測量マイル [mi(US)]\",$i*6336000/3937,$t,\n"
                                        "<<\n"
                                        ">>\n面積\n"
                                        "坪,$i*400/121,$t*121/400,\n"
                                        "\"平方マイル [mi2]\",$i,$t,\n"
                                        "<<\n"));
        ASSERT_TRUE(units_.AddFromText(">>\n私の単位\n"
                                       "ﾏｲﾙ半角,$i,$t,\n"
                                       "<<\n"
                                       ">>\n長さ\n"
                                       "\"Mile (statute) [MI]\",$i*1609.344,$t/1609.344,\n"
                                       "<<\n"));
    }

    // Each hit as "group/unit", checked against the catalogue's own positions.
    std::vector<std::string> Find(const TUnitSearch& search, const std::string& filter) {
        std::vector<std::string> found;
        for (const TUnitHit& hit : search.Find(filter)) {
            const std::vector<std::string> names = units_.GroupUnitNames(hit.Group);
            EXPECT_EQ(search.UnitName(hit), names.at(static_cast<size_t>(hit.Position)));
            found.push_back(search.GroupName(hit) + "/" + std::string(search.UnitName(hit)));
        }
        return found;
    }

    TUnits units_;
};

TEST_F(UnitSearchTest, NamesStartingWithTheFilterFirstThenCatalogueOrder) {
    const TUnitSearch search(units_);
    const std::vector<std::string> mi = {"長さ/Mile (statute) [MI]", "長さ/マイル [mi]",
                                         "長さ/ミル [mil]", "長さ/米国測量マイル [mi(US)]",
                                         "面積/平方マイル [mi2]"};
    const std::vector<std::string> mile = {"長さ/マイル [mi]", "私の単位/ﾏｲﾙ半角",
                                           "長さ/米国測量マイル [mi(US)]", "面積/平方マイル [mi2]"};
    struct TRow {
        const char* name;
        std::string filter;
        std::vector<std::string> hits;
    };
    const std::vector<TRow> rows = {
        {"ASCII", "mi", mi},
        {"ASCII case ignored", "MI", mi},
        {"full-width", "ｍｉ", mi},
        {"hiragana", "まいる", mile},
        {"katakana", "マイル", mile},
        {"kanji", "坪", {"面積/坪"}},
        {"the symbol in brackets", "[m]", {"長さ/メートル [m]"}},
        {"user's unit in a shipped group", "statute", {"長さ/Mile (statute) [MI]"}},
        {"no match", "xyz", {}},
        {"a line feed never matches", "]\n", {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Find(search, row.filter), row.hits);
    }
}

TEST_F(UnitSearchTest, EmptyFilterListsEveryUnitInCatalogueOrder) {
    const TUnitSearch search(units_);
    EXPECT_EQ(search.UnitTotal(), 8);
    EXPECT_EQ(Find(search, ""),
              (std::vector<std::string>{"長さ/メートル [m]", "長さ/マイル [mi]", "長さ/ミル [mil]",
                                        "長さ/米国測量マイル [mi(US)]", "長さ/Mile (statute) [MI]",
                                        "面積/坪", "面積/平方マイル [mi2]", "私の単位/ﾏｲﾙ半角"}));
    const std::vector<TUnitHit> all = search.Find("");
    EXPECT_EQ(all[4], (TUnitHit{0, 4, 4}));
    EXPECT_EQ(all[7], (TUnitHit{2, 0, 7}));
}

TEST(UnitNameTest, SymbolAndBareName) {
    struct TRow {
        const char* name;
        std::string_view symbol;
        std::string_view bare;
    };
    const std::vector<TRow> rows = {
        {"メートル [m]", "m", "メートル"},
        {"坪", "", "坪"},
        {"ポイント（DTP） [pt]", "pt", "ポイント（DTP）"},
        {"米国測量フィート [ft(US)]", "ft(US)", "米国測量フィート"},
        {" x [ a b ]\t", "a b", "x"},
        {"[m]", "m", ""},
        {"a]", "", "a]"},
        {"a [b] c", "", "a [b] c"},
        {"", "", ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(UnitSymbol(row.name), row.symbol);
        EXPECT_EQ(UnitBareName(row.name), row.bare);
    }
}

TEST(UnitNameTest, MatchesExactNameThenSymbolThenBareName) {
    const std::vector<std::string> names = {
        "メートル [m]", "パイカ [pc]", "パーセク [pc]", "m", "坪", "坪 [tsubo]", "x", "x"};
    struct TRow {
        const char* name;
        std::string text;
        std::vector<int32_t> positions;
    };
    const std::vector<TRow> rows = {
        {"exact name", "メートル [m]", {0}},
        {"exact name before a symbol", "m", {3}},
        {"first of equal names", "x", {6}},
        {"exact name before a bare name", "坪", {4}},
        {"symbol", "tsubo", {5}},
        {"ambiguous symbol", "pc", {1, 2}},
        {"bare name", "メートル", {0}},
        {"bare name of a unit whose symbol is shared", "パイカ", {1}},
        {"no match", "mm", {}},
        {"empty text", "", {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MatchUnitName(names, row.text), row.positions);
    }
}

} // namespace
} // namespace tv
