#include "calc/TvCalculate.h"

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

TUnitConvResult Convert(const TUnitConvRequest& request, const TPrefixes& prefixes) {
    // Mapping changes only characters beyond ASCII, so a plain input is used as it is.
    std::string mapped;
    std::string_view input = request.InputText;
    if (std::any_of(input.begin(), input.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        mapped = MapText(input);
        input = mapped;
    }
    const bool shown = request.ShowAns >= 0 && request.ShowAns <= 2;
    std::string formula;
    std::string replaced;
    std::string_view valueText; // the text whose evaluation is shown, when a display mode shows one
    if (request.SameUnit) {
        valueText = input;
    } else {
        const std::string number = FormatGeneral(Calculate(input, prefixes));
        const std::string source = ReplacePlaceholder(request.Source.ToBase, "$i", number);
        const std::string base = FormatGeneral(Calculate(source, prefixes));
        if (request.ShowExp == 1) {
            formula = FormulaText(request.Target.FromBase, source);
        }
        replaced = ReplacePlaceholder(request.Target.FromBase, "$t", base);
        valueText = replaced;
    }

    TUnitConvResult result;
    if (shown) {
        result.Output = FormatShown(Calculate(valueText, prefixes), request.ShowAns);
    } else {
        // An unknown display mode writes nothing, so the last evaluation is not needed.
        result.Output = request.PreviousOutput;
    }
    std::string& line = result.ReportLine;
    line.reserve(request.InputText.size() + request.Source.Name.size() + result.Output.size() +
                 request.Target.Name.size() + 10);
    line += request.InputText;
    line += " [";
    line += request.Source.Name;
    line += "] => ";
    line += result.Output;
    line += " [";
    line += request.Target.Name;
    line += ']';
    if (request.ShowExp == 1) {
        if (request.SameUnit) {
            result.FormulaLine = "\t同じ単位のため変換を行っていません。";
        } else {
            result.FormulaLine.reserve(formula.size() + 10);
            result.FormulaLine += "\tResult = ";
            result.FormulaLine += formula;
        }
    }
    return result;
}

} // namespace

TUnitConvResult ConvertUnit(const TUnitConvRequest& request, const TPrefixes& prefixes) {
    // The texts a conversion builds grow with its formulas; without room for them the
    // conversion fails as the evaluator does.
    try {
        return Convert(request, prefixes);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    } catch (const std::length_error&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    }
}

} // namespace tv
