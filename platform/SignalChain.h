// What the layer's signal handlers share. Each is put in front of the ones
// the signals had before (the sanitizers', SDL's, another of the layer's
// own), for work that must be done before the process ends: the handler
// does it and passes the signal on, so whoever handled it before still does.
// Shared by the layer's files only.
#pragma once

#include <signal.h>

#include <cstddef>

namespace platform {

class SignalChain {
public:
    // Puts handler in front for each signal (once: later calls do nothing).
    // It runs with every signal blocked and on an alternate stack, which the
    // calling thread gets here unless it has one, so that a stack that
    // overflowed can still be reported.
    void install(const int* signals, std::size_t count, void (*handler)(int, siginfo_t*, void*));
    // From the handler: lets the signal do what it did before. Where that was
    // the default action, the process ends here with the signal.
    // Async-signal-safe.
    void passOn(int sig, siginfo_t* info, void* context);

private:
    struct sigaction previous_[NSIG] = {};
    struct sigaction ours_ = {};
    bool installed_ = false;
};

// Writes all the bytes unless the file refuses them; async-signal-safe.
bool writeAll(int fd, const void* data, std::size_t size);

}  // namespace platform
