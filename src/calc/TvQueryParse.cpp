// Reading a query: the text is folded once, split into tokens (values, units, keywords), the
// tokens read by the grammar, and the units resolved to one group.

#include "calc/TvCalculate.h"
#include "calc/TvQuery.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace tv {

namespace {

enum class TTokenKind : uint8_t { Value, Unit, Unknown, Keyword, Semicolon };

// To stands for every keyword between source and target that is not Japanese.
enum class TKeyword : uint8_t { To, Wo, Ni, Ha, Nani };

constexpr char32_t kWo = 0x3092;    // を
constexpr char32_t kNi = 0x306B;    // に
constexpr char32_t kHa = 0x306F;    // は
constexpr char32_t kNani = 0x4F55;  // 何
constexpr char32_t kArrow = 0x2192; // →

struct TToken {
    TTokenKind Kind = TTokenKind::Value;
    size_t First = 0; // characters [First, End)
    size_t End = 0;
    TKeyword Keyword = TKeyword::To;
    TUnitSearch::TKeySpan Span; // Unit
    bool HasDigit = false;      // Value
    bool Joined = false;        // Unit: its name written with a blank inside
};

TToken MakeToken(TTokenKind kind, size_t first, size_t end, TKeyword keyword = TKeyword::To,
                 TUnitSearch::TKeySpan span = {}) {
    TToken token;
    token.Kind = kind;
    token.First = first;
    token.End = end;
    token.Keyword = keyword;
    token.Span = span;
    return token;
}

struct TUnitMatch {
    size_t End = 0;
    TUnitSearch::TKeySpan Span;
};

std::string Quoted(std::string_view text) {
    std::string out = "「";
    out += text;
    out += "」";
    return out;
}

TQueryParse Fail(TQueryFault fault, std::string text, std::string message,
                 std::vector<TUnitHit> units = {}) {
    TQueryParse parse;
    parse.Kind = TQueryKind::Failed;
    parse.Problem.Fault = fault;
    parse.Problem.Text = std::move(text);
    parse.Problem.Message = std::move(message);
    parse.Problem.Units = std::move(units);
    return parse;
}

TQueryParse Malformed(std::string text, std::string message) {
    return Fail(TQueryFault::Malformed, std::move(text), std::move(message));
}

bool IsOperator(char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '^' || c == '(' || c == ')';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Splits a query's text into tokens.
class TTokenizer {
public:
    TTokenizer(std::string_view text, const TQueryData& data) : text_(text), data_(data) {
        FoldWithOrigins(text, folded_, chars_);
    }

    std::vector<TToken> Tokens() {
        size_t i = 0;
        const size_t n = chars_.size();
        while (i < n) {
            if (IsBlank(i)) {
                ++i;
                continue;
            }
            if (const size_t length = SymbolKeyword(i)) {
                Push(MakeToken(TTokenKind::Keyword, i, i + length));
                i += length;
                continue;
            }
            const char c = Ascii(i);
            if (IsDigit(c) || c == '.' || c == ',' || IsOperator(c) || IsExponent(i)) {
                ExtendValue(i, i + 1);
                ++i;
                continue;
            }
            const std::optional<TUnitMatch> unit = UnitAt(i);
            if (const size_t length = WordKeyword(i); length > 0 &&
                                                      (!unit || unit->End == i + length) &&
                                                      (!unit || KeywordBetweenUnits(i + length))) {
                Push(MakeToken(TTokenKind::Keyword, i, i + length));
                i += length;
                continue;
            }
            if (unit && !PrefixReadingWins(i, *unit)) {
                Push(MakeToken(TTokenKind::Unit, i, unit->End, TKeyword::To, unit->Span));
                i = unit->End;
                continue;
            }
            if (const std::optional<TKeyword> keyword = JapaneseKeyword(i)) {
                Push(MakeToken(TTokenKind::Keyword, i, i + 1, *keyword));
                ++i;
                continue;
            }
            if (c == ';') {
                Push(MakeToken(TTokenKind::Semicolon, i, i + 1));
                ++i;
                continue;
            }
            if (const size_t length = PrefixAt(i)) {
                ExtendValue(i, i + length);
                valueEndsInNumber_ = false;
                i += length;
                continue;
            }
            if (const std::optional<TUnitMatch> joined = JoinedUnitAt(i)) {
                TToken token =
                    MakeToken(TTokenKind::Unit, i, joined->End, TKeyword::To, joined->Span);
                token.Joined = true;
                Push(token);
                i = joined->End;
                continue;
            }
            const size_t end = UnknownEnd(i);
            Push(MakeToken(TTokenKind::Unknown, i, end));
            i = end;
        }
        FlushValue();
        return std::move(tokens_);
    }

    // The text of characters [first, end) as typed.
    std::string_view Original(size_t first, size_t end) const {
        if (first >= end) {
            return {};
        }
        return text_.substr(chars_[first].Begin, chars_[end - 1].End - chars_[first].Begin);
    }

    std::string_view Original(const TToken& token) const {
        return Original(token.First, token.End);
    }

    char AsciiAt(size_t i) const { return Ascii(i); }
    size_t SkipBlanks(size_t i) const { return NextNonBlank(i); }

private:
    // The ASCII character a character stands for, full-width forms and the ideographic space
    // included, or 0.
    char Ascii(size_t i) const {
        if (i >= chars_.size() || chars_[i].End - chars_[i].Begin > 3) {
            return 0;
        }
        const char32_t code = chars_[i].Code;
        if (code < 0x80 && chars_[i].End - chars_[i].Begin == 1) {
            return static_cast<char>(code);
        }
        if (code >= 0xFF01 && code <= 0xFF5E && chars_[i].End - chars_[i].Begin == 3) {
            return static_cast<char>(code - 0xFEE0);
        }
        return code == 0x3000 ? ' ' : 0;
    }

    bool IsBlank(size_t i) const {
        const auto c = static_cast<unsigned char>(Ascii(i));
        return c >= 1 && c <= 32;
    }

    bool IsAsciiLetter(size_t i) const { return IsLetter(Ascii(i)); }

    char32_t Code(size_t i) const { return i < chars_.size() ? chars_[i].Code : 0; }

    size_t NextNonBlank(size_t i) const {
        while (i < chars_.size() && IsBlank(i)) {
            ++i;
        }
        return i;
    }

    void Push(TToken token) {
        FlushValue();
        tokens_.push_back(token);
    }

    void ExtendValue(size_t first, size_t end) {
        if (!valueOpen_) {
            value_ = MakeToken(TTokenKind::Value, first, end);
            valueOpen_ = true;
        }
        value_.End = end;
        const char c = Ascii(first);
        value_.HasDigit = value_.HasDigit || IsDigit(c);
        valueEndsInNumber_ = IsDigit(c) || c == '.';
    }

    void FlushValue() {
        if (valueOpen_) {
            tokens_.push_back(value_);
            valueOpen_ = false;
            valueEndsInNumber_ = false;
        }
    }

    // "E" or "e" right after a number's digits and before its exponent's digits.
    bool IsExponent(size_t i) const {
        const char c = Ascii(i);
        if ((c != 'E' && c != 'e') || !valueOpen_ || !valueEndsInNumber_ || value_.End != i) {
            return false;
        }
        const char next = Ascii(i + 1);
        return IsDigit(next) || ((next == '+' || next == '-') && IsDigit(Ascii(i + 2)));
    }

    size_t SymbolKeyword(size_t i) const {
        const char c = Ascii(i);
        if (c == '-' && Ascii(i + 1) == '>') {
            return 2;
        }
        return c == '>' || c == '=' || Code(i) == kArrow ? 1 : 0;
    }

    // The length of an English keyword standing as a word at i.
    size_t WordKeyword(size_t i) const {
        if (i > 0 && IsAsciiLetter(i - 1)) {
            return 0;
        }
        for (const std::string_view word : {"into", "to", "as", "in"}) {
            size_t k = 0;
            while (k < word.size() && (Ascii(i + k) | 0x20) == word[k]) {
                ++k;
            }
            if (k == word.size() && !IsAsciiLetter(i + k)) {
                return k;
            }
        }
        return 0;
    }

    // A word that is a keyword and a unit ("in") is the keyword between two units.
    bool KeywordBetweenUnits(size_t after) const {
        return !valueOpen_ && !tokens_.empty() && tokens_.back().Kind == TTokenKind::Unit &&
               UnitAt(NextNonBlank(after)).has_value();
    }

    std::optional<TKeyword> JapaneseKeyword(size_t i) const {
        switch (Code(i)) {
        case kWo:
            return TKeyword::Wo;
        case kNi:
            return TKeyword::Ni;
        case kHa:
            return TKeyword::Ha;
        case kNani:
            if (!valueOpen_ && !tokens_.empty() && tokens_.back().Kind == TTokenKind::Keyword &&
                tokens_.back().Keyword == TKeyword::Ha) {
                return TKeyword::Nani;
            }
            return std::nullopt;
        default:
            return std::nullopt;
        }
    }

    // The longest unit name at character i that ends at a character boundary and, when it ends
    // in an ASCII letter or digit, is not followed by an ASCII letter.
    std::optional<TUnitMatch> UnitAt(size_t i) const {
        if (i >= chars_.size()) {
            return std::nullopt;
        }
        // The same place is asked about again by the keyword and prefix rules.
        if (unitAt_.empty()) {
            unitAt_.resize(chars_.size());
        }
        if (!unitAt_[i]) {
            unitAt_[i] = FindUnitAt(i);
        }
        return *unitAt_[i];
    }

    std::optional<TUnitMatch> FindUnitAt(size_t i) const {
        spans_.clear();
        const size_t start = chars_[i].FoldBegin;
        data_.Names.KeysStarting(std::string_view(folded_).substr(start), spans_);
        for (auto span = spans_.rbegin(); span != spans_.rend(); ++span) {
            const size_t foldEnd = start + span->Length;
            const auto after =
                std::lower_bound(chars_.begin() + static_cast<ptrdiff_t>(i), chars_.end(), foldEnd,
                                 [](const TFoldedChar& c, size_t at) { return c.FoldBegin < at; });
            if (after != chars_.end() && after->FoldBegin != foldEnd) {
                continue; // the name ends inside the folded form of a character
            }
            const auto end = static_cast<size_t>(after - chars_.begin());
            const char last = folded_[foldEnd - 1];
            if ((IsLetter(last) || IsDigit(last)) && IsAsciiLetter(end)) {
                continue;
            }
            return TUnitMatch{end, *span};
        }
        return std::nullopt;
    }

    // A word that is no unit may be the first half of a name written without its blank: "sq m"
    // for the alias sqm. The name must reach into the next word.
    std::optional<TUnitMatch> JoinedUnitAt(size_t i) const {
        size_t first = i;
        while (first < chars_.size() && IsAsciiLetter(first)) {
            ++first;
        }
        const size_t second = NextNonBlank(first);
        if (first == i || second == first || !IsAsciiLetter(second)) {
            return std::nullopt;
        }
        const size_t head = chars_[first].FoldBegin - chars_[i].FoldBegin;
        std::string joined = folded_.substr(chars_[i].FoldBegin, head);
        // No name reaches further than the longest.
        joined +=
            std::string_view(folded_).substr(chars_[second].FoldBegin, data_.Names.LongestKey());
        spans_.clear();
        data_.Names.KeysStarting(joined, spans_);
        for (auto span = spans_.rbegin(); span != spans_.rend() && span->Length > head; ++span) {
            const size_t foldEnd = chars_[second].FoldBegin + (span->Length - head);
            const auto after = std::lower_bound(
                chars_.begin() + static_cast<ptrdiff_t>(second), chars_.end(), foldEnd,
                [](const TFoldedChar& c, size_t at) { return c.FoldBegin < at; });
            if (after != chars_.end() && after->FoldBegin != foldEnd) {
                continue;
            }
            const auto end = static_cast<size_t>(after - chars_.begin());
            const char last = folded_[foldEnd - 1];
            if ((IsLetter(last) || IsDigit(last)) && IsAsciiLetter(end)) {
                continue;
            }
            return TUnitMatch{end, *span};
        }
        return std::nullopt;
    }

    // Right after a number a text may read as a unit or as a prefix and the unit after it
    // ("2k m": the unit K or the prefix k and the metre): the longer unit name wins; of two of
    // one length, and when no unit follows the prefix, the unit wins only when it is written
    // with its case, as the prefix always is.
    bool PrefixReadingWins(size_t i, const TUnitMatch& unit) const {
        const size_t prefix = PrefixAt(i);
        if (prefix == 0) {
            return false;
        }
        const bool asWritten = data_.Names.HasKeyAsWritten(unit.Span, Original(i, unit.End));
        const size_t next = NextNonBlank(i + prefix);
        const std::optional<TUnitMatch> after = UnitAt(next);
        if (after && after->End - next != unit.End - i) {
            return after->End - next > unit.End - i;
        }
        return !asWritten;
    }

    // The length in characters of the longest prefix at i after a number, when what follows it
    // can follow a number.
    size_t PrefixAt(size_t i) const {
        if (!valueEndsInNumber_ || !data_.Prefixes.Loaded()) {
            return 0;
        }
        size_t best = 0;
        for (int32_t p = 0; p < data_.Prefixes.Count(); ++p) {
            const std::string& name = data_.Prefixes.Entry(p).Name;
            size_t at = 0;
            size_t k = i;
            while (at < name.size() && k < chars_.size()) {
                if (const char c = Ascii(k)) {
                    if (name[at] != c) {
                        break;
                    }
                    ++at;
                } else {
                    const std::string_view bytes = Original(k, k + 1);
                    if (name.compare(at, bytes.size(), bytes) != 0) {
                        break;
                    }
                    at += bytes.size();
                }
                ++k;
            }
            if (at == name.size() && k - i > best && CanFollowNumber(k)) {
                best = k - i;
            }
        }
        return best;
    }

    bool CanFollowNumber(size_t i) const {
        if (i >= chars_.size() || IsBlank(i)) {
            return true;
        }
        const char c = Ascii(i);
        return IsOperator(c) || c == ';' || SymbolKeyword(i) > 0 || WordKeyword(i) > 0 ||
               JapaneseKeyword(i).has_value() || UnitAt(i).has_value();
    }

    // An unknown name runs to the next blank, value character, ";" or Japanese keyword.
    size_t UnknownEnd(size_t i) const {
        size_t end = i + 1;
        while (end < chars_.size() && !IsBlank(end)) {
            const char c = Ascii(end);
            if (IsDigit(c) || c == '.' || c == ',' || c == ';' || IsOperator(c) ||
                SymbolKeyword(end) > 0 || Code(end) == kWo || Code(end) == kNi ||
                Code(end) == kHa) {
                break;
            }
            ++end;
        }
        return end;
    }

    std::string_view text_;
    const TQueryData& data_;
    std::string folded_;
    std::vector<TFoldedChar> chars_;
    std::vector<TToken> tokens_;
    TToken value_;
    bool valueOpen_ = false;
    bool valueEndsInNumber_ = false;
    mutable std::vector<TUnitSearch::TKeySpan> spans_;
    mutable std::vector<std::optional<std::optional<TUnitMatch>>> unitAt_;
};

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A unit named in the query, with the units it may stand for.
struct TNamed {
    std::string Text;
    std::vector<TNameMatch> Matches;
};

std::string GroupList(const TUnitSearch& names, const std::vector<TNameMatch>& matches,
                      const std::vector<int32_t>* within) {
    std::vector<int32_t> groups;
    for (const TNameMatch& match : matches) {
        const int32_t g = match.Hit.Group;
        if ((within == nullptr || std::find(within->begin(), within->end(), g) != within->end()) &&
            std::find(groups.begin(), groups.end(), g) == groups.end()) {
            groups.push_back(g);
        }
    }
    std::string list;
    for (const int32_t g : groups) {
        for (const TNameMatch& match : matches) {
            if (match.Hit.Group == g) {
                list += (list.empty() ? "" : "・") + names.GroupName(match.Hit);
                break;
            }
        }
    }
    return list;
}

std::string UnitList(const TUnitSearch& names, const std::vector<TUnitHit>& hits) {
    std::string list;
    for (const TUnitHit& hit : hits) {
        list += list.empty() ? "" : "、";
        list += names.UnitName(hit);
        list += "（";
        list += names.GroupName(hit);
        list += "）";
    }
    return list;
}

// The one group that every named unit can lie in, and each name's unit there.
TQueryParse ResolveGroup(const std::vector<TNamed>& named, const TUnitSearch& names, int32_t& group,
                         std::vector<TUnitHit>& units) {
    std::vector<int32_t> groups;
    for (const TNameMatch& match : named.front().Matches) {
        if (std::find(groups.begin(), groups.end(), match.Hit.Group) == groups.end()) {
            groups.push_back(match.Hit.Group);
        }
    }
    for (size_t k = 1; k < named.size(); ++k) {
        std::vector<int32_t> common;
        for (const int32_t g : groups) {
            if (std::any_of(named[k].Matches.begin(), named[k].Matches.end(),
                            [&](const TNameMatch& m) { return m.Hit.Group == g; })) {
                common.push_back(g);
            }
        }
        if (common.empty()) {
            TQueryParse parse = Fail(TQueryFault::TwoGroups, named[k].Text,
                                     Quoted(named.front().Text) + "（" +
                                         GroupList(names, named.front().Matches, &groups) + "）と" +
                                         Quoted(named[k].Text) + "（" +
                                         GroupList(names, named[k].Matches, nullptr) +
                                         "）は同じ集団の単位ではありません");
            parse.Problem.Other = named.front().Text;
            return parse;
        }
        groups = std::move(common);
    }
    // Within each group a name takes the units of its best kind of name.
    const auto inGroup = [](const TNamed& name, int32_t g) {
        std::vector<TUnitHit> hits;
        TNameKind best = TNameKind::Alias;
        for (const TNameMatch& match : name.Matches) {
            if (match.Hit.Group == g) {
                best = std::min(best, match.Kind);
            }
        }
        for (const TNameMatch& match : name.Matches) {
            if (match.Hit.Group == g && match.Kind == best) {
                hits.push_back(match.Hit);
            }
        }
        return hits;
    };
    for (const TNamed& name : named) {
        std::vector<TUnitHit> candidates;
        for (const int32_t g : groups) {
            const std::vector<TUnitHit> hits = inGroup(name, g);
            candidates.insert(candidates.end(), hits.begin(), hits.end());
        }
        if (candidates.size() > 1) {
            std::string message =
                Quoted(name.Text) + "がどの単位か決められません：" + UnitList(names, candidates);
            return Fail(TQueryFault::Ambiguous, name.Text, std::move(message),
                        std::move(candidates));
        }
    }
    group = groups.front();
    for (const TNamed& name : named) {
        units.push_back(inGroup(name, group).front());
    }
    return {};
}

// True when a formula is a multiple of its placeholder's value: no offset, no reciprocal.
bool IsProportional(const std::string& formula, std::string_view placeholder,
                    const TPrefixes& prefixes) {
    const auto at = [&](long double x) {
        return Calculate(ReplacePlaceholder(formula, placeholder, FormatGeneral(x)), prefixes);
    };
    try {
        const long double one = at(1.0L);
        if (at(0.0L) != 0.0L || one == 0.0L) {
            return false;
        }
        const auto near = [](long double value, long double expected) {
            return std::fabs(value - expected) <= 1E-12L * std::fabs(expected);
        };
        return near(at(2.0L), 2.0L * one) && near(at(-3.0L), -3.0L * one);
    } catch (const ETvError&) {
        return false;
    }
}

std::string UnknownMessage(std::string_view text) {
    return "単位" + Quoted(text) + "が見つかりません";
}

} // namespace

EQueryError::EQueryError(TQueryProblem problem)
    : EConvertError(problem.Message), problem_(std::move(problem)) {}

namespace {

// True when the text may begin with a value: after blanks, a digit, ".", "(" or a sign, as
// typed or in full-width form. Any other text is no query, found out without reading it.
bool MayBeginWithValue(std::string_view text) {
    constexpr std::string_view kWideSpace = "\xE3\x80\x80";
    size_t i = 0;
    for (;;) {
        if (i < text.size() && static_cast<unsigned char>(text[i]) <= 32 && text[i] != 0) {
            ++i;
        } else if (text.substr(i, 3) == kWideSpace) {
            i += 3;
        } else {
            break;
        }
    }
    if (i >= text.size()) {
        return false;
    }
    // A full-width form is three bytes.
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::string first = MapText(text.substr(i, lead >= 0xE0 && lead < 0xF0 ? 3 : 1));
    const char c = first.empty() ? '\0' : first.front();
    return IsDigit(c) || c == '.' || c == '(' || c == '+' || c == '-';
}

} // namespace

TQueryParse ParseQuery(std::string_view text, const TQueryData& data, bool suggest) {
    if (!MayBeginWithValue(text)) {
        return {};
    }
    TTokenizer tokenizer(text, data);
    const std::vector<TToken> tokens = tokenizer.Tokens();
    if (tokens.empty() || tokens.front().Kind != TTokenKind::Value || !tokens.front().HasDigit ||
        std::none_of(tokens.begin(), tokens.end(), [](const TToken& token) {
            return token.Kind == TTokenKind::Unit || token.Kind == TTokenKind::Unknown;
        })) {
        return {};
    }
    const auto original = [&](const TToken& token) {
        return std::string(tokenizer.Original(token));
    };
    const auto unknown = [&](const TToken& token) {
        const std::string name = original(token);
        return Fail(TQueryFault::UnknownUnit, name, UnknownMessage(name),
                    suggest ? data.Names.Suggest(name) : std::vector<TUnitHit>());
    };

    TQuery query;
    std::vector<const TToken*> sourceUnits;
    std::vector<const TToken*> targetUnits;
    size_t t = 0;
    std::optional<TKeyword> keyword;
    std::string keywordText;
    while (t < tokens.size()) {
        const TToken& token = tokens[t];
        if (token.Kind == TTokenKind::Value) {
            TQueryTerm term;
            size_t first = token.First;
            if (!query.Terms.empty()) {
                const char sign = tokenizer.AsciiAt(first);
                if (sign == '+' || sign == '-') {
                    term.Negative = sign == '-';
                    const std::string signText(tokenizer.Original(first, first + 1));
                    first = tokenizer.SkipBlanks(first + 1);
                    if (first >= token.End) {
                        return Malformed(signText, Quoted(signText) + "の後に値がありません");
                    }
                } else {
                    term.Juxtaposed = true;
                }
            }
            const std::string_view value = tokenizer.Original(first, token.End);
            term.Value = value;
            try {
                Calculate(MapText(value), data.Prefixes);
            } catch (const EConvertError&) {
                return Malformed(term.Value, Quoted(term.Value) + "は値として読めません");
            } catch (const ETvError&) {
                // A value that reads but cannot be computed fails in the conversion.
            }
            if (t + 1 < tokens.size() && tokens[t + 1].Kind == TTokenKind::Unknown) {
                return unknown(tokens[t + 1]);
            }
            if (t + 1 >= tokens.size() || tokens[t + 1].Kind != TTokenKind::Unit) {
                return Malformed(term.Value, Quoted(term.Value) + "に単位がありません");
            }
            term.UnitText = original(tokens[t + 1]);
            query.Terms.push_back(std::move(term));
            sourceUnits.push_back(&tokens[t + 1]);
            t += 2;
            continue;
        }
        if (token.Kind == TTokenKind::Unit) {
            break; // a unit without a value: the target, with no keyword before it
        }
        if (token.Kind == TTokenKind::Unknown) {
            return unknown(token);
        }
        if (token.Kind == TTokenKind::Keyword &&
            (token.Keyword == TKeyword::To || token.Keyword == TKeyword::Wo ||
             token.Keyword == TKeyword::Ha)) {
            keyword = token.Keyword;
            keywordText = original(token);
            ++t;
            if (token.Keyword == TKeyword::Ha && t < tokens.size() &&
                tokens[t].Kind == TTokenKind::Keyword && tokens[t].Keyword == TKeyword::Nani) {
                ++t;
            }
            break;
        }
        return Malformed(original(token), Quoted(original(token)) + "を読めません");
    }

    if (t == tokens.size() && keyword) {
        return Malformed(keywordText, Quoted(keywordText) + "の後に変換先の単位がありません");
    }
    while (t < tokens.size()) {
        const TToken& token = tokens[t];
        if (token.Kind == TTokenKind::Unknown) {
            return unknown(token);
        }
        if (token.Kind != TTokenKind::Unit) {
            return Malformed(original(token),
                             "変換先の" + Quoted(original(token)) + "を読めません");
        }
        query.Targets.push_back({original(token), {}, {}});
        targetUnits.push_back(&token);
        ++t;
        if (t == tokens.size()) {
            break;
        }
        const TToken& after = tokens[t];
        if (after.Kind == TTokenKind::Semicolon && t + 1 < tokens.size()) {
            ++t;
            continue;
        }
        if (after.Kind == TTokenKind::Keyword && after.Keyword == TKeyword::Ni &&
            keyword == TKeyword::Wo && t + 1 == tokens.size()) {
            break;
        }
        return Malformed(original(after), "変換先の" + Quoted(original(after)) + "を読めません");
    }

    std::vector<TNamed> named;
    for (const std::vector<const TToken*>* list : {&sourceUnits, &targetUnits}) {
        for (const TToken* token : *list) {
            std::string typed = original(*token);
            if (token->Joined) {
                typed.erase(std::remove_if(typed.begin(), typed.end(),
                                           [](char c) { return c == ' ' || c == '\t'; }),
                            typed.end());
            }
            named.push_back({original(*token), data.Names.Resolve(token->Span, typed)});
        }
    }
    std::vector<TUnitHit> units;
    if (TQueryParse failed = ResolveGroup(named, data.Names, query.Group, units);
        failed.Kind == TQueryKind::Failed) {
        return failed;
    }
    for (size_t k = 0; k < units.size(); ++k) {
        TUnitEntry entry = data.Units.GroupUnit(query.Group, units[k].Position);
        if (k < query.Terms.size()) {
            query.Terms[k].Unit = units[k];
            query.Terms[k].Entry = std::move(entry);
        } else {
            TQueryTarget& target = query.Targets[k - query.Terms.size()];
            target.Unit = units[k];
            target.Entry = std::move(entry);
        }
    }

    if (query.Terms.size() > 1) {
        for (const TQueryTerm& term : query.Terms) {
            if (!IsProportional(term.Entry.ToBase, "$i", data.Prefixes)) {
                return Fail(TQueryFault::NotAdditive, term.UnitText,
                            Quoted(term.UnitText) +
                                "はオフセットか逆数の式を持つ単位なので、足し合わせられません"
                                "（1 つの値と 1 つの単位でだけ変換できます）");
            }
        }
    }
    if (query.Targets.size() > 1) {
        for (const TQueryTarget& target : query.Targets) {
            if (!IsProportional(target.Entry.ToBase, "$i", data.Prefixes) ||
                !IsProportional(target.Entry.FromBase, "$t", data.Prefixes)) {
                return Fail(TQueryFault::NotAdditive, target.UnitText,
                            Quoted(target.UnitText) +
                                "はオフセットか逆数の式を持つ単位なので、組み合わせた変換先には"
                                "使えません");
            }
        }
    }
    TQueryParse parse;
    parse.Kind = TQueryKind::Query;
    parse.Query = std::move(query);
    return parse;
}

std::optional<TQueryProblem> QueryProblemOf(const TQueryParse& parse, std::string_view text) {
    switch (parse.Kind) {
    case TQueryKind::Query:
        return std::nullopt;
    case TQueryKind::Failed:
        return parse.Problem;
    case TQueryKind::NotAQuery:
        break;
    }
    const std::string shown(TrimBlanks(text));
    return TQueryProblem{
        TQueryFault::Malformed, shown, {}, Quoted(shown) + "は単位変換の式ではありません", {}};
}

TQuery ResolveQuery(std::string_view text, const TQueryData& data) {
    TQueryParse parse = ParseQuery(text, data);
    if (std::optional<TQueryProblem> problem = QueryProblemOf(parse, text)) {
        throw EQueryError(std::move(*problem));
    }
    return std::move(parse.Query);
}

} // namespace tv
