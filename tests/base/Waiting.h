// Bounded waits for the tests of threads, timers, processes and sockets: a
// condition that never comes fails its test instead of hanging it.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <thread>

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Polls `done` every millisecond for up to `seconds`, long enough for the
// busiest machine; false when it never came.
template <class F>
bool waitFor(F done, double seconds = 30) {
    auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (secondsSince(start) > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Times the calling thread has given up the processor of its own accord,
// sleeping or waiting. A busy machine takes it away more often, but never
// adds to these.
inline long timesBlocked() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}
