#include "CalcTestSupport.h"

#include "calc/TvCalculate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace tv {
namespace {

using test::Kind;

struct ValueRow {
    const char* name;
    const char* text;
    long double expected;
};

TEST(CalculateTest, EvaluatesWithTheProgramsGrouping) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    const std::vector<ValueRow> rows = {
        {"precedence", "1+2*3", 7},
        {"parentheses first", "(1+2)*3", 9},
        {"spaces ignored", " 1 + 2 ", 3},
        {"space inside a number", "1 000", 1000},
        {"double parentheses", "((2))", 2},
        {"minus groups from the right", "8-2-1", 7},
        {"division groups from the right", "8/4/2", 4},
        {"mixed level groups from the right", "6/2*3", 1},
        {"power groups from the right", "2^3^2", 512},
        {"product then difference", "2*3-4", 2},
        {"difference of product", "2-3*4", -10},
        {"leading sign binds loosest of the first operand", "-2^2", 4},
        {"leading sign with product", "-2*3", -6},
        {"leading sign before parentheses", "-(2+3)", -5},
        {"leading plus", "+5", 5},
        {"double leading minus", "--3", 3},
        {"minus a negative", "2--3", 5},
        {"times a negative", "2*-3", -6},
        {"negative exponent", "2^-1", 0.5L},
        {"negative base squared", "(-3)^2", 9},
        {"negative base cubed", "(-8)^3", -512},
        {"sign after parenthesis", "(3)-(-2)", 5},
        {"exponent plus", "1E+3", 1000},
        {"exponent minus lower case", "1e-3", 0.001L},
        {"exponent without sign", "1E3", 1000},
        {"exponent operand in a product", "2E+3*2", 4000},
        {"exponent operand in a difference", "1E+3-1", 999},
        {"typed exponent marker", "5<2", 500},
        {"typed sign marker", "2*=3", -6},
        {"zero to the zero", "0^0", 1},
        {"zero to a fraction", "0^0.5", 0},
        {"zero to a negative fraction", "0^-0.5", 0},
        {"lone operator leaf is zero", "1+(*)", 1},
        {"lone power leaf is one", "2*(^)", 2},
        {"large product within range", "1E300*1E300", 1E600L},
        {"underflow to zero is no failure", "1E-4000*1E-4000", 0},
        {"prefix kilo", "5k", 5000},
        {"prefix milli with sign", "-5m", -5 * 0.001L},
        {"prefix after exponent", "1.5E3k", 1.5E6L},
        {"prefix in an expression", "2k+3M", 3002000},
        {"whole power by squaring is exact", "3^40", 12157665459056928801.0L},
        {"largest whole power", "(-1)^2147483647", -1},
        {"negative power to a denormal", "2^-16383", std::ldexp(1.0L, -16383)},
        {"power that underflows", "0.5^20000", 0},
    };
    for (const ValueRow& row : rows) {
        SCOPED_TRACE(row.name);
        const test::Outcome outcome = test::Run([&] { return Calculate(row.text, prefixes); });
        EXPECT_EQ(outcome.kind, Kind::None) << test::Describe(outcome);
        EXPECT_EQ(outcome.value, row.expected) << row.text;
    }
}

TEST(CalculateTest, FractionalPowerUsesTheLogarithm) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    EXPECT_NEAR(static_cast<double>(Calculate("2^0.5", prefixes)), std::sqrt(2.0), 1e-15);
    EXPECT_NEAR(static_cast<double>(Calculate("8^(1/3)", prefixes)), 2.0, 1e-15);
    // Beyond the whole-power range a positive base still works: 1^(3E9) is 1.
    EXPECT_EQ(Calculate("1^3E9", prefixes), 1.0L);
}

struct FailureRow {
    const char* name;
    const char* text;
    Kind kind;
    const char* message;
};

TEST(CalculateTest, ReportsEachFailureKindWithItsMessage) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    const std::vector<FailureRow> rows = {
        {"empty text", "", Kind::Convert, kMsgConvert},
        {"spaces only", "   ", Kind::Convert, kMsgConvert},
        {"empty parentheses", "()", Kind::Convert, kMsgConvert},
        {"missing right operand", "2+", Kind::Convert, kMsgConvert},
        {"missing left operand", "*3", Kind::Convert, kMsgConvert},
        {"lone operator as whole text", "*", Kind::Convert, kMsgConvert},
        {"lone sign as whole text", "-", Kind::Convert, kMsgConvert},
        {"digit grouping", "1,000", Kind::Convert, kMsgConvert},
        {"unsubstituted placeholder", "$i", Kind::Convert, kMsgConvert},
        {"letters", "abc", Kind::Convert, kMsgConvert},
        {"implicit product", "2(3)", Kind::Convert, kMsgConvert},
        {"second sign after an operator", "2*--3", Kind::Convert, kMsgConvert},
        {"unclosed parenthesis", "(1+2", Kind::Convert, kMsgConvert},
        {"unopened parenthesis", "1+2)", Kind::Convert, kMsgConvert},
        {"split at a negative depth", "1)2", Kind::Convert, kMsgConvert},
        {"prefix alone", "k", Kind::Convert, kMsgConvert},
        {"unknown prefix", "5x", Kind::Convert, kMsgConvert},
        {"operand beyond the range", "1E5000", Kind::Convert, kMsgConvert},
        {"division by zero", "1/0", Kind::ZeroDivide, kMsgZeroDivide},
        {"division by negative zero", "1/-0", Kind::ZeroDivide, kMsgZeroDivide},
        {"division by a computed zero", "1/(2-2)", Kind::ZeroDivide, kMsgZeroDivide},
        {"zero to a negative power", "0^-1", Kind::ZeroDivide, kMsgZeroDivide},
        {"power that becomes zero, inverted", "0.5^-20000", Kind::ZeroDivide, kMsgZeroDivide},
        {"lone division leaf", "5*/", Kind::ZeroDivide, kMsgZeroDivide},
        {"product overflow", "1E4000*1E4000", Kind::Overflow, kMsgOverflow},
        {"sum overflow", "1.1E4932+1.1E4932", Kind::Overflow, kMsgOverflow},
        {"difference overflow", "-1.1E4932-1.1E4932", Kind::Overflow, kMsgOverflow},
        {"quotient overflow", "1E4000/1E-4000", Kind::Overflow, kMsgOverflow},
        {"whole power overflow", "10^5000", Kind::Overflow, kMsgOverflow},
        {"fractional power overflow", "10^5000.5", Kind::Overflow, kMsgOverflow},
        {"squaring overflows before the inversion", "2^-16384", Kind::Overflow, kMsgOverflow},
        {"prefix product overflow", "1E4930M", Kind::Overflow, kMsgOverflow},
        {"fractional power of a negative", "(-8)^(1/3)", Kind::InvalidOp, kMsgInvalidOp},
        {"negative base beyond the whole-power range", "(-1)^2147483648", Kind::InvalidOp,
         kMsgInvalidOp},
        {"left failure wins", "1/0+x", Kind::ZeroDivide, kMsgZeroDivide},
        {"left conversion failure wins", "x+1/0", Kind::Convert, kMsgConvert},
    };
    for (const FailureRow& row : rows) {
        SCOPED_TRACE(row.name);
        const test::Outcome outcome = test::Run([&] { return Calculate(row.text, prefixes); });
        EXPECT_EQ(outcome.kind, row.kind) << row.text << " gave " << test::Describe(outcome);
        EXPECT_EQ(outcome.message, row.message) << row.text;
    }
}

TEST(CalculateTest, ReadsWholeOperandsWhenPrefixesAreOff) {
    const TPrefixes off;
    EXPECT_EQ(Calculate("2+3*4", off), 14.0L);
    EXPECT_EQ(Calculate("1E+3", off), 1000.0L);
    const test::Outcome outcome = test::Run([&] { return Calculate("5k", off); });
    EXPECT_EQ(outcome.kind, Kind::Convert);
    EXPECT_EQ(outcome.message, kMsgConvert);
}

TEST(CalculateTest, HandsOperandsOnOnceEachInEvaluationOrder) {
    struct Row {
        const char* name;
        const char* text;
        std::vector<std::string> operands;
    };
    const std::vector<Row> rows = {
        {"left before right", "a+b*c", {"a", "b", "c"}},
        {"leading sign gets a zero", "-2^2", {"0", "2", "2"}},
        {"exponent markers turned back", "1e+3*2E-1", {"1E+3", "2E-1"}},
        {"sign markers turned back", "2*-3", {"2", "-3"}},
        {"typed markers turned back too", "5|2", {"5+2"}},
        {"parentheses removed", "((x))/(y)", {"x", "y"}},
        {"lone operator leaf needs no operand", "1+(*)", {"1"}},
        {"split at an operand character", "1)2", {"1)", "", "2"}},
        {"multi-byte character is never cut", "1)\xE3\x81\x82z", {"1)", "z", "\xE3\x81\x82"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> seen;
        Calculate(row.text, [&seen](std::string_view operand) {
            seen.emplace_back(operand);
            return 1.0L;
        });
        EXPECT_EQ(seen, row.operands) << row.text;
    }
}

TEST(CalculateTest, MapsFailuresOfTheOperandResolver) {
    struct Row {
        const char* name;
        std::function<void()> raise;
        Kind kind;
        std::string message;
    };
    const std::vector<Row> rows = {
        {"conversion message replaced", [] { throw EConvertError("bad"); }, Kind::Convert,
         kMsgConvert},
        {"zero divide message replaced", [] { throw EZeroDivide("x"); }, Kind::ZeroDivide,
         kMsgZeroDivide},
        {"overflow passes unchanged", [] { throw EOverflow("own"); }, Kind::Overflow, "own"},
        {"out of memory", [] { throw std::bad_alloc(); }, Kind::OutOfMemory, kMsgOutOfMemory},
        {"other failure passes unchanged", [] { throw std::runtime_error("else"); }, Kind::Other,
         "else"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::Outcome outcome = test::Run([&] {
            return Calculate("1+2", [&row](std::string_view) -> long double {
                row.raise();
                return 0.0L;
            });
        });
        EXPECT_EQ(outcome.kind, row.kind);
        EXPECT_EQ(outcome.message, row.message);
    }
}

} // namespace
} // namespace tv
