// The history store with the 10 000 entries kept by default: what recording one conversion
// costs (the entry written and committed, the oldest dropped), opening the file (its integrity
// check included), and the folded filter of the history window.

#include "BenchSupport.h"

#include "history/TvHistory.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

// One conversion recorded into a history at its cap, as the window records it: every entry
// drops the oldest.
void HistoryRecord(benchmark::State& state) {
    const std::string file = tvbench::TemporaryFolder() + "history.sqlite";
    std::filesystem::copy_file(tvbench::LargeHistoryFile(), file);
    tv::THistory history(file);
    int n = tvbench::kHistoryEntries;
    for (auto _ : state) {
        history.Record(tvbench::HistoryEntry(n++), tvbench::kHistoryEntries);
    }
    state.SetLabel("entries=" + std::to_string(history.Entries().size()));
}
BENCHMARK(HistoryRecord)->Unit(benchmark::kMicrosecond);

// Opening the history of 10 000 entries, as the window does at the first key or click.
void HistoryOpen(benchmark::State& state) {
    const std::string& file = tvbench::LargeHistoryFile();
    for (auto _ : state) {
        tv::THistory history(file);
        benchmark::DoNotOptimize(history.BrokenCopy());
    }
}
BENCHMARK(HistoryOpen)->Unit(benchmark::kMillisecond);

// Reading every entry, newest first.
void HistoryEntries(benchmark::State& state) {
    const tv::THistory history(tvbench::LargeHistoryFile());
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.Entries());
    }
}
BENCHMARK(HistoryEntries)->Unit(benchmark::kMillisecond);

void HistoryIndexBuild(benchmark::State& state) {
    const std::vector<tv::THistoryEntry> entries =
        tv::THistory(tvbench::LargeHistoryFile()).Entries();
    for (auto _ : state) {
        tv::THistoryIndex index(entries);
        benchmark::DoNotOptimize(index);
    }
}
BENCHMARK(HistoryIndexBuild)->Unit(benchmark::kMillisecond);

void HistoryFilter(benchmark::State& state, const std::string& filter) {
    const std::vector<tv::THistoryEntry> entries =
        tv::THistory(tvbench::LargeHistoryFile()).Entries();
    const tv::THistoryIndex index(entries);
    size_t found = 0;
    for (auto _ : state) {
        found = index.Find(filter).size();
        benchmark::DoNotOptimize(found);
    }
    state.SetLabel("hits=" + std::to_string(found));
}
BENCHMARK_CAPTURE(HistoryFilter, common, std::string("まいる"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(HistoryFilter, rare, std::string("1000000000000791"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(HistoryFilter, none, std::string("zzz"))->Unit(benchmark::kMicrosecond);

} // namespace
