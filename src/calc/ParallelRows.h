// Rows of a matrix shared out to worker threads: each thread takes the next
// row, the cancel flag is checked before every row, progress is reported
// under one lock so the callback never runs twice at once, and the first
// exception stops the others and reaches the caller.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace valdrin::calc {

inline int ThreadCount(int requested, int items)
{
    const int n = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(n, 1, std::max(items, 1));
}

// makeState() builds one thread's working storage; work(state, row) computes
// a row; done(row) runs under the lock after it. False when cancelled.
template<class MakeState, class Work, class Done>
bool ParallelRows(int rows, int threads, const std::atomic<bool> *cancel, MakeState makeState,
    Work work, Done done)
{
    std::atomic<int> next { 0 };
    std::atomic<bool> stop { false };
    bool cancelled = false;
    std::mutex mutex; // guards cancelled, failure and done()
    std::exception_ptr failure;

    auto worker = [&] {
        try {
            auto state = makeState();
            for (;;) {
                if (stop.load(std::memory_order_relaxed))
                    return;
                if (cancel != nullptr && cancel->load()) {
                    std::lock_guard lock(mutex);
                    cancelled = true;
                    stop = true;
                    return;
                }
                const int row = next.fetch_add(1);
                if (row >= rows)
                    return;
                work(state, row);
                std::lock_guard lock(mutex);
                done(row);
            }
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!failure)
                failure = std::current_exception();
            stop = true;
        }
    };

    threads = ThreadCount(threads, rows);
    if (threads == 1) {
        worker();
    } else {
        std::vector<std::thread> pool;
        pool.reserve(static_cast<std::size_t>(threads));
        for (int t = 0; t < threads; ++t)
            pool.emplace_back(worker);
        for (auto &th : pool)
            th.join();
    }
    if (failure)
        std::rethrow_exception(failure);
    return !cancelled;
}

} // namespace valdrin::calc
