#pragma once

#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <exception>
#include <string>
#include <string_view>

namespace tv::test {

enum class Kind { None, Convert, ZeroDivide, Overflow, InvalidOp, OutOfMemory, Other };

inline const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::None:
        return "none";
    case Kind::Convert:
        return "EConvertError";
    case Kind::ZeroDivide:
        return "EZeroDivide";
    case Kind::Overflow:
        return "EOverflow";
    case Kind::InvalidOp:
        return "EInvalidOp";
    case Kind::OutOfMemory:
        return "EOutOfMemory";
    default:
        return "other";
    }
}

inline Kind KindOf(const std::exception& error) {
    if (dynamic_cast<const EConvertError*>(&error) != nullptr) {
        return Kind::Convert;
    }
    if (dynamic_cast<const EZeroDivide*>(&error) != nullptr) {
        return Kind::ZeroDivide;
    }
    if (dynamic_cast<const EOverflow*>(&error) != nullptr) {
        return Kind::Overflow;
    }
    if (dynamic_cast<const EInvalidOp*>(&error) != nullptr) {
        return Kind::InvalidOp;
    }
    if (dynamic_cast<const EOutOfMemory*>(&error) != nullptr) {
        return Kind::OutOfMemory;
    }
    return Kind::Other;
}

// What one call ended in: a value, or a failure kind with its message.
struct Outcome {
    Kind kind = Kind::None;
    long double value = 0.0L;
    std::string message;
};

template <class Call> Outcome Run(Call&& call) {
    Outcome outcome;
    try {
        outcome.value = call();
    } catch (const std::exception& error) {
        outcome.kind = KindOf(error);
        outcome.message = error.what();
    }
    return outcome;
}

// Equal to the last bit, sign of zero included (the 10 bytes of the x87 format).
inline bool SameBits(long double a, long double b) {
    return std::memcmp(&a, &b, 10) == 0;
}

inline bool SameOutcome(const Outcome& a, const Outcome& b) {
    return a.kind == b.kind && a.message == b.message &&
           (a.kind != Kind::None || SameBits(a.value, b.value));
}

inline std::string Describe(const Outcome& outcome) {
    if (outcome.kind == Kind::None) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.21Lg", outcome.value);
        return buffer;
    }
    return std::string(KindName(outcome.kind)) + " \"" + outcome.message + "\"";
}

// The example table of the prefix file: kilo, mega, milli.
inline TPrefixes ExamplePrefixes() {
    TPrefixes prefixes;
    EXPECT_TRUE(prefixes.LoadFromText("k,1000\nM,1E6\nm,0.001\n"));
    return prefixes;
}

} // namespace tv::test
