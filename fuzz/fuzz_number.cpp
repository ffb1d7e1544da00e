// The number conversion (StrToFloatValue, TryStrToFloatValue, IsNumberText) checked against an
// independent reading with strtold, and every accepted value written back in general and
// exponent notation.

#include "FuzzSupport.h"

#include "calc/TvCalculate.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The syntax of a plain number, read on its own: blanks, sign, digits, point, digits, exponent,
// blanks. On a match, `normal` is a text strtold reads to the same value, and `exponent` and
// `digits` tell whether the value is surely within range.
struct TSyntax {
    bool match = false;
    std::string normal;
    long exponent = 0;
    size_t digits = 0;
};

TSyntax ReadSyntax(std::string_view s) {
    TSyntax out;
    size_t i = 0;
    const size_t n = s.size();
    while (i < n && s[i] == ' ') {
        ++i;
    }
    std::string mantissa;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        mantissa += s[i++];
    }
    bool any = false;
    while (i < n && IsDigit(s[i])) {
        mantissa += s[i++];
        ++out.digits;
        any = true;
    }
    if (i < n && s[i] == '.') {
        mantissa += s[i++];
        any = true;
        while (i < n && IsDigit(s[i])) {
            mantissa += s[i++];
            ++out.digits;
        }
    }
    if (!any) {
        return out;
    }
    std::string exponent;
    if (i < n && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        std::string sign;
        if (i < n && (s[i] == '+' || s[i] == '-')) {
            sign = s[i++];
        }
        long value = 0;
        std::string digits;
        while (i < n && IsDigit(s[i])) {
            if (value >= 500) {
                return out; // the exponent reader stops at 500: a digit is left over
            }
            value = value * 10 + (s[i] - '0');
            digits += s[i++];
        }
        if (!digits.empty()) {
            exponent = "e" + sign + digits;
            out.exponent = sign == "-" ? -value : value;
        }
    }
    while (i < n && s[i] == ' ') {
        ++i;
    }
    if (i != n) {
        return out;
    }
    out.match = true;
    // strtold wants a digit in the mantissa: "." and "-." are zero.
    if (out.digits == 0) {
        mantissa.insert(mantissa.size() - 1, "0");
    }
    out.normal = mantissa + exponent;
    return out;
}

// Significant digits of a general-notation text and its scientific exponent, if any.
void CheckGeneral(long double value, const std::string& text) {
    TVFUZZ_CHECK(!text.empty(), text);
    std::string_view body = text;
    if (value < 0) {
        TVFUZZ_CHECK(body.front() == '-', text);
        body.remove_prefix(1);
    }
    const size_t e = body.find('E');
    const std::string_view mantissa = body.substr(0, e);
    size_t significant = 0;
    bool leading = true;
    for (const char c : mantissa) {
        TVFUZZ_CHECK(IsDigit(c) || c == '.', text);
        if (IsDigit(c) && !(leading && c == '0')) {
            leading = false;
            ++significant;
        }
    }
    TVFUZZ_CHECK(significant <= 18, text);
    if (mantissa.find('.') != std::string_view::npos) {
        TVFUZZ_CHECK(mantissa.back() != '0' && mantissa.back() != '.', text);
    }
    if (e != std::string_view::npos) {
        const std::string_view exp = body.substr(e + 1);
        TVFUZZ_CHECK(!exp.empty() && exp.front() != '+' && exp.find('E') == std::string_view::npos,
                     text);
        const long power = std::strtol(std::string(exp).c_str(), nullptr, 10);
        TVFUZZ_CHECK(power < -4 || power >= 18, text);
        TVFUZZ_CHECK(IsDigit(mantissa.front()) && mantissa.front() != '0', text);
    }
}

void CheckExponent(long double value, const std::string& text) {
    // -?d.ddE[+-]dd+
    std::string_view body = text;
    if (value < 0) {
        TVFUZZ_CHECK(!body.empty() && body.front() == '-', text);
        body.remove_prefix(1);
    }
    TVFUZZ_CHECK(body.size() >= 8 && IsDigit(body[0]) && body[1] == '.' && IsDigit(body[2]) &&
                     IsDigit(body[3]) && body[4] == 'E' && (body[5] == '+' || body[5] == '-'),
                 text);
    for (size_t i = 6; i < body.size(); ++i) {
        TVFUZZ_CHECK(IsDigit(body[i]), text);
    }
    long double back = 0.0L;
    if (!tv::TryStrToFloatValue(text, back)) {
        // Only rounding up next to the largest value can leave the range.
        TVFUZZ_CHECK(body.substr(4) == "E+4932", text);
        return;
    }
    TVFUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 5.01E-3L, text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = tvfuzz::AsText(data, size);

    long double value = 0.0L;
    const bool accepted = tv::TryStrToFloatValue(text, value);
    try {
        const long double thrown = tv::StrToFloatValue(text);
        TVFUZZ_CHECK(accepted && (thrown == value || (std::isnan(thrown) && std::isnan(value))),
                     text);
    } catch (const tv::EConvertError& e) {
        TVFUZZ_CHECK(!accepted, text);
        // what() is a C string: a NUL in the text cuts the message short.
        TVFUZZ_CHECK(text.find('\0') != std::string_view::npos ||
                         std::string(e.what()) ==
                             "'" + std::string(text) + "' は浮動小数点数ではありません",
                     text);
    }

    std::string withoutCommas;
    for (const char c : text) {
        if (c != ',') {
            withoutCommas += c;
        }
    }
    long double ignored = 0.0L;
    TVFUZZ_CHECK(tv::IsNumberText(text) == tv::TryStrToFloatValue(withoutCommas, ignored), text);

    const TSyntax syntax = ReadSyntax(text);
    if (!syntax.match) {
        TVFUZZ_CHECK(!accepted, text);
        return 0;
    }
    if (syntax.digits <= 40 && std::labs(syntax.exponent) <= 4800) {
        TVFUZZ_CHECK(accepted, text);
    }
    if (!accepted) {
        return 0;
    }
    TVFUZZ_CHECK(std::isfinite(value), text);
    const long double expected = std::strtold(syntax.normal.c_str(), nullptr);
    TVFUZZ_CHECK(value == expected, syntax.normal);

    const std::string general = tv::FormatGeneral(value);
    CheckGeneral(value, general);
    long double back = 0.0L;
    const bool readable = tv::TryStrToFloatValue(general, back);
    if (readable) {
        TVFUZZ_CHECK(std::fabs(back - value) <=
                         std::fabs(value) * 1E-17L + std::numeric_limits<long double>::denorm_min(),
                     general);
    } else {
        // Only the largest values round up to 1.18973149535723177E4932, beyond the range.
        TVFUZZ_CHECK(std::fabs(value) >= 1.189731495357231765E4932L, general);
    }

    // Grouping only adds commas, and the grouped text reads as a number as the plain one does.
    const std::string grouped = tv::GroupDigits(general);
    std::string ungrouped;
    for (const char c : grouped) {
        if (c != ',') {
            ungrouped += c;
        }
    }
    TVFUZZ_CHECK(ungrouped == general, grouped);
    TVFUZZ_CHECK(tv::IsNumberText(grouped) == readable, grouped);

    CheckExponent(value, tv::FormatExponent(value));
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C");
    return 0;
}
