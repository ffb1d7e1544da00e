#include "calc/TvCalculate.h"

#include "units/TvErrors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
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
// Bytes that hold a value: the x87 format keeps its 80 bits in the first 10 of 16.
constexpr size_t kValueBytes =
    std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);

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

// A part waiting for its left child (holding the end of its range) or for its right child
// (holding the left child's value).
struct Pending {
    int32_t split;
    uint8_t splitLength;
    bool leftDone;
    char payload[kValueBytes];
};

// An array that grows without initialising its elements or keeping its contents.
template <class T> class RawArray {
public:
    T* Reserve(size_t count) {
        if (count > capacity_) {
            data_.reset();
            capacity_ = 0;
            data_.reset(new T[count]);
            capacity_ = count;
        }
        return data_.get();
    }
    size_t Bytes() const { return capacity_ * sizeof(T); }

private:
    std::unique_ptr<T[]> data_;
    size_t capacity_ = 0;
};

// The tables of one evaluation. Each thread keeps those of its last evaluation for the next, so
// that a short text allocates nothing and the pages of a long one are not mapped and zeroed
// afresh every time (that was a third of the time of a 1 MiB chain).
struct Tables {
    RawArray<char> buffer;
    RawArray<int32_t> match;
    RawArray<int32_t> depth;
    RawArray<int32_t> left;
    RawArray<int32_t> right;
    RawArray<int32_t> stack; // the open parentheses, then the tree's rightmost path
    RawArray<Pending> pending;
    std::string operand;

    size_t Bytes() const {
        return buffer.Bytes() + match.Bytes() + depth.Bytes() + left.Bytes() + right.Bytes() +
               stack.Bytes() + pending.Bytes() + operand.capacity();
    }
};

// Tables larger than this are given back after the evaluation rather than kept.
constexpr size_t kKeptTableBytes = size_t{64} << 20;

thread_local std::unique_ptr<Tables> tSpareTables;

// Takes the thread's spare tables for one evaluation and puts them back afterwards. An
// evaluation started inside another (by a resolver) finds none and makes its own.
class TablesLease {
public:
    TablesLease() : tables_(std::move(tSpareTables)) {
        if (!tables_) {
            tables_ = std::make_unique<Tables>();
        }
    }
    ~TablesLease() {
        if (!tSpareTables && tables_->Bytes() <= kKeptTableBytes) {
            tSpareTables = std::move(tables_);
        }
    }
    TablesLease(const TablesLease&) = delete;
    TablesLease& operator=(const TablesLease&) = delete;
    Tables& operator*() const { return *tables_; }

private:
    std::unique_ptr<Tables> tables_;
};

// One evaluation. The text is rewritten in place in one buffer; a part of the expression tree is
// a range of it, never a copy.
//
// Only the root's scan rewrites signs: afterwards no "+" or "-" follows "(", an operator or an
// unrewritten sign, so the scan of a part finds nothing left to rewrite; and only the root can
// begin with a sign, so the "0" put in front of the root is the only one ever inserted. Inside a
// part, the rank of a character is its key (base rank plus 10 times the depth from the start of
// the text) less 10 times the depth at the part's start, so a part splits at the leftmost
// smallest key of its range. The parts are the subtrees of a Cartesian tree over the keys
// (leftmost minimum on top), less parentheses at their ends, which have no key; so each part
// reads its split point from the tree. The tree is walked with an explicit stack, as far as the
// evaluation gets before a failure.
//
// Memory is what long texts cost most, so the tables are left uninitialised where they are
// never read, sized once rather than grown, and reused from one evaluation to the next.
class Expression {
public:
    Expression(std::string_view text, const TOperandResolver& resolve, Tables& tables);
    long double Evaluate();

private:
    char At(int32_t i) const { return buffer_[static_cast<size_t>(i)]; }
    int64_t Depth(int32_t i) const { return depth_ ? depth_[static_cast<size_t>(i)] : 0; }
    void StripParentheses(int32_t& lo, int32_t& hi) const;
    int32_t RootScan();
    int64_t Key(int32_t i) const;
    int32_t BuildCartesian(int32_t lo, int32_t hi);
    int32_t ScanForSplit(int32_t lo, int32_t hi) const;
    int32_t CharEnd(int32_t pos, int32_t end) const;
    long double Operand(int32_t lo, int32_t hi);
    long double Leaf(int32_t lo, int32_t hi);
    long double Node(int32_t split, int32_t splitEnd, long double a, long double b);

    const TOperandResolver& resolve_;
    Tables& tables_;
    char* buffer_ = nullptr;
    int32_t begin_ = 0; // the root's text after its parentheses are stripped
    int32_t end_ = 0;
    bool zeroAdded_ = false;
    bool rootParentheses_ = false; // found by the root's scan between begin_ and end_
    int32_t rootOperators_ = 0;    // operators (not signs) found by the root's scan
    int32_t* match_ = nullptr;     // for each "(", its ")" or kNone; other entries unset
    bool parentheses_ = false;
    int32_t* depth_ = nullptr; // "(" minus ")" from begin_ up to each position, if any
    int32_t* left_ = nullptr;
    int32_t* right_ = nullptr;
    std::string& operand_;
};

Expression::Expression(std::string_view text, const TOperandResolver& resolve, Tables& tables)
    : resolve_(resolve), tables_(tables), operand_(tables.operand) {
    // Positions are 32-bit; a text this long could not be evaluated in memory anyway.
    if (text.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2)) {
        throw std::bad_alloc();
    }
    // Position 0 is spare: it takes the "0" put in front of a leading sign.
    buffer_ = tables_.buffer.Reserve(text.size() + 1);
    buffer_[0] = '0';
    // Spaces go; "E+", "e+", "E-" and "e-" cannot overlap, so one pass does what the four
    // replacements do.
    size_t out = 1;
    char held = 0; // an "E" or "e" whose next non-space character decides what it is
    for (char c : text) {
        if (c == ' ') {
            continue;
        }
        if (held != 0) {
            if (c == '+' || c == '-') {
                buffer_[out++] = c == '+' ? '<' : '>';
                held = 0;
                continue;
            }
            buffer_[out++] = held;
            held = 0;
        }
        if (c == 'E' || c == 'e') {
            held = c;
        } else {
            buffer_[out++] = c;
        }
    }
    if (held != 0) {
        buffer_[out++] = held;
    }
    const auto size = static_cast<int32_t>(out);

    match_ = tables_.match.Reserve(out);
    int32_t* open = tables_.stack.Reserve(out);
    size_t opened = 0;
    for (int32_t i = 1; i < size; ++i) {
        if (At(i) == '(') {
            parentheses_ = true;
            match_[static_cast<size_t>(i)] = kNone;
            open[opened++] = i;
        } else if (At(i) == ')') {
            parentheses_ = true;
            if (opened > 0) {
                match_[static_cast<size_t>(open[--opened])] = i;
            }
        }
    }

    begin_ = 1;
    end_ = size;
    StripParentheses(begin_, end_);
    if (begin_ < end_ && (At(begin_) == '+' || At(begin_) == '-')) {
        --begin_; // a stripped "(" or the spare position
        buffer_[static_cast<size_t>(begin_)] = '0';
        zeroAdded_ = true;
    }
}

// Removes the parentheses that enclose the whole range [lo, hi), as often as they do.
void Expression::StripParentheses(int32_t& lo, int32_t& hi) const {
    while (hi - lo >= 2 && At(lo) == '(' && At(hi - 1) == ')') {
        const int32_t close = match_[static_cast<size_t>(lo)];
        if (close != kNone && close < hi - 1) {
            return;
        }
        ++lo;
        --hi;
    }
}

// The root's scan: rewrites the signs of operands in place and returns the split point.
int32_t Expression::RootScan() {
    int64_t depth = 0;
    int64_t best = kOperandRank;
    int32_t split = kNone;
    for (int32_t i = begin_; i < end_; ++i) {
        char& c = buffer_[static_cast<size_t>(i)];
        if (c == '(') {
            ++depth;
            rootParentheses_ = true;
            continue;
        }
        if (c == ')') {
            --depth;
            rootParentheses_ = true;
            continue;
        }
        int64_t base = kOperandRank;
        if (c == '+' || c == '-') {
            if (zeroAdded_ && i == begin_ + 1) {
                base = 4;
            } else if (i > begin_ && TakesSign(At(i - 1))) {
                c = c == '+' ? '|' : '=';
            } else {
                base = 1;
            }
        } else if (c == '*' || c == '/') {
            base = 2;
        } else if (c == '^') {
            base = 3;
        }
        if (base != kOperandRank) {
            ++rootOperators_;
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
    int64_t base = kOperandRank;
    switch (At(i)) {
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
    return base + 10 * Depth(i);
}

// Cartesian tree of the keys in [lo, hi): the leftmost smallest key on top. Returns its root.
int32_t Expression::BuildCartesian(int32_t lo, int32_t hi) {
    // The rightmost path, top first; the constructor is done with the stack.
    int32_t* chain = tables_.stack.Reserve(static_cast<size_t>(hi > lo ? hi - lo : 0));
    size_t length = 0;
    for (int32_t i = lo; i < hi; ++i) {
        const int64_t key = Key(i);
        int32_t last = kNone;
        while (length > 0 && Key(chain[length - 1]) > key) {
            last = chain[--length];
        }
        left_[static_cast<size_t>(i)] = last;
        right_[static_cast<size_t>(i)] = kNone;
        if (length > 0) {
            right_[static_cast<size_t>(chain[length - 1])] = i;
        }
        chain[length++] = i;
    }
    return length == 0 ? kNone : chain[0];
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

int32_t Expression::CharEnd(int32_t pos, int32_t end) const {
    return pos + CharLength(std::string_view(buffer_, static_cast<size_t>(end_)), pos, end);
}

long double Expression::Operand(int32_t lo, int32_t hi) {
    const std::string_view piece(buffer_ + lo, static_cast<size_t>(hi - lo));
    if (std::none_of(piece.begin(), piece.end(),
                     [](char c) { return c == '<' || c == '>' || c == '|' || c == '='; })) {
        return resolve_(piece); // nothing to write back
    }
    operand_.clear();
    for (int32_t i = lo; i < hi; ++i) {
        const char c = At(i);
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
    if (hi - lo == 1 && IsOperatorChar(At(lo))) {
        return Combine(At(lo), 0.0L, 0.0L);
    }
    return Operand(lo, hi);
}

// The value of a part that was split: its operator applied, or its single operand character
// read (after both children were evaluated, as the tree is walked).
long double Expression::Node(int32_t split, int32_t splitEnd, long double a, long double b) {
    const char c = At(split);
    if (splitEnd - split == 1 && IsOperatorChar(c)) {
        return Combine(c, a, b);
    }
    return Operand(split, splitEnd);
}

long double Expression::Evaluate() {
    const int32_t rootSplit = RootScan();
    if (rootSplit == kNone) {
        return Leaf(begin_, end_);
    }
    if (!rootParentheses_ && rootOperators_ == 1) {
        // One operator and no parentheses, as in the formulas of a conversion: both sides are
        // operands, read left before right as the walk below would.
        const long double a = Leaf(begin_, rootSplit);
        const long double b = Leaf(rootSplit + 1, end_);
        return Node(rootSplit, rootSplit + 1, a, b);
    }

    const auto size = static_cast<size_t>(end_) + 1;
    if (parentheses_) {
        depth_ = tables_.depth.Reserve(size);
        depth_[static_cast<size_t>(begin_)] = 0;
        for (int32_t i = begin_; i < end_; ++i) {
            const char c = At(i);
            const int step = c == '(' ? 1 : (c == ')' ? -1 : 0);
            depth_[static_cast<size_t>(i) + 1] = depth_[static_cast<size_t>(i)] + step;
        }
    }
    left_ = tables_.left.Reserve(size);
    right_ = tables_.right.Reserve(size);
    // The root splits by its own ranks; each side gets its own tree, hung below the split point.
    const int32_t rootSplitEnd = CharEnd(rootSplit, end_);
    const int32_t leftTop = BuildCartesian(begin_, rootSplit);
    const int32_t rightTop = BuildCartesian(rootSplitEnd, end_);
    left_[static_cast<size_t>(rootSplit)] = leftTop;
    right_[static_cast<size_t>(rootSplitEnd - 1)] = rightTop;

    // Every pending part is an ancestor of the current one, with a split point of its own.
    Pending* pending = tables_.pending.Reserve(static_cast<size_t>(end_ - begin_) + 1);
    size_t pendingCount = 0;
    int32_t lo = begin_;
    int32_t hi = end_;
    int32_t top = kNone;
    int32_t split = rootSplit;
    for (;;) {
        if (split == kNone) {
            // A child part: strip it and find whether and where it splits.
            StripParentheses(lo, hi);
            if (hi - lo > 1) {
                split = top;
                if (split < lo || split >= hi) {
                    split = ScanForSplit(lo, hi);
                }
                const int64_t key = Key(split);
                if (key == kParenKey || key - 10 * Depth(lo) >= kOperandRank) {
                    split = kNone;
                }
            }
        }
        if (split != kNone) {
            Pending part{split, static_cast<uint8_t>(CharEnd(split, hi) - split), false, {}};
            std::memcpy(part.payload, &hi, sizeof hi);
            pending[pendingCount++] = part;
            top = left_[static_cast<size_t>(split)];
            hi = split;
            split = kNone;
            continue;
        }
        long double value = Leaf(lo, hi);
        // Hand the value up until a part still needs its right child.
        for (;;) {
            if (pendingCount == 0) {
                return value;
            }
            Pending& part = pending[pendingCount - 1];
            const int32_t splitEnd = part.split + part.splitLength;
            if (!part.leftDone) {
                part.leftDone = true;
                std::memcpy(&hi, part.payload, sizeof hi);
                std::memcpy(part.payload, &value, sizeof part.payload);
                lo = splitEnd;
                top = right_[static_cast<size_t>(splitEnd - 1)];
                break;
            }
            long double a = 0.0L;
            std::memcpy(&a, part.payload, sizeof part.payload);
            value = Node(part.split, splitEnd, a, value);
            --pendingCount;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Formatting

struct Decimal18 {
    char digits[18];
    int exponent; // the value is d1.d2...d18 times 10 to this power
};

// "00" to "99".
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "7475767778798081828384858687888990919293949596979899";

// Powers of ten that the extended format holds exactly (5^27 < 2^64).
constexpr int kExactPowersOfTen = 27;

long double ExactPowerOfTen(int k) {
    static constexpr long double kTable[kExactPowersOfTen + 1] = {
        1E0L,  1E1L,  1E2L,  1E3L,  1E4L,  1E5L,  1E6L,  1E7L,  1E8L,  1E9L,
        1E10L, 1E11L, 1E12L, 1E13L, 1E14L, 1E15L, 1E16L, 1E17L, 1E18L, 1E19L,
        1E20L, 1E21L, 1E22L, 1E23L, 1E24L, 1E25L, 1E26L, 1E27L};
    return kTable[k];
}

// The exponent frexp gives for a normal magnitude; read from the bits in the x87 format, where
// the library call costs more than the rest of the rounding.
int BinaryExponent(long double magnitude) {
    if constexpr (kValueBytes == 10) {
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
bool FastDecimal18(long double magnitude, Decimal18& decimal) {
    // floor(log10(magnitude)) or one less: 78913 / 2^18 is log10(2) closely enough for every
    // exponent this path takes (below 150 in magnitude); beyond, k is out of range at once.
    int exponent = ((BinaryExponent(magnitude) - 1) * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int k = 17 - exponent;
        if (k > kExactPowersOfTen || k < -kExactPowersOfTen) {
            return false;
        }
        const long double scaled =
            k >= 0 ? magnitude * ExactPowerOfTen(k) : magnitude / ExactPowerOfTen(-k);
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
        auto digits = whole + (fraction > 0.5L ? 1U : 0U);
        if (digits == 1000000000000000000ULL) {
            digits /= 10;
            ++exponent;
        }
        constexpr uint64_t kNineDigits = 1000000000;
        WriteNineDigits(static_cast<uint32_t>(digits / kNineDigits), decimal.digits);
        WriteNineDigits(static_cast<uint32_t>(digits % kNineDigits), decimal.digits + 9);
        decimal.exponent = exponent;
        return true;
    }
    return false;
}

// The magnitude rounded to 18 significant digits; independent of the C locale.
Decimal18 ToDecimal18(long double value) {
    Decimal18 fast{};
    if (FastDecimal18(std::fabs(value), fast)) {
        return fast;
    }
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

// True for a text without blanks, operators, parentheses or markers. A table, as searching for
// each of the twelve characters in turn costs more than the conversion of a short number.
bool IsSingleOperand(std::string_view text) {
    static constexpr auto kSpecial = [] {
        std::array<bool, 256> special{};
        for (const char c : std::string_view(" +-*/^()<>|=")) {
            special[static_cast<unsigned char>(c)] = true;
        }
        return special;
    }();
    for (const char c : text) {
        if (kSpecial[static_cast<unsigned char>(c)]) {
            return false;
        }
    }
    return true;
}

} // namespace

long double Calculate(std::string_view text, const TPrefixes& prefixes) {
    return Calculate(
        text, [&prefixes](std::string_view operand) { return prefixes.StrToValue(operand); });
}

long double Calculate(std::string_view text, const TOperandResolver& resolve) {
    try {
        // Without blanks, operators, parentheses or markers the text is one operand as it
        // stands (the values a conversion puts between its formulas are such texts).
        if (IsSingleOperand(text)) {
            return resolve(text);
        }
        const TablesLease tables;
        Expression expression(text, resolve, *tables);
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
    const char* digits = decimal.digits;
    const int e = decimal.exponent + 1; // value = 0.d1d2... times 10^e
    // Written into a fixed buffer first, so that the string is allocated once at its size: at
    // most a sign, "0.", three zeros and 18 digits, or a sign, 18 digits, a point, "E" and an
    // exponent of up to five digits with its sign.
    char out[40];
    char* p = out;
    if (value < 0) {
        *p++ = '-';
    }
    const auto put = [&p](const char* from, int length) {
        std::memcpy(p, from, static_cast<size_t>(length));
        p += length;
    };
    const auto zeros = [&p](int length) {
        std::memset(p, '0', static_cast<size_t>(length));
        p += length;
    };
    if (e >= -3 && e <= 18) {
        if (e <= 0) {
            put("0.", 2);
            zeros(-e);
            put(digits, count);
        } else if (count <= e) {
            put(digits, count);
            zeros(e - count);
        } else {
            put(digits, e);
            *p++ = '.';
            put(digits + e, count - e);
        }
    } else {
        *p++ = digits[0];
        if (count > 1) {
            *p++ = '.';
            put(digits + 1, count - 1);
        }
        *p++ = 'E';
        p = std::to_chars(p, out + sizeof out, e - 1).ptr;
    }
    return std::string(out, static_cast<size_t>(p - out));
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
    // Room for one replacement, the usual case, so that the text is not grown piece by piece.
    out.reserve(text.size() + to.size());
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
    // Mapping changes only characters beyond ASCII, so a plain input is used as it is.
    std::string mapped;
    std::string_view input = request.InputText;
    if (std::any_of(input.begin(), input.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        mapped = MapText(input);
        input = mapped;
    }
    const bool shown = request.ShowAns >= 0 && request.ShowAns <= 2;
    std::string formula;
    std::string replaced;
    std::string_view valueText; // the text whose evaluation is shown, when a display mode shows one
    if (request.SameUnit) {
        valueText = input;
    } else {
        const std::string number = FormatGeneral(Calculate(input, prefixes));
        const std::string source = ReplaceAll(request.Source.ToBase, "$i", number);
        const std::string base = FormatGeneral(Calculate(source, prefixes));
        if (request.ShowExp == 1) {
            std::string enclosed;
            enclosed.reserve(source.size() + 2);
            enclosed += '(';
            enclosed += source;
            enclosed += ')';
            formula = ReplaceAll(request.Target.FromBase, "$t", enclosed);
        }
        replaced = ReplaceAll(request.Target.FromBase, "$t", base);
        valueText = replaced;
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
    std::string& line = result.ReportLine;
    line.reserve(request.InputText.size() + request.Source.Name.size() + result.Output.size() +
                 request.Target.Name.size() + 10);
    line += request.InputText;
    line += " [";
    line += request.Source.Name;
    line += "] => ";
    line += result.Output;
    line += " [";
    line += request.Target.Name;
    line += ']';
    if (request.ShowExp == 1) {
        if (request.SameUnit) {
            result.FormulaLine = "\t同じ単位のため変換を行っていません。";
        } else {
            result.FormulaLine.reserve(formula.size() + 10);
            result.FormulaLine += "\tResult = ";
            result.FormulaLine += formula;
        }
    }
    return result;
}

} // namespace tv
