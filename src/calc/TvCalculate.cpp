#include "calc/TvCalculate.h"

#include "units/TvErrors.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <stdexcept>
#include <vector>

namespace tv {

namespace {

// ---------------------------------------------------------------------------------------------
// Evaluator

// The starting value of the split search: a character must rank strictly below it.
constexpr int64_t kOperandRank = 0xFFFFF;
constexpr int64_t kParenKey = std::numeric_limits<int64_t>::max();
constexpr int32_t kNone = -1;

bool IsOperatorChar(char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '^';
}

// A "+" or "-" after one of these is the sign of the following operand.
bool TakesSign(char c) {
    return c == '(' || c == '*' || c == '+' || c == '-' || c == '/' || c == '^';
}

// Bytes of the UTF-8 character that starts at pos, not reaching past end.
int32_t CharLength(std::string_view text, int32_t pos, int32_t end) {
    const auto lead = static_cast<unsigned char>(text[static_cast<size_t>(pos)]);
    const int32_t expected = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    int32_t length = 1;
    while (length <= expected && pos + length < end &&
           (static_cast<unsigned char>(text[static_cast<size_t>(pos + length)]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

long double Finite(long double value) {
    if (std::isinf(value)) {
        throw EOverflow(kMsgOverflow);
    }
    return value;
}

long double Divide(long double a, long double b) {
    if (b == 0.0L) {
        throw EZeroDivide(kMsgZeroDivide);
    }
    return Finite(a / b);
}

long double Power(long double a, long double b) {
    if (b == std::trunc(b) && std::fabs(b) <= 2147483647.0L) {
        const auto n = static_cast<int64_t>(b);
        if (n == 0) {
            return 1.0L;
        }
        // Repeated squaring; an overflow on the way counts like that of any other result.
        uint64_t bits = static_cast<uint64_t>(n < 0 ? -n : n);
        long double result = 1.0L;
        long double x = a;
        for (;;) {
            if ((bits & 1U) != 0) {
                result = Finite(result * x);
            }
            bits >>= 1U;
            if (bits == 0) {
                break;
            }
            x = Finite(x * x);
        }
        return n < 0 ? Divide(1.0L, result) : result;
    }
    if (a == 0.0L) {
        return 0.0L;
    }
    if (a < 0.0L) {
        throw EInvalidOp(kMsgInvalidOp);
    }
    return Finite(std::exp2(Finite(b * std::log2(a))));
}

long double Combine(char op, long double a, long double b) {
    switch (op) {
    case '+':
        return Finite(a + b);
    case '-':
        return Finite(a - b);
    case '*':
        return Finite(a * b);
    case '/':
        return Divide(a, b);
    default:
        return Power(a, b);
    }
}

// For every "(", the position of the ")" that closes it, or kNone.
std::vector<int32_t> MatchParentheses(std::string_view text) {
    std::vector<int32_t> match(text.size(), kNone);
    std::vector<int32_t> open;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(') {
            open.push_back(static_cast<int32_t>(i));
        } else if (text[i] == ')' && !open.empty()) {
            match[static_cast<size_t>(open.back())] = static_cast<int32_t>(i);
            open.pop_back();
        }
    }
    return match;
}

// Removes the parentheses that enclose the whole range [lo, hi), as often as they do.
void StripParentheses(std::string_view text, const std::vector<int32_t>& match, int32_t& lo,
                      int32_t& hi) {
    while (hi - lo >= 2 && text[static_cast<size_t>(lo)] == '(' &&
           text[static_cast<size_t>(hi - 1)] == ')') {
        const int32_t close = match[static_cast<size_t>(lo)];
        if (close != kNone && close < hi - 1) {
            return;
        }
        ++lo;
        --hi;
    }
}

// One evaluation: the text after the whole-text rewrites and the root's scan, and the tables
// that let every other part find its split point without scanning.
//
// Only the root's scan rewrites signs: afterwards no "+" or "-" follows "(", an operator or an
// unrewritten sign, so the scan of a part finds nothing left to rewrite; and only the root can
// begin with a sign, so the "0" put in front of the root is the only one ever inserted. Inside a
// part, the rank of a character is its key (base rank plus 10 times the depth from the start of
// the whole text) less 10 times the depth at the part's start, so a part splits at the leftmost
// smallest key of its range. The parts are the subtrees of a Cartesian tree over the keys
// (leftmost minimum on top), less parentheses at their ends, which have no key; so each part
// reads its split point from the tree. The tree is walked with explicit stacks and built only as
// far as the evaluation gets before a failure.
class Expression {
public:
    Expression(std::string_view text, const TOperandResolver& resolve);
    long double Evaluate();

private:
    enum class Stage : uint8_t { Enter, Left, Right, Combine };

    struct Frame {
        int32_t lo;
        int32_t hi;
        int32_t top; // Cartesian root of the range
        int32_t split;
        int32_t splitEnd;
        Stage stage;
    };

    int32_t RootScan();
    int64_t Key(int32_t i) const;
    int32_t BuildCartesian(int32_t lo, int32_t hi);
    int32_t ScanForSplit(int32_t lo, int32_t hi) const;
    long double Operand(int32_t lo, int32_t hi);
    long double Leaf(int32_t lo, int32_t hi);

    const TOperandResolver& resolve_;
    std::string text_;
    bool zeroAdded_ = false;
    std::vector<int32_t> depth_; // "(" minus ")" before each position
    std::vector<int32_t> match_;
    std::vector<int32_t> left_;
    std::vector<int32_t> right_;
    std::string operand_;
};

Expression::Expression(std::string_view text, const TOperandResolver& resolve) : resolve_(resolve) {
    // Positions are 32-bit; a text this long could not be evaluated in memory anyway.
    if (text.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2)) {
        throw std::bad_alloc();
    }
    std::string marked;
    marked.reserve(text.size());
    for (char c : text) {
        if (c != ' ') {
            marked += c;
        }
    }
    // "E+", "e+", "E-" and "e-" cannot overlap, so one pass does what the four replacements do.
    size_t out = 0;
    for (size_t i = 0; i < marked.size(); ++i) {
        const char c = marked[i];
        if ((c == 'E' || c == 'e') && i + 1 < marked.size() &&
            (marked[i + 1] == '+' || marked[i + 1] == '-')) {
            marked[out++] = marked[i + 1] == '+' ? '<' : '>';
            ++i;
        } else {
            marked[out++] = c;
        }
    }
    marked.resize(out);

    int32_t lo = 0;
    int32_t hi = static_cast<int32_t>(marked.size());
    StripParentheses(marked, MatchParentheses(marked), lo, hi);
    const std::string_view root(marked.data() + lo, static_cast<size_t>(hi - lo));
    zeroAdded_ = !root.empty() && (root.front() == '+' || root.front() == '-');
    text_.reserve(root.size() + 1);
    if (zeroAdded_) {
        text_ += '0';
    }
    text_ += root;
}

// The root's scan: rewrites the signs of operands in place and returns the split point.
int32_t Expression::RootScan() {
    int64_t depth = 0;
    int64_t best = kOperandRank;
    int32_t split = kNone;
    const auto n = static_cast<int32_t>(text_.size());
    for (int32_t i = 0; i < n; ++i) {
        char& c = text_[static_cast<size_t>(i)];
        if (c == '(') {
            ++depth;
            continue;
        }
        if (c == ')') {
            --depth;
            continue;
        }
        int64_t base = kOperandRank;
        if (c == '+' || c == '-') {
            if (zeroAdded_ && i == 1) {
                base = 4;
            } else if (i > 0 && TakesSign(text_[static_cast<size_t>(i - 1)])) {
                c = c == '+' ? '|' : '=';
            } else {
                base = 1;
            }
        } else if (c == '*' || c == '/') {
            base = 2;
        } else if (c == '^') {
            base = 3;
        }
        const int64_t rank = base + 10 * depth;
        if (rank < best) {
            best = rank;
            split = i;
        }
    }
    return split;
}

// Rank of position i in any part below the root, plus 10 times the part's starting depth.
int64_t Expression::Key(int32_t i) const {
    const char c = text_[static_cast<size_t>(i)];
    int64_t base = kOperandRank;
    switch (c) {
    case '(':
    case ')':
        return kParenKey;
    case '+':
    case '-':
        base = 1;
        break;
    case '*':
    case '/':
        base = 2;
        break;
    case '^':
        base = 3;
        break;
    default:
        break;
    }
    return base + 10 * static_cast<int64_t>(depth_[static_cast<size_t>(i)]);
}

// Cartesian tree of the keys in [lo, hi): the leftmost smallest key on top. Returns its root.
int32_t Expression::BuildCartesian(int32_t lo, int32_t hi) {
    std::vector<int32_t> chain; // the rightmost path, top first
    for (int32_t i = lo; i < hi; ++i) {
        const int64_t key = Key(i);
        int32_t last = kNone;
        while (!chain.empty() && Key(chain.back()) > key) {
            last = chain.back();
            chain.pop_back();
        }
        left_[static_cast<size_t>(i)] = last;
        if (!chain.empty()) {
            right_[static_cast<size_t>(chain.back())] = i;
        }
        chain.push_back(i);
    }
    return chain.empty() ? kNone : chain.front();
}

// The leftmost smallest key of [lo, hi) found by scanning; only a safety net.
int32_t Expression::ScanForSplit(int32_t lo, int32_t hi) const {
    int32_t best = kNone;
    for (int32_t i = lo; i < hi; ++i) {
        if (best == kNone || Key(i) < Key(best)) {
            best = i;
        }
    }
    return best;
}

long double Expression::Operand(int32_t lo, int32_t hi) {
    operand_.clear();
    for (int32_t i = lo; i < hi; ++i) {
        const char c = text_[static_cast<size_t>(i)];
        switch (c) {
        case '<':
            operand_ += "E+";
            break;
        case '>':
            operand_ += "E-";
            break;
        case '|':
            operand_ += '+';
            break;
        case '=':
            operand_ += '-';
            break;
        default:
            operand_ += c;
        }
    }
    return resolve_(operand_);
}

long double Expression::Leaf(int32_t lo, int32_t hi) {
    if (hi - lo == 1 && IsOperatorChar(text_[static_cast<size_t>(lo)])) {
        return Combine(text_[static_cast<size_t>(lo)], 0.0L, 0.0L);
    }
    return Operand(lo, hi);
}

long double Expression::Evaluate() {
    const auto n = static_cast<int32_t>(text_.size());
    const int32_t rootSplit = RootScan();
    if (rootSplit == kNone) {
        return Leaf(0, n);
    }

    depth_.resize(static_cast<size_t>(n) + 1);
    depth_[0] = 0;
    for (int32_t i = 0; i < n; ++i) {
        const char c = text_[static_cast<size_t>(i)];
        depth_[static_cast<size_t>(i) + 1] = depth_[static_cast<size_t>(i)] + (c == '('   ? 1
                                                                               : c == ')' ? -1
                                                                                          : 0);
    }
    match_ = MatchParentheses(text_);
    left_.assign(static_cast<size_t>(n), kNone);
    right_.assign(static_cast<size_t>(n), kNone);
    // The root splits by its own ranks; each side gets its own tree, hung below the split point.
    const int32_t rootSplitEnd = rootSplit + CharLength(text_, rootSplit, n);
    const int32_t leftTop = BuildCartesian(0, rootSplit);
    const int32_t rightTop = BuildCartesian(rootSplitEnd, n);
    left_[static_cast<size_t>(rootSplit)] = leftTop;
    right_[static_cast<size_t>(rootSplitEnd - 1)] = rightTop;

    std::vector<Frame> frames;
    std::vector<long double> values;
    frames.push_back(Frame{0, n, rootSplit, rootSplit, rootSplitEnd, Stage::Left});
    while (!frames.empty()) {
        Frame& f = frames.back();
        switch (f.stage) {
        case Stage::Enter: {
            StripParentheses(text_, match_, f.lo, f.hi);
            int32_t split = kNone;
            if (f.hi - f.lo > 1) {
                split = f.top;
                if (split < f.lo || split >= f.hi) {
                    split = ScanForSplit(f.lo, f.hi);
                }
                const int64_t key = Key(split);
                if (key == kParenKey ||
                    key - 10 * static_cast<int64_t>(depth_[static_cast<size_t>(f.lo)]) >=
                        kOperandRank) {
                    split = kNone;
                }
            }
            if (split == kNone) {
                const long double value = Leaf(f.lo, f.hi);
                frames.pop_back();
                values.push_back(value);
                break;
            }
            f.split = split;
            f.splitEnd = split + CharLength(text_, split, f.hi);
            f.stage = Stage::Left;
            break;
        }
        case Stage::Left: {
            f.stage = Stage::Right;
            const Frame child{f.lo,  f.split, left_[static_cast<size_t>(f.split)],
                              kNone, kNone,   Stage::Enter};
            frames.push_back(child);
            break;
        }
        case Stage::Right: {
            f.stage = Stage::Combine;
            const Frame child{f.splitEnd, f.hi,  right_[static_cast<size_t>(f.splitEnd - 1)],
                              kNone,      kNone, Stage::Enter};
            frames.push_back(child);
            break;
        }
        case Stage::Combine: {
            const long double b = values.back();
            values.pop_back();
            const long double a = values.back();
            values.pop_back();
            const char c = text_[static_cast<size_t>(f.split)];
            const long double value = f.splitEnd - f.split == 1 && IsOperatorChar(c)
                                          ? Combine(c, a, b)
                                          : Operand(f.split, f.splitEnd);
            frames.pop_back();
            values.push_back(value);
            break;
        }
        }
    }
    return values.back();
}

// ---------------------------------------------------------------------------------------------
// Formatting

struct Decimal18 {
    char digits[18];
    int exponent; // the value is d1.d2...d18 times 10 to this power
};

// The magnitude rounded to 18 significant digits; independent of the C locale.
Decimal18 ToDecimal18(long double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, 17);
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

std::string NonFinite(long double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    return value < 0 ? "-INF" : "INF";
}

} // namespace

long double Calculate(std::string_view text, const TPrefixes& prefixes) {
    return Calculate(
        text, [&prefixes](std::string_view operand) { return prefixes.StrToValue(operand); });
}

long double Calculate(std::string_view text, const TOperandResolver& resolve) {
    try {
        Expression expression(text, resolve);
        return expression.Evaluate();
    } catch (const EConvertError&) {
        throw EConvertError(kMsgConvert);
    } catch (const EZeroDivide&) {
        throw EZeroDivide(kMsgZeroDivide);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    } catch (const std::length_error&) {
        throw EOutOfMemory(kMsgOutOfMemory);
    }
}

std::string FormatGeneral(long double value) {
    if (!std::isfinite(value)) {
        return NonFinite(value);
    }
    if (value == 0.0L) {
        return "0"; // also for negative zero
    }
    const Decimal18 decimal = ToDecimal18(value);
    int count = 18;
    while (count > 1 && decimal.digits[count - 1] == '0') {
        --count;
    }
    const std::string_view digits(decimal.digits, static_cast<size_t>(count));
    const int e = decimal.exponent + 1; // value = 0.d1d2... times 10^e
    std::string out = value < 0 ? "-" : "";
    if (e >= -3 && e <= 18) {
        if (e <= 0) {
            out += "0.";
            out.append(static_cast<size_t>(-e), '0');
            out += digits;
        } else if (count <= e) {
            out += digits;
            out.append(static_cast<size_t>(e - count), '0');
        } else {
            out += digits.substr(0, static_cast<size_t>(e));
            out += '.';
            out += digits.substr(static_cast<size_t>(e));
        }
        return out;
    }
    out += digits[0];
    if (count > 1) {
        out += '.';
        out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(e - 1);
    return out;
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

// ---------------------------------------------------------------------------------------------
// Number text helpers

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

// ---------------------------------------------------------------------------------------------
// Conversion of one value

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(from, start);
        if (found == std::string_view::npos) {
            break;
        }
        out += text.substr(start, found - start);
        out += to;
        start = found + from.size();
    }
    out += text.substr(start);
    return out;
}

} // namespace

TUnitConvResult ConvertUnit(const TUnitConvRequest& request, const TPrefixes& prefixes) {
    const std::string input = MapText(request.InputText);
    const bool shown = request.ShowAns >= 0 && request.ShowAns <= 2;
    std::string formula;
    std::string valueText; // the text whose evaluation is shown, when a display mode shows one
    if (request.SameUnit) {
        valueText = input;
    } else {
        const std::string number = FormatGeneral(Calculate(input, prefixes));
        const std::string source = ReplaceAll(request.Source.ToBase, "$i", number);
        const std::string base = FormatGeneral(Calculate(source, prefixes));
        formula = ReplaceAll(request.Target.FromBase, "$t", "(" + source + ")");
        valueText = ReplaceAll(request.Target.FromBase, "$t", base);
    }

    TUnitConvResult result;
    if (shown) {
        const long double value = Calculate(valueText, prefixes);
        switch (request.ShowAns) {
        case 0:
            result.Output = FormatGeneral(value);
            break;
        case 1:
            result.Output = FormatExponent(value);
            break;
        default:
            result.Output = GroupDigits(FormatGeneral(value));
            break;
        }
    } else {
        // An unknown display mode writes nothing, so the last evaluation is not needed.
        result.Output = request.PreviousOutput;
    }
    result.ReportLine = request.InputText + " [" + request.Source.Name + "] => " + result.Output +
                        " [" + request.Target.Name + "]";
    if (request.ShowExp == 1) {
        result.FormulaLine =
            request.SameUnit ? "\t同じ単位のため変換を行っていません。" : "\tResult = " + formula;
    }
    return result;
}

} // namespace tv
