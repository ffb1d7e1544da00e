#pragma once

#include "units/TvUnitsFile.h"

#include <functional>
#include <string>
#include <string_view>

// The calculation core: the evaluator (TvCalculate.cpp), number formatting (TvNotation.cpp), the
// number text helpers (TvTextHelpers.cpp) and the conversion of one value (TvConvertUnit.cpp).

namespace tv {

// Evaluates one line of arithmetic text; every operand goes through prefixes.StrToValue.
// Throws EConvertError "Convert", EZeroDivide "ZeroDivide", EOverflow, EInvalidOp or
// EOutOfMemory. No text makes it crash or recurse without bound.
long double Calculate(std::string_view text, const TPrefixes& prefixes);

// Turns one operand text into its value; may throw any failure kind.
using TOperandResolver = std::function<long double(std::string_view operand)>;

// The same evaluation with each operand handed to resolve, once per operand, in evaluation order.
long double Calculate(std::string_view text, const TOperandResolver& resolve);

// General notation: 18 significant digits, plain from 0.0001 to below 1E18, else scientific.
std::string FormatGeneral(long double value);

// Exponent notation "0.00E+00".
std::string FormatExponent(long double value);

// True when the text without its commas is a plain number by the number conversion.
bool IsNumberText(std::string_view text);

// Inserts "," between groups of three digits of the integer part; a text with "E" is left as is.
std::string GroupDigits(std::string_view text);

// Maps full-width forms to half-width: U+FF01-U+FF5E to ASCII, U+3000 to a space, full-width
// katakana to half-width katakana. Never fails.
std::string MapText(std::string_view text);

// One conversion of the unit page, without any window.
struct TUnitConvRequest {
    std::string InputText; // the input box's text; an empty box has already become "0"
    TUnitEntry Source;
    TUnitEntry Target;
    bool SameUnit = false; // the two lists select the same position
    int ShowAns = 0;
    int ShowExp = 0;
    std::string PreviousOutput; // the output box's text, kept for a display mode outside 0..2
};

struct TUnitConvResult {
    std::string Output;      // the text for the output box
    std::string ReportLine;  // "<input> [<source>] => <output> [<target>]", no line end
    std::string FormulaLine; // "\tResult = ..." when ShowExp is 1, else empty; no line end
};

// Throws the failure kinds of Calculate.
TUnitConvResult ConvertUnit(const TUnitConvRequest& request, const TPrefixes& prefixes);

// The pieces of ConvertUnit, for conversions built from them (the one-line query):
// every occurrence of placeholder in formula replaced by value, and a value written in display
// mode showAns (0, 1 or 2; any other mode writes general notation).
std::string ReplacePlaceholder(std::string_view formula, std::string_view placeholder,
                               std::string_view value);
std::string FormatShown(long double value, int showAns);
// The formula line's formula: fromBase with every "$t" replaced by "(source)"; when that would
// repeat a long source many times, fromBase as it stands and "  ($t = (source))" after it.
std::string FormulaText(std::string_view fromBase, std::string_view source);

// A unit formula with its placeholder ("$i" or "$t"), read once for evaluation with many numbers
// in the placeholder's place. A formula of the form P, "P op C" or "C op P" (P the placeholder,
// op one operator, C one operand) keeps C's value and evaluates as the evaluator would take the
// text apart, when the number is written as general notation writes numbers; any other formula
// or number is evaluated as text. Both give the same value, bit for bit. The texts and the
// prefix table must outlive it unchanged.
class TUnitFormula {
public:
    TUnitFormula(std::string_view text, std::string_view placeholder, const TPrefixes& prefixes);

    // Calculate of the text with every placeholder replaced by number.
    long double Evaluate(std::string_view number) const;
    // Evaluate of the general notation of value; the text is written only where it is read.
    long double EvaluateWith(long double value) const;
    // The text with every placeholder replaced by number.
    std::string Substitute(std::string_view number) const;

private:
    enum class TShape { Text, Alone, PlaceholderFirst, PlaceholderLast };

    std::string_view text_;
    std::string_view placeholder_;
    const TPrefixes& prefixes_;
    TShape shape_ = TShape::Text;
    char op_ = 0;
    long double constant_ = 0.0L;
    long double zero_ = 0.0L; // the operand "0" that a leading sign is taken from
};

// One conversion of the unit page prepared for many input texts, as a stream of values is
// converted: the two formulas are read once. The request (its InputText aside) and the prefix
// table must outlive it unchanged.
class TUnitConverter {
public:
    TUnitConverter(const TUnitConvRequest& request, const TPrefixes& prefixes);

    // ConvertUnit of the request with inputText in place of its InputText.
    TUnitConvResult Convert(std::string_view inputText) const;

    // Appends the report line and, with ShowExp = 1, the formula line to out, each followed by
    // lineEnd. On a failure out is left as it was.
    void AppendReport(std::string_view inputText, std::string& out, std::string_view lineEnd) const;

private:
    struct TValues;
    TValues Evaluate(std::string_view inputText) const;

    const TUnitConvRequest& request_;
    const TPrefixes& prefixes_;
    TUnitFormula toBase_;
    TUnitFormula fromBase_;
    std::string sourcePart_; // " [<source>] => "
    std::string targetPart_; // " [<target>]"
};

} // namespace tv
