#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <streambuf>
#include <string_view>

namespace tv {

// Reads lines from a stream buffer in large pieces and hands each out as a view into its own
// buffer, so that memory stays flat whatever the input: the buffer is allocated once, and a line
// longer than the limit is skipped as it comes, never held. A read error of the source
// (std::system_error, as TFdInputBuffer and the standard file buffers throw it) passes to the
// caller, never taken for the end of input; so does std::bad_alloc for the buffer.
class TLineReader {
public:
    static constexpr size_t kMaxLine = size_t{1} << 20;

    enum class TStatus {
        Line,    // line holds the next line
        TooLong, // the next line was longer than the limit and has been skipped
        End,     // no more input
    };

    explicit TLineReader(std::streambuf& source, size_t maxLine = kMaxLine);

    // The next line without its line end: lines end at LF, a CR before the LF is dropped, and
    // the last line needs no LF. The view lasts until the next call.
    TStatus Next(std::string_view& line);

    // 1-based number of the line Next handed out last (TooLong counts too).
    uint64_t LineNumber() const { return lineNumber_; }
    size_t MaxLine() const { return maxLine_; }

private:
    // Reads what the source has, waiting only when it has nothing buffered, so that lines typed
    // one at a time are taken as they come.
    void Fill();
    TStatus Finish(size_t start, size_t lineEnd, std::string_view& line);

    static constexpr size_t kChunk = size_t{64} << 10;

    std::streambuf& source_;
    size_t maxLine_;
    size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    size_t begin_ = 0; // the next line starts here
    size_t scan_ = 0;  // no LF in [begin_, scan_)
    size_t end_ = 0;   // bytes held end here
    bool skipping_ = false;
    bool eof_ = false;
    uint64_t lineNumber_ = 0;
};

// A stream buffer over a file descriptor that reads in pieces of 64 KiB with read(2) and throws
// std::system_error on a read error (the standard streams would report it as the end of input).
// Input that is not there yet (a non-blocking descriptor) is waited for.
class TFdInputBuffer : public std::streambuf {
public:
    explicit TFdInputBuffer(int fd);

protected:
    int_type underflow() override;

private:
    static constexpr size_t kSize = size_t{64} << 10;
    int fd_;
    std::unique_ptr<char[]> buffer_;
};

} // namespace tv
