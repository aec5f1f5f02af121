// Counts the calling thread's system calls, so that a benchmark can show how
// often it enters the kernel. A child process traces the thread and counts
// each call it enters; every traced call costs microseconds, so count over a
// run of its own, not over a timed one.
#pragma once

#include <sys/types.h>

class SyscallCount {
public:
    SyscallCount();
    ~SyscallCount();
    SyscallCount(const SyscallCount&) = delete;
    SyscallCount& operator=(const SyscallCount&) = delete;

    // False where the thread cannot be traced (a debugger holds it, or the
    // system forbids tracing).
    bool available() const { return tracer_ > 0; }
    // System calls since the counter was made, leaving out its own.
    long long calls() const;

private:
    pid_t tracer_ = -1;
    int answers_ = -1;  // the tracer's counts, read by calls()
};
