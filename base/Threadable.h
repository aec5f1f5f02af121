// The body of a thread: run() does the work, and long-running bodies poll
// stopRequested() and return when it is set.
#pragma once

#include <atomic>

namespace orvel {

class Threadable {
public:
    Threadable() = default;
    virtual ~Threadable() = default;
    Threadable(const Threadable&) = delete;
    Threadable& operator=(const Threadable&) = delete;

    // The thread's work; the result becomes the thread's exit code.
    virtual int run() = 0;

    // Cleared when a thread starts on this body, set when its owner lets go
    // of the thread.
    bool stopRequested() const { return stop_.load(std::memory_order_acquire); }

private:
    friend class Thread;
    std::atomic<bool> stop_{false};
};

}  // namespace orvel
