// A periodic timer: calls a TimerFunc on a thread of its own, the first time
// at once when started and then once per period. A tick that overruns the
// period is not followed by catch-up ticks.
//
// The owner drives it; tick() may call cancel() and start() too, and may
// even delete the timer.
#pragma once

#include "base/TimerFunc.h"

namespace orvel {

class TimerInternals;

class Timer {
public:
    Timer();
    // Cancels; from inside tick() the timer's thread ends once tick() returns.
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Seconds between ticks (default 0.01), used from the next start. Periods
    // are whole milliseconds, at least 1.
    void setPeriod(double seconds);
    // The ThreadPriority index of the timer's thread (default aboveNormal),
    // used from the next start.
    void setPriority(int index);
    // Starts ticking `func`. Does nothing while the timer is ticking, or
    // without a func.
    void start(TimerFunc* func);
    // Stops ticking and waits for the timer's thread to end; called from
    // tick(), no further tick follows and the thread ends on its own.
    void cancel();

private:
    TimerInternals* internals_;
};

}  // namespace orvel
