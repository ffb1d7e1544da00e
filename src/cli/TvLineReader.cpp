#include "cli/TvLineReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace tv {

TLineReader::TLineReader(std::streambuf& source, size_t maxLine)
    : source_(source), maxLine_(maxLine), capacity_(maxLine + 1 + kChunk) {}

TLineReader::TStatus TLineReader::Next(std::string_view& line) {
    if (!buffer_) {
        // Never touched beyond what is read into it.
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
    for (;;) {
        const char* data = buffer_.get();
        if (const void* lf = std::memchr(data + scan_, '\n', end_ - scan_)) {
            const auto at = static_cast<size_t>(static_cast<const char*>(lf) - data);
            const size_t start = begin_;
            begin_ = scan_ = at + 1;
            return Finish(start, at, line);
        }
        scan_ = end_;
        if (eof_) {
            if (begin_ == end_ && !skipping_) {
                return TStatus::End;
            }
            const size_t start = begin_;
            begin_ = scan_ = end_;
            return Finish(start, end_, line);
        }
        // Still no line end: a line beyond the limit (and its CR) is dropped as it comes.
        if (skipping_ || end_ - begin_ > maxLine_ + 1) {
            skipping_ = true;
            begin_ = scan_ = end_ = 0;
        } else if (capacity_ - end_ < kChunk) {
            std::memmove(buffer_.get(), data + begin_, end_ - begin_);
            end_ -= begin_;
            scan_ = end_;
            begin_ = 0;
        }
        Fill();
    }
}

TLineReader::TStatus TLineReader::Finish(size_t start, size_t lineEnd, std::string_view& line) {
    ++lineNumber_;
    size_t length = lineEnd - start;
    if (length > 0 && buffer_[start + length - 1] == '\r') {
        --length;
    }
    if (skipping_ || length > maxLine_) {
        skipping_ = false;
        line = {};
        return TStatus::TooLong;
    }
    line = std::string_view(buffer_.get() + start, length);
    return TStatus::Line;
}

void TLineReader::Fill() {
    if (source_.sgetc() == std::streambuf::traits_type::eof()) {
        eof_ = true;
        return;
    }
    const auto held = static_cast<size_t>(std::max<std::streamsize>(source_.in_avail(), 1));
    const std::streamsize got = source_.sgetn(
        buffer_.get() + end_, static_cast<std::streamsize>(std::min(held, capacity_ - end_)));
    end_ += static_cast<size_t>(got);
}

TFdInputBuffer::TFdInputBuffer(int fd)
    : fd_(fd), buffer_(std::make_unique_for_overwrite<char[]>(kSize)) {}

TFdInputBuffer::int_type TFdInputBuffer::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    char* const start = buffer_.get();
    for (;;) {
        const ssize_t got = read(fd_, start, kSize);
        if (got > 0) {
            setg(start, start, start + got);
            return traits_type::to_int_type(*start);
        }
        if (got == 0) {
            return traits_type::eof();
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd wait{fd_, POLLIN, 0};
            poll(&wait, 1, -1);
            continue;
        }
        throw std::system_error(errno, std::generic_category(), "read");
    }
}

} // namespace tv
