#pragma once

// Small helpers shared by the fuzz targets.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace tvfuzz {

// Stops the run with a message: a broken property is a finding like a crash.
[[noreturn]] inline void Fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "property broken: %s [%.*s]\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

#define TVFUZZ_CHECK(cond, detail)                                                                 \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            ::tvfuzz::Fail(#cond, (detail));                                                       \
        }                                                                                          \
    } while (false)

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Splits the input at NUL bytes into at least `parts` pieces (missing ones are empty), so one
// input can carry several texts.
inline std::vector<std::string_view> SplitAtNul(std::string_view input, size_t parts) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (out.size() + 1 < parts) {
        const size_t nul = input.find('\0', start);
        if (nul == std::string_view::npos) {
            break;
        }
        out.push_back(input.substr(start, nul - start));
        start = nul + 1;
    }
    out.push_back(start <= input.size() ? input.substr(start) : std::string_view());
    while (out.size() < parts) {
        out.emplace_back();
    }
    return out;
}

// True when s is well-formed UTF-8 (no overlong forms, surrogates or code points above
// U+10FFFF).
inline bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        size_t len = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            len = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            len = 3;
            lo = lead == 0xE0 ? 0xA0 : 0x80;
            hi = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            len = 4;
            lo = lead == 0xF0 ? 0x90 : 0x80;
            hi = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (s.size() - i < len) {
            return false;
        }
        const auto second = static_cast<unsigned char>(s[i + 1]);
        if (second < lo || second > hi) {
            return false;
        }
        for (size_t k = 2; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if (b < 0x80 || b > 0xBF) {
                return false;
            }
        }
        i += len;
    }
    return true;
}

// A prefix table like the shipped one, plus names that stress the resolution: several
// characters, a quoted blank, a letter that is also an exponent mark, a huge factor.
inline constexpr std::string_view kPrefixTable = "k,1000\n"
                                                 "M,1E6\n"
                                                 "G,1e9\n"
                                                 "m,0.001\n"
                                                 "u,1E-6\n"
                                                 "da,10\n"
                                                 "Ki,1024\n"
                                                 "E,1E18\n"
                                                 "\"k m\",1000\n"
                                                 "\xC2\xB5,1E-6\n"
                                                 "Q,1E4000\n"
                                                 "q,1E-4000\n"
                                                 "z,0\n";

} // namespace tvfuzz
