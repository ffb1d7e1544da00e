// Holds the production evaluator against the plain reference over generated texts: balanced
// and broken expressions, signs, exponents, prefixes, markers and stray characters.
#include "CalcTestSupport.h"
#include "ReferenceCalculate.h"

#include "calc/TvCalculate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

using test::Outcome;

// Prefixes that let odd leaves resolve, so that a wrong split shows up as a wrong value rather
// than as the same conversion failure.
TPrefixes DifferentialPrefixes() {
    TPrefixes prefixes;
    EXPECT_TRUE(prefixes.LoadFromText("k 1000\nM 1E6\nm 0.001\nE 1E18\n( 2\n) 3\n+ 5\n- 7\n"
                                      "$i 11\n\xE3\x81\x82 13\n"));
    return prefixes;
}

const std::vector<std::string> kTokens = {
    "0",
    "1",
    "2",
    "3",
    "5",
    "9",
    "10",
    ".",
    "0.5",
    "+",
    "-",
    "*",
    "/",
    "^",
    "(",
    ")",
    "E",
    "e",
    "E+",
    "e-",
    "E-3",
    "e+2",
    "k",
    "M",
    "m",
    "x",
    "$",
    "$i",
    "$t",
    "<",
    ">",
    "|",
    "=",
    " ",
    ",",
    "((",
    "))",
    "--",
    "+-",
    "*-",
    "^-",
    "\xE3\x81\x82",
    "\xEF\xBC\x8B",
    "\x80",
    "\xE3",
    "1E4000",
    "0.25",
};

// Builds by appending; GCC 12 warns falsely about operator+ on temporaries at -O3.
std::string Join(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) {
        text += piece;
    }
    return text;
}

class Generator {
public:
    explicit Generator(uint64_t seed) : rng_(seed) {}

    // A random run of tokens.
    std::string Soup() {
        std::string text;
        const int count = Pick(0, 14);
        for (int i = 0; i < count; ++i) {
            text += kTokens[static_cast<size_t>(Pick(0, static_cast<int>(kTokens.size()) - 1))];
        }
        return text;
    }

    // A well-formed expression, sometimes damaged afterwards.
    std::string Expression() {
        std::string text = Term(Pick(1, 5));
        const int damage = Pick(0, 3) == 0 ? Pick(1, 3) : 0;
        for (int i = 0; i < damage && !text.empty(); ++i) {
            const auto at = static_cast<size_t>(Pick(0, static_cast<int>(text.size()) - 1));
            switch (Pick(0, 2)) {
            case 0:
                text.erase(at, 1);
                break;
            case 1:
                text.insert(
                    at,
                    kTokens[static_cast<size_t>(Pick(0, static_cast<int>(kTokens.size()) - 1))]);
                break;
            default:
                text[at] = "()+-*/^ "[Pick(0, 7)];
                break;
            }
        }
        return text;
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    std::string Number() {
        static const std::vector<std::string> numbers = {
            "0",  "1",      "2",  "3",  "0.5", "10",     "1E+3", "2e-1", "5k",
            "3m", "1.5E3k", "2E", "7)", "4(",  "1E4000", "0.1",  "$i"};
        return numbers[static_cast<size_t>(Pick(0, static_cast<int>(numbers.size()) - 1))];
    }

    std::string Term(int budget) {
        if (budget <= 0) {
            return Number();
        }
        switch (Pick(0, 5)) {
        case 0:
            return Join({"(", Term(budget - 1), ")"});
        case 1:
            return Join({Pick(0, 1) == 0 ? "-" : "+", Term(budget - 1)});
        case 2:
        case 3:
        case 4: {
            static const char* ops[] = {"+", "-", "*", "/", "^", " + ", "*-", "^-", "--"};
            const std::string left = Term(budget - 1);
            const char* op = ops[Pick(0, 8)];
            return Join({left, op, Term(budget - 1)});
        }
        default:
            return Number();
        }
    }

    std::mt19937_64 rng_;
};

// Every operand handed on is recorded; its value depends on its text, and can be zero or
// negative so that division and power failures come up too.
struct Recorder {
    std::vector<std::string> seen;
    long double operator()(std::string_view operand) {
        seen.emplace_back(operand);
        uint32_t hash = 2166136261U;
        for (char c : operand) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
        }
        return static_cast<long double>(static_cast<int>(hash % 7) - 3) / 2;
    }
};

// Compares both evaluators on one text; returns false (after reporting) when they differ.
bool Agree(const std::string& text, const TPrefixes& prefixes) {
    const Outcome expected = test::Run([&] { return reference::Calculate(text, prefixes); });
    const Outcome actual = test::Run([&] { return Calculate(text, prefixes); });
    if (!test::SameOutcome(expected, actual)) {
        ADD_FAILURE() << "text \"" << text << "\": reference " << test::Describe(expected)
                      << ", production " << test::Describe(actual);
        return false;
    }
    Recorder expectedOperands;
    Recorder actualOperands;
    const Outcome expectedRecorded = test::Run([&] {
        return reference::Calculate(
            text, [&](std::string_view operand) { return expectedOperands(operand); });
    });
    const Outcome actualRecorded = test::Run([&] {
        return Calculate(text, [&](std::string_view operand) { return actualOperands(operand); });
    });
    if (!test::SameOutcome(expectedRecorded, actualRecorded) ||
        expectedOperands.seen != actualOperands.seen) {
        ADD_FAILURE() << "text \"" << text << "\": operands or outcome differ; reference "
                      << test::Describe(expectedRecorded) << " after "
                      << expectedOperands.seen.size() << " operands, production "
                      << test::Describe(actualRecorded) << " after " << actualOperands.seen.size();
        return false;
    }
    return true;
}

// Cases per generator; TENVARI_DIFFERENTIAL_CASES overrides. Unoptimised and sanitizer builds
// run fewer so that the suite stays quick there too.
int CaseCount() {
    if (const char* setting = std::getenv("TENVARI_DIFFERENTIAL_CASES")) {
        return std::atoi(setting);
    }
#ifdef __OPTIMIZE__
    return 150000;
#else
    return 30000;
#endif
}

TEST(DifferentialTest, RandomTokenRunsAgreeWithTheReference) {
    const TPrefixes prefixes = DifferentialPrefixes();
    Generator generator(20261209);
    int failures = 0;
    for (int i = 0, n = CaseCount(); i < n && failures < 10; ++i) {
        failures += Agree(generator.Soup(), prefixes) ? 0 : 1;
    }
}

TEST(DifferentialTest, DamagedExpressionsAgreeWithTheReference) {
    const TPrefixes prefixes = DifferentialPrefixes();
    Generator generator(4932);
    int failures = 0;
    for (int i = 0, n = CaseCount(); i < n && failures < 10; ++i) {
        failures += Agree(generator.Expression(), prefixes) ? 0 : 1;
    }
}

TEST(DifferentialTest, AgreesWithPrefixesOff) {
    const TPrefixes off;
    Generator generator(1813);
    int failures = 0;
    for (int i = 0, n = CaseCount() / 5; i < n && failures < 10; ++i) {
        failures += Agree(i % 2 == 0 ? generator.Soup() : generator.Expression(), off) ? 0 : 1;
    }
}

// Ranks grow by 10 per level: an operator 104858 levels deep no longer beats the starting rank,
// and from 104857 levels it loses to an operand character one level below the start.
TEST(DifferentialTest, AgreesAroundTheDepthWhereRanksRunOut) {
    const TPrefixes prefixes = DifferentialPrefixes();
    for (int depth = 104856; depth <= 104858; ++depth) {
        SCOPED_TRACE(depth);
        const std::string open(static_cast<size_t>(depth), '(');
        const std::string close(static_cast<size_t>(depth), ')');
        for (const std::string& text : {
                 open + "1+2",
                 open + "1^2*3",
                 "1)2" + open + "3+4",
                 "1)2" + open + "3^4",
                 "-" + open + "1*2",
                 "5)" + close + "+" + open + "6*7",
             }) {
            Agree(text, prefixes);
        }
    }
}

} // namespace
} // namespace tv
