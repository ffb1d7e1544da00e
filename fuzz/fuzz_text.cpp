// GroupDigits and MapText on arbitrary text.

#include "FuzzSupport.h"

#include "calc/TvCalculate.h"

#include <string>

namespace {

std::string WithoutCommas(std::string_view s) {
    std::string out;
    for (const char c : s) {
        if (c != ',') {
            out += c;
        }
    }
    return out;
}

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

bool IsAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = tvfuzz::AsText(data, size);

    // Grouping upper-cases and inserts commas, nothing else.
    const std::string grouped = tv::GroupDigits(text);
    const std::string upper = AsciiUpper(text);
    if (upper.find('E') != std::string::npos) {
        TVFUZZ_CHECK(grouped == upper, grouped);
    } else {
        TVFUZZ_CHECK(WithoutCommas(grouped) == WithoutCommas(upper), grouped);
    }

    // Half-width mapping leaves ASCII alone, keeps valid UTF-8 valid, and maps only once.
    const std::string mapped = tv::MapText(text);
    // A NUL may end the mapped text, as it ends the platform mapping's output.
    if (IsAscii(text) && text.find('\0') == std::string_view::npos) {
        TVFUZZ_CHECK(mapped == text, mapped);
    }
    if (tvfuzz::IsValidUtf8(text)) {
        TVFUZZ_CHECK(tvfuzz::IsValidUtf8(mapped), mapped);
        TVFUZZ_CHECK(tv::MapText(mapped) == mapped, mapped);
    }
    return 0;
}
