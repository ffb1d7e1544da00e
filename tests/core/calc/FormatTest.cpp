#include "calc/TvCalculate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

struct FormatRow {
    const char* name;
    long double value;
    const char* general;
    const char* exponent;
};

TEST(FormatTest, WritesGeneralAndExponentNotation) {
    const std::vector<FormatRow> rows = {
        {"plain with fraction", 1234.5L, "1234.5", "1.23E+03"},
        {"smallest plain", 0.0001L, "0.0001", "1.00E-04"},
        {"largest scientific below plain", 0.00001L, "1E-5", "1.00E-05"},
        {"negative scientific", -0.00000025L, "-2.5E-7", "-2.50E-07"},
        {"ten to the eighteen", 1E18L, "1E18", "1.00E+18"},
        {"eighteen nines", 1E18L - 1, "999999999999999999", "1.00E+18"},
        {"one third", 1.0L / 3, "0.333333333333333333", "3.33E-01"},
        {"zero", 0.0L, "0", "0.00E+00"},
        {"negative zero", -0.0L, "0", "0.00E+00"},
        {"whole number with zeros", 25000, "25000", "2.50E+04"},
        {"negative fraction", -0.00456L, "-0.00456", "-4.56E-03"},
        {"three-digit exponent", 1E100L, "1E100", "1.00E+100"},
        {"four-digit exponent", 1.5E-4000L, "1.5E-4000", "1.50E-4000"},
        {"carry into the exponent", 9.995L, "9.995", "1.00E+01"},
        {"rounds from the 18-digit form", 1.235L, "1.235", "1.24E+00"},
        {"below the rounding digit", 9.994999L, "9.994999", "9.99E+00"},
        {"negative rounds away from zero", -12355, "-12355", "-1.24E+04"},
        {"eighteenth digit rounded", 0.1L, "0.1", "1.00E-01"},
        {"largest finite", std::numeric_limits<long double>::max(), "1.18973149535723177E4932",
         "1.19E+4932"},
        {"smallest denormal", std::numeric_limits<long double>::denorm_min(),
         "3.6451995318824746E-4951", "3.65E-4951"},
    };
    for (const FormatRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FormatGeneral(row.value), row.general);
        EXPECT_EQ(FormatExponent(row.value), row.exponent);
    }
}

// The 18-digit rounding is checked against the C library: strtold of our text and of
// printf's 18 significant digits must give the same value, and the shape must follow the
// magnitude.
TEST(FormatTest, GeneralNotationMatchesTheCLibrary) {
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<int> exponent(-4950, 4930);
    for (int i = 0; i < 20000; ++i) {
        long double value = std::ldexp(static_cast<long double>(rng()), 0) /
                            static_cast<long double>(std::numeric_limits<uint64_t>::max());
        value *= std::pow(10.0L, exponent(rng) / (i % 2 == 0 ? 1 : 200));
        if (i % 3 == 0) {
            value = -value;
        }
        SCOPED_TRACE(i);
        const std::string text = FormatGeneral(value);
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.17Le", value);
        ASSERT_EQ(std::strtold(text.c_str(), nullptr), std::strtold(printed, nullptr))
            << text << " vs " << printed;
        const long double magnitude = std::fabs(std::strtold(printed, nullptr));
        const bool plain = magnitude == 0 || (magnitude >= 0.0001L && magnitude < 1E18L);
        EXPECT_EQ(text.find('E') == std::string::npos, plain) << text;
        EXPECT_NE(text.back(), '.') << text;
        if (text.find('.') != std::string::npos && text.find('E') == std::string::npos) {
            EXPECT_NE(text.back(), '0') << text;
        }
    }
}

// Halves at the 18th digit round to even, as the C library does; near such a tie the
// rounding cannot be told from a scaled value alone.
TEST(FormatTest, TiesAtTheLastDigitRoundToEven) {
    for (const long double base : {1E17L, 123456789012345678.0L, 999999999999999998.0L}) {
        for (const long double scale : {1.0L, 1E-10L, 1024.0L}) {
            for (const long double step : {0.5L, 1.5L, 2.5L}) {
                const long double value = (base + step) * scale;
                char printed[64];
                std::snprintf(printed, sizeof printed, "%.17Le", value);
                EXPECT_EQ(std::strtold(FormatGeneral(value).c_str(), nullptr),
                          std::strtold(printed, nullptr))
                    << printed;
            }
        }
    }
}

TEST(FormatTest, KeepsNonFiniteValuesReadable) {
    EXPECT_EQ(FormatGeneral(std::numeric_limits<long double>::infinity()), "INF");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<long double>::infinity()), "-INF");
    EXPECT_EQ(FormatExponent(std::numeric_limits<long double>::quiet_NaN()), "NAN");
}

} // namespace
} // namespace tv
