#include "calc/TvBaseConvert.h"

#include "units/TvErrors.h"

#include <cmath>
#include <limits>

namespace tv {

namespace {

constexpr const char* kMsgNotConvertible = "変換できない値です。";

[[noreturn]] void ThrowNotConvertible() {
    throw EConvertError(kMsgNotConvertible);
}

bool IsBase(int64_t base) {
    return base >= 2 && base <= 36;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Value of a digit character (after upper-casing), or -1.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

int64_t BaseStrToInt(std::string_view text, uint8_t base) {
    if (!IsBase(base)) {
        ThrowNotConvertible();
    }
    // 2^63 as a long double: the first term that no longer fits.
    constexpr long double kLimit = 9223372036854775808.0L;
    int64_t value = 0;
    // base^place, built by multiplication: exact while below 2^64, and it overflows the
    // floating-point range at the same place as the true power does.
    long double power = 1.0L;
    for (size_t place = 0; place < text.size(); ++place) {
        if (place > 0) {
            power *= base;
            if (std::isinf(power)) {
                ThrowNotConvertible();
            }
        }
        const int digit = DigitValue(Upper(text[text.size() - 1 - place]));
        if (digit < 0) {
            ThrowNotConvertible();
        }
        const long double term = std::round(power * static_cast<long double>(digit));
        if (term >= kLimit) {
            ThrowNotConvertible();
        }
        if (__builtin_add_overflow(value, static_cast<int64_t>(term), &value)) {
            ThrowNotConvertible();
        }
    }
    return value;
}

std::string IntToBaseStr(int64_t value, uint8_t base) {
    if (!IsBase(base)) {
        ThrowNotConvertible();
    }
    // Negative values never come from BaseStrToInt; they are written with a sign instead of
    // with digits below "0".
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits;
    do {
        const auto digit = static_cast<char>(magnitude % base);
        digits += static_cast<char>(digit < 10 ? '0' + digit : digit + 55);
        magnitude /= base;
    } while (magnitude != 0);
    if (value < 0) {
        digits += '-';
    }
    return std::string(digits.rbegin(), digits.rend());
}

bool IsBaseStr(std::string_view text, uint8_t base) {
    if (text.empty() || !IsBase(base)) {
        return false;
    }
    for (char c : text) {
        const int digit = DigitValue(Upper(c));
        if (digit < 0 || digit >= base) {
            return false;
        }
    }
    return true;
}

int64_t BaseFieldValue(std::string_view text) {
    constexpr int64_t kDefault = 10;
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return kDefault;
    }
    // Accumulated negatively so that the most negative value reads too.
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return kDefault;
        }
        if (__builtin_mul_overflow(value, int64_t{10}, &value) ||
            __builtin_sub_overflow(value, int64_t{c - '0'}, &value)) {
            return kDefault;
        }
    }
    if (negative) {
        return value;
    }
    if (value == std::numeric_limits<int64_t>::min()) {
        return kDefault;
    }
    return -value;
}

TBaseConvResult ConvertBase(std::string_view input, std::string_view baseInText,
                            std::string_view baseOutText) {
    TBaseConvResult result;
    if (baseInText == baseOutText) {
        result.Output = std::string(input);
    } else {
        const int64_t baseIn = BaseFieldValue(baseInText);
        const int64_t baseOut = BaseFieldValue(baseOutText);
        // Checked before the bases are narrowed, so that 266 is not taken for 10.
        if (!IsBase(baseIn) || !IsBase(baseOut)) {
            ThrowNotConvertible();
        }
        const int64_t value = BaseStrToInt(input, static_cast<uint8_t>(baseIn));
        result.Output = IntToBaseStr(value, static_cast<uint8_t>(baseOut));
    }
    result.ReportLine = std::string(input) + " (" + std::string(baseInText) + ") => " +
                        result.Output + " (" + std::string(baseOutText) + ")";
    return result;
}

} // namespace tv
