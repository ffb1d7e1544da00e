// Calculate on arbitrary text, with the prefix table loaded and with prefixes off: a value or
// one of the failure kinds with its own message, the same outcome every time, and the same
// outcome when the text is put in parentheses.

#include "FuzzSupport.h"

#include "calc/TvCalculate.h"
#include "units/TvErrors.h"
#include "units/TvUnitsFile.h"

#include <cmath>
#include <cstring>
#include <string>
#include <typeinfo>

namespace {

struct TOutcome {
    bool ok = false;
    long double value = 0.0L;
    const std::type_info* kind = nullptr;
    std::string message;

    bool operator==(const TOutcome& other) const {
        if (ok != other.ok) {
            return false;
        }
        if (ok) {
            return std::memcmp(&value, &other.value, 10) == 0;
        }
        return *kind == *other.kind && message == other.message;
    }
};

TOutcome Evaluate(std::string_view text, const tv::TPrefixes& prefixes) {
    TOutcome out;
    try {
        out.value = tv::Calculate(text, prefixes);
        out.ok = true;
        TVFUZZ_CHECK(std::isfinite(out.value), text);
    } catch (const tv::ETvError& e) {
        out.kind = &typeid(e);
        out.message = e.what();
        const char* expected = nullptr;
        if (dynamic_cast<const tv::EConvertError*>(&e) != nullptr) {
            expected = tv::kMsgConvert;
        } else if (dynamic_cast<const tv::EZeroDivide*>(&e) != nullptr) {
            expected = tv::kMsgZeroDivide;
        } else if (dynamic_cast<const tv::EOverflow*>(&e) != nullptr) {
            expected = tv::kMsgOverflow;
        } else if (dynamic_cast<const tv::EInvalidOp*>(&e) != nullptr) {
            expected = tv::kMsgInvalidOp;
        } else {
            expected = tv::kMsgOutOfMemory;
        }
        TVFUZZ_CHECK(out.message == expected, out.message);
    }
    return out;
}

// True when no prefix of the text closes more parentheses than it opened.
bool NeverBelowZero(std::string_view text) {
    long depth = 0;
    for (const char c : text) {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (depth < 0) {
            return false;
        }
    }
    return true;
}

const tv::TPrefixes& LoadedTable() {
    static const tv::TPrefixes table = [] {
        tv::TPrefixes t;
        if (!t.LoadFromText(tvfuzz::kPrefixTable)) {
            tvfuzz::Fail("the fuzz prefix table does not load");
        }
        return t;
    }();
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = tvfuzz::AsText(data, size);
    static const tv::TPrefixes prefixesOff;

    for (const tv::TPrefixes* prefixes : {&LoadedTable(), &prefixesOff}) {
        const TOutcome first = Evaluate(text, *prefixes);
        TVFUZZ_CHECK(Evaluate(text, *prefixes) == first, text);
        // Enclosing parentheses are stripped before anything else looks at the text.
        if (NeverBelowZero(text)) {
            const std::string wrapped = "(" + std::string(text) + ")";
            TVFUZZ_CHECK(Evaluate(wrapped, *prefixes) == first, wrapped);
        }
    }
    return 0;
}
