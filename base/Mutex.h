// The one lock of the system: recursive for its owner thread, either private
// to the process or named and shared between processes ("global").
#pragma once

#include <memory>

#include "base/orvel_string.h"

namespace orvel {

class Mutex {
public:
    // A global mutex is shared with every process (and every Mutex of this
    // process) that uses the same name; without a name it is private.
    explicit Mutex(const char* name = nullptr, bool global = false);
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Waits for the lock; line is the caller's source line, shown to waiters
    // that wait long.
    void lock(int line);
    // Takes the lock when it is free or already the caller's, without waiting.
    bool tryLock();
    void unlock();

    const orvel_string& name() const;
    bool isGlobal() const;
    // The line given by the current holder, -1 when free.
    int holderLine() const;

    struct Record;

private:
    std::shared_ptr<Record> rec_;
};

// Holds a mutex for a scope; unlock() gives it back early.
class MutexLock {
public:
    MutexLock(Mutex& mutex, int line) : mutex_(&mutex) { mutex.lock(line); }
    ~MutexLock() { unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void unlock() {
        if (active_) {
            active_ = false;
            mutex_->unlock();
        }
    }

private:
    bool active_ = true;
    Mutex* mutex_;
};

}  // namespace orvel
