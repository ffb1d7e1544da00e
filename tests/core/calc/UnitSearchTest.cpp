#include "calc/TvUnitSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tv {
namespace {

TEST(FoldForSearchTest, FoldsCaseWidthKanaAndCompatibilityForms) {
    struct TRow {
        const char* name;
        const char* text;
        const char* folded;
    };
    const std::vector<TRow> rows = {
        {"ASCII letters to lower case", "MiLe [Mi]", "mile [mi]"},
        {"full-width letters and digits", "ＭＩ２", "mi2"},
        {"ideographic space", "a　b", "a b"},
        {"hiragana to katakana", "まいる", "マイル"},
        {"katakana unchanged", "マイル", "マイル"},
        {"half-width katakana to full-width", "ﾌｨｰﾄ", "フィート"},
        {"half-width voiced mark composed", "ｶﾞﾛﾝ", "ガロン"},
        {"half-width semi-voiced mark composed", "ﾎﾟﾝﾄﾞ", "ポンド"},
        {"a mark without a base stays", "ﾞ", "\xE3\x82\x99"},
        {"degree Celsius sign", "℃", "°c"},
        {"superscript two", "m²", "m2"},
        {"square metre sign", "㎡", "m2"},
        {"square katakana", "㌔", "キロ"},
        {"micro sign to Greek mu", "µm", "μm"},
        {"angstrom sign", "\xE2\x84\xAB", "Å"},
        {"kanji unchanged", "坪", "坪"},
        {"bytes that are not UTF-8 kept", "a\xFF\xE3\x81", "a\xFF\xE3\x81"},
        {"empty", "", ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FoldForSearch(row.text), row.folded);
    }
}

TEST(FoldForSearchTest, OriginsCoverEveryCharacter) {
    std::string folded;
    std::vector<TFoldedChar> chars;
    FoldWithOrigins("aｶﾞ℃", folded, chars);
    EXPECT_EQ(folded, "aガ°c");
    ASSERT_EQ(chars.size(), 3U);
    // The half-width letter and its mark are one character.
    EXPECT_EQ(chars[1].Begin, 1U);
    EXPECT_EQ(chars[1].End, 7U);
    EXPECT_EQ(folded.substr(chars[1].FoldBegin, chars[1].FoldEnd - chars[1].FoldBegin), "ガ");
    EXPECT_EQ(folded.substr(chars[2].FoldBegin, chars[2].FoldEnd - chars[2].FoldBegin), "°c");
    EXPECT_EQ(chars[2].End, 10U);
}

// Units whose names show every rank, a user's file merged after the shipped one, and aliases.
class UnitSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            units_.LoadFromText(">>\n長さ\n"
                                "\"メートル [m]\",$i,$t,,meter metre\n"
                                "\"ミル [mil]\",$i*0.0000254,$t/0.0000254,\n"
                                "\"マイル [mi]\",$i*1609.344,$t/1609.344,,mile miles\n"
                                "\"ミリメートル [mm]\",$i/1000,$t*1000,\n"
                                "\"メガメートル [Mm]\",$i*1000000,$t/1000000,\n"
                                "\"フィート [ft]\",$i*0.3048,$t/0.3048,\"12 in\",\"foot feet\"\n"
                                "<<\n"
                                ">>\n仕事率\n"
                                "\"仏馬力時 [PS・h]\",$i,$t,\n"
                                "\"英馬力 [hp]\",$i,$t,\n"
                                "\"ヘクトパスカル [hPa]\",$i,$t,\n"
                                "<<\n"
                                ">>\n面積\n"
                                "坪,$i*400/121,$t*121/400,,つぼ tsubo\n"
                                "\"平方マイル [mi2]\",$i,$t,\n"
                                "<<\n"));
        ASSERT_TRUE(units_.AddFromText(">>\n長さ\n"
                                       "\"Mile (statute) [MI]\",$i*1609.344,$t/1609.344,\n"
                                       "<<\n"));
    }

    // Each hit as "unit", or "unit — alias" when an alias found it; checked against the
    // catalogue's own positions.
    std::vector<std::string> Names(const TUnitSearch& search, const std::vector<TUnitHit>& hits) {
        std::vector<std::string> found;
        for (const TUnitHit& hit : hits) {
            const std::vector<std::string> names = units_.GroupUnitNames(hit.Group);
            EXPECT_EQ(search.UnitName(hit), names.at(static_cast<size_t>(hit.Position)));
            std::string text(search.UnitName(hit));
            if (hit.Alias >= 0) {
                text += " — " + std::string(search.UnitAlias(hit));
            }
            found.push_back(text);
        }
        return found;
    }

    TUnits units_;
};

TEST_F(UnitSearchTest, FindRanksExactThenPrefixThenSuffixThenSubstring) {
    const TUnitSearch search(units_);
    struct TRow {
        const char* name;
        std::string filter;
        std::vector<std::string> hits;
    };
    const std::vector<TRow> rows = {
        {"exact symbol first, then exact in another case, then prefixes",
         "mi",
         {"マイル [mi]", "Mile (statute) [MI]", "ミル [mil]", "平方マイル [mi2]"}},
        {"the same case before another case",
         "MI",
         {"Mile (statute) [MI]", "マイル [mi]", "ミル [mil]", "平方マイル [mi2]"}},
        {"Mm and mm by case", "Mm", {"メガメートル [Mm]", "ミリメートル [mm]"}},
        {"an exact symbol before a longer one", "hp", {"英馬力 [hp]", "ヘクトパスカル [hPa]"}},
        {"a name ending in the text before one holding it",
         "馬力",
         {"英馬力 [hp]", "仏馬力時 [PS・h]"}},
        {"an alias shows in the hit", "tsu", {"坪 — tsubo"}},
        {"hiragana find an alias in hiragana", "つぼ", {"坪 — つぼ"}},
        {"an alias that ranks better than the names shows",
         "mile",
         {"マイル [mi] — mile", "Mile (statute) [MI]"}},
        {"a name keeps a tie with an alias", "f", {"フィート [ft]"}},
        {"a bare name and the names ending in it", "マイル", {"マイル [mi]", "平方マイル [mi2]"}},
        {"half-width katakana", "ﾌｨｰﾄ", {"フィート [ft]"}},
        {"no match", "xyz", {}},
        {"a line feed never matches", "]\n", {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Names(search, search.Find(row.filter)), row.hits);
    }
}

TEST_F(UnitSearchTest, EmptyFilterListsEveryUnitInCatalogueOrder) {
    const TUnitSearch search(units_);
    EXPECT_EQ(search.UnitTotal(), 12);
    const std::vector<TUnitHit> all = search.Find("");
    ASSERT_EQ(all.size(), 12U);
    EXPECT_EQ(search.UnitName(all[6]), "Mile (statute) [MI]");
    EXPECT_EQ(all[6], (TUnitHit{0, 6, 6, -1}));
    EXPECT_EQ(all[11], (TUnitHit{2, 1, 11, -1}));
}

TEST_F(UnitSearchTest, LookupTakesTheFirstLevelThatMatches) {
    const TUnitSearch search(units_);
    struct TRow {
        const char* name;
        std::string text;
        std::vector<std::string> units;
    };
    const std::vector<TRow> rows = {
        {"as written", "Mm", {"メガメートル [Mm]"}},
        {"as written, before another case", "mi", {"マイル [mi]"}},
        {"ASCII case ignored when nothing is as written",
         "MM",
         {"ミリメートル [mm]", "メガメートル [Mm]"}},
        {"folded when nothing matches otherwise", "ＭＩＬ", {"ミル [mil]"}},
        {"an alias", "feet", {"フィート [ft] — feet"}},
        {"an alias in hiragana", "つぼ", {"坪 — つぼ"}},
        {"the full name", "マイル [mi]", {"マイル [mi]"}},
        {"the bare name", "英馬力", {"英馬力 [hp]"}},
        {"a prefix of a name is no match", "マイ", {}},
        {"empty", "", {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<TUnitHit> hits;
        for (const TNameMatch& match : search.Lookup(row.text)) {
            hits.push_back(match.Hit);
        }
        EXPECT_EQ(Names(search, hits), row.units);
    }
    const std::vector<TNameMatch> feet = search.Lookup("feet");
    ASSERT_EQ(feet.size(), 1U);
    EXPECT_EQ(feet[0].Kind, TNameKind::Alias);
    const std::vector<TNameMatch> mile = search.Lookup("MI");
    ASSERT_EQ(mile.size(), 1U);
    EXPECT_EQ(mile[0].Kind, TNameKind::Symbol);
}

TEST_F(UnitSearchTest, SuggestsTheNearestNamesBestFirst) {
    const TUnitSearch search(units_);
    struct TRow {
        const char* name;
        std::string text;
        std::vector<std::string> units;
    };
    const std::vector<TRow> rows = {
        {"a letter changed in an alias", "feat", {"フィート [ft] — feet"}},
        {"a letter left out", "metr", {"メートル [m] — meter"}},
        {"two letters swapped", "mteer", {"メートル [m] — meter"}},
        {"a letter left out of a romaji alias", "tubo", {"坪 — tsubo"}},
        {"half-width katakana", "ﾌｨｰﾄ", {"フィート [ft]"}},
        {"a katakana changed", "フイート", {"フィート [ft]"}},
        {"equal distances by rank, then file order",
         "mi",
         {"マイル [mi]", "Mile (statute) [MI]", "ミル [mil]", "平方マイル [mi2]", "メートル [m]"}},
        {"too far from every name", "kilogram", {}},
        {"empty", "", {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Names(search, search.Suggest(row.text)), row.units);
    }
    EXPECT_EQ(search.Suggest("mi", 2).size(), 2U);
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

TEST(UnitNameTest, MatchesExactNameThenSymbolThenBareNameThenAlias) {
    const std::vector<TUnitNamesEntry> units = {
        {"メートル [m]", {"metre"}},
        {"パイカ [pc]", {}},
        {"パーセク [pc]", {}},
        {"m", {}},
        {"坪", {"tsubo"}},
        {"坪 [tsubo]", {}},
        {"x", {"pc"}},
        {"x", {}},
        {"y", {"two"}},
        {"z", {"two"}},
    };
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
        {"symbol before an alias", "tsubo", {5}},
        {"ambiguous symbol, an alias left out", "pc", {1, 2}},
        {"bare name", "メートル", {0}},
        {"alias", "metre", {0}},
        {"ambiguous alias", "two", {8, 9}},
        {"case counts", "METRE", {}},
        {"no match", "mm", {}},
        {"empty text", "", {}},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MatchUnitName(units, row.text), row.positions);
    }
}

} // namespace
} // namespace tv
