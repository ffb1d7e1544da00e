#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How typed names are compared with the names of units: exactly, with ASCII case ignored, or
// folded (FoldForSearch).

namespace tv {

// ASCII letters to lower case, every other byte as it is.
std::string FoldAsciiCase(std::string_view text);

// Folds a name for comparison: compatibility forms to their plain form as NFKC does (full-width
// letters and digits, half-width katakana, ℃ to °C, m² to m2, square katakana such as ㌔), then
// hiragana to katakana and ASCII letters to lower case. Bytes that are not UTF-8 are kept as they
// are. Never fails.
std::string FoldForSearch(std::string_view text);

// Appends FoldForSearch(text) to out.
void AppendFolded(std::string& out, std::string_view text);

// One character of a text folded by FoldWithOrigins: its bytes in the text and the bytes of its
// folded form in the folded text. A half-width katakana and the sound mark after it are one
// character, as they fold to one.
struct TFoldedChar {
    uint32_t Begin = 0;
    uint32_t End = 0;
    uint32_t FoldBegin = 0;
    uint32_t FoldEnd = 0;
    char32_t Code = 0; // the first code point of the character; kNotUtf8 for a stray byte
};

inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Folds text as FoldForSearch does into folded and describes each character in chars. Texts
// beyond 4 GiB are not supported (offsets are 32-bit); callers keep to far shorter ones.
void FoldWithOrigins(std::string_view text, std::string& folded, std::vector<TFoldedChar>& chars);

// Decodes UTF-8 into code points; a byte that is not part of a well-formed character becomes a
// code point of its own (0xDC00 plus the byte), so that any text decodes.
void DecodeUtf8(std::string_view text, std::vector<char32_t>& out);

} // namespace tv
