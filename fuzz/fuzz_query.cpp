// The one-line query on arbitrary text, against a small catalogue whose names share symbols
// across groups, hold blanks, kana and compatibility forms, and whose units have offsets and
// reciprocals. Input: the query text.

#include "FuzzSupport.h"

#include "calc/TvQuery.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <memory>
#include <string>

namespace {

constexpr std::string_view kUnits =
    ">>\n長さ\n"
    "\"メートル [m]\",$i,$t,,\"meter metre\"\n"
    "\"キロメートル [km]\",$i*1000,$t/1000,\n"
    "\"ミリメートル [mm]\",$i/1000,$t*1000,\n"
    "\"メガメートル [Mm]\",$i*1000000,$t/1000000,\n"
    "寸,$i/33,$t*33,,すん\n"
    "尺,$i*10/33,$t*33/10,,しゃく\n"
    "\"インチ [in]\",$i*0.0254,$t/0.0254,,inch\n"
    "\"フィート [ft]\",$i*0.3048,$t/0.3048,\"12 in\",\"foot feet\"\n"
    "\"マイル [mi]\",$i*1609.344,$t/1609.344,,mile\n"
    "\"2週間 [to]\",$i*2,$t/2,,に\n"
    "<<\n"
    ">>\n面積\n"
    "\"平方メートル [m2]\",$i,$t,,sqm\n"
    "坪,$i*400/121,$t*121/400,,\"つぼ tsubo\"\n"
    "<<\n"
    ">>\n時間\n"
    "\"秒 [s]\",$i,$t,\n"
    "\"分 [min]\",$i*60,$t/60,\n"
    "\"時間 [h]\",$i*3600,$t/3600,\n"
    "<<\n"
    ">>\n角度\n"
    "\"時角 [h]\",$i*15,$t/15,\n"
    "<<\n"
    ">>\n温度\n"
    "\"ケルビン [K]\",$i,$t,\n"
    "\"セルシウス度 [℃]\",$i+273.15,$t-273.15,,degC\n"
    "\"ファーレンハイト度 [°F]\",($i+459.67)*5/9,$t*9/5-459.67,\n"
    "<<\n"
    ">>\n体積\n"
    "\"立方メートル [m3]\",$i,$t,\n"
    "\"米液量オンス [fl oz(US)]\",$i*0.0000295735295625,$t/0.0000295735295625,\n"
    "<<\n"
    ">>\n燃費\n"
    "\"キロメートル毎リットル [km/L]\",$i,$t,\n"
    "\"リットル毎100キロメートル [L/100km]\",100/$i,100/$t,\n"
    "\"ゼロ [z]\",$i*0,$t/0,\n"
    "<<\n"
    ">>\n空\n"
    "<<\n";

struct TCatalogue {
    tv::TUnits Units;
    tv::TPrefixes Prefixes;
    std::unique_ptr<tv::TUnitSearch> Names;
};

const TCatalogue& Catalogue() {
    static const TCatalogue catalogue = [] {
        TCatalogue c;
        if (!c.Units.LoadFromText(kUnits) || !c.Prefixes.LoadFromText(tvfuzz::kPrefixTable)) {
            tvfuzz::Fail("the catalogue does not load");
        }
        c.Names = std::make_unique<tv::TUnitSearch>(c.Units);
        return c;
    }();
    return catalogue;
}

void CheckUnit(const tv::TUnitHit& hit, int32_t group, const tv::TUnits& units) {
    TVFUZZ_CHECK(hit.Group == group, "a unit outside the query's group");
    TVFUZZ_CHECK(hit.Position >= 0 && hit.Position < units.GetGroup(group).Count,
                 "a position outside the group");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = tvfuzz::AsText(data, size);
    const TCatalogue& c = Catalogue();
    const tv::TQueryData query{c.Units, *c.Names, c.Prefixes};

    const tv::TQueryParse parse = tv::ParseQuery(text, query);
    const tv::TQueryParse again = tv::ParseQuery(text, query);
    TVFUZZ_CHECK(parse.Kind == again.Kind && parse.Problem.Message == again.Problem.Message,
                 "two readings of one text differ");
    TVFUZZ_CHECK(parse.IsWholeQuery() ==
                     (parse.Kind == tv::TQueryKind::Query && !parse.Query.Targets.empty()),
                 "a whole query");

    if (parse.Kind == tv::TQueryKind::Failed) {
        const tv::TQueryProblem& problem = parse.Problem;
        TVFUZZ_CHECK(!problem.Text.empty(), problem.Message);
        TVFUZZ_CHECK(problem.Message.find(problem.Text) != std::string::npos, problem.Message);
        TVFUZZ_CHECK(problem.Units.size() <= 5 || problem.Fault == tv::TQueryFault::Ambiguous,
                     "more than five suggestions");
        TVFUZZ_CHECK(tv::ParseQuery(text, query, false).Problem.Message == problem.Message,
                     "the suggestions change the fault");
    }
    try {
        const tv::TQuery resolved = tv::ResolveQuery(text, query);
        TVFUZZ_CHECK(parse.Kind == tv::TQueryKind::Query, "resolved what the parse refused");
        TVFUZZ_CHECK(!resolved.Terms.empty(), "a query without a term");
        for (const tv::TQueryTerm& term : resolved.Terms) {
            CheckUnit(term.Unit, resolved.Group, c.Units);
        }
        for (const tv::TQueryTarget& target : resolved.Targets) {
            CheckUnit(target.Unit, resolved.Group, c.Units);
        }
        for (int showAns = 0; showAns <= 2; ++showAns) {
            try {
                const std::vector<tv::TQueryLine> lines =
                    tv::ConvertQuery(resolved, query, showAns, 1);
                const size_t expected =
                    resolved.Targets.empty()
                        ? static_cast<size_t>(c.Units.GetGroup(resolved.Group).Count)
                        : 1;
                TVFUZZ_CHECK(lines.size() == expected, "one line per target or unit");
                for (const tv::TQueryLine& line : lines) {
                    TVFUZZ_CHECK(line.ReportLine.find(" => " + line.Output) != std::string::npos,
                                 line.ReportLine);
                    TVFUZZ_CHECK(line.FormulaLine.rfind("\t", 0) == 0, line.FormulaLine);
                }
            } catch (const tv::ETvError&) {
            }
        }
        if (!resolved.Targets.empty()) {
            try {
                const tv::TQueryPage page = tv::QueryPage(resolved, query);
                TVFUZZ_CHECK(page.Group == resolved.Group, "the page's group");
                const int32_t count = c.Units.GetGroup(page.Group).Count;
                TVFUZZ_CHECK(page.Source >= 0 && page.Source < count && page.Target >= 0 &&
                                 page.Target < count,
                             "the page's units");
            } catch (const tv::ETvError&) {
            }
        }
    } catch (const tv::EQueryError& e) {
        TVFUZZ_CHECK(parse.Kind != tv::TQueryKind::Query, e.what());
    }
    return 0;
}
