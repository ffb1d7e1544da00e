// Long and deep texts: they evaluate or fail with a failure kind, in time that grows with the
// length, and without recursion that could exhaust the stack.
#include "CalcTestSupport.h"
#include "ReferenceCalculate.h"

#include "calc/TvCalculate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

using test::Kind;

constexpr size_t kMiB = 1 << 20;

std::string Repeat(std::string_view piece, size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

struct LargeRow {
    const char* name;
    std::string text;
    Kind kind;
    long double value; // when kind is None
};

TEST(LargeTextTest, LongAndDeepTextsEvaluateOrFail) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    const size_t nest = 100000;
    const std::vector<LargeRow> rows = {
        {"1 MiB chain of sums", "1" + Repeat("+1", kMiB / 2), Kind::None, kMiB / 2 + 1},
        {"1 MiB chain of products", "1" + Repeat("*1", kMiB / 2), Kind::None, 1},
        {"1 MiB chain of powers", "2" + Repeat("^1", kMiB / 2), Kind::None, 2},
        {"1 MiB nesting", Repeat("(", kMiB / 2) + "7" + Repeat(")", kMiB / 2), Kind::None, 7},
        {"nested sums to the right", Repeat("(1+", nest) + "1" + Repeat(")", nest), Kind::None,
         nest + 1},
        {"nested sums to the left", Repeat("(", nest) + "1" + Repeat("+1)", nest), Kind::None,
         nest + 1},
        {"nested signs", Repeat("-(", nest) + "1" + Repeat(")", nest), Kind::Convert, 0},
        {"unclosed nesting", Repeat("(", kMiB) + "1", Kind::Convert, 0},
        {"unopened nesting", "1" + Repeat(")", kMiB), Kind::Convert, 0},
        {"closing first", Repeat(")", nest) + "1+1" + Repeat("(", nest), Kind::Convert, 0},
        {"run of minus signs", Repeat("-", kMiB) + "1", Kind::Convert, 0},
        {"run of operators", "1" + Repeat("*/", kMiB / 2), Kind::Convert, 0},
        {"1 MiB of one operand", Repeat("9", kMiB), Kind::Convert, 0},
    };
    for (const LargeRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto start = std::chrono::steady_clock::now();
        const test::Outcome outcome = test::Run([&] { return Calculate(row.text, prefixes); });
        const auto elapsed =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        RecordProperty(row.name, std::to_string(elapsed) + " ms");
        EXPECT_EQ(outcome.kind, row.kind) << test::Describe(outcome);
        if (row.kind == Kind::None) {
            EXPECT_EQ(outcome.value, row.value);
        }
    }
}

// Texts of a few thousand characters, deep and broken, still agree with the reference.
TEST(LargeTextTest, MediumTextsAgreeWithTheReference) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    std::mt19937_64 rng(77);
    const char* pieces[] = {"(", "(", ")", "1", "2.5", "+", "-", "*", "/", "^", "k", "E+2", " "};
    for (int round = 0; round < 40; ++round) {
        std::string text;
        while (text.size() < 3000) {
            text += pieces[rng() % std::size(pieces)];
        }
        SCOPED_TRACE(round);
        std::vector<std::string> expectedOperands;
        std::vector<std::string> actualOperands;
        const auto record = [](std::vector<std::string>& seen) {
            return [&seen](std::string_view operand) {
                seen.emplace_back(operand);
                return 1.5L;
            };
        };
        const test::Outcome expected =
            test::Run([&] { return reference::Calculate(text, record(expectedOperands)); });
        const test::Outcome actual =
            test::Run([&] { return Calculate(text, record(actualOperands)); });
        EXPECT_TRUE(test::SameOutcome(expected, actual))
            << test::Describe(expected) << " / " << test::Describe(actual);
        EXPECT_EQ(expectedOperands, actualOperands);
        EXPECT_TRUE(
            test::SameOutcome(test::Run([&] { return reference::Calculate(text, prefixes); }),
                              test::Run([&] { return Calculate(text, prefixes); })));
    }
}

} // namespace
} // namespace tv
