#include "desktop/TvQueryAnswerer.h"

#include "calc/TvQuery.h"

#include <exception>
#include <string>

namespace tv::desktop {

namespace {

// The answer of text, read as parse, with its target; nothing when it is no such query or does not
// convert.
std::optional<TAnswer> AnswerWithTarget(const std::string& text, const TQueryParse& parse,
                                        const TQueryData& data, int showAns, int32_t group = -1,
                                        int32_t target = -1) {
    if (!parse.IsWholeQuery()) {
        return std::nullopt;
    }
    const TQuery& query = parse.Query;
    // A unit named by its full name after the query of one without a target must be that unit.
    if (target >= 0 && (query.Group != group || query.Targets.size() != 1 ||
                        query.Targets.front().Unit.Position != target)) {
        return std::nullopt;
    }
    try {
        const std::vector<TQueryLine> lines = ConvertQuery(query, data, showAns, 0);
        if (lines.empty()) {
            return std::nullopt;
        }
        const TQueryLine& line = lines.front();
        // A mixed target's output names its units already.
        std::string name = line.Output;
        if (query.Targets.size() == 1) {
            name += " " + query.Targets.front().Entry.Name;
        }
        return TAnswer{text, std::move(name), line.ReportLine, line.Output};
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // A value that reads but does not compute (1/0 ft to m) has no answer.
        return std::nullopt;
    }
}

} // namespace

std::vector<TAnswer> TQueryAnswerer::Answer(std::string_view text, const TAnswerSource& source,
                                            std::size_t limit) const {
    const TQueryData data{source.Units, source.Names, source.Prefixes};
    const std::string query(text);
    try {
        const TQueryParse parse = ParseQuery(query, data, false);
        if (parse.Kind != TQueryKind::Query || limit == 0) {
            return {};
        }
        if (!parse.Query.Targets.empty()) {
            std::optional<TAnswer> answer = AnswerWithTarget(query, parse, data, source.ShowAns);
            return answer ? std::vector<TAnswer>{std::move(*answer)} : std::vector<TAnswer>{};
        }
        // Without a target: the group's units in their order, each as the query with that target,
        // so that its id brings it back; the unit the value is written in is no answer.
        const TQuery& found = parse.Query;
        const int32_t self = found.Terms.size() == 1 ? found.Terms.front().Unit.Position : -1;
        const std::vector<TUnitEntry> units = source.Units.GroupUnits(found.Group);
        std::vector<TAnswer> answers;
        for (int32_t i = 0; i < static_cast<int32_t>(units.size()) && answers.size() < limit; ++i) {
            if (i == self) {
                continue;
            }
            const std::string id = query + " to " + units[static_cast<std::size_t>(i)].Name;
            if (std::optional<TAnswer> answer = AnswerWithTarget(
                    id, ParseQuery(id, data, false), data, source.ShowAns, found.Group, i)) {
                answers.push_back(std::move(*answer));
            }
        }
        return answers;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace tv::desktop
