#include "ReferenceCalculate.h"

#include "units/TvErrors.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace tv::reference {

namespace {

constexpr int64_t kStartRank = 1048575;

struct TBinTreeNode {
    std::string Text;
    TBinTreeNode* LeftChild = nullptr;
    TBinTreeNode* RightChild = nullptr;
};

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    std::string out;
    size_t start = 0;
    for (;;) {
        const size_t found = text.find(from, start);
        if (found == std::string::npos) {
            break;
        }
        out.append(text, start, found - start);
        out += to;
        start = found + from.size();
    }
    out.append(text, start);
    return out;
}

// Bytes of the UTF-8 character at pos: a lead byte and the continuation bytes it announces.
size_t CharLength(const std::string& text, size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t expected = 0;
    if (lead >= 0xF0) {
        expected = 3;
    } else if (lead >= 0xE0) {
        expected = 2;
    } else if (lead >= 0xC0) {
        expected = 1;
    }
    size_t length = 1;
    while (length <= expected && pos + length < text.size() &&
           (static_cast<unsigned char>(text[pos + length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

void FreeTree(TBinTreeNode* root) {
    if (root == nullptr) {
        return;
    }
    std::vector<TBinTreeNode*> order{root};
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i]->LeftChild != nullptr) {
            order.push_back(order[i]->LeftChild);
        }
        if (order[i]->RightChild != nullptr) {
            order.push_back(order[i]->RightChild);
        }
    }
    // Parents come before their children in the list, so going backwards frees children first.
    for (size_t i = order.size(); i-- > 0;) {
        delete order[i];
    }
}

void StripParentheses(TBinTreeNode& node) {
    for (;;) {
        const std::string& t = node.Text;
        if (t.size() < 2 || t.front() != '(' || t.back() != ')') {
            return;
        }
        int64_t count = 1;
        for (size_t i = 1; i + 1 < t.size(); ++i) {
            if (t[i] == '(') {
                ++count;
            } else if (t[i] == ')') {
                --count;
            }
            if (count == 0) {
                return;
            }
        }
        node.Text = t.substr(1, t.size() - 2);
    }
}

bool TakesSign(char c) {
    return c == '(' || c == '*' || c == '+' || c == '-' || c == '/' || c == '^';
}

// Returns the split position in the text as rewritten, or -1.
int64_t FindSplitPoint(std::string& t) {
    if (t.empty()) {
        return -1;
    }
    int64_t best = kStartRank;
    int64_t split = -1;
    int64_t depth = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '(') {
            ++depth;
            continue;
        }
        if (c == ')') {
            --depth;
            continue;
        }
        int64_t base = kStartRank;
        if (c == '+' || c == '-') {
            if (i == 0) {
                t = "0" + t; // not insert(): GCC 12 warns falsely about it at -O3
                i = 1;
                base = 4;
            } else if (TakesSign(t[i - 1])) {
                t[i] = c == '+' ? '|' : '=';
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
            split = static_cast<int64_t>(i);
        }
    }
    return split;
}

void BuildTree(TBinTreeNode* root) {
    std::vector<TBinTreeNode*> pending{root};
    while (!pending.empty()) {
        TBinTreeNode* node = pending.back();
        pending.pop_back();
        const int64_t found = FindSplitPoint(node->Text);
        if (found < 0) {
            continue;
        }
        const auto p = static_cast<size_t>(found);
        const std::string t = node->Text;
        const size_t length = CharLength(t, p);
        node->LeftChild = new TBinTreeNode{t.substr(0, p)};
        node->RightChild = new TBinTreeNode{t.substr(p + length)};
        StripParentheses(*node->LeftChild);
        StripParentheses(*node->RightChild);
        if (t.size() > 1) {
            node->Text = t.substr(p, length);
        }
        if (node->RightChild->Text.size() > 1) {
            pending.push_back(node->RightChild);
        }
        if (node->LeftChild->Text.size() > 1) {
            pending.push_back(node->LeftChild);
        }
    }
}

long double Checked(long double value) {
    if (std::isinf(value)) {
        throw EOverflow(kMsgOverflow);
    }
    return value;
}

long double Power(long double a, long double b) {
    if (std::floor(b) == b && std::fabs(b) <= 2147483647.0L) {
        const auto n = static_cast<int64_t>(b);
        if (n == 0) {
            return 1.0L;
        }
        int64_t bits = n < 0 ? -n : n;
        long double result = 1.0L;
        long double x = a;
        while (bits != 0) {
            if (bits % 2 == 1) {
                result = Checked(result * x);
            }
            bits /= 2;
            if (bits != 0) {
                x = Checked(x * x);
            }
        }
        if (n < 0) {
            if (result == 0.0L) {
                throw EZeroDivide(kMsgZeroDivide);
            }
            result = Checked(1.0L / result);
        }
        return result;
    }
    if (a == 0.0L) {
        return 0.0L;
    }
    if (a < 0.0L) {
        throw EInvalidOp(kMsgInvalidOp);
    }
    return Checked(std::exp2(Checked(b * std::log2(a))));
}

long double Apply(char op, long double a, long double b) {
    switch (op) {
    case '+':
        return Checked(a + b);
    case '-':
        return Checked(a - b);
    case '*':
        return Checked(a * b);
    case '/':
        if (b == 0.0L) {
            throw EZeroDivide(kMsgZeroDivide);
        }
        return Checked(a / b);
    default:
        return Power(a, b);
    }
}

long double EvaluateNode(TBinTreeNode* root, const TOperandResolver& resolve) {
    std::vector<std::pair<TBinTreeNode*, bool>> pending{{root, false}};
    std::vector<long double> values;
    while (!pending.empty()) {
        auto [node, childrenDone] = pending.back();
        pending.pop_back();
        if (!childrenDone) {
            pending.emplace_back(node, true);
            if (node->RightChild != nullptr) {
                pending.emplace_back(node->RightChild, false);
            }
            if (node->LeftChild != nullptr) {
                pending.emplace_back(node->LeftChild, false);
            }
            continue;
        }
        long double b = 0.0L;
        long double a = 0.0L;
        if (node->RightChild != nullptr) {
            b = values.back();
            values.pop_back();
        }
        if (node->LeftChild != nullptr) {
            a = values.back();
            values.pop_back();
        }
        const std::string& t = node->Text;
        if (t == "+" || t == "-" || t == "*" || t == "/" || t == "^") {
            values.push_back(Apply(t[0], a, b));
        } else {
            std::string operand = ReplaceAll(t, "<", "E+");
            operand = ReplaceAll(operand, ">", "E-");
            operand = ReplaceAll(operand, "|", "+");
            operand = ReplaceAll(operand, "=", "-");
            values.push_back(resolve(operand));
        }
    }
    return values.back();
}

} // namespace

long double Calculate(std::string_view text, const TOperandResolver& resolve) {
    TBinTreeNode* root = nullptr;
    try {
        std::string t;
        for (char c : text) {
            if (c != ' ') {
                t += c;
            }
        }
        t = ReplaceAll(t, "E+", "<");
        t = ReplaceAll(t, "e+", "<");
        t = ReplaceAll(t, "E-", ">");
        t = ReplaceAll(t, "e-", ">");
        root = new TBinTreeNode{t};
        StripParentheses(*root);
        BuildTree(root);
        const long double value = EvaluateNode(root, resolve);
        FreeTree(root);
        return value;
    } catch (const EConvertError&) {
        FreeTree(root);
        throw EConvertError(kMsgConvert);
    } catch (const EZeroDivide&) {
        FreeTree(root);
        throw EZeroDivide(kMsgZeroDivide);
    } catch (const std::bad_alloc&) {
        FreeTree(root);
        throw EOutOfMemory(kMsgOutOfMemory);
    } catch (...) {
        FreeTree(root);
        throw;
    }
}

long double Calculate(std::string_view text, const TPrefixes& prefixes) {
    return Calculate(
        text, [&prefixes](std::string_view operand) { return prefixes.StrToValue(operand); });
}

} // namespace tv::reference
