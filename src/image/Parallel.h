#pragma once

#include <algorithm>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Runs `work(index)` for index 0..count-1 at once, index 0 on this thread, and returns when all
// are done. The first exception any of them throws reaches the caller once all have ended; a
// thread that cannot be started has its index run on this one.
template <class Work> void onThreads(int count, Work work)
{
    std::exception_ptr failure;
    std::mutex failureGuard;
    auto run = [&](int index) {
        try {
            work(index);
        } catch (...) {
            const std::lock_guard lock(failureGuard);
            if (!failure) failure = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(size_t(std::max(count - 1, 0)));
    for (int index = 1; index < count; ++index) {
        try {
            helpers.emplace_back(run, index);
        } catch (const std::system_error&) {
            run(index);
        }
    }
    run(0);
    for (std::thread& helper : helpers)
        helper.join();
    if (failure) std::rethrow_exception(failure);
}

// Runs `part(first, end)` over the rows 0..rows, shared out among the processor's cores (at
// most eight), in contiguous parts of about the same size.
template <class Part> void inParallel(int rows, Part part)
{
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const int share = (rows + workers - 1) / workers;
    onThreads(workers, [&](int worker) {
        const int first = worker * share, end = std::min(rows, first + share);
        if (first < end) part(first, end);
    });
}
