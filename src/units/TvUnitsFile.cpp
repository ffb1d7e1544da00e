#include "units/TvUnitsFile.h"

#include "units/TvErrors.h"
#include "units/TvTextFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <new>
#include <optional>
#include <stdexcept>

namespace tv {

namespace {

// Line numbers, StartLine (line + 2) and counts must fit the 32-bit fields.
constexpr size_t kMaxLines = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 2;

bool IsBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Markers match only as the whole line, ignoring ASCII letter case.
bool IsMarker(std::string_view line, std::string_view marker) {
    if (line.size() != marker.size()) {
        return false;
    }
    for (size_t i = 0; i < line.size(); ++i) {
        if (AsciiLower(line[i]) != marker[i]) {
            return false;
        }
    }
    return true;
}

constexpr std::string_view kGroupStart = ">>";
constexpr std::string_view kGroupEnd = "<<";
constexpr std::string_view kEndOfData = "<<\\d";

// Splits a line by the field rule into out, reusing its strings so that loading a large file
// does not allocate per line; stops after limit fields. Returns the number of fields.
size_t SplitFieldsInto(std::string_view s, std::vector<std::string>& out, size_t limit) {
    size_t count = 0;
    const auto nextField = [&]() -> std::string& {
        if (count == out.size()) {
            out.emplace_back();
        }
        std::string& field = out[count++];
        field.clear();
        return field;
    };
    const size_t n = s.size();
    size_t p = 0;
    while (p < n && IsBlank(s[p])) {
        ++p;
    }
    while (p < n && count < limit) {
        std::string& field = nextField();
        if (s[p] == '"') {
            ++p;
            // An unclosed quoted field runs to the end of the line.
            while (p < n) {
                if (s[p] == '"') {
                    if (p + 1 < n && s[p + 1] == '"') {
                        field += '"';
                        p += 2;
                    } else {
                        ++p;
                        break;
                    }
                } else {
                    size_t q = s.find('"', p);
                    if (q == std::string_view::npos) {
                        q = n;
                    }
                    field.append(s.substr(p, q - p));
                    p = q;
                }
            }
        } else {
            const size_t start = p;
            while (p < n && !IsBlank(s[p]) && s[p] != ',') {
                ++p;
            }
            field.assign(s.substr(start, p - start));
        }
        while (p < n && IsBlank(s[p])) {
            ++p;
        }
        if (p < n && s[p] == ',') {
            if (p + 1 == n && count < limit) {
                nextField();
            }
            ++p;
            while (p < n && IsBlank(s[p])) {
                ++p;
            }
        }
    }
    return count;
}

locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr)) {
        throw std::bad_alloc();
    }
    return locale;
}

// Digits with a small power of ten, read without the C library: with at most 19 significant
// digits and a power of at most 27 both numbers are exact in the extended format (5^27 < 2^64),
// so one multiplication or division rounds correctly, as strtold does. False for anything else.
bool ExactDecimal(std::string_view intDigits, std::string_view fracDigits, int exponent,
                  long double& value) {
    constexpr int kMaxPower = 27;
    uint64_t digits = 0;
    int significant = 0;
    for (const std::string_view part : {intDigits, fracDigits}) {
        for (const char c : part) {
            if (significant == 0 && c == '0') {
                continue;
            }
            if (++significant > 19) {
                return false;
            }
            digits = digits * 10 + static_cast<uint64_t>(c - '0');
        }
    }
    const long power = static_cast<long>(exponent) - static_cast<long>(fracDigits.size());
    if (power > kMaxPower || power < -kMaxPower) {
        return false;
    }
    static constexpr long double kPowersOfTen[kMaxPower + 1] = {
        1E0L,  1E1L,  1E2L,  1E3L,  1E4L,  1E5L,  1E6L,  1E7L,  1E8L,  1E9L,
        1E10L, 1E11L, 1E12L, 1E13L, 1E14L, 1E15L, 1E16L, 1E17L, 1E18L, 1E19L,
        1E20L, 1E21L, 1E22L, 1E23L, 1E24L, 1E25L, 1E26L, 1E27L};
    const long double scale = kPowersOfTen[power < 0 ? -power : power];
    const auto mantissa = static_cast<long double>(digits);
    value = power < 0 ? mantissa / scale : mantissa * scale;
    return true;
}

std::string NotANumberMessage(std::string_view text) {
    std::string message;
    message.reserve(text.size() + 40);
    message += '\'';
    message += text;
    message += "' は浮動小数点数ではありません";
    return message;
}

std::string InvalidPrefixMessage(std::string_view prefix) {
    std::string message;
    message.reserve(prefix.size() + 32);
    message += '"';
    message += prefix;
    message += "\"は無効な接頭辞です。";
    return message;
}

} // namespace

std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields;
    fields.resize(SplitFieldsInto(line, fields, std::numeric_limits<size_t>::max()));
    return fields;
}

std::string ParseNameLine(std::string_view line) {
    if (line.empty() || line.front() != '"') {
        return std::string(line);
    }
    std::string name;
    bool closed = false;
    size_t p = 1;
    while (p < line.size()) {
        if (line[p] == '"') {
            if (p + 1 < line.size() && line[p + 1] == '"') {
                name += '"';
                p += 2;
            } else {
                closed = true;
                break;
            }
        } else {
            name += line[p];
            ++p;
        }
    }
    if (line.back() != '"' && (name.empty() || !closed)) {
        return std::string(line);
    }
    return name;
}

bool TryStrToFloatValue(std::string_view text, long double& value) {
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const size_t intStart = i;
    while (i < n && IsDigit(text[i])) {
        ++i;
    }
    const std::string_view intDigits = text.substr(intStart, i - intStart);
    bool point = false;
    std::string_view fracDigits;
    if (i < n && text[i] == '.') {
        point = true;
        const size_t fracStart = ++i;
        while (i < n && IsDigit(text[i])) {
            ++i;
        }
        fracDigits = text.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty() && !point) {
        return false;
    }
    int decimalExponent = 0;
    std::string_view exponentText; // the exponent's digits, when it has any
    char exponentSign = '+';
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        char sign = '+';
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            sign = text[i];
            ++i;
        }
        const size_t expStart = i;
        int exponent = 0;
        while (i < n && IsDigit(text[i])) {
            if (exponent >= 500) {
                return false; // a digit the exponent reader leaves unread
            }
            exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (i > expStart) {
            decimalExponent = sign == '-' ? -exponent : exponent;
            exponentText = text.substr(expStart, i - expStart);
            exponentSign = sign;
        }
    }
    while (i < n && text[i] == ' ') {
        ++i;
    }
    if (i != n) {
        return false;
    }
    if (ExactDecimal(intDigits, fracDigits, decimalExponent, value)) {
        value = negative ? -value : value;
        return true;
    }
    // The validated number, rewritten so that strtold reads exactly what the rule accepted;
    // built only here, as most numbers never need it.
    std::string number;
    number.reserve(n + 3);
    if (negative) {
        number += '-';
    }
    number += intDigits.empty() ? std::string_view("0") : intDigits;
    number += '.';
    number += fracDigits;
    if (!exponentText.empty()) {
        number += 'E';
        number += exponentSign;
        number += exponentText;
    }
    char* end = nullptr;
    const long double result = strtold_l(number.c_str(), &end, CLocale());
    if (end != number.c_str() + number.size() || std::isinf(result)) {
        return false;
    }
    // A value below the normal range is kept as the nearest denormal or zero.
    value = result;
    return true;
}

long double StrToFloatValue(std::string_view text) {
    long double value = 0.0L;
    if (!TryStrToFloatValue(text, value)) {
        throw EConvertError(NotANumberMessage(text));
    }
    return value;
}

// ---------------------------------------------------------------------------------------------
// TUnits

bool TUnits::LoadFromFile(const std::string& fileName) {
    try {
        std::optional<std::string> text = ReadDataFile(fileName);
        if (!text) {
            *this = TUnits();
            lastError_ = {-1, "ファイルを開けないか読み込めません"};
            return false;
        }
        return Load(std::move(*text));
    } catch (const std::bad_alloc&) {
        lastError_ = {-1, kMsgOutOfMemory};
    } catch (const std::exception& e) {
        lastError_ = {-1, e.what()};
    } catch (...) {
        lastError_ = {-1, "ファイルを読み込めません"};
    }
    return false;
}

bool TUnits::LoadFromText(std::string_view text) {
    try {
        return Load(std::string(text));
    } catch (const std::bad_alloc&) {
        lastError_ = {-1, kMsgOutOfMemory};
    } catch (...) {
        lastError_ = {-1, "読み込めません"};
    }
    return false;
}

bool TUnits::Load(std::string text) {
    int32_t line = -1;
    try {
        return Parse(std::move(text), line);
    } catch (const std::bad_alloc&) {
        lastError_ = {line, kMsgOutOfMemory};
    } catch (const std::exception& e) {
        lastError_ = {line, e.what()};
    } catch (...) {
        lastError_ = {line, "読み込めません"};
    }
    return false;
}

bool TUnits::Parse(std::string text, int32_t& line) {
    text_ = std::move(text);
    groups_.clear();
    groupOffsets_.clear();
    currentUnits_.clear();
    groupCount_ = 0;
    unitCount_ = 0;
    lastError_ = {};

    const auto fail = [&](std::string reason) {
        lastError_ = {line, std::move(reason)};
        return false;
    };

    TLineCursor cursor(text_);
    std::string_view current;
    bool haveCurrent = cursor.Next(current);
    bool expectName = false;
    bool started = false;
    std::vector<std::string> fields(4);
    for (size_t n = 0; haveCurrent; ++n) {
        if (n > kMaxLines) {
            return fail("行が多すぎます");
        }
        line = static_cast<int32_t>(n);
        // The line after the current one, which a group start needs for its name.
        std::string_view next;
        const bool haveNext = cursor.Next(next);
        const size_t afterNext = cursor.Offset();

        if (IsMarker(current, kGroupStart)) {
            if (!haveNext) {
                return fail("集団の開始 \">>\" の次に名前の行がありません");
            }
            // A start marker inside an open group replaces that group.
            const auto open = static_cast<size_t>(groupCount_);
            groups_.resize(open + 1);
            groupOffsets_.resize(open + 1);
            groups_[open] = TUnitsEntry{ParseNameLine(next), line + 2, 0};
            groupOffsets_[open] = afterNext;
            expectName = true;
            started = true;
        } else if (expectName) {
            expectName = false;
        } else if (IsMarker(current, kEndOfData)) {
            return true;
        } else {
            const bool groupOpen = groups_.size() > static_cast<size_t>(groupCount_);
            if (IsMarker(current, kGroupEnd)) {
                if (!groupOpen) {
                    return fail("集団の終わり \"<<\" がありますが、開いている集団がありません");
                }
                ++groupCount_;
            } else {
                if (SplitFieldsInto(current, fields, 4) < 4) {
                    return fail("単位の行に 4 つの項目がありません");
                }
                if (!started) {
                    return fail("最初の集団の開始 \">>\" より前に単位の行があります");
                }
                if (!groupOpen) {
                    return fail("集団の終わり \"<<\" の後、次の \">>\" の前に単位の行があります");
                }
                ++groups_[static_cast<size_t>(groupCount_)].Count;
            }
        }
        current = next;
        haveCurrent = haveNext;
    }
    return true;
}

TUnitsEntry TUnits::GetGroup(int32_t index) const {
    if (index < 0 || index >= groupCount_) {
        throw std::out_of_range("group index " + std::to_string(index) + " out of range");
    }
    return groups_.at(static_cast<size_t>(index));
}

void TUnits::SelectGroup(int32_t index) {
    const TUnitsEntry group = GetGroup(index);
    const auto count = static_cast<size_t>(group.Count);
    const size_t offset = groupOffsets_.at(static_cast<size_t>(index));
    std::vector<TUnitEntry> units;
    units.reserve(count);
    // The group's unit lines follow one another and were checked when the file was loaded.
    TLineCursor cursor(std::string_view(text_).substr(std::min(offset, text_.size())));
    std::vector<std::string> fields(4);
    std::string_view line;
    while (units.size() < count && cursor.Next(line)) {
        if (SplitFieldsInto(line, fields, 4) < 4) {
            throw std::logic_error("unit line changed since loading");
        }
        units.push_back(TUnitEntry{fields[0], fields[1], fields[2], fields[3]});
    }
    if (units.size() != count) {
        throw std::logic_error("group has fewer unit lines than counted");
    }
    currentUnits_ = std::move(units);
    unitCount_ = group.Count;
}

TUnitEntry TUnits::GetUnit(int32_t position) const {
    if (position < 0 || position >= unitCount_) {
        throw std::out_of_range("unit position " + std::to_string(position) + " out of range");
    }
    return currentUnits_.at(static_cast<size_t>(position));
}

// ---------------------------------------------------------------------------------------------
// TPrefixes

bool TPrefixes::LoadFromFile(const std::string& fileName) {
    try {
        entries_.clear();
        loaded_ = false;
        const std::optional<std::string> text = ReadDataFile(fileName);
        if (!text) {
            lastError_ = {-1, "ファイルを開けないか読み込めません"};
            return false;
        }
        return LoadFromText(*text);
    } catch (const std::bad_alloc&) {
        lastError_ = {-1, kMsgOutOfMemory};
    } catch (const std::exception& e) {
        lastError_ = {-1, e.what()};
    } catch (...) {
        lastError_ = {-1, "ファイルを読み込めません"};
    }
    loaded_ = false;
    return false;
}

bool TPrefixes::LoadFromText(std::string_view text) {
    int32_t line = -1;
    loaded_ = false;
    try {
        loaded_ = Parse(text, line);
        return loaded_;
    } catch (const std::bad_alloc&) {
        lastError_ = {line, kMsgOutOfMemory};
    } catch (const std::exception& e) {
        lastError_ = {line, e.what()};
    } catch (...) {
        lastError_ = {line, "読み込めません"};
    }
    loaded_ = false;
    return false;
}

bool TPrefixes::Parse(std::string_view text, int32_t& line) {
    entries_.clear();
    lastError_ = {};
    const auto fail = [&](std::string reason) {
        lastError_ = {line, std::move(reason)};
        return false;
    };
    TLineCursor cursor(text);
    std::vector<std::string> fields(2);
    std::string_view current;
    for (size_t n = 0; cursor.Next(current); ++n) {
        if (n > kMaxLines) {
            return fail("行が多すぎます");
        }
        line = static_cast<int32_t>(n);
        const size_t count = SplitFieldsInto(current, fields, 2);
        if (count == 0) {
            return fail("接頭辞の行に項目がありません");
        }
        if (count == 1) {
            return fail("接頭辞の行に係数がありません");
        }
        long double factor = 0.0L;
        if (!TryStrToFloatValue(fields[1], factor)) {
            return fail("係数 " + NotANumberMessage(fields[1]));
        }
        entries_.push_back(TPrefixEntry{fields[0], factor});
    }
    return true;
}

long double TPrefixes::StrToValue(std::string_view text) const {
    if (!loaded_) {
        return StrToFloatValue(text);
    }
    if (text.empty()) {
        throw EConvertError("処理できる文字列ではありません。");
    }
    // Find where the number ends; bytes of multi-byte characters are never digits or signs.
    size_t split = std::string_view::npos;
    bool exponent = false;
    const size_t length = text.size();
    for (size_t k = text.front() == '-' ? 1 : 0; k < length; ++k) {
        const char c = text[k];
        if (c == '.' || IsDigit(c)) {
            continue;
        }
        if ((c == 'E' || c == 'e') && !exponent) {
            if (k + 1 < length &&
                (text[k + 1] == '+' || text[k + 1] == '-' || IsDigit(text[k + 1]))) {
                exponent = true;
                continue;
            }
            split = k;
            break;
        }
        if ((c == '+' || c == '-') && exponent) {
            exponent = false;
            continue;
        }
        split = k;
        break;
    }
    if (split == std::string_view::npos) {
        return StrToFloatValue(text);
    }
    const long double number = StrToFloatValue(text.substr(0, split));
    const std::string_view prefix = text.substr(split);
    for (const TPrefixEntry& entry : entries_) {
        if (entry.Name == prefix) {
            const long double product = number * entry.Factor;
            if (std::isinf(product)) {
                throw EOverflow(kMsgOverflow);
            }
            return product;
        }
    }
    throw EConvertError(InvalidPrefixMessage(prefix));
}

} // namespace tv
