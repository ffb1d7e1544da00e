#include "calc/TvUnitSearch.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace tv {

namespace {

constexpr char kKeyEnd = '\n';

bool IsTrimmed(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsTrimmed(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsTrimmed(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Position of the "[" that opens the bracketed symbol at the end of a name, or npos.
size_t SymbolBracket(std::string_view trimmed) {
    if (trimmed.empty() || trimmed.back() != ']') {
        return std::string_view::npos;
    }
    return trimmed.rfind('[');
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        x = (x >= 'A' && x <= 'Z') ? static_cast<char>(x - 'A' + 'a') : x;
        y = (y >= 'A' && y <= 'Z') ? static_cast<char>(y - 'A' + 'a') : y;
        if (x != y) {
            return false;
        }
    }
    return true;
}

uint32_t CodePoints(std::string_view text) {
    uint32_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u ? 1 : 0;
    }
    return count;
}

uint32_t Checked32(size_t value) {
    if (value > std::numeric_limits<uint32_t>::max()) {
        throw std::length_error("unit names too large to search");
    }
    return static_cast<uint32_t>(value);
}

// The longest text that suggestions consider, in code points: no longer name is a misspelling.
constexpr size_t kMaxSuggestChars = 64;
constexpr size_t kMaxDistance = 3;

// The optimal string alignment distance of a and b, or limit + 1 once it exceeds limit.
size_t EditDistance(const char32_t* a, size_t n, const char32_t* b, size_t m, size_t limit) {
    constexpr size_t kRow = kMaxSuggestChars + kMaxDistance + 1;
    std::array<std::array<size_t, kRow>, 3> rows{};
    size_t* before = rows[0].data();
    size_t* previous = rows[1].data();
    size_t* current = rows[2].data();
    for (size_t j = 0; j <= m; ++j) {
        previous[j] = j;
    }
    for (size_t i = 1; i <= n; ++i) {
        current[0] = i;
        size_t rowMin = i;
        for (size_t j = 1; j <= m; ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            size_t value = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                value = std::min(value, before[j - 2] + 1);
            }
            current[j] = value;
            rowMin = std::min(rowMin, value);
        }
        if (rowMin > limit) {
            return limit + 1;
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return std::min(previous[m], limit + 1);
}

} // namespace

TUnitSearch::TUnitSearch(const TUnits& units) {
    size_t total = 0;
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        total += static_cast<size_t>(units.GetGroup(g).Count);
    }
    // Room for names of a usual length and about three keys a unit, so that the texts are
    // seldom moved as they grow.
    constexpr size_t kNameBytes = 48;
    raw_.reserve(total * kNameBytes);
    folded_.reserve(total * kNameBytes);
    foldedParts_.reserve(total * kNameBytes / 2);
    keys_.reserve(total * 3);
    unitKeys_.reserve(total + 1);
    unitParts_.reserve(total + 1);
    std::vector<TKey> parts;
    parts.reserve(total * 2);
    units_.reserve(total);
    groupNames_.reserve(static_cast<size_t>(units.GroupCount()));
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        groupNames_.push_back(units.GetGroup(g).Name);
        const std::vector<TUnitNamesEntry> entries = units.GroupUnitNameEntries(g);
        for (size_t p = 0; p < entries.size(); ++p) {
            const auto unit = Checked32(units_.size());
            units_.push_back({g, static_cast<int32_t>(p), static_cast<int32_t>(unit), -1});
            unitKeys_.push_back(Checked32(keys_.size()));
            unitParts_.push_back(Checked32(parts.size()));
            const std::string& name = entries[p].Name;
            const std::string_view symbol = UnitSymbol(name);
            const std::string_view bare = UnitBareName(name);
            keys_.push_back(MakeKey(unit, name, TNameKind::Name, -1));
            if (!symbol.empty() && symbol != name) {
                parts.push_back(MakeKey(unit, symbol, TNameKind::Symbol, -1));
            }
            if (!bare.empty() && bare != name && bare != symbol) {
                parts.push_back(MakeKey(unit, bare, TNameKind::BareName, -1));
            }
            const std::vector<std::string>& aliases = entries[p].Aliases;
            for (size_t a = 0; a < aliases.size(); ++a) {
                keys_.push_back(
                    MakeKey(unit, aliases[a], TNameKind::Alias, static_cast<int32_t>(a)));
            }
        }
    }
    unitKeys_.push_back(Checked32(keys_.size()));
    unitParts_.push_back(Checked32(parts.size()));
    // The symbols and bare names after the names and aliases, whose order is that of folded_.
    const auto first = Checked32(keys_.size());
    Checked32(keys_.size() + parts.size());
    for (uint32_t& part : unitParts_) {
        part += first;
    }
    keys_.insert(keys_.end(), parts.begin(), parts.end());
}

const std::vector<uint32_t>& TUnitSearch::SortedKeys() const {
    std::call_once(sorted_->Once, [this] {
        // Sorted by the first sixteen bytes as two numbers first, which settles nearly every
        // comparison without looking at the texts.
        struct TEntry {
            uint64_t Head;
            uint64_t Next;
            uint32_t Key;
        };
        std::vector<TEntry> order;
        order.reserve(keys_.size());
        for (size_t k = 0; k < keys_.size(); ++k) {
            const std::string_view text = FoldedKey(keys_[k]);
            uint64_t head = 0;
            uint64_t next = 0;
            for (size_t i = 0; i < 16; ++i) {
                const uint64_t byte = i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
                (i < 8 ? head : next) = ((i < 8 ? head : next) << 8) | byte;
            }
            order.push_back({head, next, static_cast<uint32_t>(k)});
        }
        std::sort(order.begin(), order.end(), [&](const TEntry& a, const TEntry& b) {
            if (a.Head != b.Head) {
                return a.Head < b.Head;
            }
            if (a.Next != b.Next) {
                return a.Next < b.Next;
            }
            const std::string_view x = FoldedKey(keys_[a.Key]);
            const std::string_view y = FoldedKey(keys_[b.Key]);
            return x != y ? x < y : a.Key < b.Key;
        });
        std::vector<uint32_t>& sorted = sorted_->Keys;
        sorted.reserve(order.size());
        for (const TEntry& entry : order) {
            sorted.push_back(entry.Key);
        }
        // The first byte of each key is the top byte of its head, zero for an empty key.
        std::array<uint32_t, 257>& first = sorted_->First;
        size_t k = 0;
        while (k < order.size() && keys_[order[k].Key].FoldSize == 0) {
            ++k;
        }
        for (size_t byte = 0; byte < 256; ++byte) {
            first[byte] = static_cast<uint32_t>(k);
            while (k < order.size() && (order[k].Head >> 56) == byte) {
                ++k;
            }
        }
        first[256] = static_cast<uint32_t>(k);
    });
    return sorted_->Keys;
}

TUnitSearch::TKey TUnitSearch::MakeKey(uint32_t unit, std::string_view raw, TNameKind kind,
                                       int32_t alias) {
    TKey key;
    key.Unit = unit;
    key.Kind = kind;
    key.Alias = alias;
    key.Raw = Checked32(raw_.size());
    key.RawSize = Checked32(raw.size());
    raw_ += raw;
    raw_ += kKeyEnd;
    std::string& folded = IsPart(key) ? foldedParts_ : folded_;
    key.Fold = Checked32(folded.size());
    AppendFolded(folded, raw);
    key.FoldSize = Checked32(folded.size() - key.Fold);
    longestKey_ = std::max<size_t>(longestKey_, key.FoldSize);
    key.Chars = CodePoints(FoldedKey(key));
    if (kind == TNameKind::Name && key.FoldSize <= std::numeric_limits<uint16_t>::max()) {
        // The parts as they lie in the folded name; a search ranks them from there.
        const std::string_view text = FoldedKey(key);
        const auto bounds = [&](std::string_view part, uint16_t* out) {
            if (!part.empty() && part.size() < text.size()) {
                out[0] = static_cast<uint16_t>(part.data() - text.data());
                out[1] = static_cast<uint16_t>(out[0] + part.size());
            }
        };
        bounds(UnitSymbol(text), key.Symbol);
        bounds(UnitBareName(text), key.Bare);
    }
    folded += kKeyEnd;
    return key;
}

TMatchRank TUnitSearch::KeyRank(const TKey& key, std::string_view typed,
                                std::string_view folded) const {
    return KeyRankAt(key, typed, folded, FoldedKey(key).find(folded));
}

TMatchRank TUnitSearch::KeyRankAt(const TKey& key, std::string_view typed, std::string_view folded,
                                  size_t at) const {
    const std::string_view text = FoldedKey(key);
    if (at == std::string_view::npos) {
        return TMatchRank::None;
    }
    if (text.size() == folded.size()) {
        return RawKey(key) == typed ? TMatchRank::SameCase : TMatchRank::Exact;
    }
    // An alias is another spelling of the whole name: only the whole of it ranks it higher.
    if (key.Kind == TNameKind::Alias) {
        return TMatchRank::Substring;
    }
    if (at == 0) {
        return TMatchRank::Prefix;
    }
    return text.back() == folded.back() && text.substr(text.size() - folded.size()) == folded
               ? TMatchRank::Suffix
               : TMatchRank::Substring;
}

TMatchRank TUnitSearch::Rank(int32_t unit, std::string_view typed, std::string_view folded) const {
    const TUnitHit& hit = Hit(unit);
    TMatchRank best = TMatchRank::None;
    const auto u = static_cast<size_t>(hit.Unit);
    for (const auto& [from, to] :
         {std::pair(unitKeys_[u], unitKeys_[u + 1]), std::pair(unitParts_[u], unitParts_[u + 1])}) {
        for (uint32_t k = from; k < to; ++k) {
            best = std::min(best, KeyRank(keys_[k], typed, folded));
        }
    }
    return best;
}

std::vector<TUnitHit> TUnitSearch::Find(std::string_view filter) const {
    const std::string key = FoldForSearch(filter);
    if (key.empty()) {
        return units_;
    }
    if (key.find(kKeyEnd) != std::string::npos) {
        return {};
    }
    constexpr size_t kRanks = static_cast<size_t>(TMatchRank::None);
    std::array<std::vector<TUnitHit>, kRanks> ranked;
    const char* const text = folded_.data();
    const size_t size = folded_.size();
    // The unit being looked at (none yet), its best rank so far and the alias that gave it.
    constexpr size_t kNone = std::numeric_limits<size_t>::max();
    size_t unit = kNone;
    TMatchRank best = TMatchRank::None;
    int32_t alias = -1;
    const auto flush = [&] {
        if (best != TMatchRank::None) {
            TUnitHit hit = units_[unit];
            hit.Alias = alias;
            ranked[static_cast<size_t>(best)].push_back(hit);
        }
        best = TMatchRank::None;
        alias = -1;
    };
    // A symbol or bare name holding the filter lies in the full name, which holds it too; they
    // are ranked from the folded name found, whose text is at hand, short of Substring.
    const auto parts = [&](const TKey& name) {
        const std::string_view text = FoldedKey(name);
        for (const uint16_t* bounds : {name.Symbol, name.Bare}) {
            const size_t size = bounds[1] - bounds[0];
            if (size < key.size()) {
                continue;
            }
            const std::string_view folded = text.substr(bounds[0], size);
            TMatchRank rank = TMatchRank::None;
            if (size == key.size()) {
                const std::string_view raw =
                    bounds == name.Symbol ? UnitSymbol(RawKey(name)) : UnitBareName(RawKey(name));
                rank = folded != key   ? TMatchRank::None
                       : raw == filter ? TMatchRank::SameCase
                                       : TMatchRank::Exact;
            } else if (folded.front() == key.front() && folded.substr(0, key.size()) == key) {
                rank = TMatchRank::Prefix;
            } else if (folded.back() == key.back() && folded.substr(size - key.size()) == key) {
                rank = TMatchRank::Suffix;
            }
            if (rank < best) {
                best = rank;
                alias = -1;
            }
        }
    };
    size_t from = 0;
    size_t k = 0;
    while (from < size) {
        const void* found = memmem(text + from, size - from, key.data(), key.size());
        if (found == nullptr) {
            break;
        }
        const auto at = static_cast<size_t>(static_cast<const char*>(found) - text);
        while (keys_[k].Fold + keys_[k].FoldSize < at) {
            ++k;
        }
        const TKey& matched = keys_[k];
        if (matched.Unit != unit) {
            flush();
            unit = matched.Unit;
        }
        if (matched.Kind == TNameKind::Name) {
            parts(matched);
        }
        const TMatchRank rank = KeyRankAt(matched, filter, key, at - matched.Fold);
        // A unit's names come before its aliases, so a name keeps a tie.
        if (rank < best) {
            best = rank;
            alias = matched.Alias;
        }
        from = matched.Fold + matched.FoldSize + 1;
    }
    flush();
    std::vector<TUnitHit> hits;
    size_t count = 0;
    for (const auto& list : ranked) {
        count += list.size();
    }
    hits.reserve(count);
    for (const auto& list : ranked) {
        hits.insert(hits.end(), list.begin(), list.end());
    }
    return hits;
}

void TUnitSearch::KeysStarting(std::string_view folded, std::vector<TKeySpan>& out) const {
    if (folded.empty()) {
        return;
    }
    SortedKeys();
    const auto lead = static_cast<unsigned char>(folded.front());
    size_t lo = sorted_->First[lead];
    size_t hi = sorted_->First[lead + 1];
    for (size_t depth = 1;; ++depth) {
        // Every key in [lo, hi) begins with folded's first depth bytes; those of exactly that
        // length come first.
        size_t end = lo;
        while (end < hi && Sorted(end).FoldSize == depth) {
            ++end;
        }
        if (end > lo) {
            out.push_back({static_cast<uint32_t>(lo), static_cast<uint32_t>(end), depth});
        }
        lo = end;
        if (lo == hi || depth == folded.size()) {
            return;
        }
        const auto byte = static_cast<unsigned char>(folded[depth]);
        const auto at = [&](size_t i) {
            return static_cast<unsigned char>(FoldedKey(Sorted(i))[depth]);
        };
        size_t first = lo;
        size_t last = hi;
        while (first < last) {
            const size_t mid = first + (last - first) / 2;
            if (at(mid) < byte) {
                first = mid + 1;
            } else {
                last = mid;
            }
        }
        lo = first;
        last = hi;
        while (first < last) {
            const size_t mid = first + (last - first) / 2;
            if (at(mid) <= byte) {
                first = mid + 1;
            } else {
                last = mid;
            }
        }
        hi = first;
    }
}

std::vector<TNameMatch> TUnitSearch::Resolve(const TKeySpan& span, std::string_view typed) const {
    const auto collect = [&](auto&& accepts) {
        std::vector<TNameMatch> matches;
        for (uint32_t i = span.First; i < span.End; ++i) {
            const TKey& key = Sorted(i);
            if (!accepts(key)) {
                continue;
            }
            TUnitHit hit = units_[key.Unit];
            hit.Alias = key.Kind == TNameKind::Alias ? key.Alias : -1;
            const auto same = std::find_if(matches.begin(), matches.end(),
                                           [&](const auto& m) { return m.Hit.Unit == hit.Unit; });
            if (same == matches.end()) {
                matches.push_back({hit, key.Kind});
            } else if (key.Kind < same->Kind) {
                *same = {hit, key.Kind};
            }
        }
        std::sort(matches.begin(), matches.end(),
                  [](const auto& a, const auto& b) { return a.Hit.Unit < b.Hit.Unit; });
        return matches;
    };
    std::vector<TNameMatch> matches =
        collect([&](const TKey& key) { return RawKey(key) == typed; });
    if (matches.empty()) {
        matches =
            collect([&](const TKey& key) { return EqualIgnoringAsciiCase(RawKey(key), typed); });
    }
    if (matches.empty()) {
        matches = collect([](const TKey&) { return true; });
    }
    return matches;
}

bool TUnitSearch::HasKeyAsWritten(const TKeySpan& span, std::string_view typed) const {
    for (uint32_t i = span.First; i < span.End; ++i) {
        if (RawKey(Sorted(i)) == typed) {
            return true;
        }
    }
    return false;
}

std::vector<TNameMatch> TUnitSearch::Lookup(std::string_view name) const {
    const std::string folded = FoldForSearch(name);
    if (folded.empty()) {
        return {};
    }
    const std::vector<uint32_t>& sorted = SortedKeys();
    const auto first = std::lower_bound(
        sorted.begin(), sorted.end(), folded,
        [&](uint32_t k, const std::string& text) { return FoldedKey(keys_[k]) < text; });
    auto end = first;
    while (end != sorted.end() && FoldedKey(keys_[*end]) == folded) {
        ++end;
    }
    if (first == end) {
        return {};
    }
    return Resolve({static_cast<uint32_t>(first - sorted.begin()),
                    static_cast<uint32_t>(end - sorted.begin()), folded.size()},
                   name);
}

std::vector<TUnitHit> TUnitSearch::Suggest(std::string_view text, size_t count) const {
    const std::string folded = FoldForSearch(text);
    std::vector<char32_t> wanted;
    DecodeUtf8(folded, wanted);
    const size_t n = wanted.size();
    if (n == 0 || n > kMaxSuggestChars || count == 0) {
        return {};
    }
    const size_t limit = std::clamp<size_t>(n / 3, 1, kMaxDistance);
    struct TNearest {
        size_t Distance;
        int32_t Alias;
    };
    std::vector<TNearest> nearest(units_.size(), TNearest{limit + 1, -1});
    std::vector<char32_t> name;
    for (const TKey& key : keys_) {
        const size_t chars = key.Chars;
        if ((chars > n ? chars - n : n - chars) > limit) {
            continue;
        }
        DecodeUtf8(FoldedKey(key), name);
        if (name.size() > kMaxSuggestChars + kMaxDistance) {
            continue;
        }
        const size_t distance = EditDistance(wanted.data(), n, name.data(), name.size(), limit);
        TNearest& best = nearest[key.Unit];
        if (distance < best.Distance) {
            best = {distance, key.Alias};
        }
    }
    struct TCandidate {
        size_t Distance;
        TMatchRank Rank;
        TUnitHit Hit;
    };
    std::vector<TCandidate> candidates;
    for (size_t u = 0; u < units_.size(); ++u) {
        if (nearest[u].Distance <= limit) {
            TUnitHit hit = units_[u];
            hit.Alias = nearest[u].Alias;
            candidates.push_back({nearest[u].Distance, Rank(hit.Unit, text, folded), hit});
        }
    }
    const size_t kept = std::min(count, candidates.size());
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<ptrdiff_t>(kept),
                      candidates.end(), [](const TCandidate& a, const TCandidate& b) {
                          if (a.Distance != b.Distance) {
                              return a.Distance < b.Distance;
                          }
                          if (a.Rank != b.Rank) {
                              return a.Rank < b.Rank;
                          }
                          return a.Hit.Unit < b.Hit.Unit;
                      });
    std::vector<TUnitHit> hits;
    hits.reserve(kept);
    for (size_t i = 0; i < kept; ++i) {
        hits.push_back(candidates[i].Hit);
    }
    return hits;
}

TUnitHit TUnitSearch::Hit(int32_t unit) const {
    if (unit < 0 || static_cast<size_t>(unit) >= units_.size()) {
        throw std::out_of_range("unit " + std::to_string(unit) + " out of range");
    }
    return units_[static_cast<size_t>(unit)];
}

std::string_view TUnitSearch::UnitName(const TUnitHit& hit) const {
    Hit(hit.Unit);
    return RawKey(keys_[unitKeys_[static_cast<size_t>(hit.Unit)]]);
}

std::string_view TUnitSearch::UnitAlias(const TUnitHit& hit) const {
    Hit(hit.Unit);
    if (hit.Alias < 0) {
        return {};
    }
    for (uint32_t k = unitKeys_[static_cast<size_t>(hit.Unit)];
         k < unitKeys_[static_cast<size_t>(hit.Unit) + 1]; ++k) {
        if (keys_[k].Kind == TNameKind::Alias && keys_[k].Alias == hit.Alias) {
            return RawKey(keys_[k]);
        }
    }
    throw std::out_of_range("alias " + std::to_string(hit.Alias) + " out of range");
}

const std::string& TUnitSearch::GroupName(const TUnitHit& hit) const {
    return groupNames_.at(static_cast<size_t>(hit.Group));
}

std::string_view UnitSymbol(std::string_view name) {
    const std::string_view trimmed = Trim(name);
    const size_t open = SymbolBracket(trimmed);
    if (open == std::string_view::npos) {
        return {};
    }
    return Trim(trimmed.substr(open + 1, trimmed.size() - open - 2));
}

std::string_view UnitBareName(std::string_view name) {
    const std::string_view trimmed = Trim(name);
    return Trim(trimmed.substr(0, SymbolBracket(trimmed)));
}

std::vector<int32_t> MatchUnitName(const std::vector<TUnitNamesEntry>& units,
                                   std::string_view text) {
    for (size_t p = 0; p < units.size(); ++p) {
        if (units[p].Name == text) {
            return {static_cast<int32_t>(p)};
        }
    }
    if (text.empty()) {
        return {};
    }
    const auto matching = [&](auto&& names) {
        std::vector<int32_t> matches;
        for (size_t p = 0; p < units.size(); ++p) {
            if (names(units[p])) {
                matches.push_back(static_cast<int32_t>(p));
            }
        }
        return matches;
    };
    for (const auto part : {UnitSymbol, UnitBareName}) {
        std::vector<int32_t> matches =
            matching([&](const TUnitNamesEntry& unit) { return part(unit.Name) == text; });
        if (!matches.empty()) {
            return matches;
        }
    }
    return matching([&](const TUnitNamesEntry& unit) {
        return std::find(unit.Aliases.begin(), unit.Aliases.end(), text) != unit.Aliases.end();
    });
}

} // namespace tv
