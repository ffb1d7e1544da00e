#include "CalcTestSupport.h"
#include "TvAllocationLimit.h"

#include "calc/TvCalculate.h"
#include "units/TvErrors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tv {
namespace {

using test::Kind;

TUnitConvRequest Request(std::string input, std::string toBase, std::string fromBase) {
    TUnitConvRequest request;
    request.InputText = std::move(input);
    request.Source = TUnitEntry{"source", std::move(toBase), "$t", "", {}};
    request.Target = TUnitEntry{"target", "$i", std::move(fromBase), "", {}};
    request.ShowExp = 1;
    request.PreviousOutput = "previous";
    return request;
}

TEST(ConvertUnitTest, WorkedExample) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    const TUnitConvResult result = ConvertUnit(Request("2.5", "$i*1000", "$t/100"), prefixes);
    EXPECT_EQ(result.Output, "25");
    EXPECT_EQ(result.ReportLine, "2.5 [source] => 25 [target]");
    EXPECT_EQ(result.FormulaLine, "\tResult = (2.5*1000)/100");
}

TEST(ConvertUnitTest, ConvertsThroughTheFormulas) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    struct Row {
        const char* name;
        TUnitConvRequest request;
        const char* output;
        const char* formulaLine;
    };
    auto mode = [](TUnitConvRequest request, int showAns, int showExp = 1) {
        request.ShowAns = showAns;
        request.ShowExp = showExp;
        return request;
    };
    auto same = [](TUnitConvRequest request) {
        request.SameUnit = true;
        return request;
    };
    const std::vector<Row> rows = {
        {"negative input without parentheses", Request("-3", "$i^2", "$t"), "9",
         "\tResult = (-3^2)"},
        {"input goes in as 18 digits", Request("1/3", "$i*3", "$t"), "0.999999999999999999",
         "\tResult = (0.333333333333333333*3)"},
        {"every placeholder replaced", Request("2", "$i*$i+$i", "$t-$t/2"), "3",
         "\tResult = (2*2+2)-(2*2+2)/2"},
        {"formula without placeholder", Request("5", "7", "$t"), "7", "\tResult = (7)"},
        {"prefix in the input", Request("2k", "$i", "$t"), "2000", "\tResult = (2000)"},
        {"full-width input evaluates", Request("\xEF\xBC\x92\xEF\xBC\x8B\xEF\xBC\x93", "$i", "$t"),
         "5", "\tResult = (5)"},
        {"exponent notation", mode(Request("12345", "$i", "$t"), 1), "1.23E+04",
         "\tResult = (12345)"},
        {"grouped notation", mode(Request("1234567.5", "$i", "$t"), 2), "1,234,567.5",
         "\tResult = (1234567.5)"},
        {"grouped leaves scientific alone", mode(Request("1.5E20", "$i", "$t"), 2), "1.5E20",
         "\tResult = (1.5E20)"},
        {"no formula line unless asked", mode(Request("1", "$i", "$t"), 0, 2), "1", ""},
        {"same unit evaluates the input", same(Request("1+1", "bad", "bad")), "2",
         "\t同じ単位のため変換を行っていません。"},
        {"same unit in exponent notation", mode(same(Request("0", "x", "x")), 1), "0.00E+00",
         "\t同じ単位のため変換を行っていません。"},
        {"unknown mode keeps the output", mode(Request("4", "$i", "$t"), 7), "previous",
         "\tResult = (4)"},
        {"unknown mode skips the last evaluation", mode(same(Request("1/0", "x", "x")), -1),
         "previous", "\t同じ単位のため変換を行っていません。"},
        {"unknown mode skips only the target formula", mode(Request("4", "$i", "1/0"), 3),
         "previous", "\tResult = 1/0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::Outcome outcome = test::Run([&] {
            const TUnitConvResult result = ConvertUnit(row.request, prefixes);
            EXPECT_EQ(result.Output, row.output);
            EXPECT_EQ(result.FormulaLine, row.formulaLine);
            EXPECT_EQ(result.ReportLine,
                      row.request.InputText + " [source] => " + row.output + " [target]");
            return 0.0L;
        });
        EXPECT_EQ(outcome.kind, Kind::None) << test::Describe(outcome);
    }
}

std::string Repeated(std::string_view piece, size_t count, std::string_view separator) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += i == 0 ? "" : separator;
        text += piece;
    }
    return text;
}

// The formula line puts the source formula in place of each "$t" only while that stays within
// 64 KiB; beyond, it names the source once, so that its length is the sum of the formulas'
// lengths, not their product.
TEST(ConvertUnitTest, FormulaLineGrowsLinearlyInTheFormulas) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    struct Row {
        const char* name;
        std::string toBase;
        std::string fromBase;
        std::string formula; // after "\tResult = "
    };
    // A source formula of n zeros: its value is 0 however long it is.
    const std::string zeros32765(32765, '0');
    const std::string zeros32766(32766, '0');
    const std::string zeros100k(100000, '0');
    const std::vector<Row> rows = {
        {"one $t takes the source however long", zeros100k, "$t/2", "(" + zeros100k + ")/2"},
        {"two $t repeat it up to 64 KiB", zeros32765, "$t+$t",
         "(" + zeros32765 + ")+(" + zeros32765 + ")"},
        {"two $t beyond 64 KiB name it once", zeros32766, "$t+$t",
         "$t+$t  ($t = (" + zeros32766 + "))"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TUnitConvResult result =
            ConvertUnit(Request("1", row.toBase, row.fromBase), prefixes);
        EXPECT_EQ(result.Output, "0");
        EXPECT_EQ(result.FormulaLine, "\tResult = " + row.formula);
    }

    // 10 000 terms on each side: the repeated form would be 200 MB.
    const std::string toBase = Repeated("$i", 10000, "+");
    const std::string fromBase = Repeated("$t", 10000, "+");
    const std::string source = Repeated("1", 10000, "+");
    const TUnitConvResult result = ConvertUnit(Request("1", toBase, fromBase), prefixes);
    EXPECT_EQ(result.Output, "100000000");
    EXPECT_EQ(result.FormulaLine, "\tResult = " + fromBase + "  ($t = (" + source + "))");
}

// The texts a conversion builds outside the evaluator fail as the evaluator's own do when memory
// runs out.
TEST(ConvertUnitTest, TextsBeyondMemoryFailAsOutOfMemory) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    // 300 000 placeholders of an 18-digit value: a source formula of 6 MB.
    const TUnitConvRequest request = Request("1/3", Repeated("$i", 300000, "+"), "$t");
    const test::TAllocationLimit limit(4 << 20);
    try {
        ConvertUnit(request, prefixes);
        FAIL() << "no failure";
    } catch (const EOutOfMemory& e) {
        EXPECT_STREQ(e.what(), kMsgOutOfMemory);
    }
}

TEST(ConvertUnitTest, FailsWithTheEvaluatorsKinds) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    struct Row {
        const char* name;
        TUnitConvRequest request;
        Kind kind;
        const char* message;
    };
    auto same = [](TUnitConvRequest request) {
        request.SameUnit = true;
        return request;
    };
    auto mode = [](TUnitConvRequest request, int showAns) {
        request.ShowAns = showAns;
        return request;
    };
    const std::vector<Row> rows = {
        {"division by zero in the input", Request("1/0", "$i", "$t"), Kind::ZeroDivide,
         kMsgZeroDivide},
        {"overflow in the input", Request("10^5000", "$i", "$t"), Kind::Overflow, kMsgOverflow},
        {"empty source formula", Request("1", "", "$t"), Kind::Convert, kMsgConvert},
        {"placeholder is case-sensitive", Request("1", "$I*2", "$t"), Kind::Convert, kMsgConvert},
        {"target formula fails", Request("1", "$i", "$t/0"), Kind::ZeroDivide, kMsgZeroDivide},
        {"same unit with a bad input", same(Request("abc", "$i", "$t")), Kind::Convert,
         kMsgConvert},
        {"invalid operation passes on", Request("-8", "$i^(1/3)", "$t"), Kind::InvalidOp,
         kMsgInvalidOp},
        {"unknown mode still evaluates the source", mode(Request("1/0", "$i", "$t"), 9),
         Kind::ZeroDivide, kMsgZeroDivide},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::Outcome outcome = test::Run([&] {
            ConvertUnit(row.request, prefixes);
            return 0.0L;
        });
        EXPECT_EQ(outcome.kind, row.kind) << test::Describe(outcome);
        EXPECT_EQ(outcome.message, row.message);
    }
}

} // namespace
} // namespace tv
