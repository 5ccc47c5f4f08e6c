// Progress and cancel of a long piece of work (a computation, a file load).
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace valdrin::common {

struct TRunControl {
    // Called as the work proceeds, possibly from a worker thread, never twice
    // at once; done grows to total. A total of 0: not known in advance
    // (done counts what was read so far).
    std::function<void(int done, int total)> Progress;
    const std::atomic<bool> *Cancel = nullptr; // checked before each piece of work
    int Threads = 0; // 0: every core
    // Starts a worker thread; empty: std::thread. A start that throws or
    // returns no thread ends the starting, and the run goes on with the
    // threads it has.
    std::function<std::thread(std::function<void()>)> StartThread;

    bool Cancelled() const { return Cancel && Cancel->load(std::memory_order_relaxed); }
};

} // namespace valdrin::common
