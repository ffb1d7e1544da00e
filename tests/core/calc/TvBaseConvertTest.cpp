#include "CalcTestSupport.h"

#include "calc/TvBaseConvert.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

using test::Kind;

constexpr const char* kNotConvertible = "変換できない値です。";

test::Outcome ReadDigits(std::string_view text, uint8_t base) {
    return test::Run([&] { return static_cast<long double>(BaseStrToInt(text, base)); });
}

TEST(BaseStrToIntTest, ReadsDigitTexts) {
    struct Row {
        const char* name;
        std::string text;
        uint8_t base;
        int64_t expected;
    };
    const std::vector<Row> rows = {
        {"hexadecimal", "FF", 16, 255},
        {"lower case", "ff", 16, 255},
        {"binary", "11111111", 2, 255},
        {"empty", "", 10, 0},
        {"zero", "0", 36, 0},
        {"largest value", "7FFFFFFFFFFFFFFF", 16, std::numeric_limits<int64_t>::max()},
        {"largest value in decimal", "9223372036854775807", 10,
         std::numeric_limits<int64_t>::max()},
        {"highest digit", "Z", 36, 35},
        {"digit above the base counts its own value", "19", 2, 11},
        {"letter above the base", "G", 16, 16},
        {"leading zeros", std::string(100, '0') + "1", 10, 1},
        {"leading zeros up to the power limit", std::string(16383, '0') + "1", 2, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BaseStrToInt(row.text, row.base), row.expected);
    }
}

TEST(BaseStrToIntTest, RefusesWhatCannotBeRead) {
    struct Row {
        const char* name;
        std::string text;
        uint8_t base;
    };
    const std::vector<Row> rows = {
        {"2^63 in decimal", "9223372036854775808", 10},
        {"2^63 in binary", "1" + std::string(63, '0'), 2},
        {"sum passes the largest value", "FFFFFFFFFFFFFFFF", 16},
        {"term beyond 64 bits", "1" + std::string(20, '0'), 16},
        {"power beyond the floating-point range", std::string(16384, '0') + "1", 2},
        {"sign", "-1", 10},
        {"space", " 1", 10},
        {"point", "1.5", 10},
        {"full-width digit", "\xEF\xBC\x91", 10},
        {"base zero", "1", 0},
        {"base one", "1", 1},
        {"base 37", "1", 37},
        {"base 255", "1", 255},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::Outcome outcome = ReadDigits(row.text, row.base);
        EXPECT_EQ(outcome.kind, Kind::Convert);
        EXPECT_EQ(outcome.message, kNotConvertible);
    }
}

// The power is built by multiplication; it must leave the floating-point range at the same
// place as the C library's power does, for every base.
TEST(BaseStrToIntTest, PowerOverflowsWhereTheLibraryPowerDoes) {
    for (int base = 2; base <= 36; ++base) {
        SCOPED_TRACE(base);
        const int last = static_cast<int>(std::floor(16384 / std::log2(base)));
        int place = last;
        while (std::isfinite(std::pow(static_cast<long double>(base), place + 1))) {
            ++place;
        }
        while (!std::isfinite(std::pow(static_cast<long double>(base), place))) {
            --place;
        }
        // A "1" after `place` zeros needs base^place; one more zero needs the overflowing power.
        // Not "1" + std::string(...): g++ 12 at -O3 warns falsely (-Wrestrict) about that here.
        std::string ones = "1";
        ones.append(static_cast<size_t>(place), '0');
        EXPECT_EQ(ReadDigits(std::string(static_cast<size_t>(place), '0') + "1",
                             static_cast<uint8_t>(base))
                      .kind,
                  Kind::None);
        EXPECT_EQ(ReadDigits(std::string(static_cast<size_t>(place) + 1, '0') + "1",
                             static_cast<uint8_t>(base))
                      .kind,
                  Kind::Convert);
    }
}

TEST(IntToBaseStrTest, MatchesTheStandardLibraryAndReadsBack) {
    std::mt19937_64 rng(36);
    for (int i = 0; i < 3000; ++i) {
        const auto value = static_cast<int64_t>(rng() >> (1 + i % 63));
        for (int base = 2; base <= 36; ++base) {
            char buffer[80];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, base).ptr;
            std::string expected(buffer, end);
            for (char& c : expected) {
                c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            }
            const std::string text = IntToBaseStr(value, static_cast<uint8_t>(base));
            ASSERT_EQ(text, expected) << "base " << base;
            ASSERT_EQ(BaseStrToInt(text, static_cast<uint8_t>(base)), value) << text;
        }
    }
}

TEST(IntToBaseStrTest, EdgeValuesAndBases) {
    EXPECT_EQ(IntToBaseStr(0, 2), "0");
    EXPECT_EQ(IntToBaseStr(std::numeric_limits<int64_t>::max(), 16), "7FFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToBaseStr(35, 36), "Z");
    EXPECT_EQ(IntToBaseStr(-255, 16), "-FF");
    EXPECT_EQ(IntToBaseStr(std::numeric_limits<int64_t>::min(), 2), "-1" + std::string(63, '0'));
    for (const uint8_t base : {uint8_t{0}, uint8_t{1}, uint8_t{37}}) {
        SCOPED_TRACE(base);
        const test::Outcome outcome = test::Run([&] {
            IntToBaseStr(10, base);
            return 0.0L;
        });
        EXPECT_EQ(outcome.kind, Kind::Convert);
        EXPECT_EQ(outcome.message, kNotConvertible);
    }
}

TEST(IsBaseStrTest, AcceptsOnlyDigitsOfTheBase) {
    struct Row {
        const char* name;
        const char* text;
        uint8_t base;
        bool expected;
    };
    const std::vector<Row> rows = {
        {"empty", "", 16, false},
        {"lower-case hexadecimal", "ff", 16, true},
        {"letter beyond the base", "fg", 16, false},
        {"digit of base two", "2", 2, false},
        {"binary", "0101", 2, true},
        {"octal nine", "9", 8, false},
        {"base ten letters", "A", 10, false},
        {"base 11", "a", 11, true},
        {"base 36", "xyz", 36, true},
        {"space", "1 0", 10, false},
        {"base one has no digits", "0", 1, false},
        {"base 37 is no base", "0", 37, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IsBaseStr(row.text, row.base), row.expected);
    }
}

TEST(BaseFieldValueTest, ReadsAnIntegerOrTen) {
    struct Row {
        const char* name;
        const char* text;
        int64_t expected;
    };
    const std::vector<Row> rows = {
        {"empty", "", 10},
        {"sixteen", "16", 16},
        {"leading zero", "010", 10},
        {"two", "2", 2},
        {"not a number", "abc", 10},
        {"trailing letter", "16x", 10},
        {"negative", "-5", -5},
        {"leading blanks", "  8", 8},
        {"sign alone", "+", 10},
        {"beyond 64 bits", "99999999999999999999", 10},
        {"most negative", "-9223372036854775808", std::numeric_limits<int64_t>::min()},
        {"largest", "9223372036854775807", std::numeric_limits<int64_t>::max()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(BaseFieldValue(row.text), row.expected);
    }
}

TEST(ConvertBaseTest, ConvertsAndReports) {
    struct Row {
        const char* name;
        const char* input;
        const char* baseIn;
        const char* baseOut;
        const char* output;
    };
    const std::vector<Row> rows = {
        {"hexadecimal to decimal", "FF", "16", "10", "255"},
        {"decimal to binary", "255", "10", "2", "11111111"},
        {"largest value", "9223372036854775807", "10", "16", "7FFFFFFFFFFFFFFF"},
        {"zero", "0", "10", "36", "0"},
        {"equal texts copy unchanged", "0010", "10", "10", "0010"},
        {"equal texts skip validation", "xyz!", "1", "1", "xyz!"},
        {"texts compared, not values", "10", "10", "010", "10"},
        {"empty base is ten", "255", "", "16", "FF"},
        {"lower case read", "ff", "16", "2", "11111111"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TBaseConvResult result = ConvertBase(row.input, row.baseIn, row.baseOut);
        EXPECT_EQ(result.Output, row.output);
        EXPECT_EQ(result.ReportLine, std::string(row.input) + " (" + row.baseIn + ") => " +
                                         row.output + " (" + row.baseOut + ")");
    }
    EXPECT_EQ(ConvertBase("255", "10", "16").ReportLine, "255 (10) => FF (16)");
}

TEST(ConvertBaseTest, RefusesValuesAndBasesItCannotConvert) {
    struct Row {
        const char* name;
        const char* input;
        const char* baseIn;
        const char* baseOut;
    };
    const std::vector<Row> rows = {
        {"2^63", "9223372036854775808", "10", "16"},
        {"not a digit", "12!", "10", "16"},
        {"input base one", "1", "1", "10"},
        {"output base zero", "1", "10", "0"},
        {"output base one", "1", "10", "1"},
        {"output base 37", "1", "10", "37"},
        {"base that would wrap to ten in 8 bits", "1", "266", "2"},
        {"negative base", "1", "-16", "10"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::Outcome outcome = test::Run([&] {
            ConvertBase(row.input, row.baseIn, row.baseOut);
            return 0.0L;
        });
        EXPECT_EQ(outcome.kind, Kind::Convert);
        EXPECT_EQ(outcome.message, kNotConvertible);
    }
}

} // namespace
} // namespace tv
