#include "cli/TvCheck.h"

#include "calc/TvCalculate.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <new>
#include <optional>
#include <string_view>

namespace tv {

namespace {

constexpr const char* kUnitsFile = "units.dat";
constexpr const char* kPrefixFile = "prefix.dat";

// The values every formula must take; 1 is the one whose failure is an error.
constexpr std::array<long double, 4> kProbeValues = {1.0L, -2.5L, 1E-30L, 1E30L};

std::string Quoted(std::string_view text) {
    std::string result = "\"";
    result += text;
    result += '"';
    return result;
}

std::string ReplaceAll(std::string_view text, std::string_view placeholder,
                       std::string_view value) {
    std::string result;
    size_t from = 0;
    for (size_t at = text.find(placeholder); at != std::string_view::npos;
         at = text.find(placeholder, from)) {
        result.append(text.substr(from, at - from));
        result.append(value);
        from = at + placeholder.size();
    }
    result.append(text.substr(from));
    return result;
}

// The text the program would show for the failure: the status text or the error box's text.
std::string FailureText(const std::exception& error) {
    const std::string name = ReportedFailureName(error);
    return name.empty() ? ErrorBoxText(error.what()) : name + " Error.";
}

struct TOutcome {
    std::optional<long double> Value;
    std::string Failure;
};

// Puts value into the formula the way a conversion does (general notation, no parentheses).
TOutcome Evaluate(const std::string& formula, std::string_view placeholder, long double value,
                  const TPrefixes& prefixes) {
    try {
        return {Calculate(ReplaceAll(formula, placeholder, FormatGeneral(value)), prefixes), {}};
    } catch (const std::bad_alloc&) {
        return {std::nullopt, ErrorBoxText(kMsgOutOfMemory)};
    } catch (const std::exception& e) {
        return {std::nullopt, FailureText(e)};
    }
}

class TChecker {
public:
    explicit TChecker(TCheckResult& result) : result_(result) {}

    void CheckUnits(TUnits& units, const TPrefixes& prefixes) {
        std::map<std::string, int> groupLines;
        for (int32_t g = 0; g < units.GroupCount(); ++g) {
            const TUnitsEntry group = units.GetGroup(g);
            const int nameLine = group.StartLine; // 1-based number of the line before the units
            if (const auto [it, added] = groupLines.emplace(group.Name, nameLine); !added) {
                Add(kUnitsFile, nameLine, false,
                    "duplicate group name " + Quoted(group.Name) + " (first on line " +
                        std::to_string(it->second) + "); lookup by name finds only the first");
            }
            units.SelectGroup(g);
            std::map<std::string, int> unitLines;
            for (int32_t p = 0; p < units.UnitCount(); ++p) {
                const TUnitEntry unit = units.GetUnit(p);
                const int line = group.StartLine + p + 1;
                if (const auto [it, added] = unitLines.emplace(unit.Name, line); !added) {
                    Add(kUnitsFile, line, false,
                        "duplicate unit name " + Quoted(unit.Name) + " in group " +
                            Quoted(group.Name) + " (first on line " + std::to_string(it->second) +
                            ")");
                }
                CheckUnit(unit, line, prefixes);
                ++result_.Units;
            }
            ++result_.Groups;
        }
    }

    void CheckPrefixes(const TPrefixes& prefixes) {
        std::map<std::string, int> lines;
        for (int32_t i = 0; i < prefixes.Count(); ++i) {
            const std::string& name = prefixes.Entry(i).Name;
            const int line = i + 1;
            const auto [it, added] = lines.emplace(name, line);
            std::string why;
            if (name.empty()) {
                why = "its name is empty";
            } else if ((name[0] >= '0' && name[0] <= '9') || name[0] == '.') {
                why = "it begins with a digit or \".\", which the number takes";
            } else if ((name[0] == 'E' || name[0] == 'e') && name.size() > 1 &&
                       (name[1] == '+' || name[1] == '-' || (name[1] >= '0' && name[1] <= '9'))) {
                why = "the number takes its beginning as an exponent";
            } else if (!added) {
                why = "line " + std::to_string(it->second) + " has the same name";
            }
            if (!why.empty()) {
                Add(kPrefixFile, line, false,
                    "prefix " + Quoted(name) + " can never match: " + why);
            }
        }
        result_.Prefixes = prefixes.Count();
    }

    void Add(const char* file, int line, bool error, std::string reason) {
        result_.Issues.push_back({file, line, error, std::move(reason)});
    }

private:
    void CheckUnit(const TUnitEntry& unit, int line, const TPrefixes& prefixes) {
        const std::string subject = "unit " + Quoted(unit.Name) + ": ";
        std::array<TOutcome, kProbeValues.size()> toBase;
        bool fromBaseFailsForOne = false;
        for (const bool isTo : {true, false}) {
            const std::string& formula = isTo ? unit.ToBase : unit.FromBase;
            const std::string_view placeholder = isTo ? "$i" : "$t";
            std::string failedValues;
            std::string firstFailure;
            bool failsForOne = false;
            for (size_t k = 0; k < kProbeValues.size(); ++k) {
                TOutcome outcome = Evaluate(formula, placeholder, kProbeValues[k], prefixes);
                if (!outcome.Value) {
                    failsForOne = failsForOne || k == 0;
                    failedValues +=
                        (failedValues.empty() ? "" : ", ") + FormatGeneral(kProbeValues[k]);
                    if (firstFailure.empty()) {
                        firstFailure = outcome.Failure;
                    }
                }
                if (isTo) {
                    toBase[k] = std::move(outcome);
                }
            }
            if (failedValues.empty()) {
                continue;
            }
            const std::string what = subject + (isTo ? "ToBase " : "FromBase ") + Quoted(formula);
            if (failsForOne) {
                Add(kUnitsFile, line, true, what + " fails for 1: " + firstFailure);
            } else {
                Add(kUnitsFile, line, false,
                    what + " fails for " + failedValues + ": " + firstFailure);
            }
            fromBaseFailsForOne = fromBaseFailsForOne || (!isTo && failsForOne);
        }
        if (fromBaseFailsForOne) {
            return; // the round trip cannot tell more than the error already given
        }
        for (size_t k = 0; k < kProbeValues.size(); ++k) {
            if (!toBase[k].Value) {
                continue;
            }
            const long double x = kProbeValues[k];
            const long double base = *toBase[k].Value;
            const TOutcome back = Evaluate(unit.FromBase, "$t", base, prefixes);
            const std::string trip = FormatGeneral(x) + " -> " + FormatGeneral(base);
            if (!back.Value) {
                Add(kUnitsFile, line, k == 0,
                    subject + "the round trip " + trip + " fails in FromBase " +
                        Quoted(unit.FromBase) + ": " + back.Failure);
                if (k == 0) {
                    return;
                }
                continue;
            }
            const long double tolerance = 1E-12L * std::max(1.0L, std::fabs(x));
            // Written so that a NaN counts as a difference.
            if (!(std::fabs(*back.Value - x) <= tolerance)) {
                Add(kUnitsFile, line, true,
                    subject + "ToBase " + Quoted(unit.ToBase) + " and FromBase " +
                        Quoted(unit.FromBase) + " are not inverse: " + trip + " -> " +
                        FormatGeneral(*back.Value));
                return;
            }
        }
    }

    TCheckResult& result_;
};

void AddLoadError(TChecker& checker, const char* file, const TLoadError& error) {
    checker.Add(file, error.Line < 0 ? 0 : error.Line + 1, true, error.Reason);
}

} // namespace

TCheckResult CheckData(const std::string& dataDir) {
    TCheckResult result;
    TChecker checker(result);

    TPrefixes prefixes;
    const bool prefixesLoaded = prefixes.LoadFromFile(dataDir + kPrefixFile);

    TUnits units;
    if (!units.LoadFromFile(dataDir + kUnitsFile)) {
        AddLoadError(checker, kUnitsFile, units.LastError());
    }
    // The groups closed before a failing line are checked too, so that one run shows them all.
    checker.CheckUnits(units, prefixes);

    if (!prefixesLoaded) {
        AddLoadError(checker, kPrefixFile, prefixes.LastError());
    }
    checker.CheckPrefixes(prefixes);

    std::stable_sort(result.Issues.begin(), result.Issues.end(),
                     [](const TCheckIssue& a, const TCheckIssue& b) {
                         const bool aUnits = a.File == kUnitsFile;
                         const bool bUnits = b.File == kUnitsFile;
                         return aUnits != bUnits ? aUnits : a.Line < b.Line;
                     });
    return result;
}

int ReportCheck(const TCheckResult& result, std::ostream& out) {
    int errors = 0;
    int warnings = 0;
    for (const TCheckIssue& issue : result.Issues) {
        out << issue.File;
        if (issue.Line > 0) {
            out << ':' << issue.Line;
        }
        out << (issue.Error ? ": error: " : ": warning: ") << issue.Reason << '\n';
        ++(issue.Error ? errors : warnings);
    }
    const auto count = [](int n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    out << count(errors, "error", "errors") << ", " << count(warnings, "warning", "warnings")
        << " (" << kUnitsFile << ": " << count(result.Groups, "group", "groups") << ", "
        << count(result.Units, "unit", "units") << "; " << kPrefixFile << ": "
        << count(result.Prefixes, "prefix", "prefixes") << ")\n";
    return errors > 0 ? 1 : 0;
}

} // namespace tv
