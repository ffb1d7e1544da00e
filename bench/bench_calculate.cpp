// The evaluator: short typed expressions, and long chains and nestings whose cost per character
// must stay flat from 1 KiB to 1 MiB.

#include "BenchSupport.h"

#include "calc/TvCalculate.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void Typed(benchmark::State& state, const char* text) {
    const tv::TPrefixes& prefixes = tvbench::ShippedPrefixes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tv::Calculate(text, prefixes));
    }
}
BENCHMARK_CAPTURE(Typed, simple, "3*12+4");
BENCHMARK_CAPTURE(Typed, prefixes_and_power, "1.5k*2^3-(4/3)");
BENCHMARK_CAPTURE(Typed, formula, "2.5E+3*1609.344/0.3048");

// "1+1+...+1" no longer than size.
std::string Chain(size_t size) {
    std::string text = "1";
    while (text.size() + 2 <= size) {
        text += "+1";
    }
    return text;
}

// "((((1))))" no longer than size.
std::string Nesting(size_t size) {
    const size_t depth = (size - 1) / 2;
    return std::string(depth, '(') + "1" + std::string(depth, ')');
}

// "(1+(1+(1+...)))" no longer than size.
std::string MixedNesting(size_t size) {
    const size_t depth = (size - 1) / 4;
    std::string text;
    text.reserve(size);
    for (size_t i = 0; i < depth; ++i) {
        text += "(1+";
    }
    text += '1';
    text.append(depth, ')');
    return text;
}

void Long(benchmark::State& state, std::string (*make)(size_t)) {
    const std::string text = make(static_cast<size_t>(state.range(0)));
    const tv::TPrefixes& prefixes = tvbench::ShippedPrefixes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tv::Calculate(text, prefixes));
    }
    // One byte per character: scripts/bench.sh turns the time into a cost per character.
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(Long, chain, Chain)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);
BENCHMARK_CAPTURE(Long, nesting, Nesting)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);
BENCHMARK_CAPTURE(Long, mixed_nesting, MixedNesting)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20);

} // namespace
