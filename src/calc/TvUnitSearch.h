#pragma once

#include "calc/TvNameFold.h"
#include "units/TvUnitsFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

// One unit found by TUnitSearch.
struct TUnitHit {
    int32_t Group = 0;    // group index in the catalogue
    int32_t Position = 0; // position in the group, as SelectGroup lists it
    int32_t Unit = 0;     // the unit's index in the search: catalogue order over all groups
    int32_t Alias = -1;   // the alias that found the unit (into its aliases), -1 when a name did

    bool operator==(const TUnitHit&) const = default;
};

// How well a text matches one of a unit's names, best first: the order of every list of units.
// An alias ranks as Exact or SameCase when the text is the whole alias, else as Substring.
enum class TMatchRank : uint8_t {
    SameCase,  // equal as written
    Exact,     // equal once folded
    Prefix,    // a name begins with it
    Suffix,    // a name ends with it: in head-final compounds (英馬力) the name is a kind of it
    Substring, // a name holds it
    None,
};

// Which of a unit's names a text matched.
enum class TNameKind : uint8_t { Name, Symbol, BareName, Alias };

struct TNameMatch {
    TUnitHit Hit;
    TNameKind Kind = TNameKind::Name;
};

// The names of a whole catalogue (each unit's full name, the symbol in its brackets, the name
// without them, its aliases), folded once: the unit search of the window and of `find`, and the
// name resolution and suggestions of the one-line query. It copies what it needs: it outlives
// the catalogue, but describes it as it was when built, so build a new one after the data is read
// again.
class TUnitSearch {
public:
    explicit TUnitSearch(const TUnits& units);

    // The units one of whose names holds the folded filter, best match first (TMatchRank), ties
    // in catalogue order (groups in order, units in group order). An empty filter gives every
    // unit in catalogue order.
    std::vector<TUnitHit> Find(std::string_view filter) const;

    // The units that a name stands for: the names equal to it as written; when there are none,
    // equal with ASCII case ignored; when there are none, equal once folded. Each unit once, in
    // catalogue order, with the kind of name that matched best (Name before Symbol before
    // BareName before Alias). Empty when no name matches.
    std::vector<TNameMatch> Lookup(std::string_view name) const;

    // At most count units whose folded names are nearest to text by edit distance (insertions,
    // deletions, substitutions and transpositions of characters), best first; none further than
    // a third of the text's length (at least 1, at most 3). Ties go by TMatchRank, then catalogue
    // order. A hit found through an alias names it.
    std::vector<TUnitHit> Suggest(std::string_view text, size_t count = 5) const;

    int32_t UnitTotal() const { return static_cast<int32_t>(units_.size()); }
    // The hit of unit index unit, found by its name.
    TUnitHit Hit(int32_t unit) const;
    // The unit's name as the file writes it, and its group's name.
    std::string_view UnitName(const TUnitHit& hit) const;
    const std::string& GroupName(const TUnitHit& hit) const;
    // The alias that found the hit, or an empty text when a name did.
    std::string_view UnitAlias(const TUnitHit& hit) const;

    // Keys: every name of every unit. A span of keys whose folded texts are equal, in the order
    // of the folded texts; Length is that text's length in bytes.
    struct TKeySpan {
        uint32_t First = 0;
        uint32_t End = 0;
        size_t Length = 0;
    };
    // The length in bytes of the longest folded key.
    size_t LongestKey() const { return longestKey_; }
    // Appends to out, shortest first, the keys that folded (a folded text) begins with.
    void KeysStarting(std::string_view folded, std::vector<TKeySpan>& out) const;
    // The units of a span of keys named by typed, the text that matched them before folding, at
    // the first level that has any, as Lookup gives them.
    std::vector<TNameMatch> Resolve(const TKeySpan& span, std::string_view typed) const;
    // True when a key of the span is written exactly as typed.
    bool HasKeyAsWritten(const TKeySpan& span, std::string_view typed) const;
    // The rank of a unit's best name for a filter, given as typed and folded.
    TMatchRank Rank(int32_t unit, std::string_view typed, std::string_view folded) const;

private:
    struct TKey {
        uint32_t Unit = 0;
        uint32_t Raw = 0; // into raw_
        uint32_t RawSize = 0;
        uint32_t Fold = 0; // into folded_, or into foldedParts_ for a symbol or bare name
        uint32_t FoldSize = 0;
        uint32_t Chars = 0; // code points of the folded text
        int32_t Alias = -1;
        TNameKind Kind = TNameKind::Name;
        // A full name's symbol and bare name within its folded text, [begin, end) each; none
        // when begin equals end.
        uint16_t Symbol[2] = {0, 0};
        uint16_t Bare[2] = {0, 0};
    };

    // A key, its texts appended to raw_ and to folded_ or foldedParts_.
    TKey MakeKey(uint32_t unit, std::string_view raw, TNameKind kind, int32_t alias);
    std::string_view RawKey(const TKey& key) const { return {raw_.data() + key.Raw, key.RawSize}; }
    static bool IsPart(const TKey& key) {
        return key.Kind == TNameKind::Symbol || key.Kind == TNameKind::BareName;
    }
    std::string_view FoldedKey(const TKey& key) const {
        return {(IsPart(key) ? foldedParts_ : folded_).data() + key.Fold, key.FoldSize};
    }
    // The keys in the order of their folded texts, sorted at the first use: a search that is
    // only filtered (the dialog's) never pays for the sort.
    const std::vector<uint32_t>& SortedKeys() const;
    const TKey& Sorted(size_t i) const { return keys_[SortedKeys()[i]]; }
    // The rank of one key, and the rank of a unit's keys with the key that gave it.
    TMatchRank KeyRank(const TKey& key, std::string_view typed, std::string_view folded) const;
    // The same with the first place of folded in the key's folded text known (npos: none).
    TMatchRank KeyRankAt(const TKey& key, std::string_view typed, std::string_view folded,
                         size_t at) const;

    // The names of every unit, each followed by its aliases, each text ending in a line feed.
    std::string raw_;
    // The folded full names and aliases one after another, each ending in a line feed, which no
    // name holds, so that a match never spans two keys; a search passes over this text. The
    // symbols and bare names, which lie within the full names, are in foldedParts_.
    std::string folded_;
    std::string foldedParts_;
    // The full names and aliases unit by unit, in the order of folded_ (a unit's name first),
    // then the symbols and bare names unit by unit.
    std::vector<TKey> keys_;
    std::vector<uint32_t> unitKeys_; // unit u's name and aliases: [unitKeys_[u], unitKeys_[u + 1])
    std::vector<uint32_t>
        unitParts_; // its symbol and bare name: [unitParts_[u], unitParts_[u + 1])
    struct TSortedKeys {
        std::once_flag Once;
        std::vector<uint32_t> Keys; // indexes of keys_
        // The keys whose folded text begins with byte b are [First[b], First[b + 1]); the empty
        // ones come before them all.
        std::array<uint32_t, 257> First{};
    };
    std::unique_ptr<TSortedKeys> sorted_ = std::make_unique<TSortedKeys>();
    std::vector<TUnitHit> units_;
    std::vector<std::string> groupNames_;
    size_t longestKey_ = 0;
};

// The symbol in the brackets that end a unit name, trimmed: "メートル [m]" gives "m". Empty
// when the name does not end in "]" with a "[" before it.
std::string_view UnitSymbol(std::string_view name);

// The name without the bracketed symbol at its end, trimmed: "メートル [m]" gives "メートル".
std::string_view UnitBareName(std::string_view name);

// The positions in units that a unit named text on the command line means: the first name equal
// to text; else every unit whose symbol is text; else every unit whose bare name is text; else
// every unit with text among its aliases. Empty when none matches; more than one position means
// the text is ambiguous.
std::vector<int32_t> MatchUnitName(const std::vector<TUnitNamesEntry>& units,
                                   std::string_view text);

} // namespace tv
