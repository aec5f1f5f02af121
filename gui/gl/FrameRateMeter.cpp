#include "FrameRateMeter.h"

namespace pellium {

void FrameRateMeter::start() {
    for (double& t : ring_)
        t = 0;
    next_ = 0;
    full_ = false;
    on_ = true;
}

void FrameRateMeter::stop() { on_ = false; }

double FrameRateMeter::frame(double now) {
    if (!on_)
        return 0;
    bool wasFull = full_;
    ring_[next_] = now;
    next_ = (next_ + 1) % ringSize;
    if (next_ == ringSize - 1)
        full_ = true;
    if (!wasFull)
        return 0;
    // The slot to be written next holds the oldest time: 31 frame gaps ago.
    double span = now - ring_[next_];
    return span > 0 ? (ringSize - 1) / span : 0;
}

}  // namespace pellium
