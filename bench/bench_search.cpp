// The unit search: building the folded index of a catalogue (at the shipped size and at
// 100 000 units), and filtering 100 000 units with the texts a user types.

#include "BenchSupport.h"

#include "calc/TvUnitSearch.h"
#include "units/TvUnitsFile.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void LoadShippedUnits(benchmark::State& state) {
    tvbench::LoadUnitsEachIteration(state, tvbench::ShippedUnitsFile());
}
BENCHMARK(LoadShippedUnits)->Unit(benchmark::kMicrosecond);

void BuildSearchIndex(benchmark::State& state, const std::string& path) {
    const tv::TUnits& units = tvbench::LoadedUnits(path);
    for (auto _ : state) {
        const tv::TUnitSearch search(units);
        benchmark::DoNotOptimize(search.UnitTotal());
    }
}
BENCHMARK_CAPTURE(BuildSearchIndex, shipped, tvbench::ShippedUnitsFile())
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BuildSearchIndex, units_100000, tvbench::LargeNamedUnitsFile())
    ->Unit(benchmark::kMillisecond);

void FindUnits(benchmark::State& state, const std::string& filter) {
    static const tv::TUnitSearch search(tvbench::LoadedUnits(tvbench::LargeNamedUnitsFile()));
    size_t hits = 0;
    for (auto _ : state) {
        const std::vector<tv::TUnitHit> found = search.Find(filter);
        hits = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    // A label rather than a counter: the CSV output wants every run to have the same counters.
    state.SetLabel("hits=" + std::to_string(hits));
}
BENCHMARK_CAPTURE(FindUnits, one_character, std::string("m"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, common, std::string("メートル"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, common_hiragana, std::string("めーとる"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, rare, std::string("12345"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, none, std::string("zzz"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, empty, std::string())->Unit(benchmark::kMicrosecond);

} // namespace
