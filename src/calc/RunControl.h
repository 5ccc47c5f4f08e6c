// Progress and cancel of a long computation.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace valdrin::calc {

struct TRunControl {
    // Called as the work proceeds (node scan: nodes done, response: rows
    // done), possibly from a worker thread, never twice at once; done grows
    // to total.
    std::function<void(int done, int total)> Progress;
    const std::atomic<bool> *Cancel = nullptr; // checked before each piece of work
    int Threads = 0; // 0: every core
    // Starts a worker thread; empty: std::thread. A start that throws or
    // returns no thread ends the starting, and the run goes on with the
    // threads it has.
    std::function<std::thread(std::function<void()>)> StartThread;
};

} // namespace valdrin::calc
