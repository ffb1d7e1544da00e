#include "calc/TvCalculate.h"

#include <algorithm>
#include <string>

namespace tv {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
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

} // namespace

TUnitConvResult ConvertUnit(const TUnitConvRequest& request, const TPrefixes& prefixes) {
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
        const std::string source = ReplaceAll(request.Source.ToBase, "$i", number);
        const std::string base = FormatGeneral(Calculate(source, prefixes));
        if (request.ShowExp == 1) {
            std::string enclosed;
            enclosed.reserve(source.size() + 2);
            enclosed += '(';
            enclosed += source;
            enclosed += ')';
            formula = ReplaceAll(request.Target.FromBase, "$t", enclosed);
        }
        replaced = ReplaceAll(request.Target.FromBase, "$t", base);
        valueText = replaced;
    }

    TUnitConvResult result;
    if (shown) {
        const long double value = Calculate(valueText, prefixes);
        switch (request.ShowAns) {
        case 0:
            result.Output = FormatGeneral(value);
            break;
        case 1:
            result.Output = FormatExponent(value);
            break;
        default:
            result.Output = GroupDigits(FormatGeneral(value));
            break;
        }
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

} // namespace tv
