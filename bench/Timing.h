#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

// How long `work` takes, in milliseconds.
inline double milliseconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Best of `runs` timings, in milliseconds: the least disturbed run.
inline double bestMilliseconds(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int run = 0; run < runs; ++run)
        best = std::min(best, milliseconds(work));
    return best;
}
