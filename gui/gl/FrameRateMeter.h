// Frames per second over the last 32 frames.
#pragma once

namespace pellium {

class FrameRateMeter {
public:
    // Starts measuring afresh.
    void start();
    void stop();
    // Notes a frame at the given time in seconds and returns the rate over
    // the last 32 frames: 0 while off and for the first 31 frames.
    double frame(double now);

private:
    static constexpr int ringSize = 32;
    double ring_[ringSize] = {};
    int next_ = 0;
    bool full_ = false;
    bool on_ = false;
};

}  // namespace pellium
