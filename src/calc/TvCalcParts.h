#pragma once

#include "units/TvErrors.h"

#include <cstddef>
#include <new>
#include <stdexcept>
#include <string_view>

// Pieces of the evaluator and of general notation that the prepared unit conversion shares;
// not part of the core's interface.

namespace tv {

// One of the evaluator's operators + - * / ^.
inline bool IsOperatorChar(char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '^';
}

// "a op b" for one of the evaluator's operators, with its failures.
long double Combine(char op, long double a, long double b);

// True for a text without blanks, operators, parentheses or markers: one operand as it stands.
bool IsSingleOperand(std::string_view text);

// Runs evaluate with the failures Calculate passes on: every EConvertError becomes "Convert",
// every EZeroDivide "ZeroDivide", a failed allocation EOutOfMemory.
template <class F> long double WithEvaluatorFailures(F&& evaluate) {
    try {
        return evaluate();
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

// Room for any text of general notation.
inline constexpr size_t kMaxGeneralLength = 40;

// Writes the value in general notation into out (kMaxGeneralLength bytes); returns the length.
size_t WriteGeneral(long double value, char* out);

// What the number conversion reads the general notation of value as, without its sign: computed
// from the decimal digits as the conversion's exact path computes it, so bit for bit the same.
// False where that path would not take the text (a power of ten beyond 10^27) and for values
// that are not finite.
bool ReadBackGeneral(long double value, long double& magnitude);

} // namespace tv
