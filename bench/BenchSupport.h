#pragma once

// What the benchmark programs share: the shipped data, large generated units files, and the
// loading of units files.

#include "history/TvHistory.h"
#include "units/TvUnitsFile.h"

#include <benchmark/benchmark.h>

#include <string>

namespace tvbench {

// The prefix table of the shipped data; aborts when it does not load.
const tv::TPrefixes& ShippedPrefixes();

// Groups and units of the generated units file.
inline constexpr int kGroups = 10;
inline constexpr int kUnitsPerGroup = 10000;

// Path of a units file of kGroups groups of kUnitsPerGroup units each, written once per run
// into a temporary folder and removed at exit. Unit lines look like
// "unit12345,$i*1.2345,$t/1.2345,".
const std::string& LargeUnitsFile();

// Path of a units file of the same size whose names look like real ones, for the unit search:
// "<stem><n> [<symbol><n>]" with ten stems such as メートル [m] and マイル [mi] in turn and n the
// unit's number, so a stem matches a tenth of the units and a number one or two.
const std::string& LargeNamedUnitsFile();

// Path of the shipped units.dat.
std::string ShippedUnitsFile();

// The catalogue of the units file at path, read on first use and kept for the run; aborts when
// it does not load.
const tv::TUnits& LoadedUnits(const std::string& path);

// The body of a benchmark that reads the units file at path into a new catalogue each iteration.
void LoadUnitsEachIteration(benchmark::State& state, const std::string& path);

// The number of entries of the generated history: the default number kept.
inline constexpr int kHistoryEntries = 10000;

// Entry n of the generated history: conversions between units with real-looking names
// ("マイル [mi]" to "キロメートル [km]" and the like, in turn), values and 18-digit results.
tv::THistoryEntry HistoryEntry(int n);

// Path of a history database of kHistoryEntries entries, written once per run into a temporary
// folder of its own, which is removed at exit.
const std::string& LargeHistoryFile();

// A new temporary folder, removed at exit; its path ends in "/".
std::string TemporaryFolder();

} // namespace tvbench
