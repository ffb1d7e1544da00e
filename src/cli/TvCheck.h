#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tv {

// One problem found in a data file.
struct TCheckIssue {
    std::string File; // "units.dat" or "prefix.dat"
    int Line = 0;     // 1-based; 0 when the problem concerns the whole file
    bool Error = false;
    std::string Reason;
};

struct TCheckResult {
    std::vector<TCheckIssue> Issues; // units.dat first, each file in line order
    int Groups = 0;                  // groups that loaded
    int Units = 0;                   // units of those groups
    int Prefixes = 0;                // prefix lines that loaded
};

// Reads units.dat and prefix.dat from dataDir (ending in "/") and returns every problem found:
// load failures, formulas that fail, units whose formulas are not inverse of each other,
// duplicate names and prefixes that can never match.
TCheckResult CheckData(const std::string& dataDir);

// Writes one line per issue ("units.dat:12: error: reason") and a summary line; returns the exit
// status: 1 when there is an error, 0 otherwise.
int ReportCheck(const TCheckResult& result, std::ostream& out);

} // namespace tv
