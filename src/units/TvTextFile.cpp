#include "units/TvTextFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <iconv.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

class TIconv {
public:
    TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~TIconv() { iconv_close(cd_); }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    iconv_t Get() const { return cd_; }

private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that begins at s[i] when it is well formed, else 0.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    size_t len = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        lo = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        lo = lead == 0xF0 ? 0x90 : 0x80;
        hi = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (s.size() - i < len) {
        return 0;
    }
    if (byte(i + 1) < lo || byte(i + 1) > hi) {
        return 0;
    }
    for (size_t k = 2; k < len; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return len;
}

// Keeps well-formed UTF-8 and turns every byte that starts no well-formed sequence into U+FFFD.
std::string SanitizeUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const size_t len = Utf8SequenceLength(s, i);
        if (len == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(s.substr(i, len));
            i += len;
        }
    }
    return out;
}

// Runs a whole conversion; onInvalid decides what an unconvertible input piece becomes and how
// many input bytes it covers.
template <typename OnInvalid>
std::string Convert(const char* to, const char* from, std::string_view in, OnInvalid onInvalid) {
    TIconv cd(to, from);
    std::string out;
    out.resize(in.size() + in.size() / 2 + 16);
    size_t used = 0;
    // iconv takes a non-const input pointer on glibc but never writes through it.
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        const size_t rc = iconv(cd.Get(), &src, &srcLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            out.resize(out.size() + out.size() / 2 + 16);
            continue;
        }
        // EILSEQ or EINVAL (a sequence cut off by the end of the input).
        const std::string_view rest(src, srcLeft);
        const auto [text, skip] = onInvalid(rest);
        if (out.size() - used < text.size()) {
            out.resize(out.size() + out.size() / 2 + text.size() + 16);
        }
        std::copy(text.begin(), text.end(), out.begin() + static_cast<std::ptrdiff_t>(used));
        used += text.size();
        src += skip;
        srcLeft -= skip;
        iconv(cd.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
}

} // namespace

std::string DecodeCp932(std::string_view bytes) {
    // Skipping one byte keeps an ASCII byte that follows a stray lead byte.
    return Convert("UTF-8", "CP932", bytes, [](std::string_view) {
        return std::pair<std::string_view, size_t>(kReplacement, 1);
    });
}

std::string EncodeCp932(std::string_view utf8) {
    return Convert("CP932", "UTF-8", utf8, [](std::string_view rest) {
        const size_t len = Utf8SequenceLength(rest, 0);
        return std::pair<std::string_view, size_t>("?", len == 0 ? 1 : len);
    });
}

std::optional<std::string> ReadDataFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};

    std::string bytes;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        bytes.resize(static_cast<size_t>(st.st_size) + 1);
    }
    size_t len = 0;
    for (;;) {
        if (len == bytes.size()) {
            bytes.resize(std::max<size_t>(bytes.size() * 2, 65536));
        }
        const ssize_t got = read(fd, bytes.data() + len, bytes.size() - len);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        len += static_cast<size_t>(got);
    }
    bytes.resize(len);

    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (std::string_view(bytes).substr(0, kBom.size()) == kBom) {
        return SanitizeUtf8(std::string_view(bytes).substr(kBom.size()));
    }
    return DecodeCp932(bytes);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

} // namespace tv
