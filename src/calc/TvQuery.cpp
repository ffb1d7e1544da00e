// Converting a query: one value with one unit goes through ConvertUnit, as the unit page does;
// a sum is added in the group's base; a mixed target is taken apart unit by unit. Values pass
// between the steps as general-notation text, as in the unit page's conversion.

#include "calc/TvQuery.h"

#include "calc/TvCalculate.h"

#include <cmath>
#include <new>
#include <stdexcept>

namespace tv {

namespace {

std::string Enclosed(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '(';
    out += text;
    out += ')';
    return out;
}

std::string Named(std::string_view value, std::string_view name) {
    std::string out(value);
    out += " [";
    out += name;
    out += ']';
    return out;
}

// The source as a value in the group's base, with its formula text and its report text.
struct TSource {
    long double Base = 0.0L;
    std::string Formula; // of the base value, before the target's formula is applied
    std::string Report;  // "3 [マイル [mi]] + 200 [ヤード [yd]]"
};

TSource SourceOf(const TQuery& query, const TPrefixes& prefixes) {
    TSource source;
    for (size_t k = 0; k < query.Terms.size(); ++k) {
        const TQueryTerm& term = query.Terms[k];
        const std::string number = FormatGeneral(Calculate(MapText(term.Value), prefixes));
        const std::string formula = ReplacePlaceholder(term.Entry.ToBase, "$i", number);
        const long double base = Calculate(formula, prefixes);
        if (k == 0) {
            source.Base = base;
            source.Formula = query.Terms.size() == 1 ? formula : Enclosed(formula);
            source.Report = Named(term.Value, term.Entry.Name);
            continue;
        }
        const char* sign = term.Negative ? "-" : "+";
        source.Base = term.Negative ? source.Base - base : source.Base + base;
        if (std::isinf(source.Base)) {
            throw EOverflow(kMsgOverflow);
        }
        source.Formula =
            (k == 1 ? source.Formula : Enclosed(source.Formula)) + sign + Enclosed(formula);
        source.Report += term.Juxtaposed ? " " : std::string(" ") + sign + " ";
        source.Report += Named(term.Value, term.Entry.Name);
    }
    return source;
}

// The conversion of the source's base value into one unit.
TQueryLine ToUnit(const TSource& source, const TUnitEntry& target, const TPrefixes& prefixes,
                  int showAns, int showExp) {
    const std::string formula =
        ReplacePlaceholder(target.FromBase, "$t", FormatGeneral(source.Base));
    TQueryLine line;
    line.Output = FormatShown(Calculate(formula, prefixes), showAns);
    line.ReportLine = source.Report + " => " + Named(line.Output, target.Name);
    if (showExp == 1) {
        line.FormulaLine = "\tResult = " + FormulaText(target.FromBase, source.Formula);
    }
    return line;
}

// Every unit of a mixed target but the last takes a whole number, truncated toward zero; the
// rest goes on, through that unit's ToBase, to the next unit; the last takes what remains.
TQueryLine ToMixed(const TSource& source, const std::vector<TQueryTarget>& targets,
                   const TPrefixes& prefixes, int showAns, int showExp) {
    TQueryLine line;
    std::string baseText = FormatGeneral(source.Base);
    std::string baseFormula = source.Formula;
    std::string formulas;
    for (size_t k = 0; k < targets.size(); ++k) {
        const TUnitEntry& unit = targets[k].Entry;
        if (showExp == 1) {
            formulas += (k == 0 ? "" : "; ") + FormulaText(unit.FromBase, baseFormula);
        }
        const long double value =
            Calculate(ReplacePlaceholder(unit.FromBase, "$t", baseText), prefixes);
        line.Output += k == 0 ? "" : " ";
        if (k + 1 == targets.size()) {
            line.Output += Named(FormatShown(value, showAns), unit.Name);
            break;
        }
        // Read back from its text, so that the rest is what the written value leaves.
        const long double written = Calculate(FormatGeneral(value), prefixes);
        long double whole = std::trunc(written);
        if (whole == 0.0L) {
            whole = 0.0L; // no "-0"
        }
        const std::string wholeText = FormatGeneral(whole);
        line.Output += Named(showAns == 2 ? GroupDigits(wholeText) : wholeText, unit.Name);
        baseFormula = ReplacePlaceholder(unit.ToBase, "$i", FormatGeneral(written - whole));
        baseText = FormatGeneral(Calculate(baseFormula, prefixes));
    }
    line.ReportLine = source.Report + " => " + line.Output;
    if (showExp == 1) {
        line.FormulaLine = "\tResult = " + formulas;
    }
    return line;
}

TQueryLine FromConvertUnit(const TUnitConvResult& result) {
    return {result.Output, result.ReportLine, result.FormulaLine};
}

std::vector<TQueryLine> Convert(const TQuery& query, const TQueryData& data, int showAns,
                                int showExp) {
    std::vector<TQueryLine> lines;
    if (query.Terms.size() == 1 && query.Targets.size() <= 1) {
        const TQueryTerm& term = query.Terms.front();
        TUnitConvRequest request;
        request.InputText = term.Value;
        request.Source = term.Entry;
        request.ShowAns = showAns;
        request.ShowExp = showExp;
        if (!query.Targets.empty()) {
            request.Target = query.Targets.front().Entry;
            request.SameUnit = query.Targets.front().Unit.Position == term.Unit.Position;
            lines.push_back(FromConvertUnit(ConvertUnit(request, data.Prefixes)));
            return lines;
        }
        const std::vector<TUnitEntry> units = data.Units.GroupUnits(query.Group);
        lines.reserve(units.size());
        for (size_t p = 0; p < units.size(); ++p) {
            request.Target = units[p];
            request.SameUnit = static_cast<int32_t>(p) == term.Unit.Position;
            lines.push_back(FromConvertUnit(ConvertUnit(request, data.Prefixes)));
        }
        return lines;
    }
    const TSource source = SourceOf(query, data.Prefixes);
    if (query.Targets.size() > 1) {
        lines.push_back(ToMixed(source, query.Targets, data.Prefixes, showAns, showExp));
    } else if (query.Targets.size() == 1) {
        lines.push_back(
            ToUnit(source, query.Targets.front().Entry, data.Prefixes, showAns, showExp));
    } else {
        const std::vector<TUnitEntry> units = data.Units.GroupUnits(query.Group);
        lines.reserve(units.size());
        for (const TUnitEntry& unit : units) {
            lines.push_back(ToUnit(source, unit, data.Prefixes, showAns, showExp));
        }
    }
    return lines;
}

} // namespace

std::vector<TQueryLine> ConvertQuery(const TQuery& query, const TQueryData& data, int showAns,
                                     int showExp) {
    if (query.Terms.empty() || query.Group < 0) {
        throw std::invalid_argument("a query without a source");
    }
    // As in ConvertUnit: the texts grow with the formulas, and without room for them the
    // conversion fails as the evaluator does.
    try {
        return Convert(query, data, showAns, showExp);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    } catch (const std::length_error&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    }
}

TQueryPage QueryPage(const TQuery& query, const TQueryData& data) {
    if (query.Terms.empty() || query.Targets.empty() || query.Group < 0) {
        throw std::invalid_argument("a query without a source or a target");
    }
    TQueryPage page;
    page.Group = query.Group;
    page.Target = query.Targets.front().Unit.Position;
    const TQueryTerm& last = query.Terms.back();
    page.Source = last.Unit.Position;
    if (query.Terms.size() == 1) {
        page.InputText = last.Value;
        return page;
    }
    const TSource source = SourceOf(query, data.Prefixes);
    page.InputText = FormatGeneral(Calculate(
        ReplacePlaceholder(last.Entry.FromBase, "$t", FormatGeneral(source.Base)), data.Prefixes));
    return page;
}

} // namespace tv
