// Timing for the benchmarks under Wine. The machine is shared, so a benchmark times every part
// in each run, one after the other, and keeps the fastest run of each (fastestOf).
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace benchmarks {

inline double millisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Times work and keeps the time in best when it is the fastest so far.
inline void fastestOf(double& best, const std::function<void()>& work) {
    best = std::min(best, millisecondsOf(work));
}

} // namespace benchmarks
