// The unit search: building the folded index of a catalogue (at the shipped size and at
// 100 000 units), and filtering 100 000 units with the texts a user types.

#include "BenchSupport.h"

#include "calc/TvUnitSearch.h"
#include "units/TvUnitsFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

const tv::TUnits& Loaded(const std::string& path) {
    static tv::TUnits shipped;
    static tv::TUnits named;
    tv::TUnits& units = path == tvbench::ShippedUnitsFile() ? shipped : named;
    if (units.GroupCount() == 0 && !units.LoadFromFile(path)) {
        std::abort();
    }
    return units;
}

void LoadShippedUnits(benchmark::State& state) {
    const std::string path = tvbench::ShippedUnitsFile();
    for (auto _ : state) {
        tv::TUnits units;
        if (!units.LoadFromFile(path)) {
            state.SkipWithError("the shipped units file does not load");
            break;
        }
        benchmark::DoNotOptimize(units.GroupCount());
    }
}
BENCHMARK(LoadShippedUnits)->Unit(benchmark::kMicrosecond);

void BuildSearchIndex(benchmark::State& state, const std::string& path) {
    const tv::TUnits& units = Loaded(path);
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
    static const tv::TUnitSearch search(Loaded(tvbench::LargeNamedUnitsFile()));
    size_t hits = 0;
    for (auto _ : state) {
        const std::vector<tv::TUnitHit> found = search.Find(filter);
        hits = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK_CAPTURE(FindUnits, one_character, std::string("m"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, common, std::string("メートル"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, common_hiragana, std::string("めーとる"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, rare, std::string("12345"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, none, std::string("zzz"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FindUnits, empty, std::string())->Unit(benchmark::kMicrosecond);

} // namespace
