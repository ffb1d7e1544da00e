#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <unistd.h>

namespace tv::test {

// Runs call on a thread of its own and returns what it returns. A call that has not returned
// within the deadline fails the test; release() is then run to let it return (for a call stuck
// in opening a FIFO, OpenFifoWriter does), so that a hang shows as a failure, not a stuck run.
template <class F>
auto WithinDeadline(F&& call, const std::function<void()>& release,
                    std::chrono::seconds deadline = std::chrono::seconds(30)) {
    auto result = std::async(std::launch::async, std::forward<F>(call));
    if (result.wait_for(deadline) != std::future_status::ready) {
        ADD_FAILURE() << "did not return within " << deadline.count() << " s";
        release();
    }
    return result.get();
}

// Opens and closes the writing end of a FIFO, which lets a reader blocked in opening it go on
// (and read the end of input).
inline std::function<void()> OpenFifoWriter(const std::string& path) {
    return [path] {
        const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            close(fd);
        }
    };
}

} // namespace tv::test
