#include "PeriodicTimer.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include "platform/Clock.h"

namespace platform {

PeriodicTimer::PeriodicTimer() {
    timer_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timer_ < 0) {
        error_ = errno;
        return;
    }
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_ < 0)
        error_ = errno;
}

PeriodicTimer::~PeriodicTimer() {
    if (timer_ >= 0)
        close(timer_);
    if (wake_ >= 0)
        close(wake_);
}

void PeriodicTimer::start(unsigned intervalMs) {
    if (!valid())
        return;
    uint64_t pending;
    while (read(wake_, &pending, sizeof pending) > 0) {
    }
    itimerspec spec{};
    spec.it_interval.tv_sec = time_t(intervalMs / 1000);
    spec.it_interval.tv_nsec = long(intervalMs % 1000) * 1000000L;
    // The smallest relative expiry: an all-zero value would disarm.
    spec.it_value.tv_nsec = 1;
    timerfd_settime(timer_, 0, &spec, nullptr);
}

void PeriodicTimer::cancel() {
    if (!valid())
        return;
    itimerspec off{};
    timerfd_settime(timer_, 0, &off, nullptr);
    uint64_t one = 1;
    while (write(wake_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool PeriodicTimer::wait(int timeoutMs) {
    if (!valid()) {
        sleepMilliseconds(unsigned(timeoutMs > 0 ? timeoutMs : 0));
        return false;
    }
    pollfd fds[2] = {{timer_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0 || (fds[1].revents & POLLIN))
        return false;
    uint64_t expiries = 0;
    return read(timer_, &expiries, sizeof expiries) == sizeof expiries && expiries > 0;
}

}  // namespace platform
