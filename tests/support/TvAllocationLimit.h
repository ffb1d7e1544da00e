#pragma once

#include <cstddef>

namespace tv::test {

// While one lives, operator new (replaced in the test programs that link TvAllocationLimit.cpp)
// throws std::bad_alloc for any single request above limit bytes, as it would on a machine
// without that much memory. Only what goes through operator new is limited (Qt's texts use
// malloc).
class TAllocationLimit {
public:
    explicit TAllocationLimit(size_t limit);
    ~TAllocationLimit();
    TAllocationLimit(const TAllocationLimit&) = delete;
    TAllocationLimit& operator=(const TAllocationLimit&) = delete;

private:
    size_t previous_;
};

} // namespace tv::test
