#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tv {

// One problem found in a data file.
struct TCheckIssue {
    std::string File; // "units.dat" or "prefix.dat" for the shipped files, else the user's path
    int Line = 0;     // 1-based; 0 when the problem concerns the whole file
    bool Error = false;
    std::string Reason;
};

// What one file brought: groups and units of a units file, or the prefixes of a prefix file.
struct TCheckedFile {
    std::string File; // named as in TCheckIssue
    bool Prefixes = false;
    int Groups = 0;
    int Units = 0;
    int Entries = 0; // prefixes
};

struct TCheckResult {
    // The shipped units.dat and prefix.dat, then the user's units.dat and prefix.dat where they
    // exist; counts of a file that failed are those read before the failing line.
    std::vector<TCheckedFile> Files;
    std::vector<TCheckIssue> Issues; // in the order of Files, each file in line order
};

// Reads units.dat and prefix.dat from dataDir (ending in "/"), and the user's from userDir
// unless it is empty, as the program combines them, and returns every problem found: load
// failures, formulas that fail, units whose formulas are not inverse of each other, duplicate
// names and prefixes that can never match.
TCheckResult CheckData(const std::string& dataDir, const std::string& userDir = {});

// Writes one line per issue ("units.dat:12: error: reason") and a summary line; returns the exit
// status: 1 when there is an error, 0 otherwise.
int ReportCheck(const TCheckResult& result, std::ostream& out);

} // namespace tv
