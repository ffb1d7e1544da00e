// The unit catalogue on a generated file of 100 000 units, and the conversion of one value,
// alone and into every unit of a 10 000-unit group.

#include "BenchSupport.h"

#include "calc/TvCalculate.h"
#include "units/TvUnitsFile.h"

#include <benchmark/benchmark.h>

namespace {

void LoadUnitsFile(benchmark::State& state) {
    tvbench::LoadUnitsEachIteration(state, tvbench::LargeUnitsFile());
    state.SetItemsProcessed(state.iterations() * tvbench::kGroups * tvbench::kUnitsPerGroup);
}
BENCHMARK(LoadUnitsFile)->Unit(benchmark::kMillisecond);

const tv::TUnits& LoadedUnits() {
    return tvbench::LoadedUnits(tvbench::LargeUnitsFile());
}

void SelectGroup(benchmark::State& state) {
    tv::TUnits units = LoadedUnits();
    for (auto _ : state) {
        units.SelectGroup(tvbench::kGroups / 2);
        benchmark::DoNotOptimize(units.UnitCount());
    }
    state.SetItemsProcessed(state.iterations() * tvbench::kUnitsPerGroup);
}
BENCHMARK(SelectGroup)->Unit(benchmark::kMicrosecond);

tv::TUnitConvRequest Request(const tv::TUnits& units, int32_t source) {
    tv::TUnitConvRequest request;
    request.InputText = "12.5";
    request.Source = units.GetUnit(source);
    request.ShowExp = 1;
    return request;
}

// One conversion as the unit page does it: three evaluations, formatting, the report lines.
void ConvertOne(benchmark::State& state) {
    tv::TUnits units = LoadedUnits();
    units.SelectGroup(0);
    const tv::TPrefixes& prefixes = tvbench::ShippedPrefixes();
    tv::TUnitConvRequest request = Request(units, 1);
    request.Target = units.GetUnit(2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tv::ConvertUnit(request, prefixes));
    }
}
BENCHMARK(ConvertOne);

// The batch over a whole group: the value into every unit of it.
void ConvertBatch(benchmark::State& state) {
    tv::TUnits units = LoadedUnits();
    units.SelectGroup(0);
    const tv::TPrefixes& prefixes = tvbench::ShippedPrefixes();
    tv::TUnitConvRequest request = Request(units, 1);
    std::string report;
    for (auto _ : state) {
        report.clear();
        for (int32_t target = 0; target < units.UnitCount(); ++target) {
            request.Target = units.GetUnit(target);
            request.SameUnit = target == 1;
            const tv::TUnitConvResult result = tv::ConvertUnit(request, prefixes);
            report += result.ReportLine;
            report += "\r\n";
        }
        benchmark::DoNotOptimize(report.data());
    }
    state.SetItemsProcessed(state.iterations() * units.UnitCount());
}
BENCHMARK(ConvertBatch)->Unit(benchmark::kMillisecond);

} // namespace
