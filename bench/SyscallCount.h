// Counts the calling thread's system calls through the kernel's syscall
// tracepoint, so that a benchmark can show how often it enters the kernel.
#pragma once

class SyscallCount {
public:
    SyscallCount();
    ~SyscallCount();
    SyscallCount(const SyscallCount&) = delete;
    SyscallCount& operator=(const SyscallCount&) = delete;

    // False where the tracepoint cannot be read (tracing not mounted or not allowed).
    bool available() const { return fd_ >= 0; }
    // System calls since the counter was made.
    long long calls() const;

private:
    int fd_ = -1;
};
