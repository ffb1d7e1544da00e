#include "calc/TvCalculate.h"

#include "calc/TvCalcParts.h"
#include "units/TvPowersOfTen.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace tv {

namespace {

struct Decimal18 {
    // The 18 digits, and room behind them, so that any 18 bytes from a digit on can be copied
    // in one fixed-size move.
    char digits[36];
    int exponent; // the value is d1.d2...d18 times 10 to this power
};

// "00" to "99".
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "7475767778798081828384858687888990919293949596979899";

// The exponent frexp gives for a normal magnitude; read from the bits in the x87 format, where
// the library call costs more than the rest of the rounding.
int BinaryExponent(long double magnitude) {
    if constexpr (std::numeric_limits<long double>::digits == 64) {
        uint16_t signAndExponent = 0;
        std::memcpy(&signAndExponent, reinterpret_cast<const char*>(&magnitude) + 8,
                    sizeof signAndExponent);
        return (signAndExponent & 0x7FFF) - 16382;
    } else {
        int exponent = 0;
        std::frexp(magnitude, &exponent);
        return exponent;
    }
}

// Writes the nine digits of value (below 10^9); in two independent halves, as each step of
// one long division waits for the last.
void WriteNineDigits(uint32_t value, char* out) {
    const uint32_t high = value / 10000; // five digits
    const uint32_t low = value % 10000;
    out[0] = static_cast<char>('0' + high / 10000);
    const uint32_t middle = high % 10000;
    std::memcpy(out + 1, kDigitPairs + 2 * (middle / 100), 2);
    std::memcpy(out + 3, kDigitPairs + 2 * (middle % 100), 2);
    std::memcpy(out + 5, kDigitPairs + 2 * (low / 100), 2);
    std::memcpy(out + 7, kDigitPairs + 2 * (low % 100), 2);
}

// The 18-digit rounding without the C library, for magnitudes that one exact power of ten
// scales into [1E17, 1E18). The scaling rounds once, by at most 2^-5 below 2^60, so the nearest
// integer is certain unless the fraction lies near one half; then, and out of range, it gives
// up and the caller asks the C library.
bool FastDecimal18(long double magnitude, uint64_t& digits, int& decimalExponent) {
    // floor(log10(magnitude)) or one less: 78913 / 2^18 is log10(2) closely enough for every
    // exponent this path takes (below 150 in magnitude); beyond, k is out of range at once.
    int exponent = ((BinaryExponent(magnitude) - 1) * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int k = 17 - exponent;
        if (k > kMaxExactPowerOfTen || k < -kMaxExactPowerOfTen) {
            return false;
        }
        const long double scaled =
            k >= 0 ? magnitude * kExactPowersOfTen[k] : magnitude / kExactPowersOfTen[-k];
        if (scaled >= 1E18L) {
            ++exponent;
            continue;
        }
        if (scaled < 1E17L) {
            --exponent;
            continue;
        }
        // Truncation is the floor here, and the integer part (below 2^60) is exact.
        const auto whole = static_cast<uint64_t>(static_cast<int64_t>(scaled));
        const long double fraction = scaled - static_cast<long double>(whole);
        if (std::fabs(fraction - 0.5L) <= 0.0625L) {
            return false;
        }
        digits = whole + (fraction > 0.5L ? 1U : 0U);
        if (digits == 1000000000000000000ULL) {
            digits /= 10;
            ++exponent;
        }
        decimalExponent = exponent;
        return true;
    }
    return false;
}

// The magnitude rounded to 18 significant digits by the C library.
Decimal18 LibraryDecimal18(long double magnitude) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 17);
    Decimal18 decimal{};
    int count = 0;
    const char* p = buffer;
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9' && count < 18) {
            decimal.digits[count++] = *p;
        }
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), result.ptr, exponent);
    decimal.exponent = exponent;
    return decimal;
}

// The magnitude rounded to 18 significant digits; independent of the C locale.
Decimal18 ToDecimal18(long double value) {
    const long double magnitude = std::fabs(value);
    uint64_t digits = 0;
    Decimal18 decimal{};
    if (!FastDecimal18(magnitude, digits, decimal.exponent)) {
        return LibraryDecimal18(magnitude);
    }
    constexpr uint64_t kNineDigits = 1000000000;
    WriteNineDigits(static_cast<uint32_t>(digits / kNineDigits), decimal.digits);
    WriteNineDigits(static_cast<uint32_t>(digits % kNineDigits), decimal.digits + 9);
    return decimal;
}

const char* NonFinite(long double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    return value < 0 ? "-INF" : "INF";
}

} // namespace

size_t WriteGeneral(long double value, char* out) {
    if (!std::isfinite(value)) {
        const char* text = NonFinite(value);
        const size_t length = std::strlen(text);
        std::memcpy(out, text, length);
        return length;
    }
    if (value == 0.0L) {
        out[0] = '0'; // also for negative zero
        return 1;
    }
    const Decimal18 decimal = ToDecimal18(value);
    const char* digits = decimal.digits;
    int count = 18; // without the trailing zeros
    while (count > 8 && std::memcmp(digits + count - 8, "00000000", 8) == 0) {
        count -= 8;
    }
    while (count > 1 && digits[count - 1] == '0') {
        --count;
    }
    const int e = decimal.exponent + 1; // value = 0.d1d2... times 10^e
    // At most a sign, "0.", three zeros and 18 digits, or a sign, 18 digits, a point, "E" and an
    // exponent of up to five digits with its sign. The digits are copied 18 at a time, which
    // costs less than a copy of the exact length, and the end is set after them.
    char* p = out;
    if (value < 0) {
        *p++ = '-';
    }
    if (e >= -3 && e <= 18) {
        if (e <= 0) {
            std::memcpy(p, "0.000", 5);
            p += 2 - e;
            std::memcpy(p, digits, 18);
            p += count;
        } else {
            // Where count <= e, the digits up to e are the zeros that fill the integer part.
            std::memcpy(p, digits, 18);
            p += e;
            if (count > e) {
                *p = '.';
                std::memcpy(p + 1, digits + e, 18);
                p += 1 + count - e;
            }
        }
    } else {
        *p++ = digits[0];
        if (count > 1) {
            *p = '.';
            std::memcpy(p + 1, digits + 1, 18);
            p += count;
        }
        *p++ = 'E';
        p = std::to_chars(p, out + kMaxGeneralLength, e - 1).ptr;
    }
    return static_cast<size_t>(p - out);
}

bool ReadBackGeneral(long double value, long double& magnitude) {
    if (value == 0.0L) {
        magnitude = 0.0L; // "0"
        return true;
    }
    if (!std::isfinite(value)) {
        return false;
    }
    // The significant digits without their trailing zeros, and e with value = 0.d1d2... x 10^e.
    uint64_t digits = 0;
    int exponent = 0;
    int count = 18;
    if (FastDecimal18(std::fabs(value), digits, exponent)) {
        // At most 17 trailing zeros: eight at a time, then four, two and one.
        while (digits % 100000000 == 0) {
            digits /= 100000000;
            count -= 8;
        }
        if (digits % 10000 == 0) {
            digits /= 10000;
            count -= 4;
        }
        if (digits % 100 == 0) {
            digits /= 100;
            count -= 2;
        }
        if (digits % 10 == 0) {
            digits /= 10;
            count -= 1;
        }
    } else {
        const Decimal18 decimal = LibraryDecimal18(std::fabs(value));
        while (count > 1 && decimal.digits[count - 1] == '0') {
            --count;
        }
        for (int i = 0; i < count; ++i) {
            digits = digits * 10 + static_cast<uint64_t>(decimal.digits[i] - '0');
        }
        exponent = decimal.exponent;
    }
    // Every form of the text (plain with or without a point, "0.000...", scientific) gives the
    // number conversion these digits with this power of ten, or, for an integer with zeros
    // after its digits, the same integer, which is exact either way.
    const int power = exponent + 1 - count;
    if (power > kMaxExactPowerOfTen || power < -kMaxExactPowerOfTen) {
        return false;
    }
    const long double scale = kExactPowersOfTen[power < 0 ? -power : power];
    const auto mantissa = static_cast<long double>(digits);
    magnitude = power < 0 ? mantissa / scale : mantissa * scale;
    return true;
}

std::string FormatGeneral(long double value) {
    // Written into a fixed buffer first, so that the string is allocated once at its size.
    char out[kMaxGeneralLength];
    return std::string(out, WriteGeneral(value, out));
}

std::string FormatExponent(long double value) {
    if (!std::isfinite(value)) {
        return NonFinite(value);
    }
    if (value == 0.0L) {
        return "0.00E+00";
    }
    const Decimal18 decimal = ToDecimal18(value);
    // Cut after the third digit of the 18-digit form, rounding up in magnitude from a 5.
    int mantissa = (decimal.digits[0] - '0') * 100 + (decimal.digits[1] - '0') * 10 +
                   (decimal.digits[2] - '0');
    int exponent = decimal.exponent;
    if (decimal.digits[3] >= '5') {
        ++mantissa;
        if (mantissa == 1000) {
            mantissa = 100;
            ++exponent;
        }
    }
    std::string out = value < 0 ? "-" : "";
    out += static_cast<char>('0' + mantissa / 100);
    out += '.';
    out += static_cast<char>('0' + mantissa / 10 % 10);
    out += static_cast<char>('0' + mantissa % 10);
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) {
        out += '0';
    }
    out += std::to_string(magnitude);
    return out;
}

} // namespace tv
