#include "SignalChain.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

// Enough for the handlers of the chain, the sanitizers' reports among them.
constexpr std::size_t altStackSize = 64 * 1024;
char altStack[altStackSize];

void ensureAltStack() {
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return;
    stack_t ours = {};
    ours.ss_sp = altStack;
    ours.ss_size = altStackSize;
    sigaltstack(&ours, nullptr);
}

}  // namespace

void SignalChain::install(const int* signals, std::size_t count, void (*handler)(int, siginfo_t*, void*)) {
    if (installed_)
        return;
    installed_ = true;
    ensureAltStack();
    ours_.sa_sigaction = handler;
    ours_.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigfillset(&ours_.sa_mask);
    for (std::size_t i = 0; i < count; ++i)
        sigaction(signals[i], &ours_, &previous_[signals[i]]);
}

void SignalChain::passOn(int sig, siginfo_t* info, void* context) {
    const struct sigaction& old = previous_[sig];
    if (old.sa_flags & SA_SIGINFO) {
        old.sa_sigaction(sig, info, context);
    } else if (old.sa_handler == SIG_DFL) {
        // Sent again rather than left to come back: a fault would come back
        // to a chain in front of this one, which puts itself back in place.
        sigaction(sig, &old, nullptr);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        raise(sig);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        return;
    } else if (old.sa_handler != SIG_IGN) {
        old.sa_handler(sig);
    }
    // A handler passed on to may have put itself in place of this one (SDL's does).
    sigaction(sig, &ours_, nullptr);
}

bool writeAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

}  // namespace platform
