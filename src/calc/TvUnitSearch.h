#pragma once

#include "units/TvUnitsFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// Folds a text for the unit search: hiragana to katakana, full-width forms to half-width
// (MapText), ASCII letters to lower case. Never fails.
std::string FoldForSearch(std::string_view text);

// One unit found by TUnitSearch.
struct TUnitHit {
    int32_t Group = 0;    // group index in the catalogue
    int32_t Position = 0; // position in the group, as SelectGroup lists it
    int32_t Unit = 0;     // the unit's index in the search: catalogue order over all groups

    bool operator==(const TUnitHit&) const = default;
};

// The unit names of a whole catalogue, folded once so that filtering them on every keystroke
// stays fast. It copies what it needs: it outlives the catalogue, but describes it as it was
// when built, so build a new one after the data is read again.
class TUnitSearch {
public:
    explicit TUnitSearch(const TUnits& units);

    // The units whose folded name holds the folded filter: those whose name starts with it
    // first, then the others, each in catalogue order (groups in order, units in group order).
    // An empty filter gives every unit.
    std::vector<TUnitHit> Find(std::string_view filter) const;

    int32_t UnitTotal() const { return static_cast<int32_t>(units_.size()); }
    // The unit's name as the file writes it, and its group's name.
    std::string_view UnitName(const TUnitHit& hit) const;
    const std::string& GroupName(const TUnitHit& hit) const;

private:
    // Names one after another; name i is [starts[i], starts[i + 1]). The folded names each end
    // in a line feed, which no name holds, so a match never spans two names.
    std::string names_;
    std::vector<size_t> nameStarts_;
    std::string folded_;
    std::vector<size_t> foldedStarts_;
    std::vector<TUnitHit> units_;
    std::vector<std::string> groupNames_;
};

// The symbol in the brackets that end a unit name, trimmed: "メートル [m]" gives "m". Empty
// when the name does not end in "]" with a "[" before it.
std::string_view UnitSymbol(std::string_view name);

// The name without the bracketed symbol at its end, trimmed: "メートル [m]" gives "メートル".
std::string_view UnitBareName(std::string_view name);

// The positions in names that a unit named text on the command line means: the first name
// equal to text; else every name whose symbol is text; else every name whose bare name is text.
// Empty when none matches; more than one position means the text is ambiguous.
std::vector<int32_t> MatchUnitName(const std::vector<std::string>& names, std::string_view text);

} // namespace tv
