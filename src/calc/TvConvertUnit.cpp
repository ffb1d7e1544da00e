#include "calc/TvCalculate.h"

#include "calc/TvCalcParts.h"
#include "units/TvErrors.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

namespace tv {

std::string ReplacePlaceholder(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    // Room for one replacement, the usual case, so that the text is not grown piece by piece.
    out.reserve(text.size() + to.size());
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(from, start);
        if (found == std::string_view::npos) {
            break;
        }
        out += text.substr(start, found - start);
        out += to;
        start = found + from.size();
    }
    out += text.substr(start);
    return out;
}

std::string FormatShown(long double value, int showAns) {
    switch (showAns) {
    case 1:
        return FormatExponent(value);
    case 2:
        return GroupDigits(FormatGeneral(value));
    default:
        return FormatGeneral(value);
    }
}

namespace {

// A formula text longer than this is not built by repeating the source formula.
constexpr size_t kMaxRepeatedFormula = size_t{64} << 10;

} // namespace

std::string FormulaText(std::string_view fromBase, std::string_view source) {
    size_t placeholders = 0;
    for (size_t at = fromBase.find("$t"); at != std::string_view::npos;
         at = fromBase.find("$t", at + 2)) {
        ++placeholders;
    }
    // Repeated, each "$t" of two characters becomes the source in two parentheses.
    const size_t room = kMaxRepeatedFormula - std::min(fromBase.size(), kMaxRepeatedFormula);
    const bool repeat = placeholders <= 1 || source.size() <= room / placeholders;
    std::string enclosed;
    enclosed.reserve(source.size() + 2);
    enclosed += '(';
    enclosed += source;
    enclosed += ')';
    if (repeat) {
        return ReplacePlaceholder(fromBase, "$t", enclosed);
    }
    std::string text;
    text.reserve(fromBase.size() + enclosed.size() + 9);
    text += fromBase;
    text += "  ($t = ";
    text += enclosed;
    text += ')';
    return text;
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number as general notation writes it: an optional "-", digits and points, then optionally
// "E", an optional "-" and digits. The evaluator finds no operator in such a text but its leading
// sign, and its last character, a digit or a point, lets an operator after it stay one.
bool IsGeneralNumber(std::string_view text) {
    const size_t n = text.size();
    size_t i = n > 0 && text[0] == '-' ? 1 : 0;
    const size_t mantissa = i;
    while (i < n && (IsDigit(text[i]) || text[i] == '.')) {
        ++i;
    }
    if (i == mantissa) {
        return false;
    }
    if (i == n) {
        return true;
    }
    if (text[i] != 'E') {
        return false;
    }
    ++i;
    if (i < n && text[i] == '-') {
        ++i;
    }
    const size_t exponent = i;
    while (i < n && IsDigit(text[i])) {
        ++i;
    }
    return i > exponent && i == n;
}

// Runs a step whose texts may not find room, failing then as the evaluator does.
template <class F> decltype(auto) WithMemoryFailures(F&& step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    } catch (const std::length_error&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    }
}

} // namespace

TUnitFormula::TUnitFormula(std::string_view text, std::string_view placeholder,
                           const TPrefixes& prefixes)
    : text_(text), placeholder_(placeholder), prefixes_(prefixes) {
    const size_t p = placeholder.size();
    TShape shape = TShape::Text;
    std::string_view constant;
    if (text == placeholder) {
        shape = TShape::Alone;
    } else if (text.size() <= p + 1) {
        return;
    } else if (text.substr(0, p) == placeholder && IsOperatorChar(text[p])) {
        shape = TShape::PlaceholderFirst;
        op_ = text[p];
        constant = text.substr(p + 1);
    } else if (text.substr(text.size() - p) == placeholder &&
               IsOperatorChar(text[text.size() - p - 1])) {
        shape = TShape::PlaceholderLast;
        op_ = text[text.size() - p - 1];
        constant = text.substr(0, text.size() - p - 1);
        // An "E" before a sign makes the sign the exponent's.
        if (constant.back() == 'E' || constant.back() == 'e') {
            return;
        }
    } else {
        return;
    }
    if (shape != TShape::Alone &&
        (!IsSingleOperand(constant) || constant.find(placeholder) != std::string_view::npos)) {
        return;
    }
    try {
        if (shape != TShape::Alone) {
            constant_ = prefixes.StrToValue(constant);
        }
        zero_ = prefixes.StrToValue("0");
    } catch (const std::exception&) {
        return; // evaluated as text, so that it fails as the text does
    }
    shape_ = shape;
}

std::string TUnitFormula::Substitute(std::string_view number) const {
    return ReplacePlaceholder(text_, placeholder_, number);
}

// The evaluator splits "N op C" and "C op N" at op and reads N and C as operands, except that a
// leading "-" of a number at the start of the text is zero less the rest ("-2^2" is (0-2)^2).
long double TUnitFormula::Evaluate(std::string_view number) const {
    if (shape_ == TShape::Text || !IsGeneralNumber(number)) {
        return Calculate(Substitute(number), prefixes_);
    }
    return WithEvaluatorFailures([&] {
        const auto leading = [&] {
            if (number[0] != '-') {
                return prefixes_.StrToValue(number);
            }
            return Combine('-', zero_, prefixes_.StrToValue(number.substr(1)));
        };
        switch (shape_) {
        case TShape::Alone:
            return leading();
        case TShape::PlaceholderFirst:
            return Combine(op_, leading(), constant_);
        default:
            return Combine(op_, constant_, prefixes_.StrToValue(number));
        }
    });
}

// As Evaluate, with the operands that the number's text would give read from its digits.
long double TUnitFormula::EvaluateWith(long double value) const {
    long double magnitude = 0.0L;
    if (shape_ == TShape::Text || !ReadBackGeneral(value, magnitude)) {
        return Evaluate(FormatGeneral(value));
    }
    // General notation writes a "-" exactly for the values below zero.
    const bool negative = value < 0.0L;
    return WithEvaluatorFailures([&] {
        const long double leading = negative ? Combine('-', zero_, magnitude) : magnitude;
        switch (shape_) {
        case TShape::Alone:
            return leading;
        case TShape::PlaceholderFirst:
            return Combine(op_, leading, constant_);
        default:
            return Combine(op_, constant_, negative ? -magnitude : magnitude);
        }
    });
}

struct TUnitConverter::TValues {
    bool shown = false; // the display mode shows a value
    long double value = 0.0L;
    std::string formula; // the formula line's formula, with ShowExp = 1
};

TUnitConverter::TUnitConverter(const TUnitConvRequest& request, const TPrefixes& prefixes)
    : request_(request), prefixes_(prefixes), toBase_(request.Source.ToBase, "$i", prefixes),
      fromBase_(request.Target.FromBase, "$t", prefixes),
      sourcePart_(" [" + request.Source.Name + "] => "),
      targetPart_(" [" + request.Target.Name + "]") {}

TUnitConverter::TValues TUnitConverter::Evaluate(std::string_view inputText) const {
    // Mapping changes only characters beyond ASCII, so a plain input is used as it is.
    std::string mapped;
    std::string_view input = inputText;
    if (std::any_of(input.begin(), input.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        mapped = MapText(input);
        input = mapped;
    }
    TValues values;
    values.shown = request_.ShowAns >= 0 && request_.ShowAns <= 2;
    if (request_.SameUnit) {
        if (values.shown) {
            values.value = Calculate(input, prefixes_);
        }
        return values;
    }
    // Each value goes into the next formula as its general notation.
    const long double number = Calculate(input, prefixes_);
    const long double base = toBase_.EvaluateWith(number);
    if (request_.ShowExp == 1) {
        values.formula =
            FormulaText(request_.Target.FromBase, toBase_.Substitute(FormatGeneral(number)));
    }
    // An unknown display mode writes nothing, so the last evaluation is not needed.
    if (values.shown) {
        values.value = fromBase_.EvaluateWith(base);
    }
    return values;
}

namespace {

// The output box's text.
void AppendOutput(const TUnitConvRequest& request, bool shown, long double value,
                  std::string& out) {
    if (!shown) {
        out += request.PreviousOutput;
        return;
    }
    switch (request.ShowAns) {
    case 0: {
        char text[kMaxGeneralLength];
        out.append(text, WriteGeneral(value, text));
        break;
    }
    case 1:
        out += FormatExponent(value);
        break;
    default:
        out += GroupDigits(FormatGeneral(value));
        break;
    }
}

void AppendFormulaLine(const TUnitConvRequest& request, const std::string& formula,
                       std::string& out) {
    if (request.SameUnit) {
        out += "\t同じ単位のため変換を行っていません。";
    } else {
        out += "\tResult = ";
        out += formula;
    }
}

} // namespace

TUnitConvResult TUnitConverter::Convert(std::string_view inputText) const {
    // The texts a conversion builds grow with its formulas; without room for them the
    // conversion fails as the evaluator does.
    return WithMemoryFailures([&] {
        const TValues values = Evaluate(inputText);
        TUnitConvResult result;
        AppendOutput(request_, values.shown, values.value, result.Output);
        std::string& line = result.ReportLine;
        line.reserve(inputText.size() + sourcePart_.size() + result.Output.size() +
                     targetPart_.size());
        line += inputText;
        line += sourcePart_;
        line += result.Output;
        line += targetPart_;
        if (request_.ShowExp == 1) {
            result.FormulaLine.reserve(values.formula.size() + 10);
            AppendFormulaLine(request_, values.formula, result.FormulaLine);
        }
        return result;
    });
}

void TUnitConverter::AppendReport(std::string_view inputText, std::string& out,
                                  std::string_view lineEnd) const {
    WithMemoryFailures([&] {
        const TValues values = Evaluate(inputText);
        const size_t before = out.size();
        try {
            out += inputText;
            out += sourcePart_;
            AppendOutput(request_, values.shown, values.value, out);
            out += targetPart_;
            out += lineEnd;
            if (request_.ShowExp == 1) {
                AppendFormulaLine(request_, values.formula, out);
                out += lineEnd;
            }
        } catch (...) {
            out.resize(before);
            throw;
        }
    });
}

TUnitConvResult ConvertUnit(const TUnitConvRequest& request, const TPrefixes& prefixes) {
    return TUnitConverter(request, prefixes).Convert(request.InputText);
}

} // namespace tv
