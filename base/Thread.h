// A thread running a Threadable. Made with new: the constructor hands the new
// object to the caller's counted pointer, and when the last holder lets go
// the body is asked to stop and the thread is waited for.
//
//     orvel::counted_ptr<orvel::Thread> worker;
//     new orvel::Thread(worker, &body, orvel::ThreadPriority::belowNormal);
//     ...
//     worker.release();   // stops and joins
#pragma once

#include <memory>
#include <thread>

#include "base/Threadable.h"
#include "base/ThreadPriority.h"
#include "base/counted_ptr.h"

namespace orvel {

class Thread {
public:
    // Starts body->run() on a new thread with a ThreadPriority index. An
    // earlier thread held by `handle` is stopped and joined first. When the
    // system cannot make a thread, the failure is logged and running() is
    // false.
    Thread(counted_ptr<Thread>& handle, Threadable* body, int priority);
    // Asks the body to stop and waits until run() has returned. On the
    // thread itself (the last holder released by the body) it cannot wait:
    // the thread is left to end on its own.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // True until the body has returned.
    bool running() const;
    // The body's result: -1 until it returns, and when it ended by throwing.
    int exitCode() const;
    // The priority index asked for, kept as given even where the system
    // refused it (raising a priority needs privileges).
    int priority() const;
    // True when called on this thread.
    bool isCurrent() const;

    struct Record;

private:
    std::shared_ptr<Record> rec_;
    std::thread thread_;
};

}  // namespace orvel
