#pragma once

#include "calc/TvCalculate.h"

#include <string_view>

namespace tv::reference {

// The evaluator written out step by step as the straightforward algorithm: every node holds
// its own text and every split rescans it. Slow on long texts, but its only departure from the
// plain recursive form is that building, evaluating and freeing use explicit stacks. The tests
// hold the production evaluator against it.
long double Calculate(std::string_view text, const TOperandResolver& resolve);
long double Calculate(std::string_view text, const TPrefixes& prefixes);

} // namespace tv::reference
