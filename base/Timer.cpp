#include "Timer.h"

#include <atomic>

#include "base/Debug.h"
#include "base/Thread.h"
#include "platform/PeriodicTimer.h"
#include "platform/Threads.h"

namespace orvel {

namespace {

// Whole milliseconds, at least 1 (a zero interval would tick only once) and
// at most about eleven days.
unsigned periodMs(double seconds) {
    double ms = seconds * 1000;
    if (!(ms >= 1))
        return 1;
    return ms >= 1e9 ? 1000000000u : unsigned(ms);
}

}  // namespace

class TimerInternals : public Threadable {
public:
    TimerInternals() {
        if (!clock.valid())
            debug("---Timer could not be made (errno=%d)\n", clock.error());
    }
    ~TimerInternals() override { cancel(); }

    int run() override;
    void start(TimerFunc* func);
    void cancel();
    // ~Timer from inside tick(): the thread deletes the internals when its
    // loop ends.
    void orphan() {
        orphaned = true;
        cancel();
    }
    bool onTimerThread() const { return runner == platform::currentThreadId(); }

    double period = 0.01;
    int priority = ThreadPriority::aboveNormal;

private:
    void finish();

    platform::PeriodicTimer clock;
    std::atomic<TimerFunc*> func{nullptr};
    // Ticking: set by start, cleared by cancel and when the loop ends.
    std::atomic<bool> active{false};
    std::atomic<bool> orphaned{false};
    // The kernel id of the thread in run(), 0 when none.
    std::atomic<int> runner{0};
    // Last, so that the thread is joined before the clock is closed.
    counted_ptr<Thread> thread;
};

int TimerInternals::run() {
    runner = platform::currentThreadId();
    try {
        // The wait is bounded so that a stop request is seen even without a
        // cancel to wake it.
        while (!stopRequested() && active) {
            if (clock.wait(100) && active)
                func.load()->tick();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    return 0;
}

void TimerInternals::finish() {
    active = false;
    runner = 0;
    if (orphaned)
        delete this;
}

void TimerInternals::start(TimerFunc* f) {
    if (active || !f)
        return;
    func = f;
    bool restartFromTick = onTimerThread();
    // A thread still ending after a cancel from its own tick is joined
    // first, so that it cannot take the new first tick.
    if (!restartFromTick)
        thread.release();
    clock.start(periodMs(period));
    active = true;
    if (!restartFromTick)
        new Thread(thread, this, priority);
}

void TimerInternals::cancel() {
    active = false;
    clock.cancel();
    if (!onTimerThread())
        thread.release();
}

Timer::Timer() : internals_(new TimerInternals) {}

Timer::~Timer() {
    if (internals_->onTimerThread())
        internals_->orphan();
    else
        delete internals_;
}

void Timer::setPeriod(double seconds) { internals_->period = seconds; }
void Timer::setPriority(int index) { internals_->priority = index; }
void Timer::start(TimerFunc* func) { internals_->start(func); }
void Timer::cancel() { internals_->cancel(); }

}  // namespace orvel
