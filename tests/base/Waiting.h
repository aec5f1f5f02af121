// Bounded waits for the tests of threads, timers, processes and sockets: a
// condition that never comes fails its test instead of hanging it.
#pragma once

#include <chrono>
#include <thread>

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Polls `done` every millisecond for up to `seconds`; false when it never came.
template <class F>
bool waitFor(F done, double seconds = 5) {
    auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (secondsSince(start) > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
