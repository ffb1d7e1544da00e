#include "calc/TvUnitSearch.h"

#include "calc/TvCalculate.h"

#include <cstring>
#include <stdexcept>

namespace tv {

namespace {

constexpr char kNameEnd = '\n';

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

void AppendLowerAscii(std::string& out, std::string_view text) {
    const size_t from = out.size();
    out.append(text);
    for (size_t i = from; i < out.size(); ++i) {
        const char c = out[i];
        out[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
}

// Hiragana U+3041-U+3096 and the iteration marks U+309D, U+309E to their katakana, which lie
// 0x60 higher; every other byte is copied.
std::string HiraganaToKatakana(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 == 0xE3 && i + 2 < text.size()) {
            const auto b1 = static_cast<unsigned char>(text[i + 1]);
            const auto b2 = static_cast<unsigned char>(text[i + 2]);
            const auto code = static_cast<char32_t>(0x3000u | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu));
            if ((b1 == 0x81 || b1 == 0x82) && (b2 & 0xC0u) == 0x80 &&
                ((code >= 0x3041 && code <= 0x3096) || code == 0x309D || code == 0x309E)) {
                const char32_t katakana = code + 0x60;
                out += static_cast<char>(0xE3);
                out += static_cast<char>(0x80 | ((katakana >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (katakana & 0x3F));
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// True when the text may hold hiragana: their UTF-8 forms begin E3 81 or E3 82.
bool MayHoldHiragana(std::string_view text) {
    for (size_t at = text.find('\xE3'); at != std::string_view::npos;
         at = text.find('\xE3', at + 1)) {
        if (at + 1 < text.size() && (text[at + 1] == '\x81' || text[at + 1] == '\x82')) {
            return true;
        }
    }
    return false;
}

void AppendFolded(std::string& out, std::string_view text) {
    if (IsAscii(text)) {
        AppendLowerAscii(out, text);
        return;
    }
    AppendLowerAscii(out,
                     MayHoldHiragana(text) ? MapText(HiraganaToKatakana(text)) : MapText(text));
}

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

} // namespace

std::string FoldForSearch(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFolded(out, text);
    return out;
}

TUnitSearch::TUnitSearch(const TUnits& units) {
    size_t total = 0;
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        total += static_cast<size_t>(units.GetGroup(g).Count);
    }
    // Room for names of a usual length, so that the texts are seldom moved as they grow.
    constexpr size_t kNameBytes = 32;
    names_.reserve(total * kNameBytes);
    folded_.reserve(total * kNameBytes);
    nameStarts_.reserve(total + 1);
    foldedStarts_.reserve(total + 1);
    units_.reserve(total);
    groupNames_.reserve(static_cast<size_t>(units.GroupCount()));
    for (int32_t g = 0; g < units.GroupCount(); ++g) {
        groupNames_.push_back(units.GetGroup(g).Name);
        const std::vector<std::string> names = units.GroupUnitNames(g);
        for (size_t p = 0; p < names.size(); ++p) {
            units_.push_back({g, static_cast<int32_t>(p), static_cast<int32_t>(units_.size())});
            nameStarts_.push_back(names_.size());
            names_ += names[p];
            foldedStarts_.push_back(folded_.size());
            AppendFolded(folded_, names[p]);
            folded_ += kNameEnd;
        }
    }
    nameStarts_.push_back(names_.size());
    foldedStarts_.push_back(folded_.size());
}

std::vector<TUnitHit> TUnitSearch::Find(std::string_view filter) const {
    const std::string key = FoldForSearch(filter);
    if (key.empty()) {
        return units_;
    }
    if (key.find(kNameEnd) != std::string::npos) {
        return {};
    }
    std::vector<TUnitHit> hits;
    std::vector<TUnitHit> later; // hits whose name does not start with the filter
    const char* const text = folded_.data();
    const size_t size = folded_.size();
    size_t from = 0;
    size_t unit = 0;
    while (from < size) {
        const void* found = memmem(text + from, size - from, key.data(), key.size());
        if (found == nullptr) {
            break;
        }
        const auto at = static_cast<size_t>(static_cast<const char*>(found) - text);
        while (foldedStarts_[unit + 1] <= at) {
            ++unit;
        }
        (at == foldedStarts_[unit] ? hits : later).push_back(units_[unit]);
        from = foldedStarts_[unit + 1];
    }
    hits.insert(hits.end(), later.begin(), later.end());
    return hits;
}

std::string_view TUnitSearch::UnitName(const TUnitHit& hit) const {
    const auto unit = static_cast<size_t>(hit.Unit);
    if (hit.Unit < 0 || unit >= units_.size()) {
        throw std::out_of_range("unit " + std::to_string(hit.Unit) + " out of range");
    }
    return std::string_view(names_).substr(nameStarts_[unit],
                                           nameStarts_[unit + 1] - nameStarts_[unit]);
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

std::vector<int32_t> MatchUnitName(const std::vector<std::string>& names, std::string_view text) {
    for (size_t p = 0; p < names.size(); ++p) {
        if (names[p] == text) {
            return {static_cast<int32_t>(p)};
        }
    }
    if (text.empty()) {
        return {};
    }
    for (const auto part : {UnitSymbol, UnitBareName}) {
        std::vector<int32_t> matches;
        for (size_t p = 0; p < names.size(); ++p) {
            if (part(names[p]) == text) {
                matches.push_back(static_cast<int32_t>(p));
            }
        }
        if (!matches.empty()) {
            return matches;
        }
    }
    return {};
}

} // namespace tv
