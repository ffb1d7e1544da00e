#pragma once

#include "calc/TvUnitSearch.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The one-line query: "5 ft to m", "3 mi + 200 yd to m", "5尺3寸をcmに", "100坪は何平米",
// "1.6 m を 尺;寸", "5尺". The grammar and its decisions are in docs/query.md.

namespace tv {

// What a query is read against: a catalogue, the names of that same catalogue, a prefix table.
struct TQueryData {
    const TUnits& Units;
    const TUnitSearch& Names;
    const TPrefixes& Prefixes;
};

// One value with its unit in the source: "3 mi", "+ 200 yd", "(1+2) 尺".
struct TQueryTerm {
    std::string Value;     // the expression before the unit as typed, without a sign between terms
    bool Negative = false; // the term follows a "-"
    bool Juxtaposed = false; // the term follows the one before without a sign ("5尺3寸")
    std::string UnitText;    // the unit as typed
    TUnitHit Unit;
    TUnitEntry Entry;
};

struct TQueryTarget {
    std::string UnitText;
    TUnitHit Unit;
    TUnitEntry Entry;
};

// A query resolved to units of one group.
struct TQuery {
    int32_t Group = -1;
    std::vector<TQueryTerm> Terms;     // at least one
    std::vector<TQueryTarget> Targets; // none: every unit of the group; several: a mixed result
};

enum class TQueryFault : uint8_t {
    Malformed,   // Text cannot be read where it stands
    UnknownUnit, // Text names no unit; Units holds the suggestions, best first
    TwoGroups,   // Text and Other name units that no group holds together
    Ambiguous,   // Text names several units even within the group; Units holds them
    NotAdditive, // Text is a unit with an offset or a reciprocal formula in a sum or mixed target
};

struct TQueryProblem {
    TQueryFault Fault = TQueryFault::Malformed;
    std::string Text;  // the offending text as typed
    std::string Other; // TwoGroups: the other unit
    std::string Message;
    std::vector<TUnitHit> Units;
};

enum class TQueryKind : uint8_t {
    NotAQuery, // an ordinary word or a bare number: the text does not begin with a value and a unit
    Query,     // Query holds it
    Failed,    // it begins like a query but is wrong: Problem says where
};

struct TQueryParse {
    TQueryKind Kind = TQueryKind::NotAQuery;
    TQuery Query;
    TQueryProblem Problem;

    // A query with a value, a source and a target.
    bool IsWholeQuery() const { return Kind == TQueryKind::Query && !Query.Targets.empty(); }
};

// Reads and resolves a query. Never throws except std::bad_alloc: a text that is no query, and
// every fault of one, is told in the result; suggest false leaves out the suggestions for an
// unknown unit, which cost a pass over every name. A value's expression is evaluated once to find
// out whether it reads; a failure other than a conversion failure (a division by zero) is left to
// the conversion.
TQueryParse ParseQuery(std::string_view text, const TQueryData& data, bool suggest = true);

// A query that failed, or a text that is no query (Malformed, naming the whole text).
class EQueryError : public EConvertError {
public:
    explicit EQueryError(TQueryProblem problem);
    const TQueryProblem& Problem() const { return problem_; }

private:
    TQueryProblem problem_;
};

// What is wrong with text, as ParseQuery read it: its problem when it failed, a Malformed one
// naming the whole text when it is no query; nothing for a query.
std::optional<TQueryProblem> QueryProblemOf(const TQueryParse& parse, std::string_view text);

// ParseQuery for callers that want a query or a failure kind: throws QueryProblemOf's problem.
TQuery ResolveQuery(std::string_view text, const TQueryData& data);

// One line of a query's result, as ConvertUnit gives one: the output is the converted value in
// the display mode, or for a mixed target all its parts ("5 [尺] 2.8 [寸]"); the report line
// "<source> => <output> [<target>]" (a mixed target's names are in its output); the formula
// line "\tResult = ..." when showExp is 1. No line ends.
struct TQueryLine {
    std::string Output;
    std::string ReportLine;
    std::string FormulaLine;
};

// Converts a query: one line for a target or a mixed target, one line per unit of the group
// without a target. A single value with a single unit converts exactly as the unit page does.
// Throws the failure kinds of ConvertUnit.
std::vector<TQueryLine> ConvertQuery(const TQuery& query, const TQueryData& data, int showAns,
                                     int showExp);

// What the unit page shows for a query with a target: its group, the source and target
// positions and the value text. A sum is given as its value in the unit of its last term; a
// mixed target by its first unit. Throws the failure kinds of ConvertUnit, std::invalid_argument
// for a query without a target.
struct TQueryPage {
    int32_t Group = -1;
    int32_t Source = 0;
    int32_t Target = 0;
    std::string InputText;
};
TQueryPage QueryPage(const TQuery& query, const TQueryData& data);

} // namespace tv
