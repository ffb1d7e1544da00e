#include "calc/TvNameFold.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace tv {

namespace {

struct TFoldEntry {
    char32_t Code;
    const char* Folded;
};

struct TComposeEntry {
    char32_t Base;
    char32_t Mark;
    char32_t Composed;
};

#include "calc/TvFoldTable.inc"

constexpr char32_t kVoicedMark = 0x3099;
constexpr char32_t kSemiVoicedMark = 0x309A;

// The code point at text[i] and its length in bytes; kNotUtf8 and 1 for a byte that does not
// begin a well-formed character (no overlong forms, surrogates or code points above U+10FFFF).
std::pair<char32_t, size_t> DecodeAt(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {kNotUtf8, 1};
    }
    if (text.size() - i < length) {
        return {kNotUtf8, 1};
    }
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) {
            return {kNotUtf8, 1};
        }
        code = (code << 6) | (b & 0x3Fu);
    }
    return {code, length};
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// True for the code points that the table may hold, so that kanji and kana skip the search.
bool MayHaveCompatibilityForm(char32_t code) {
    return (code >= 0x00A0 && code <= 0x00FF) || (code >= 0x2000 && code <= 0x218F) ||
           (code >= 0x2460 && code <= 0x24FF) || code == 0x3000 ||
           (code >= 0x3200 && code <= 0x33FF) || (code >= 0xF900 && code <= 0xFAFF) ||
           (code >= 0xFF01 && code <= 0xFFEE);
}

const char* CompatibilityForm(char32_t code) {
    if (!MayHaveCompatibilityForm(code)) {
        return nullptr;
    }
    const auto* end = std::end(kFoldTable);
    const auto* found = std::lower_bound(
        std::begin(kFoldTable), end, code,
        [](const TFoldEntry& entry, char32_t value) { return entry.Code < value; });
    return found != end && found->Code == code ? found->Folded : nullptr;
}

bool IsHiragana(char32_t code) {
    return (code >= 0x3041 && code <= 0x3096) || code == 0x309D || code == 0x309E;
}

// Appends the folded form of one code point, given with its bytes; returns the code point it
// folds to when that is a single one (for the composition with a sound mark), else 0.
char32_t AppendFoldedCode(std::string& out, char32_t code, std::string_view bytes) {
    if (code < 0x80) {
        const char c = static_cast<char>(code);
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return code;
    }
    if (IsHiragana(code)) {
        AppendUtf8(out, code + 0x60);
        return code + 0x60;
    }
    if (const char* form = CompatibilityForm(code)) {
        const std::string_view folded(form);
        out += folded;
        const auto [single, length] = DecodeAt(folded, 0);
        return length == folded.size() ? single : 0;
    }
    out += bytes;
    return code;
}

// The mark a code point folds to, if it is a voiced or semi-voiced sound mark.
char32_t SoundMark(char32_t code) {
    switch (code) {
    case kVoicedMark:
    case 0xFF9E:
        return kVoicedMark;
    case kSemiVoicedMark:
    case 0xFF9F:
        return kSemiVoicedMark;
    default:
        return 0;
    }
}

char32_t Composed(char32_t base, char32_t mark) {
    for (const TComposeEntry& entry : kComposeTable) {
        if (entry.Base == base && entry.Mark == mark) {
            return entry.Composed;
        }
    }
    return 0;
}

template <class F> void FoldEach(std::string_view text, std::string& out, F&& record) {
    if (text.size() > std::numeric_limits<uint32_t>::max()) {
        throw std::length_error("text too long to fold");
    }
    size_t i = 0;
    while (i < text.size()) {
        const size_t begin = i;
        const size_t foldBegin = out.size();
        const auto [code, length] = DecodeAt(text, i);
        i += length;
        if (code == kNotUtf8) {
            out += text[begin];
            record(begin, i, foldBegin, code);
            continue;
        }
        const char32_t single = AppendFoldedCode(out, code, text.substr(begin, length));
        if (single >= 0x30A1 && single <= 0x30FE && i < text.size()) {
            const auto [next, nextLength] = DecodeAt(text, i);
            const char32_t mark = next == kNotUtf8 ? 0 : SoundMark(next);
            if (const char32_t composed = mark != 0 ? Composed(single, mark) : 0) {
                out.resize(foldBegin);
                AppendUtf8(out, composed);
                i += nextLength;
            }
        }
        record(begin, i, foldBegin, code);
    }
}

} // namespace

std::string FoldAsciiCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string FoldForSearch(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFolded(out, text);
    return out;
}

void AppendFolded(std::string& out, std::string_view text) {
    // Runs of ASCII, the most of most names, at once.
    while (!text.empty()) {
        size_t ascii = 0;
        while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) {
            ++ascii;
        }
        const size_t from = out.size();
        out.append(text.substr(0, ascii));
        for (size_t i = from; i < out.size(); ++i) {
            if (out[i] >= 'A' && out[i] <= 'Z') {
                out[i] = static_cast<char>(out[i] - 'A' + 'a');
            }
        }
        text.remove_prefix(ascii);
        size_t other = 0;
        while (other < text.size() && static_cast<unsigned char>(text[other]) >= 0x80) {
            ++other;
        }
        FoldEach(text.substr(0, other), out, [](size_t, size_t, size_t, char32_t) {});
        text.remove_prefix(other);
    }
}

void FoldWithOrigins(std::string_view text, std::string& folded, std::vector<TFoldedChar>& chars) {
    folded.clear();
    chars.clear();
    folded.reserve(text.size());
    chars.reserve(text.size());
    FoldEach(text, folded, [&](size_t begin, size_t end, size_t foldBegin, char32_t code) {
        chars.push_back({static_cast<uint32_t>(begin), static_cast<uint32_t>(end),
                         static_cast<uint32_t>(foldBegin), 0, code});
    });
    // Each character's folded form ends where the next one's begins.
    for (size_t k = 0; k < chars.size(); ++k) {
        chars[k].FoldEnd =
            k + 1 < chars.size() ? chars[k + 1].FoldBegin : static_cast<uint32_t>(folded.size());
    }
}

void DecodeUtf8(std::string_view text, std::vector<char32_t>& out) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const auto [code, length] = DecodeAt(text, i);
        out.push_back(code == kNotUtf8 ? 0xDC00 + static_cast<unsigned char>(text[i]) : code);
        i += length;
    }
}

} // namespace tv
