// What a Timer calls, on the timer's own thread, once per period.
#pragma once

namespace orvel {

class TimerFunc {
public:
    virtual ~TimerFunc() = default;
    virtual void tick() = 0;
};

}  // namespace orvel
