#include "CalcTestSupport.h"

#include "calc/TvCalculate.h"
#include "units/TvErrors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

// The conversion's straightforward reading of a formula: the placeholder replaced in the text,
// the text evaluated.
long double AsText(const std::string& formula, const std::string& number,
                   const TPrefixes& prefixes) {
    std::string text;
    for (size_t at = 0; at < formula.size();) {
        if (formula.compare(at, 2, "$i") == 0) {
            text += number;
            at += 2;
        } else {
            text += formula[at++];
        }
    }
    return Calculate(text, prefixes);
}

// Formulas that keep their constant and formulas that look alike but must be read as text, each
// against numbers as general notation writes them (and a few it never writes).
TEST(UnitFormulaTest, GivesTheValueAndFailureOfTheReplacedText) {
    const std::vector<std::string> formulas = {
        // P, "P op C", "C op P"
        "$i", "$i*1000", "$i/0.3048", "$i+273.15", "$i-32", "$i^2", "$i^0.5", "$i/0", "1000/$i",
        "5-$i", "5+$i", "2^$i", "0^$i", "1.5k*$i", "$i*2M", "$i*1E3", "$i*1e", "$i*E", "1E4000*$i",
        "$i*x", "$i*$t",
        // read as text
        "$i*1E-3", "$i*1e+3", "1E-$i", "1e+$i", "1E*$i", "$i*$i", "$i$i", "($i)*2", "$i * 2", "-$i",
        "$i*-2", "2*$i+1", "$I*2", "7", "", "$i*(2)", "$i*2<3", "$i*2|", "$i*"};
    const std::vector<std::string> numbers = {"0",
                                              "1",
                                              "715.4941",
                                              "-3",
                                              "-0.5",
                                              "1.5E20",
                                              "-2.5E-7",
                                              "1E-5",
                                              "-1E400",
                                              "1E18",
                                              "123456789012345678",
                                              "0.333333333333333333",
                                              "1.2.3",
                                              "5.",
                                              "5E",
                                              "1e5",
                                              ".",
                                              "INF",
                                              "NAN",
                                              "-",
                                              "--5",
                                              "5E-",
                                              "E5",
                                              " 5"};
    const TPrefixes off;
    const TPrefixes example = test::ExamplePrefixes();
    for (const TPrefixes* prefixes : {&example, &off}) {
        for (const std::string& formula : formulas) {
            const TUnitFormula prepared(formula, "$i", *prefixes);
            for (const std::string& number : numbers) {
                SCOPED_TRACE("prefixes " + std::string(prefixes->Loaded() ? "on" : "off") +
                             ", formula \"" + formula + "\", number \"" + number + "\"");
                const test::Outcome expected =
                    test::Run([&] { return AsText(formula, number, *prefixes); });
                const test::Outcome actual = test::Run([&] { return prepared.Evaluate(number); });
                EXPECT_TRUE(test::SameOutcome(actual, expected))
                    << test::Describe(actual) << " instead of " << test::Describe(expected);
            }
        }
    }
}

// The numbers a conversion puts into its formulas: values of every sign and magnitude in
// general notation, into the shipped data's commonest forms, given as text and as the value.
TEST(UnitFormulaTest, AgreesWithTheTextOnGeneratedValues) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    const std::vector<std::string> formulas = {"$i",       "$i*1000", "$i/1609.344", "$i+273.15",
                                               "$i-32",    "1000/$i", "$i^2",        "2^$i",
                                               "0.001*$i", "100/$i"};
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    // Zeros, the ends of the range, and values whose digits need a power beyond 10^27.
    std::vector<long double> values = {0.0L,  -0.0L,     1E-4950L, -3E-4940L, 1.18E4932L,
                                       1E30L, -1E-30L,   1E300L,   2E-300L,   0.5L,
                                       1E18L, 1E18L - 1, 1E-4L,    -9.99E-5L, 123456789.0L};
    for (int i = 0; i < 2000; ++i) {
        values.push_back((i % 3 == 0 ? -1.0L : 1.0L) * mantissa(random) *
                         std::pow(10.0L, exponent(random)) / 3);
    }
    for (const long double value : values) {
        const std::string number = FormatGeneral(value);
        for (const std::string& formula : formulas) {
            SCOPED_TRACE("formula \"" + formula + "\", number \"" + number + "\"");
            const TUnitFormula prepared(formula, "$i", prefixes);
            const test::Outcome expected =
                test::Run([&] { return AsText(formula, number, prefixes); });
            const test::Outcome fromText = test::Run([&] { return prepared.Evaluate(number); });
            const test::Outcome fromValue = test::Run([&] { return prepared.EvaluateWith(value); });
            ASSERT_TRUE(test::SameOutcome(fromText, expected))
                << test::Describe(fromText) << " instead of " << test::Describe(expected);
            ASSERT_TRUE(test::SameOutcome(fromValue, expected))
                << test::Describe(fromValue) << " instead of " << test::Describe(expected);
        }
    }
}

TUnitConvRequest Request(std::string toBase, std::string fromBase, int showExp) {
    TUnitConvRequest request;
    request.Source = TUnitEntry{"km", std::move(toBase), "$t", "", {}};
    request.Target = TUnitEntry{"m", "$i", std::move(fromBase), "", {}};
    request.ShowExp = showExp;
    return request;
}

// A stream's conversions: each report goes after what out holds, with its own line end; a
// failure leaves out as it was.
TEST(UnitConverterTest, AppendsEachReportOrNothing) {
    const TPrefixes prefixes = test::ExamplePrefixes();
    const TUnitConvRequest request = Request("$i*1000", "$t", 1);
    const TUnitConverter converter(request, prefixes);
    std::string out = "before\n";
    converter.AppendReport("2.5", out, "\r\n");
    converter.AppendReport("1k", out, "\r\n");
    EXPECT_EQ(out, "before\n"
                   "2.5 [km] => 2500 [m]\r\n\tResult = (2.5*1000)\r\n"
                   "1k [km] => 1000000 [m]\r\n\tResult = (1000*1000)\r\n");
    const std::string held = out;
    const test::Outcome failed = test::Run([&] {
        converter.AppendReport("1/0", out, "\n");
        return 0.0L;
    });
    EXPECT_EQ(failed.kind, test::Kind::ZeroDivide);
    EXPECT_EQ(failed.message, kMsgZeroDivide);
    EXPECT_EQ(out, held);

    TUnitConvRequest one = request;
    one.InputText = "2.5";
    const TUnitConvResult result = converter.Convert("2.5");
    const TUnitConvResult expected = ConvertUnit(one, prefixes);
    EXPECT_EQ(result.Output, expected.Output);
    EXPECT_EQ(result.ReportLine, expected.ReportLine);
    EXPECT_EQ(result.FormulaLine, expected.FormulaLine);
}

} // namespace
} // namespace tv
