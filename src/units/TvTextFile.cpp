#include "units/TvTextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tv {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

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
// Valid text, the usual case, is handed back without a copy.
std::string SanitizeUtf8(std::string text) {
    const std::string_view s(text);
    size_t i = 0;
    size_t len = 0;
    while (i < s.size() && (len = Utf8SequenceLength(s, i)) != 0) {
        i += len;
    }
    if (i == s.size()) {
        return text;
    }
    std::string out;
    out.reserve(s.size() + 16);
    out.append(s.substr(0, i));
    while (i < s.size()) {
        len = Utf8SequenceLength(s, i);
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

// What an unconvertible input piece becomes, and how many input bytes it covers.
using TOnInvalid = std::pair<std::string_view, size_t> (*)(std::string_view rest);

// An iconv conversion that can be fed piece by piece.
class TConverter {
public:
    TConverter(const char* to, const char* from, TOnInvalid onInvalid)
        : cd_(iconv_open(to, from)), onInvalid_(onInvalid) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~TConverter() { iconv_close(cd_); }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Appends the conversion of in to out. Unless last is set, a sequence cut off at the end of
    // in is left for the next piece; returns the number of bytes left.
    size_t Feed(std::string_view in, bool last, std::string& out) {
        char buffer[16384];
        // glibc's iconv takes a non-const input pointer but never writes through it.
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            const int error = errno;
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc != static_cast<size_t>(-1) || error == E2BIG) {
                continue;
            }
            if (error == EINVAL && !last) {
                break;
            }
            const auto [text, skip] = onInvalid_(std::string_view(src, srcLeft));
            out.append(text);
            src += skip;
            srcLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return srcLeft;
    }

private:
    iconv_t cd_;
    TOnInvalid onInvalid_;
};

std::pair<std::string_view, size_t> ReplaceCp932Byte(std::string_view) {
    // Skipping one byte keeps an ASCII byte that follows a stray lead byte.
    return {kReplacement, 1};
}

std::pair<std::string_view, size_t> ReplaceUtf8Character(std::string_view rest) {
    const size_t len = Utf8SequenceLength(rest, 0);
    return {"?", len == 0 ? 1 : len};
}

} // namespace

std::string DecodeCp932(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    TConverter("UTF-8", "CP932", ReplaceCp932Byte).Feed(bytes, true, out);
    return out;
}

std::string EncodeCp932(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    TConverter("CP932", "UTF-8", ReplaceUtf8Character).Feed(utf8, true, out);
    return out;
}

namespace {

// Decodes a data file fed piece by piece. A file that begins with the UTF-8 byte-order mark is
// UTF-8; any other file is kept byte for byte while it is valid UTF-8, and decoded from CP932
// from its first non-ASCII byte on as soon as a byte breaks UTF-8 (ASCII reads the same in both).
class TDataFileDecoder {
public:
    explicit TDataFileDecoder(size_t sizeHint) : sizeHint_(sizeHint) {}

    // Takes the bytes in buffer[0, held); returns how many bytes at the end it left unread in
    // buffer (moved to its start) for the next piece. last marks the end of the file.
    size_t Feed(std::vector<char>& buffer, size_t held, bool last) {
        std::string_view piece(buffer.data(), held);
        if (state_ == TState::Mark) {
            if (held < kBom.size() && !last) {
                return held;
            }
            if (piece.substr(0, kBom.size()) == kBom) {
                state_ = TState::Utf8WithMark;
                text_.reserve(sizeHint_);
                piece.remove_prefix(kBom.size());
            } else {
                state_ = TState::MaybeUtf8;
                text_.reserve(sizeHint_ + sizeHint_ / 2);
            }
        }
        if (state_ != TState::Cp932) {
            text_.append(piece);
            if (state_ == TState::MaybeUtf8 && !CheckUtf8(last)) {
                SwitchToCp932(last);
            }
            return Keep(buffer, {});
        }
        const size_t left = cp932_->Feed(piece, last, text_);
        return Keep(buffer, piece.substr(piece.size() - left));
    }

    std::string Take() {
        return state_ == TState::Utf8WithMark ? SanitizeUtf8(std::move(text_)) : std::move(text_);
    }

private:
    static constexpr std::string_view kBom = "\xEF\xBB\xBF";

    enum class TState { Mark, Utf8WithMark, MaybeUtf8, Cp932 };

    // Checks the bytes appended since the last call; a sequence that the next piece may complete
    // is left for then. False at the first byte that breaks UTF-8.
    bool CheckUtf8(bool last) {
        const std::string_view s(text_);
        while (checked_ < s.size()) {
            uint64_t word = 0;
            if (s.size() - checked_ >= sizeof word) {
                std::memcpy(&word, s.data() + checked_, sizeof word);
                if ((word & 0x8080808080808080U) == 0) {
                    checked_ += sizeof word; // eight ASCII bytes
                    continue;
                }
            }
            const auto byte = static_cast<unsigned char>(s[checked_]);
            if (byte < 0x80) {
                ++checked_;
                continue;
            }
            if (!last && s.size() - checked_ < 4) {
                break; // Utf8SequenceLength needs the whole sequence
            }
            const size_t len = Utf8SequenceLength(s, checked_);
            if (len == 0) {
                return false;
            }
            firstNonAscii_ = std::min(firstNonAscii_, checked_);
            checked_ += len;
        }
        return true;
    }

    void SwitchToCp932(bool last) {
        const size_t from = std::min(firstNonAscii_, checked_);
        const std::string rest = text_.substr(from);
        text_.resize(from);
        state_ = TState::Cp932;
        cp932_.emplace("UTF-8", "CP932", ReplaceCp932Byte);
        pending_ = rest.substr(rest.size() - cp932_->Feed(rest, last, text_));
    }

    // Moves what was left unread to the start of the buffer.
    size_t Keep(std::vector<char>& buffer, std::string_view left) {
        std::string carried = std::move(pending_);
        pending_.clear();
        carried.append(left);
        std::copy(carried.begin(), carried.end(), buffer.begin());
        return carried.size();
    }

    size_t sizeHint_;
    TState state_ = TState::Mark;
    std::string text_;
    size_t checked_ = 0;
    size_t firstNonAscii_ = std::string::npos;
    std::optional<TConverter> cp932_;
    std::string pending_;
};

} // namespace

std::optional<std::string> ReadDataFile(const std::string& path, std::string* reason) {
    const auto fail = [reason](const char* why) -> std::optional<std::string> {
        if (reason != nullptr) {
            *reason = why;
        }
        return std::nullopt;
    };
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return fail("");
    }
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};

    struct stat st {};
    if (fstat(fd, &st) != 0) {
        return fail("");
    }
    // A device or a FIFO may never end (/dev/zero) or never deliver.
    if (!S_ISREG(st.st_mode)) {
        return fail(kMsgNotRegularFile);
    }
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > kMaxDataFileBytes) {
        return fail(kMsgFileTooLarge);
    }
    // Read piece by piece so that the raw bytes of a large CP932 file are never held whole;
    // reserving touches no memory until the text is written.
    TDataFileDecoder decoder(static_cast<size_t>(st.st_size));
    std::vector<char> buffer(65536);
    size_t held = 0;
    size_t total = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer.data() + held, buffer.size() - held);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("");
        }
        // The file may grow while it is read.
        total += static_cast<size_t>(got);
        if (total > kMaxDataFileBytes) {
            return fail(kMsgFileTooLarge);
        }
        held += static_cast<size_t>(got);
        const bool end = got == 0;
        held = decoder.Feed(buffer, held, end);
        if (end) {
            break;
        }
    }
    return decoder.Take();
}

bool TLineCursor::Next(std::string_view& line) {
    const size_t size = text_.size();
    if (pos_ >= size) {
        return false;
    }
    const char* data = text_.data();
    // The line ends at the first LF, or at a CR before it.
    const auto* lf = static_cast<const char*>(std::memchr(data + pos_, '\n', size - pos_));
    size_t i = lf != nullptr ? static_cast<size_t>(lf - data) : size;
    if (const auto* cr = static_cast<const char*>(std::memchr(data + pos_, '\r', i - pos_))) {
        i = static_cast<size_t>(cr - data);
    }
    line = text_.substr(pos_, i - pos_);
    if (i < size) {
        i += (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') ? 2 : 1;
    }
    pos_ = i;
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    TLineCursor cursor(text);
    std::string_view line;
    while (cursor.Next(line)) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace tv
