// A periodic timer to wait on: it expires at once when started, then every
// interval. A wait sees one expiry however many have passed since the last
// one, so a slow waiter is not flooded with catch-up ticks.
#pragma once

namespace platform {

class PeriodicTimer {
public:
    PeriodicTimer();
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // False when the system gave no timer; error() tells why (errno). An
    // invalid timer never expires and its waits just time out.
    bool valid() const { return timer_ >= 0 && wake_ >= 0; }
    int error() const { return error_; }

    // Arms the timer: the first expiry is now, then one every intervalMs
    // (at least 1; 0 would make it fire once only).
    void start(unsigned intervalMs);
    // Disarms it and makes every wait return false at once until the next
    // start, so a waiting thread notices without sitting out its timeout.
    void cancel();
    // Waits at most timeoutMs; true when the timer expired.
    bool wait(int timeoutMs);

private:
    int timer_ = -1;
    int wake_ = -1;
    int error_ = 0;
};

}  // namespace platform
