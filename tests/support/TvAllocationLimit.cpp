#include "TvAllocationLimit.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> limit{SIZE_MAX};

void* Allocate(size_t size) {
    if (size > limit.load(std::memory_order_relaxed)) {
        throw std::bad_alloc();
    }
    for (;;) {
        if (void* memory = std::malloc(size == 0 ? 1 : size)) {
            return memory;
        }
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            throw std::bad_alloc();
        }
        handler();
    }
}

} // namespace

namespace tv::test {

TAllocationLimit::TAllocationLimit(size_t bytes) : previous_(limit.exchange(bytes)) {}

TAllocationLimit::~TAllocationLimit() {
    limit.store(previous_);
}

} // namespace tv::test

void* operator new(size_t size) {
    return Allocate(size);
}

void* operator new[](size_t size) {
    return Allocate(size);
}

// The forms without exceptions too, so that every form of delete frees what its new took.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, size_t) noexcept {
    std::free(memory);
}
