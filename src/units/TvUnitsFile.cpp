#include "units/TvUnitsFile.h"

#include "units/TvErrors.h"
#include "units/TvPowersOfTen.h"
#include "units/TvTextFile.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <locale.h>
#include <new>
#include <optional>
#include <stdexcept>
#include <unordered_map>

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

// Reads digits from p on into digits (wrapping beyond 19 of them); returns where they end.
const char* TakeDigits(const char* p, const char* end, uint64_t& digits) {
    for (; p < end && IsDigit(*p); ++p) {
        digits = digits * 10 + static_cast<uint64_t>(*p - '0');
    }
    return p;
}

const char* SkipZeros(const char* p, const char* end) {
    while (p < end && *p == '0') {
        ++p;
    }
    return p;
}

// A number that the exact path leaves to strtold, rewritten so that strtold reads exactly what
// the number rule accepted.
[[gnu::noinline]] bool ReadWithLibrary(bool negative, std::string_view intDigits,
                                       std::string_view fracDigits, char exponentSign,
                                       std::string_view exponentText, long double& value) {
    std::string number;
    number.reserve(intDigits.size() + fracDigits.size() + exponentText.size() + 5);
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
    char* parsed = nullptr;
    const long double result = strtold_l(number.c_str(), &parsed, CLocale());
    if (parsed != number.c_str() + number.size() || std::isinf(result)) {
        return false;
    }
    // A value below the normal range is kept as the nearest denormal or zero.
    value = result;
    return true;
}

constexpr const char* kMsgCannotRead = "ファイルを開けないか読み込めません";

// Runs one step of a load; a failure it throws becomes the load error at line. False then.
template <class F>
bool GuardLoad(TLoadError& error, const std::string& fileName, const int32_t& line, F&& step) {
    try {
        step();
        return true;
    } catch (const std::bad_alloc&) {
        error = {line, kMsgOutOfMemory, fileName};
    } catch (const std::exception& e) {
        error = {line, e.what(), fileName};
    } catch (...) {
        error = {line, "読み込めません", fileName};
    }
    return false;
}

// The decoded text of a data file, or nullopt with the error set.
std::optional<std::string> ReadForLoad(const std::string& fileName, TLoadError& error) {
    std::optional<std::string> text;
    std::string reason;
    if (GuardLoad(error, fileName, -1, [&] { text = ReadDataFile(fileName, &reason); }) && !text) {
        error = {-1, reason.empty() ? kMsgCannotRead : reason, fileName};
    }
    return text;
}

// The 0-based line on which a NUL cut the text short, when the text holds one; lines is the
// number of lines read before it.
std::optional<int32_t> NulLine(std::string_view text, size_t lines) {
    const size_t nul = text.find('\0');
    if (nul == std::string_view::npos) {
        return std::nullopt;
    }
    const bool lineStart = nul == 0 || text[nul - 1] == '\n' || text[nul - 1] == '\r';
    return static_cast<int32_t>(lineStart ? lines : lines - 1);
}

std::string UnclosedGroupMessage(std::string_view name) {
    std::string message = "集団 \"";
    message += name;
    message += "\" は終わり \"<<\" がないため読み込まれません";
    return message;
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
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && *p == ' ') {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // The significant digits (leading zeros do not count) as one integer: exact while there are
    // at most 19 of them, the most 10^19 - 1 can hold.
    uint64_t digits = 0;
    const char* const intStart = p;
    const char* const intSignificant = SkipZeros(p, end);
    p = TakeDigits(intSignificant, end, digits);
    const std::string_view intDigits(intStart, static_cast<size_t>(p - intStart));
    ptrdiff_t significant = p - intSignificant;
    bool point = false;
    std::string_view fracDigits;
    if (p < end && *p == '.') {
        point = true;
        const char* const fracStart = ++p;
        const char* const fracSignificant = significant == 0 ? SkipZeros(p, end) : p;
        p = TakeDigits(fracSignificant, end, digits);
        significant += p - fracSignificant;
        fracDigits = std::string_view(fracStart, static_cast<size_t>(p - fracStart));
    }
    if (intDigits.empty() && fracDigits.empty() && !point) {
        return false;
    }
    int decimalExponent = 0;
    std::string_view exponentText; // the exponent's digits, when it has any
    char exponentSign = '+';
    if (p < end && (*p == 'E' || *p == 'e')) {
        ++p;
        char sign = '+';
        if (p < end && (*p == '+' || *p == '-')) {
            sign = *p;
            ++p;
        }
        const char* const expStart = p;
        int exponent = 0;
        while (p < end && IsDigit(*p)) {
            if (exponent >= 500) {
                return false; // a digit the exponent reader leaves unread
            }
            exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (p > expStart) {
            decimalExponent = sign == '-' ? -exponent : exponent;
            exponentText = std::string_view(expStart, static_cast<size_t>(p - expStart));
            exponentSign = sign;
        }
    }
    while (p < end && *p == ' ') {
        ++p;
    }
    if (p != end) {
        return false;
    }
    // With at most 19 significant digits and a power of at most 27 both numbers are exact in the
    // extended format (5^27 < 2^64), so one multiplication or division rounds correctly, as
    // strtold does.
    const long power = static_cast<long>(decimalExponent) - static_cast<long>(fracDigits.size());
    if (significant <= 19 && power <= kMaxExactPowerOfTen && power >= -kMaxExactPowerOfTen) {
        const long double scale = kExactPowersOfTen[power < 0 ? -power : power];
        const auto mantissa = static_cast<long double>(digits);
        const long double magnitude = power < 0 ? mantissa / scale : mantissa * scale;
        value = negative ? -magnitude : magnitude;
        return true;
    }
    return ReadWithLibrary(negative, intDigits, fracDigits, exponentSign, exponentText, value);
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
    *this = TUnits();
    return Read(fileName, false);
}

bool TUnits::LoadFromText(std::string_view text, const std::string& fileName) {
    *this = TUnits();
    return Load(std::string(text), fileName, false);
}

bool TUnits::AddFromFile(const std::string& fileName) {
    return Read(fileName, true);
}

bool TUnits::AddFromText(std::string_view text, const std::string& fileName) {
    return Load(std::string(text), fileName, true);
}

bool TUnits::Read(const std::string& fileName, bool add) {
    std::optional<std::string> text = ReadForLoad(fileName, lastError_);
    return text && Load(std::move(*text), fileName, add);
}

// What one file yields before it joins the catalogue.
struct TUnits::TParsed {
    std::vector<TUnitsEntry> Groups; // the closed groups, then the open one if any
    std::vector<size_t> Offsets;     // byte offset of each group's first unit line
    std::vector<size_t> Ends;        // byte offset of each closed group's end marker
    int32_t Closed = 0;
    int32_t Units = 0;  // units of the closed groups
    std::string Reason; // why reading stopped early
    TLoadWarnings Warnings;
};

bool TUnits::Load(std::string text, const std::string& fileName, bool add) {
    int32_t line = -1;
    bool ok = false;
    const bool done = GuardLoad(lastError_, fileName, line, [&] {
        TParsed parsed;
        ok = Parse(text, parsed, line);
        const auto closed = static_cast<size_t>(parsed.Closed);
        parsed.Groups.resize(closed);
        parsed.Offsets.resize(closed);
        if (add && ok) {
            ok = Merge(std::move(text), fileName, parsed);
            return;
        }
        if (add) {
            lastError_ = {line, parsed.Reason, fileName};
            return;
        }
        // A file that fails keeps the groups closed before the failing line.
        Append(std::move(text), fileName, parsed, std::vector<int32_t>(parsed.Groups.size(), -1));
        lastError_ = ok ? TLoadError{} : TLoadError{line, parsed.Reason, fileName};
    });
    return done && ok;
}

bool TUnits::Parse(std::string_view text, TParsed& parsed, int32_t& line) {
    const auto fail = [&](std::string reason) {
        parsed.Reason = std::move(reason);
        return false;
    };
    auto& groups = parsed.Groups;
    // Reading ended without a failure: a group still open, and a NUL that cut the text short,
    // are left out without one, so they are told as warnings.
    const auto finish = [&](size_t lines, bool atEnd) {
        if (groups.size() > static_cast<size_t>(parsed.Closed)) {
            const TUnitsEntry& open = groups.back();
            parsed.Warnings.push_back({open.StartLine - 2, UnclosedGroupMessage(open.Name), {}});
        }
        if (const std::optional<int32_t> nul = atEnd ? NulLine(text, lines) : std::nullopt) {
            parsed.Warnings.push_back({*nul, kMsgNulEndsText, {}});
        }
        return true;
    };
    TLineCursor cursor(text);
    std::string_view current;
    bool haveCurrent = cursor.Next(current);
    bool expectName = false;
    bool started = false;
    std::vector<std::string> fields(4);
    size_t n = 0;
    for (; haveCurrent; ++n) {
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
            const auto open = static_cast<size_t>(parsed.Closed);
            groups.resize(open + 1);
            parsed.Offsets.resize(open + 1);
            groups[open] = TUnitsEntry{ParseNameLine(next), line + 2, 0};
            parsed.Offsets[open] = afterNext;
            expectName = true;
            started = true;
        } else if (expectName) {
            expectName = false;
        } else if (IsMarker(current, kEndOfData)) {
            return finish(n, false);
        } else {
            const bool groupOpen = groups.size() > static_cast<size_t>(parsed.Closed);
            if (IsMarker(current, kGroupEnd)) {
                if (!groupOpen) {
                    return fail("集団の終わり \"<<\" がありますが、開いている集団がありません");
                }
                parsed.Units += groups[static_cast<size_t>(parsed.Closed)].Count;
                parsed.Ends.push_back(static_cast<size_t>(current.data() - text.data()));
                ++parsed.Closed;
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
                ++groups[static_cast<size_t>(parsed.Closed)].Count;
            }
        }
        current = next;
        haveCurrent = haveNext;
    }
    return finish(n, true);
}

bool TUnits::Merge(std::string text, const std::string& fileName, TParsed& parsed) {
    // Where each group goes: the first group of the same name already held, or a new group.
    std::vector<int32_t> targets(parsed.Groups.size(), -1);
    std::vector<int64_t> counts;
    {
        std::unordered_map<std::string_view, int32_t> byName;
        byName.reserve(groups_.size());
        for (size_t g = 0; g < groups_.size(); ++g) {
            byName.emplace(groups_[g].Name, static_cast<int32_t>(g));
        }
        counts.reserve(groups_.size());
        for (const TUnitsEntry& group : groups_) {
            counts.push_back(group.Count);
        }
        size_t added = 0;
        for (size_t g = 0; g < parsed.Groups.size(); ++g) {
            const auto found = byName.find(parsed.Groups[g].Name);
            if (found == byName.end()) {
                ++added;
                continue;
            }
            targets[g] = found->second;
            counts[static_cast<size_t>(found->second)] += parsed.Groups[g].Count;
        }
        const auto tooMany = [](int64_t n) { return n > std::numeric_limits<int32_t>::max(); };
        if (tooMany(static_cast<int64_t>(groups_.size() + added)) ||
            tooMany(static_cast<int64_t>(runs_.size() + parsed.Groups.size())) ||
            std::any_of(counts.begin(), counts.end(), tooMany)) {
            lastError_ = {-1, "単位が多すぎます", fileName};
            return false;
        }
    }
    Append(std::move(text), fileName, parsed, targets);
    lastError_ = {};
    return true;
}

void TUnits::Append(std::string text, const std::string& fileName, TParsed& parsed,
                    const std::vector<int32_t>& targets) {
    // Everything that can fail happens before the catalogue changes.
    TDataFileInfo info{fileName, parsed.Closed, parsed.Units, std::move(parsed.Warnings)};
    for (TLoadError& warning : info.Warnings) {
        warning.File = fileName;
    }
    texts_.reserve(texts_.size() + 1);
    files_.reserve(files_.size() + 1);
    groups_.reserve(groups_.size() + parsed.Groups.size());
    firstRun_.reserve(groups_.capacity());
    lastRun_.reserve(groups_.capacity());
    runs_.reserve(runs_.size() + parsed.Groups.size());

    const auto file = static_cast<int32_t>(texts_.size());
    texts_.push_back(std::move(text));
    files_.push_back(std::move(info));
    for (size_t g = 0; g < parsed.Groups.size(); ++g) {
        const auto run = static_cast<int32_t>(runs_.size());
        TUnitsEntry& group = parsed.Groups[g];
        runs_.push_back({file, group.StartLine, parsed.Offsets[g],
                         parsed.Ends[g] - parsed.Offsets[g], group.Count, -1});
        if (targets[g] < 0) {
            firstRun_.push_back(run);
            lastRun_.push_back(run);
            groups_.push_back(std::move(group));
        } else {
            const auto target = static_cast<size_t>(targets[g]);
            runs_[static_cast<size_t>(lastRun_[target])].Next = run;
            lastRun_[target] = run;
            groups_[target].Count += group.Count;
        }
    }
}

const TUnitsEntry& TUnits::Group(int32_t index) const {
    if (index < 0 || index >= GroupCount()) {
        throw std::out_of_range("group index " + std::to_string(index) + " out of range");
    }
    return groups_[static_cast<size_t>(index)];
}

TUnitsEntry TUnits::GetGroup(int32_t index) const {
    return Group(index);
}

template <class F> void TUnits::ForEachUnitLine(int32_t index, F&& visit) const {
    Group(index);
    for (int32_t r = firstRun_[static_cast<size_t>(index)]; r >= 0;
         r = runs_[static_cast<size_t>(r)].Next) {
        const TRun& run = runs_[static_cast<size_t>(r)];
        // The run's unit lines follow one another and were checked when the file was read.
        TLineCursor cursor(
            std::string_view(texts_[static_cast<size_t>(run.File)]).substr(run.Offset, run.Size));
        std::string_view line;
        int32_t read = 0;
        while (read < run.Count && cursor.Next(line)) {
            visit(line);
            ++read;
        }
        if (read != run.Count) {
            throw std::logic_error("group has fewer unit lines than counted");
        }
    }
}

namespace {

// The aliases in fields[4..count): each field split at blanks, empty pieces left out.
std::vector<std::string> AliasesOf(const std::vector<std::string>& fields, size_t count) {
    std::vector<std::string> aliases;
    for (size_t f = 4; f < count; ++f) {
        const std::string_view field = fields[f];
        size_t p = 0;
        while (p < field.size()) {
            while (p < field.size() && IsBlank(field[p])) {
                ++p;
            }
            const size_t start = p;
            while (p < field.size() && !IsBlank(field[p])) {
                ++p;
            }
            if (p > start) {
                aliases.emplace_back(field.substr(start, p - start));
            }
        }
    }
    return aliases;
}

TUnitEntry UnitFromLine(std::string_view line, std::vector<std::string>& fields) {
    const size_t count = SplitFieldsInto(line, fields, std::numeric_limits<size_t>::max());
    if (count < 4) {
        throw std::logic_error("unit line changed since loading");
    }
    return TUnitEntry{fields[0], fields[1], fields[2], fields[3], AliasesOf(fields, count)};
}

} // namespace

std::vector<TUnitEntry> TUnits::GroupUnits(int32_t index) const {
    std::vector<TUnitEntry> units;
    units.reserve(static_cast<size_t>(Group(index).Count));
    std::vector<std::string> fields(4);
    ForEachUnitLine(index,
                    [&](std::string_view line) { units.push_back(UnitFromLine(line, fields)); });
    return units;
}

TUnitEntry TUnits::GroupUnit(int32_t index, int32_t position) const {
    if (position < 0 || position >= Group(index).Count) {
        throw std::out_of_range("unit position " + std::to_string(position) + " out of range");
    }
    for (int32_t r = firstRun_[static_cast<size_t>(index)];;
         r = runs_[static_cast<size_t>(r)].Next) {
        const TRun& run = runs_[static_cast<size_t>(r)];
        if (position >= run.Count) {
            position -= run.Count;
            continue;
        }
        const std::string_view text = texts_[static_cast<size_t>(run.File)];
        TLineCursor cursor(text.substr(run.Offset, run.Size));
        std::string_view line;
        for (int32_t read = 0; read <= position; ++read) {
            if (!cursor.Next(line)) {
                throw std::logic_error("group has fewer unit lines than counted");
            }
        }
        std::vector<std::string> fields(4);
        return UnitFromLine(line, fields);
    }
}

std::vector<TUnitNamesEntry> TUnits::GroupUnitNameEntries(int32_t index) const {
    std::vector<TUnitNamesEntry> units;
    units.reserve(static_cast<size_t>(Group(index).Count));
    std::vector<std::string> fields(4);
    ForEachUnitLine(index, [&](std::string_view line) {
        const size_t count = SplitFieldsInto(line, fields, std::numeric_limits<size_t>::max());
        units.push_back({count > 0 ? fields[0] : std::string(), AliasesOf(fields, count)});
    });
    return units;
}

std::vector<std::string> TUnits::GroupUnitNames(int32_t index) const {
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(Group(index).Count));
    std::vector<std::string> fields(1);
    ForEachUnitLine(index, [&](std::string_view line) {
        names.push_back(SplitFieldsInto(line, fields, 1) > 0 ? fields[0] : std::string());
    });
    return names;
}

void TUnits::SelectGroup(int32_t index) {
    std::vector<TUnitEntry> units = GroupUnits(index);
    currentUnits_ = std::move(units);
    unitCount_ = static_cast<int32_t>(currentUnits_.size());
}

TUnitEntry TUnits::GetUnit(int32_t position) const {
    if (position < 0 || position >= unitCount_) {
        throw std::out_of_range("unit position " + std::to_string(position) + " out of range");
    }
    return currentUnits_[static_cast<size_t>(position)];
}

TDataOrigin TUnits::GroupOrigin(int32_t index) const {
    Group(index);
    const TRun& run = runs_[static_cast<size_t>(firstRun_[static_cast<size_t>(index)])];
    return {run.File, run.FirstLine - 1};
}

TDataOrigin TUnits::UnitOrigin(int32_t index, int32_t position) const {
    if (position < 0 || position >= Group(index).Count) {
        throw std::out_of_range("unit position " + std::to_string(position) + " out of range");
    }
    for (int32_t r = firstRun_[static_cast<size_t>(index)];;
         r = runs_[static_cast<size_t>(r)].Next) {
        const TRun& run = runs_[static_cast<size_t>(r)];
        if (position < run.Count) {
            return {run.File, run.FirstLine + position};
        }
        position -= run.Count;
    }
}

// ---------------------------------------------------------------------------------------------
// TPrefixes

bool TPrefixes::LoadFromFile(const std::string& fileName) {
    *this = TPrefixes();
    return Read(fileName, false);
}

bool TPrefixes::LoadFromText(std::string_view text, const std::string& fileName) {
    *this = TPrefixes();
    return Take(text, fileName, false);
}

bool TPrefixes::AddFromFile(const std::string& fileName) {
    return Read(fileName, true);
}

bool TPrefixes::AddFromText(std::string_view text, const std::string& fileName) {
    return Take(text, fileName, true);
}

bool TPrefixes::Read(const std::string& fileName, bool add) {
    const std::optional<std::string> text = ReadForLoad(fileName, lastError_);
    return text && Take(*text, fileName, add);
}

bool TPrefixes::Take(std::string_view text, const std::string& fileName, bool add) {
    int32_t line = -1;
    bool ok = false;
    const bool done = GuardLoad(lastError_, fileName, line, [&] {
        std::vector<TPrefixEntry> read;
        std::string reason;
        TLoadWarnings warnings;
        ok = Parse(text, read, line, reason, warnings);
        if (add && !ok) {
            lastError_ = {line, reason, fileName};
            return;
        }
        if (add && entries_.size() + read.size() >
                       static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
            ok = false;
            lastError_ = {-1, "行が多すぎます", fileName};
            return;
        }
        // Nothing below throws once the room is reserved, so an added file goes in whole.
        for (TLoadError& warning : warnings) {
            warning.File = fileName;
        }
        TPrefixFileInfo info{fileName, Count(), static_cast<int32_t>(read.size()),
                             std::move(warnings)};
        entries_.reserve(entries_.size() + read.size());
        files_.reserve(files_.size() + 1);
        std::move(read.begin(), read.end(), std::back_inserter(entries_));
        files_.push_back(std::move(info));
        // A file that fails keeps the entries before the failing line, never consulted.
        lastError_ = ok ? TLoadError{} : TLoadError{line, std::move(reason), fileName};
    });
    if (!add) {
        loaded_ = done && ok;
    }
    return done && ok;
}

bool TPrefixes::Parse(std::string_view text, std::vector<TPrefixEntry>& entries, int32_t& line,
                      std::string& reason, TLoadWarnings& warnings) {
    const auto fail = [&](std::string why) {
        reason = std::move(why);
        return false;
    };
    TLineCursor cursor(text);
    std::vector<std::string> fields(2);
    std::string_view current;
    size_t n = 0;
    for (; cursor.Next(current); ++n) {
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
        entries.push_back(TPrefixEntry{fields[0], factor});
    }
    if (const std::optional<int32_t> nul = NulLine(text, n)) {
        warnings.push_back({*nul, kMsgNulEndsText, {}});
    }
    return true;
}

TDataOrigin TPrefixes::EntryOrigin(int32_t index) const {
    Entry(index);
    for (size_t f = files_.size(); f-- > 0;) {
        if (index >= files_[f].First) {
            return {static_cast<int32_t>(f), index - files_[f].First};
        }
    }
    throw std::logic_error("prefix entry outside every file");
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
