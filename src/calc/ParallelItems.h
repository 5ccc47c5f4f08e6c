// Work items (rows of a matrix, or pieces of rows) shared out to worker
// threads: each thread takes the next item, the cancel flag is checked before
// every item, progress is reported under one lock so the callback never runs
// twice at once, and the first exception stops the others and reaches the
// caller. A thread that cannot be started leaves the work to those that did.
#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "calc/RunControl.h"

namespace valdrin::calc {

inline int ThreadCount(int requested, int items)
{
    const int n = requested > 0 ? requested : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(n, 1, std::max(items, 1));
}

// A done() that reports whole items (rows) as they finish: 1..total.
inline auto ItemProgress(const TRunControl &control, int total)
{
    return [&control, total, done = 0](int) mutable {
        ++done;
        if (control.Progress)
            control.Progress(done, total);
    };
}

// makeState() builds one thread's working storage; work(state, item) computes
// an item; done(item) runs under the lock after it. False when cancelled.
template<class MakeState, class Work, class Done>
bool ParallelItems(int items, const TRunControl &control, MakeState makeState, Work work, Done done)
{
    std::atomic<int> next { 0 };
    std::atomic<bool> stop { false };
    bool cancelled = false;
    std::mutex mutex; // guards cancelled, failure and done()
    std::exception_ptr failure;
    const std::atomic<bool> *cancel = control.Cancel;

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
                const int item = next.fetch_add(1);
                if (item >= items)
                    return;
                work(state, item);
                std::lock_guard lock(mutex);
                done(item);
            }
        } catch (...) {
            std::lock_guard lock(mutex);
            if (!failure)
                failure = std::current_exception();
            stop = true;
        }
    };

    const int threads = ThreadCount(control.Threads, items);
    std::vector<std::thread> pool;
    if (threads > 1) {
        pool.reserve(static_cast<std::size_t>(threads));
        // Out of threads (an address-space limit, a process cap): the items
        // go to the threads already running, or to this one.
        try {
            for (int t = 0; t < threads; ++t) {
                std::thread th
                    = control.StartThread ? control.StartThread(worker) : std::thread(worker);
                if (!th.joinable())
                    break;
                pool.push_back(std::move(th));
            }
        } catch (...) {
        }
    }
    if (pool.empty())
        worker();
    for (auto &th : pool)
        th.join();
    if (failure)
        std::rethrow_exception(failure);
    return !cancelled;
}

} // namespace valdrin::calc
