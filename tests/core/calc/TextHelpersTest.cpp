#include "calc/TvCalculate.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

TEST(IsNumberTextTest, AcceptsPlainNumbersWithCommasIgnored) {
    struct Row {
        const char* name;
        const char* text;
        bool expected;
    };
    const std::vector<Row> rows = {
        {"grouped", "1,234.5", true},
        {"doubled commas", "12,,3", true},
        {"spaces around", "  12.5  ", true},
        {"point alone", ".", true},
        {"exponent", "1E+3", true},
        {"negative", "-7", true},
        {"expression", "3*4", false},
        {"inner space", "1 2", false},
        {"beyond the range", "1E5000", false},
        {"empty", "", false},
        {"commas only", ",,", false},
        {"prefix", "5k", false},
        {"full-width digits", "\xEF\xBC\x91", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsNumberText(row.text), row.expected) << row.text;
    }
}

TEST(GroupDigitsTest, GroupsTheIntegerPartOnly) {
    struct Row {
        const char* name;
        const char* text;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"integer and fraction", "1234567.891", "1,234,567.891"},
        {"negative", "-1234.5", "-1,234.5"},
        {"four digits", "1234", "1,234"},
        {"six digits", "123456", "123,456"},
        {"three digits", "123", "123"},
        {"short integer part", "12.3456789", "12.3456789"},
        {"negative small", "-0.001", "-0.001"},
        {"scientific left alone", "1.5E+20", "1.5E+20"},
        {"general scientific left alone", "1.5E20", "1.5E20"},
        {"fraction never grouped", "1234.56789012", "1,234.56789012"},
        {"lower-case exponent upper-cased", "2e5", "2E5"},
        {"eighteen digits", "999999999999999999", "999,999,999,999,999,999"},
        {"negative seven digits", "-1234567", "-1,234,567"},
        {"point first", ".5", ".5"},
        {"trailing point", "1234.", "1,234."},
        {"not a number is grouped like one", "abcd", "A,BCD"},
        {"empty", "", ""},
        {"sign only", "-", "-"},
        {"multi-byte characters stay whole", "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88",
         "\xE3\x81\x82,\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(GroupDigits(row.text), row.expected);
    }
}

TEST(MapTextTest, MapsFullWidthFormsToHalfWidth) {
    struct Row {
        const char* name;
        const char* text;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"full-width expression", "１２．５＊２", "12.5*2"},
        {"empty", "", ""},
        {"half-width unchanged", "1+2 abc", "1+2 abc"},
        {"first of the range", "！", "!"},
        {"last of the range", "～", "~"},
        {"before the range", "\uFF00", "\uFF00"},
        {"after the range", "｟", "｟"},
        {"ideographic space", "1　2", "1 2"},
        {"plain katakana", "アン", "ｱﾝ"},
        {"voiced katakana", "ガ", "ｶﾞ"},
        {"semi-voiced katakana", "パ", "ﾊﾟ"},
        {"vu", "ヴ", "ｳﾞ"},
        {"small tsu", "ッ", "ｯ"},
        {"long vowel mark", "ー", "ｰ"},
        {"punctuation", "「」、。・", "｢｣､｡･"},
        {"spacing sound marks", "゛゜", "ﾞﾟ"},
        {"katakana without half-width form", "ヰヵ", "ヰヵ"},
        {"hiragana unchanged", "あ", "あ"},
        {"kanji unchanged", "単", "単"},
        // Not UTF-8, so written as bytes.
        {"invalid bytes pass through", "\xFF\xEF\xBC", "\xFF\xEF\xBC"},
        {"stray continuation byte kept", "１\x80", "1\x80"},
        {"overlong form kept", "\xE0\x80\xB1", "\xE0\x80\xB1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MapText(row.text), row.expected);
    }
}

} // namespace
} // namespace tv

namespace tv {
namespace {

std::string WithoutCommas(std::string text) {
    std::erase(text, ',');
    return text;
}

// Arbitrary bytes never break the helpers: grouping only inserts commas (and upper-cases), and
// mapping a mapped text again changes nothing.
TEST(TextHelpersTest, ArbitraryBytesKeepTheirShape) {
    std::mt19937_64 rng(932);
    const char alphabet[] = "0123456789.,-+Ee \xE3\x82\xA2\xEF\xBC\x91\x80\xFF";
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = static_cast<int>(rng() % 24); n > 0; --n) {
            text +=
                rng() % 8 == 0 ? static_cast<char>(rng()) : alphabet[rng() % (sizeof alphabet - 1)];
        }
        SCOPED_TRACE(testing::PrintToString(text));
        std::string upper = text;
        for (char& c : upper) {
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        ASSERT_EQ(WithoutCommas(GroupDigits(text)), WithoutCommas(upper));
        const std::string mapped = MapText(text);
        ASSERT_EQ(MapText(mapped), mapped);
        IsNumberText(text);
    }
}

} // namespace
} // namespace tv
