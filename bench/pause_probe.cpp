// The machine itself after a pause: a fixed piece of work (strided reads and writes over 4 MiB,
// well under a millisecond when warm) timed ten times back to back, then ten times each after
// a sleep of half a second, the pause that bench/first_conversion.cpp gives every conversion.
// Without Qt and without the program, it shows how much of a conversion's time after a pause is
// the machine's own.
//
// Prints one line: "warm_us N after_pause_us N" (medians, in microseconds).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

std::vector<int>& Buffer() {
    static std::vector<int> buffer(std::size_t{1} << 20);
    return buffer;
}

double TimeWork() {
    std::vector<int>& buffer = Buffer();
    const TClock::time_point start = TClock::now();
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < buffer.size(); i += 16) {
            ++buffer[(i * 7919) % buffer.size()];
        }
    }
    return std::chrono::duration<double, std::micro>(TClock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    constexpr int kRuns = 10;
    std::vector<double> warm;
    std::vector<double> afterPause;
    TimeWork();
    for (int i = 0; i < kRuns; ++i) {
        warm.push_back(TimeWork());
    }
    for (int i = 0; i < kRuns; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        afterPause.push_back(TimeWork());
    }
    std::printf("warm_us %.0f after_pause_us %.0f\n", Median(warm), Median(afterPause));
    return 0;
}
