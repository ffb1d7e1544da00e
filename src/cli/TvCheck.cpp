#include "cli/TvCheck.h"

#include "calc/TvCalculate.h"
#include "calc/TvUnitSearch.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"
#include "units/TvUserData.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <new>
#include <optional>
#include <string_view>

namespace tv {

namespace {

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

// Where a name was first seen: the file's label and the 1-based line.
struct TFirstSeen {
    std::string File;
    int Line = 0;
};

class TChecker {
public:
    // labels maps the path of each file read to the name the issues give it.
    TChecker(TCheckResult& result, std::map<std::string, std::string> labels)
        : result_(result), labels_(std::move(labels)) {}

    void CheckUnits(const TUnits& units, const TPrefixes& prefixes) {
        const auto fileOf = [&](const TDataOrigin& origin) {
            return Label(units.Files()[static_cast<size_t>(origin.File)].Name);
        };
        std::map<std::string, TFirstSeen> groupLines;
        for (int32_t g = 0; g < units.GroupCount(); ++g) {
            const TUnitsEntry group = units.GetGroup(g);
            const TDataOrigin groupOrigin = units.GroupOrigin(g);
            const TFirstSeen here{fileOf(groupOrigin), groupOrigin.Line + 1};
            if (const auto [it, added] = groupLines.emplace(group.Name, here); !added) {
                Add(here, false,
                    "duplicate group name " + Quoted(group.Name) + " (first on " +
                        Where(it->second, here) + "); lookup by name finds only the first");
            }
            const std::vector<TUnitEntry> groupUnits = units.GroupUnits(g);
            std::vector<TFirstSeen> lines;
            std::map<std::string, TFirstSeen> unitLines;
            for (size_t p = 0; p < groupUnits.size(); ++p) {
                const TUnitEntry& unit = groupUnits[p];
                const TDataOrigin origin = units.UnitOrigin(g, static_cast<int32_t>(p));
                const TFirstSeen at{fileOf(origin), origin.Line + 1};
                lines.push_back(at);
                if (const auto [it, added] = unitLines.emplace(unit.Name, at); !added) {
                    Add(at, false,
                        "duplicate unit name " + Quoted(unit.Name) + " in group " +
                            Quoted(group.Name) + " (first on " + Where(it->second, at) + ")");
                }
                CheckUnit(unit, at, prefixes);
            }
            CheckAliases(group.Name, groupUnits, lines);
        }
    }

    void CheckPrefixes(const TPrefixes& prefixes) {
        std::map<std::string, TFirstSeen> lines;
        for (int32_t i = 0; i < prefixes.Count(); ++i) {
            const std::string& name = prefixes.Entry(i).Name;
            const TDataOrigin origin = prefixes.EntryOrigin(i);
            const TFirstSeen at{Label(prefixes.Files()[static_cast<size_t>(origin.File)].Name),
                                origin.Line + 1};
            const auto [it, added] = lines.emplace(name, at);
            std::string why;
            if (name.empty()) {
                why = "its name is empty";
            } else if ((name[0] >= '0' && name[0] <= '9') || name[0] == '.') {
                why = "it begins with a digit or \".\", which the number takes";
            } else if ((name[0] == 'E' || name[0] == 'e') && name.size() > 1 &&
                       (name[1] == '+' || name[1] == '-' || (name[1] >= '0' && name[1] <= '9'))) {
                why = "the number takes its beginning as an exponent";
            } else if (!added) {
                why = Where(it->second, at) + " has the same name";
            }
            if (!why.empty()) {
                Add(at, false, "prefix " + Quoted(name) + " can never match: " + why);
            }
        }
    }

    void AddLoadError(const TLoadError& error, bool isError = true) {
        Add({Label(error.File), error.Line < 0 ? 0 : error.Line + 1}, isError, error.Reason);
    }

    // What the files that loaded left out: a group never closed, text after a NUL.
    template <class TFiles> void AddLoadWarnings(const TFiles& files) {
        for (const auto& file : files) {
            for (const TLoadError& warning : file.Warnings) {
                AddLoadError(warning, false);
            }
        }
    }

    std::string Label(const std::string& path) const {
        const auto it = labels_.find(path);
        return it == labels_.end() ? path : it->second;
    }

private:
    void Add(const TFirstSeen& at, bool error, std::string reason) {
        result_.Issues.push_back({at.File, at.Line, error, std::move(reason)});
    }

    // "line N", with the file's name when it differs from where the name is seen again.
    static std::string Where(const TFirstSeen& first, const TFirstSeen& again) {
        return (first.File == again.File ? "" : first.File + " ") + "line " +
               std::to_string(first.Line);
    }

    // An alias that names two units of a group leaves a query to ask which; one that is another
    // unit's name or symbol is never taken for its own unit in a query.
    void CheckAliases(const std::string& group, const std::vector<TUnitEntry>& units,
                      const std::vector<TFirstSeen>& lines) {
        struct TNamed {
            size_t Unit;
            const char* Kind;
        };
        std::map<std::string_view, TNamed> names;
        for (size_t p = 0; p < units.size(); ++p) {
            const std::string_view name = units[p].Name;
            names.emplace(name, TNamed{p, "name"});
            names.emplace(UnitSymbol(name), TNamed{p, "symbol"});
            names.emplace(UnitBareName(name), TNamed{p, "name"});
        }
        names.erase(std::string_view());
        std::map<std::string_view, size_t> aliases;
        for (size_t p = 0; p < units.size(); ++p) {
            const TFirstSeen& at = lines[p];
            for (const std::string& alias : units[p].Aliases) {
                if (const auto named = names.find(alias);
                    named != names.end() && named->second.Unit != p) {
                    const size_t other = named->second.Unit;
                    Add(at, false,
                        "alias " + Quoted(alias) + " of unit " + Quoted(units[p].Name) +
                            " is the " + named->second.Kind + " of unit " +
                            Quoted(units[other].Name) + " (" + Where(lines[other], at) +
                            "), which a query takes instead");
                    continue;
                }
                if (const auto [it, added] = aliases.emplace(alias, p); !added && it->second != p) {
                    const size_t other = it->second;
                    Add(at, false,
                        "alias " + Quoted(alias) + " names two units of group " + Quoted(group) +
                            ": " + Quoted(units[other].Name) + " (" + Where(lines[other], at) +
                            ") and " + Quoted(units[p].Name));
                }
            }
        }
    }

    void CheckUnit(const TUnitEntry& unit, const TFirstSeen& at, const TPrefixes& prefixes) {
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
                Add(at, true, what + " fails for 1: " + firstFailure);
            } else {
                Add(at, false, what + " fails for " + failedValues + ": " + firstFailure);
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
                Add(at, k == 0,
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
                Add(at, true,
                    subject + "ToBase " + Quoted(unit.ToBase) + " and FromBase " +
                        Quoted(unit.FromBase) + " are not inverse: " + trip + " -> " +
                        FormatGeneral(*back.Value));
                return;
            }
        }
    }

    TCheckResult& result_;
    std::map<std::string, std::string> labels_;
};

} // namespace

TCheckResult CheckData(const std::string& dataDir, const std::string& userDir) {
    const std::string unitsPath = dataDir + kUnitsFileName;
    const std::string prefixPath = dataDir + kPrefixFileName;
    const std::string userUnitsPath = userDir + kUnitsFileName;
    const std::string userPrefixPath = userDir + kPrefixFileName;
    TCheckResult result;
    TChecker checker(result, {{unitsPath, kUnitsFileName}, {prefixPath, kPrefixFileName}});
    // A user's file is one more file unless it is the shipped one (--data at the user's folder).
    const auto exists = [&](const std::string& path, const std::string& shipped) {
        std::error_code ec;
        return !userDir.empty() && !IsMissingFile(path) &&
               !std::filesystem::equivalent(path, shipped, ec);
    };
    // The counts of a file, from whichever table read it.
    const auto unitsFile = [&](const std::string& path, const TUnits& one, const TUnits& other) {
        TCheckedFile file{checker.Label(path), false, 0, 0, 0};
        for (const TUnits* units : {&one, &other}) {
            for (const TDataFileInfo& info : units->Files()) {
                if (info.Name == path) {
                    file.Groups = info.Groups;
                    file.Units = info.Units;
                }
            }
        }
        result.Files.push_back(std::move(file));
    };
    const auto prefixFile = [&](const std::string& path, const TPrefixes& one,
                                const TPrefixes& other) {
        TCheckedFile file{checker.Label(path), true, 0, 0, 0};
        for (const TPrefixes* prefixes : {&one, &other}) {
            for (const TPrefixFileInfo& info : prefixes->Files()) {
                if (info.Name == path) {
                    file.Entries = info.Count;
                }
            }
        }
        result.Files.push_back(std::move(file));
    };

    // The user's prefixes are read even when the shipped file fails, so that one run shows the
    // problems of both; the program would not use them then.
    TPrefixes prefixes;
    if (!prefixes.LoadFromFile(prefixPath)) {
        checker.AddLoadError(prefixes.LastError());
    }
    TPrefixes userPrefixes; // the user's file alone, when it does not load
    const bool userPrefixFile = exists(userPrefixPath, prefixPath);
    if (userPrefixFile && !prefixes.AddFromFile(userPrefixPath)) {
        checker.AddLoadError(prefixes.LastError());
        userPrefixes.LoadFromFile(userPrefixPath);
    }

    // The groups closed before a failing line are checked too, so that one run shows them all.
    TUnits units;
    if (!units.LoadFromFile(unitsPath)) {
        checker.AddLoadError(units.LastError());
    }
    TUnits userUnits;
    const bool userUnitsFile = exists(userUnitsPath, unitsPath);
    if (userUnitsFile && !units.AddFromFile(userUnitsPath)) {
        checker.AddLoadError(units.LastError());
        userUnits.LoadFromFile(userUnitsPath);
        checker.CheckUnits(userUnits, prefixes);
    }
    checker.CheckUnits(units, prefixes);
    checker.CheckPrefixes(prefixes);
    checker.AddLoadWarnings(units.Files());
    checker.AddLoadWarnings(userUnits.Files());
    checker.AddLoadWarnings(prefixes.Files());
    checker.AddLoadWarnings(userPrefixes.Files());

    unitsFile(unitsPath, units, userUnits);
    prefixFile(prefixPath, prefixes, userPrefixes);
    if (userUnitsFile) {
        unitsFile(userUnitsPath, units, userUnits);
    }
    if (userPrefixFile) {
        prefixFile(userPrefixPath, prefixes, userPrefixes);
    }

    std::map<std::string, size_t> order;
    for (size_t f = 0; f < result.Files.size(); ++f) {
        order.emplace(result.Files[f].File, f);
    }
    std::stable_sort(result.Issues.begin(), result.Issues.end(),
                     [&](const TCheckIssue& a, const TCheckIssue& b) {
                         const size_t fa = order[a.File];
                         const size_t fb = order[b.File];
                         return fa != fb ? fa < fb : a.Line < b.Line;
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
        << " (";
    for (size_t f = 0; f < result.Files.size(); ++f) {
        const TCheckedFile& file = result.Files[f];
        out << (f == 0 ? "" : "; ") << file.File << ": ";
        if (file.Prefixes) {
            out << count(file.Entries, "prefix", "prefixes");
        } else {
            out << count(file.Groups, "group", "groups") << ", "
                << count(file.Units, "unit", "units");
        }
    }
    out << ")\n";
    return errors > 0 ? 1 : 0;
}

} // namespace tv
