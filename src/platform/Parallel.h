#pragma once

#include <algorithm>
#include <thread>
#include <vector>

// Runs `part(first, end)` over the rows 0..rows, shared out among the processor's cores (at
// most eight), in contiguous parts of about the same size.
template <class Part> void inParallel(int rows, Part part)
{
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    const int share = (rows + workers - 1) / workers;
    std::vector<std::thread> helpers;
    for (int w = 1; w < workers; ++w) {
        const int first = w * share, end = std::min(rows, first + share);
        if (first < end) helpers.emplace_back([=] { part(first, end); });
    }
    part(0, std::min(share, rows));
    for (std::thread& helper : helpers)
        helper.join();
}
