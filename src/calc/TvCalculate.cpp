#include "calc/TvCalculate.h"

#include "calc/TvCalcParts.h"
#include "units/TvErrors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

namespace tv {

namespace {

// The starting value of the split search: a character must rank strictly below it.
constexpr int64_t kOperandRank = 0xFFFFF;
constexpr int64_t kParenKey = std::numeric_limits<int64_t>::max();
constexpr int32_t kNone = -1;
// Bytes that hold a value: the x87 format keeps its 80 bits in the first 10 of 16.
constexpr size_t kValueBytes =
    std::numeric_limits<long double>::digits == 64 ? 10 : sizeof(long double);

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

} // namespace

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

long double Calculate(std::string_view text, const TPrefixes& prefixes) {
    if (IsSingleOperand(text)) {
        return WithEvaluatorFailures([&] { return prefixes.StrToValue(text); });
    }
    return Calculate(
        text, [&prefixes](std::string_view operand) { return prefixes.StrToValue(operand); });
}

long double Calculate(std::string_view text, const TOperandResolver& resolve) {
    return WithEvaluatorFailures([&] {
        // Without blanks, operators, parentheses or markers the text is one operand as it
        // stands (the values a conversion puts between its formulas are such texts).
        if (IsSingleOperand(text)) {
            return resolve(text);
        }
        const TablesLease tables;
        Expression expression(text, resolve, *tables);
        return expression.Evaluate();
    });
}

} // namespace tv
