// Progress and cancel of a long computation.
#pragma once

#include <atomic>
#include <functional>

namespace valdrin::calc {

struct TRunControl {
    // Called after each row of nodes (or of the response matrix), possibly
    // from a worker thread; done grows to total.
    std::function<void(int done, int total)> Progress;
    const std::atomic<bool> *Cancel = nullptr; // checked once per row
    int Threads = 0;                           // 0: every core
};

} // namespace valdrin::calc
