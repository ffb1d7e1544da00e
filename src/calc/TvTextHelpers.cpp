#include "calc/TvCalculate.h"

#include "units/TvUnitsFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tv {

bool IsNumberText(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (char c : text) {
        if (c != ',') {
            plain += c;
        }
    }
    long double value = 0.0L;
    return TryStrToFloatValue(plain, value);
}

std::string GroupDigits(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (upper.find('E') != std::string::npos) {
        return upper;
    }
    std::string sign;
    std::string_view rest(upper);
    if (!rest.empty() && rest.front() == '-') {
        sign = "-";
        rest.remove_prefix(1);
    }
    const size_t point = rest.find('.');
    if (point != std::string_view::npos && point < 3) {
        return sign + std::string(rest);
    }
    const std::string_view integer = rest.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? "" : rest.substr(point);
    // Groups count whole characters, so a stray multi-byte character is never cut apart.
    std::vector<size_t> starts;
    for (size_t i = 0; i < integer.size(); ++i) {
        if (i == 0 || (static_cast<unsigned char>(integer[i]) & 0xC0) != 0x80) {
            starts.push_back(i);
        }
    }
    std::string grouped;
    grouped.reserve(integer.size() + integer.size() / 3 + 1);
    const size_t count = starts.size();
    for (size_t k = 0; k < count; ++k) {
        if (k > 0 && (count - k) % 3 == 0) {
            grouped += ',';
        }
        const size_t end = k + 1 < count ? starts[k + 1] : integer.size();
        grouped += integer.substr(starts[k], end - starts[k]);
    }
    return sign + grouped + std::string(fraction);
}

namespace {

// Half-width forms of U+30A1..U+30FC; mark 1 adds the voiced sound mark, 2 the semi-voiced.
struct HalfKana {
    char16_t code;
    uint8_t mark;
};

constexpr HalfKana kHalfKana[] = {
    {0xFF67, 0}, {0xFF71, 0}, {0xFF68, 0}, {0xFF72, 0}, {0xFF69, 0}, {0xFF73, 0}, {0xFF6A, 0},
    {0xFF74, 0}, {0xFF6B, 0}, {0xFF75, 0}, {0xFF76, 0}, {0xFF76, 1}, {0xFF77, 0}, {0xFF77, 1},
    {0xFF78, 0}, {0xFF78, 1}, {0xFF79, 0}, {0xFF79, 1}, {0xFF7A, 0}, {0xFF7A, 1}, {0xFF7B, 0},
    {0xFF7B, 1}, {0xFF7C, 0}, {0xFF7C, 1}, {0xFF7D, 0}, {0xFF7D, 1}, {0xFF7E, 0}, {0xFF7E, 1},
    {0xFF7F, 0}, {0xFF7F, 1}, {0xFF80, 0}, {0xFF80, 1}, {0xFF81, 0}, {0xFF81, 1}, {0xFF6F, 0},
    {0xFF82, 0}, {0xFF82, 1}, {0xFF83, 0}, {0xFF83, 1}, {0xFF84, 0}, {0xFF84, 1}, {0xFF85, 0},
    {0xFF86, 0}, {0xFF87, 0}, {0xFF88, 0}, {0xFF89, 0}, {0xFF8A, 0}, {0xFF8A, 1}, {0xFF8A, 2},
    {0xFF8B, 0}, {0xFF8B, 1}, {0xFF8B, 2}, {0xFF8C, 0}, {0xFF8C, 1}, {0xFF8C, 2}, {0xFF8D, 0},
    {0xFF8D, 1}, {0xFF8D, 2}, {0xFF8E, 0}, {0xFF8E, 1}, {0xFF8E, 2}, {0xFF8F, 0}, {0xFF90, 0},
    {0xFF91, 0}, {0xFF92, 0}, {0xFF93, 0}, {0xFF6C, 0}, {0xFF94, 0}, {0xFF6D, 0}, {0xFF95, 0},
    {0xFF6E, 0}, {0xFF96, 0}, {0xFF97, 0}, {0xFF98, 0}, {0xFF99, 0}, {0xFF9A, 0}, {0xFF9B, 0},
    {0x0000, 0}, {0xFF9C, 0}, {0x0000, 0}, {0x0000, 0}, {0xFF66, 0}, {0xFF9D, 0}, {0xFF73, 1},
    {0x0000, 0}, {0x0000, 0}, {0xFF9C, 1}, {0x0000, 0}, {0x0000, 0}, {0xFF66, 1}, {0xFF65, 0},
    {0xFF70, 0},
};

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes the well-formed three-byte UTF-8 character at pos (every character that maps has
// three bytes); returns 0 for anything else.
char32_t DecodeThreeBytes(std::string_view text, size_t pos) {
    if (pos + 3 > text.size()) {
        return 0;
    }
    const auto b0 = static_cast<unsigned char>(text[pos]);
    const auto b1 = static_cast<unsigned char>(text[pos + 1]);
    const auto b2 = static_cast<unsigned char>(text[pos + 2]);
    if ((b0 & 0xF0) != 0xE0 || (b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) {
        return 0;
    }
    const char32_t code = (char32_t{b0} & 0x0F) << 12 | (char32_t{b1} & 0x3F) << 6 | (b2 & 0x3F);
    return code < 0x800 ? 0 : code; // overlong forms are not characters
}

} // namespace

std::string MapText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const char32_t code = DecodeThreeBytes(text, i);
        if (code >= 0xFF01 && code <= 0xFF5E) {
            out += static_cast<char>(code - 0xFEE0);
        } else if (code == 0x3000) {
            out += ' ';
        } else if (code >= 0x30A1 && code <= 0x30FC && kHalfKana[code - 0x30A1].code != 0) {
            const HalfKana kana = kHalfKana[code - 0x30A1];
            AppendUtf8(out, kana.code);
            if (kana.mark != 0) {
                AppendUtf8(out, kana.mark == 1 ? 0xFF9E : 0xFF9F);
            }
        } else if (code == 0x3001) {
            AppendUtf8(out, 0xFF64);
        } else if (code == 0x3002) {
            AppendUtf8(out, 0xFF61);
        } else if (code == 0x300C) {
            AppendUtf8(out, 0xFF62);
        } else if (code == 0x300D) {
            AppendUtf8(out, 0xFF63);
        } else if (code == 0x309B) {
            AppendUtf8(out, 0xFF9E);
        } else if (code == 0x309C) {
            AppendUtf8(out, 0xFF9F);
        } else if (code != 0) {
            out.append(text.substr(i, 3));
        } else {
            out += text[i];
            ++i;
            continue;
        }
        i += 3;
    }
    return out;
}

} // namespace tv
