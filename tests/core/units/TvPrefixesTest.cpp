#include "TvTestFolder.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

namespace tv {
namespace {

constexpr const char* kExample = "k,1000\r\nM,1E6\r\nm,0.001\r\n";

TEST(PrefixLoadTest, LoadsEntriesInOrder) {
    TPrefixes prefixes;
    EXPECT_FALSE(prefixes.Loaded());
    ASSERT_TRUE(prefixes.LoadFromText(
        "k,1000\n\"k m\" 2.5 ignored\n\"\xE3\x82\xAD\",1E3,x\n\"\",-.5\nm,0.001"));
    EXPECT_TRUE(prefixes.Loaded());
    ASSERT_EQ(prefixes.Count(), 5);
    const std::vector<std::pair<std::string, long double>> expected = {
        {"k", 1000.0L}, {"k m", 2.5L}, {"キ", 1000.0L}, {"", -0.5L}, {"m", 0.001L}};
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(prefixes.Entry(static_cast<int32_t>(i)).Name, expected[i].first);
        EXPECT_EQ(prefixes.Entry(static_cast<int32_t>(i)).Factor, expected[i].second);
    }
    EXPECT_THROW(prefixes.Entry(5), std::out_of_range);
}

TEST(PrefixLoadTest, EmptyTextLoads) {
    TPrefixes prefixes;
    EXPECT_TRUE(prefixes.LoadFromText(""));
    EXPECT_TRUE(prefixes.Loaded());
    EXPECT_EQ(prefixes.Count(), 0);
}

struct TPrefixFailRow {
    const char* name;
    const char* text;
    int32_t line;
    std::string reason;
};

TEST(PrefixLoadTest, FailsAtLineWithReason) {
    const std::vector<TPrefixFailRow> rows = {
        {"empty line", "k,1000\n\nm,0.001\n", 1, "接頭辞の行に項目がありません"},
        {"line of blanks", "k,1000\n \t\n", 1, "接頭辞の行に項目がありません"},
        {"name only", "k,1000\nM\n", 1, "接頭辞の行に係数がありません"},
        {"factor not a number", "k,1000\nM,1.0.0\n", 1,
         "係数 '1.0.0' は浮動小数点数ではありません"},
        {"factor with prefix", "k,1k\n", 0, "係数 '1k' は浮動小数点数ではありません"},
        {"factor beyond the range", "big,1E5000\n", 0,
         "係数 '1E5000' は浮動小数点数ではありません"},
    };
    for (const TPrefixFailRow& row : rows) {
        SCOPED_TRACE(row.name);
        TPrefixes prefixes;
        EXPECT_FALSE(prefixes.LoadFromText(row.text));
        EXPECT_FALSE(prefixes.Loaded());
        EXPECT_EQ(prefixes.LastError().Line, row.line);
        EXPECT_EQ(prefixes.LastError().Reason, row.reason);
        EXPECT_EQ(prefixes.Count(), row.line) << "lines before the failing one stay read";
        // With prefixes off a prefixed number is no number.
        EXPECT_THROW(prefixes.StrToValue("5k"), EConvertError);
    }
}

struct TValueRow {
    const char* name;
    const char* text;
    long double value;
};

class PrefixResolveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(prefixes_.LoadFromText(kExample)); }
    TPrefixes prefixes_;
};

TEST_F(PrefixResolveTest, Resolves) {
    const std::vector<TValueRow> rows = {
        {"plain number", "5", 5.0L},
        {"negative plain number", "-5", -5.0L},
        {"prefix", "5k", 5000.0L},
        {"leading minus belongs to the number", "-5m", -5.0L * 0.001L},
        {"point and exponent stay in the number", "1.5E3k", 1.5E6L},
        {"exponent without sign", "2E3", 2000.0L},
        {"exponent with plus", "2E+3", 2000.0L},
        {"exponent with minus then prefix", "2e-3M", 2e-3L * 1E6L},
        {"case matters", "5M", 5E6L},
        {"point only number", ".k", 0.0L},
    };
    for (const TValueRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(prefixes_.StrToValue(row.text), row.value);
    }
}

struct TErrorRow {
    const char* name;
    std::string text;
    std::string message;
};

TEST_F(PrefixResolveTest, FailsWithMessage) {
    const std::vector<TErrorRow> rows = {
        {"empty text", "", "処理できる文字列ではありません。"},
        {"prefix alone", "k", "'' は浮動小数点数ではありません"},
        {"leading plus is not skipped", "+5", "'' は浮動小数点数ではありません"},
        {"minus alone", "-", "'-' は浮動小数点数ではありません"},
        {"malformed number part", "1.2.3k", "'1.2.3' は浮動小数点数ではありません"},
        {"number part beyond the range", "1E5000k", "'1E5000' は浮動小数点数ではありません"},
        {"whole text not a number", "2E3+1", "'2E3+1' は浮動小数点数ではありません"},
        {"E at the end is a prefix", "2E", "\"E\"は無効な接頭辞です。"},
        {"E before a letter is a prefix", "2Ek", "\"Ek\"は無効な接頭辞です。"},
        {"second E after an exponent is a prefix", "2E3E", "\"E\"は無効な接頭辞です。"},
        {"blank before the prefix belongs to it", "5 k", "\" k\"は無効な接頭辞です。"},
        {"no longest match", "5km", "\"km\"は無効な接頭辞です。"},
        {"multi-byte prefix", "5キロ", "\"キロ\"は無効な接頭辞です。"},
        {"full-width digit ends the number", "5１", "\"１\"は無効な接頭辞です。"},
    };
    for (const TErrorRow& row : rows) {
        SCOPED_TRACE(row.name);
        try {
            prefixes_.StrToValue(row.text);
            ADD_FAILURE() << "no failure for " << row.text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), row.message);
        }
    }
}

TEST(PrefixResolveRangeTest, ProductBeyondRangeOverflows) {
    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText("big,1E4000\nneg,-1E4000\ntiny,1E-4000\n"));
    for (const char* text : {"1E1000big", "-1E1000big", "1E1000neg"}) {
        SCOPED_TRACE(text);
        try {
            prefixes.StrToValue(text);
            ADD_FAILURE() << "no overflow";
        } catch (const EOverflow& e) {
            EXPECT_STREQ(e.what(), kMsgOverflow);
        }
    }
    EXPECT_EQ(prefixes.StrToValue("1E900big"), StrToFloatValue("1E4900"));
    // Below the normal range the product becomes a denormal or zero, never a failure.
    const long double tiny = prefixes.StrToValue("1E-935tiny");
    EXPECT_GT(tiny, 0.0L);
    EXPECT_LT(tiny, LDBL_MIN);
    EXPECT_EQ(prefixes.StrToValue("1E-4000tiny"), 0.0L);
}

TEST(PrefixResolveRangeTest, FirstOfEqualNamesWins) {
    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText("k,2\nk,1000\n1x,5\n"));
    EXPECT_EQ(prefixes.StrToValue("3k"), 6.0L);
    // A name starting with a digit is swallowed by the number and never matches.
    try {
        prefixes.StrToValue("21x");
        ADD_FAILURE() << "no failure";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "\"x\"は無効な接頭辞です。");
    }
}

TEST(PrefixResolveRangeTest, EmptyTableRejectsEveryPrefix) {
    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText(""));
    EXPECT_EQ(prefixes.StrToValue("5"), 5.0L);
    try {
        prefixes.StrToValue("5k");
        ADD_FAILURE() << "no failure";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "\"k\"は無効な接頭辞です。");
    }
}

TEST(PrefixResolveRangeTest, OffConvertsWholeText) {
    TPrefixes never;
    TPrefixes failed;
    ASSERT_FALSE(failed.LoadFromText("k,1000\nbad\n"));
    for (const TPrefixes* prefixes : {&never, &failed}) {
        EXPECT_EQ(prefixes->StrToValue("+5"), 5.0L);
        EXPECT_EQ(prefixes->StrToValue(" 1.5E3 "), 1500.0L);
        const std::vector<TErrorRow> rows = {
            {"prefix", "5k", "'5k' は浮動小数点数ではありません"},
            {"empty text uses the number message", "", "'' は浮動小数点数ではありません"},
        };
        for (const TErrorRow& row : rows) {
            SCOPED_TRACE(row.name);
            try {
                prefixes->StrToValue(row.text);
                ADD_FAILURE() << "no failure";
            } catch (const EConvertError& e) {
                EXPECT_EQ(std::string(e.what()), row.message);
            }
        }
    }
}

class PrefixFileTest : public test::TTempFolderTest {};

TEST_F(PrefixFileTest, LoadsCp932File) {
    TPrefixes prefixes;
    // キロ and 表 (second byte 0x5C) as prefix names.
    ASSERT_TRUE(
        prefixes.LoadFromFile(WriteBytes("prefix.dat", "\x83\x4C\x83\x8D,1000\r\n\x95\x5C,2\r\n")))
        << prefixes.LastError().Reason;
    EXPECT_EQ(prefixes.StrToValue("3キロ"), 3000.0L);
    EXPECT_EQ(prefixes.StrToValue("3表"), 6.0L);
}

TEST_F(PrefixFileTest, MissingFileSwitchesPrefixesOff) {
    TPrefixes prefixes;
    EXPECT_FALSE(prefixes.LoadFromFile(Folder() + "prefix.dat"));
    EXPECT_FALSE(prefixes.Loaded());
    EXPECT_EQ(prefixes.LastError().Line, -1);
    EXPECT_EQ(prefixes.LastError().Reason, "ファイルを開けないか読み込めません");
    EXPECT_EQ(prefixes.StrToValue("5"), 5.0L);
}

// Loading again replaces the whole table, the added files' entries included.
TEST_F(PrefixFileTest, LoadingAgainStartsAfresh) {
    TPrefixes prefixes;
    ASSERT_TRUE(prefixes.LoadFromText("k,1000\n", "prefix.dat"));
    ASSERT_TRUE(prefixes.AddFromText("Q,1E30\n", "user/prefix.dat"));

    EXPECT_FALSE(prefixes.LoadFromFile(Folder() + "prefix.dat"));
    EXPECT_FALSE(prefixes.Loaded());
    EXPECT_EQ(prefixes.Count(), 0);
    EXPECT_TRUE(prefixes.Files().empty());

    ASSERT_TRUE(prefixes.LoadFromText("M,1E6\n", "other.dat"));
    ASSERT_EQ(prefixes.Count(), 1);
    ASSERT_EQ(prefixes.Files().size(), 1U);
    EXPECT_EQ(prefixes.Files()[0].Name, "other.dat");
    EXPECT_EQ(prefixes.StrToValue("2M"), 2E6L);
    EXPECT_THROW(prefixes.StrToValue("1Q"), EConvertError);
}

} // namespace
} // namespace tv
