#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace tv {
namespace {

// strtold under the C locale is the independent reference for correct rounding.
long double Reference(const char* text) {
    char* end = nullptr;
    const long double value = std::strtold(text, &end);
    EXPECT_EQ(*end, '\0') << text;
    return value;
}

struct TAcceptRow {
    const char* name;
    const char* text;
    const char* reference;
};

TEST(NumberConversionTest, AcceptsPlainNumbers) {
    const std::vector<TAcceptRow> rows = {
        {"integer", "42", "42"},
        {"spaces around and sign", "  -1.5e3  ", "-1.5e3"},
        {"leading plus", "+5", "5"},
        {"decimal not exact in binary", "0.1", "0.1"},
        {"many digits round once", "3.14159265358979323846264338327950288",
         "3.14159265358979323846264338327950288"},
        {"long integer", "123456789012345678901234567890", "123456789012345678901234567890"},
        {"point only", ".", "0"},
        {"trailing point", "5.", "5"},
        {"leading point", ".25", "0.25"},
        {"exponent without digits", "1E", "1"},
        {"exponent sign without digits", "1e+", "1"},
        {"lower case exponent", "2e-3", "2e-3"},
        {"exponent after point only", ".E7", "0"},
        {"leading zeros in exponent read on", "1E0000000001", "10"},
        {"exponent reaching 500 stops cleanly", "1E500", "1E500"},
        {"three-digit exponent beyond 500", "1E501", "1E501"},
        {"near the largest value", "1.18973149535723176502e+4932", "1.18973149535723176502e+4932"},
        {"mantissa digits shift the exponent", "0.00001E4936", "1E4931"},
        {"zero with huge exponent", "0E4999", "0"},
        {"smallest normal", "3.36210314311209350626e-4932", "3.36210314311209350626e-4932"},
        {"underflow to denormal", "1E-4950", "1E-4950"},
        {"underflow to zero", "1E-4990", "0"},
        {"nineteen digits", "9999999999999999999", "9999999999999999999"},
        {"nineteen digits times 1E27", "1234567890123456789e27", "1234567890123456789e27"},
        {"nineteen digits over 1E27", "1234567890123456789e-27", "1234567890123456789e-27"},
        {"nineteen digits over 1E28", "1234567890123456789e-28", "1234567890123456789e-28"},
        {"twenty digits", "12345678901234567891", "12345678901234567891"},
        {"leading zeros are not significant", "0.00000000000000000000012345678901234567891",
         "0.00000000000000000000012345678901234567891"},
        {"fraction digits shift the power", "12.345e-26", "12.345e-26"},
    };
    for (const TAcceptRow& row : rows) {
        SCOPED_TRACE(row.name);
        long double value = -1.0L;
        ASSERT_TRUE(TryStrToFloatValue(row.text, value)) << row.text;
        EXPECT_EQ(value, Reference(row.reference));
        EXPECT_EQ(StrToFloatValue(row.text), value);
    }
}

TEST(NumberConversionTest, KeepsSignOfZero) {
    EXPECT_TRUE(std::signbit(StrToFloatValue("-0")));
    EXPECT_TRUE(std::signbit(StrToFloatValue("-.")));
    EXPECT_FALSE(std::signbit(StrToFloatValue("0")));
}

TEST(NumberConversionTest, UnderflowDoesNotFail) {
    const long double tiny = StrToFloatValue("1E-4940");
    EXPECT_GT(tiny, 0.0L);
    EXPECT_LT(tiny, LDBL_MIN);
}

struct TRejectRow {
    const char* name;
    std::string text;
};

TEST(NumberConversionTest, RejectsWithMessage) {
    const std::vector<TRejectRow> rows = {
        {"empty", ""},
        {"spaces only", "   "},
        {"sign only", "-"},
        {"plus only", "+"},
        {"exponent without mantissa", "E5"},
        {"double sign", "--1"},
        {"sign after spaces and sign", "+ 5"},
        {"two points", "1.2.3"},
        {"grouping comma", "1,000"},
        {"inner space", "1 000"},
        {"space before exponent", "1 E3"},
        {"space inside exponent", "1E 3"},
        {"two exponent signs", "1E+-3"},
        {"fractional exponent", "1e3.5"},
        {"tab is not a space", "\t1"},
        {"trailing tab", "1\t"},
        {"hexadecimal", "0x10"},
        {"infinity word", "inf"},
        {"nan word", "nan"},
        {"comma decimal", "1,5"},
        {"full-width digit", "１"},
        {"prefix letter", "5k"},
        {"digit left unread in exponent", "1E5000"},
        {"digit left unread after zeros", "1E00005001"},
        {"unread digit also for tiny values", "1E-5000"},
        {"beyond the extended range", "1E4933"},
        {"beyond the range through the mantissa", "100000E4928"},
    };
    for (const TRejectRow& row : rows) {
        SCOPED_TRACE(row.name);
        long double value = 7.0L;
        EXPECT_FALSE(TryStrToFloatValue(row.text, value));
        EXPECT_EQ(value, 7.0L) << "value written on failure";
        try {
            StrToFloatValue(row.text);
            ADD_FAILURE() << "no failure for '" << row.text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + row.text + "' は浮動小数点数ではありません");
        }
    }
}

} // namespace
} // namespace tv
