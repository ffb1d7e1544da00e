// The one-line query: read, resolved and converted on the shipped data, and the suggestions for
// a misspelt name on the shipped data and on 100 000 units.

#include "BenchSupport.h"

#include "calc/TvQuery.h"
#include "calc/TvUnitSearch.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

const tv::TUnitSearch& ShippedNames() {
    static const tv::TUnitSearch names(tvbench::LoadedUnits(tvbench::ShippedUnitsFile()));
    return names;
}

void Query(benchmark::State& state, const std::string& text) {
    const tv::TQueryData data{tvbench::LoadedUnits(tvbench::ShippedUnitsFile()), ShippedNames(),
                              tvbench::ShippedPrefixes()};
    for (auto _ : state) {
        const tv::TQueryParse parse = tv::ParseQuery(text, data);
        if (parse.Kind != tv::TQueryKind::Query) {
            state.SkipWithError("not a query");
            return;
        }
        const std::vector<tv::TQueryLine> lines = tv::ConvertQuery(parse.Query, data, 0, 0);
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK_CAPTURE(Query, sum, std::string("3 mi + 200 yd to m"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Query, one_value, std::string("5 ft to m"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Query, kanji_mixed, std::string("1.6 m を 尺;寸"))->Unit(benchmark::kMicrosecond);

// A text that is no query: what a search provider pays for every ordinary word.
void NotAQuery(benchmark::State& state) {
    const tv::TQueryData data{tvbench::LoadedUnits(tvbench::ShippedUnitsFile()), ShippedNames(),
                              tvbench::ShippedPrefixes()};
    for (auto _ : state) {
        benchmark::DoNotOptimize(tv::ParseQuery("kilometre", data).Kind);
    }
}
BENCHMARK(NotAQuery)->Unit(benchmark::kMicrosecond);

void Suggest(benchmark::State& state, const tv::TUnitSearch& names, const std::string& text) {
    if (names.Suggest(text).empty()) {
        state.SkipWithError("no suggestion");
        return;
    }
    for (auto _ : state) {
        const std::vector<tv::TUnitHit> hits = names.Suggest(text);
        benchmark::DoNotOptimize(hits.data());
    }
}

void SuggestShipped(benchmark::State& state, const std::string& text) {
    Suggest(state, ShippedNames(), text);
}
BENCHMARK_CAPTURE(SuggestShipped, feat, std::string("feat"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(SuggestShipped, kiromeetoru, std::string("キロメートレ"))
    ->Unit(benchmark::kMicrosecond);

void Suggest100000(benchmark::State& state, const std::string& text) {
    static const tv::TUnitSearch names(tvbench::LoadedUnits(tvbench::LargeNamedUnitsFile()));
    Suggest(state, names, text);
}
BENCHMARK_CAPTURE(Suggest100000, meetaa, std::string("メーター12345"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Suggest100000, meetoru, std::string("メートル1234x"))
    ->Unit(benchmark::kMillisecond);

} // namespace
