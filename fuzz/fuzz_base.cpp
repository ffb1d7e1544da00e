// Radix conversion: BaseStrToInt against exact integer arithmetic, IntToBaseStr and IsBaseStr
// against it, and ConvertBase on arbitrary fields.
// Input: byte 0 the base, then the digit text; a NUL splits off two base field texts for
// ConvertBase.

#include "FuzzSupport.h"

#include "calc/TvBaseConvert.h"
#include "units/TvErrors.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    return -1;
}

// The value of a digit text by exact integer arithmetic: a digit at or above the base counts
// with its own value; nullopt for a non-digit or a value (or term) above 2^63-1. Only for texts
// short enough that no power of the base leaves the floating-point range.
std::optional<int64_t> ExactValue(std::string_view text, unsigned base) {
    constexpr uint64_t kMax = std::numeric_limits<int64_t>::max();
    uint64_t sum = 0;
    uint64_t power = 1; // saturates at kMax + 1
    for (size_t i = text.size(); i-- > 0;) {
        const int digit = DigitValue(text[i]);
        if (digit < 0) {
            return std::nullopt;
        }
        if (digit != 0) {
            const auto d = static_cast<uint64_t>(digit);
            if (power > kMax / d) {
                return std::nullopt; // the term alone is above 2^63-1
            }
            sum += power * d; // both below 2^63: no wrap-around
            if (sum > kMax) {
                return std::nullopt;
            }
        }
        power = power > kMax / base ? kMax + 1 : power * base;
    }
    return static_cast<int64_t>(sum);
}

std::string Canonical(std::string_view digits) {
    std::string out;
    for (const char c : digits) {
        out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const size_t first = out.find_first_not_of('0');
    return first == std::string::npos ? "0" : out.substr(first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto base = static_cast<uint8_t>(data[0]);
    const std::vector<std::string_view> parts =
        tvfuzz::SplitAtNul(tvfuzz::AsText(data + 1, size - 1), 3);
    const std::string_view text = parts[0];
    const bool validBase = base >= 2 && base <= 36;

    std::optional<int64_t> value;
    try {
        value = tv::BaseStrToInt(text, base);
        TVFUZZ_CHECK(validBase && *value >= 0, text);
    } catch (const tv::EConvertError& e) {
        TVFUZZ_CHECK(std::string(e.what()) == "変換できない値です。", text);
    }

    if (validBase && text.size() <= 64) {
        const std::optional<int64_t> exact = ExactValue(text, base);
        TVFUZZ_CHECK(exact == value, text);
    }

    const bool isBaseStr = tv::IsBaseStr(text, base);
    if (isBaseStr && validBase) {
        TVFUZZ_CHECK(!text.empty(), text);
        for (const char c : text) {
            const int digit = DigitValue(c);
            TVFUZZ_CHECK(
                digit >= 0 && digit < std::max<int>(base, 10) && (base > 10 || digit < base), text);
        }
    }
    if (value && validBase) {
        const std::string written = tv::IntToBaseStr(*value, base);
        TVFUZZ_CHECK(tv::BaseStrToInt(written, base) == *value, written);
        TVFUZZ_CHECK(tv::IsBaseStr(written, base), written);
        if (isBaseStr) {
            TVFUZZ_CHECK(written == Canonical(text), written);
        }
    }

    // Arbitrary field texts: a result or a conversion failure, nothing else.
    try {
        const tv::TBaseConvResult result = tv::ConvertBase(text, parts[1], parts[2]);
        if (parts[1] == parts[2]) {
            TVFUZZ_CHECK(result.Output == text, result.Output);
        }
        TVFUZZ_CHECK(result.ReportLine == std::string(text) + " (" + std::string(parts[1]) +
                                              ") => " + result.Output + " (" +
                                              std::string(parts[2]) + ")",
                     result.ReportLine);
    } catch (const tv::EConvertError&) {
    }
    tv::BaseFieldValue(parts[1]);
    return 0;
}
