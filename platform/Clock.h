// The monotonic clock and sleeps.
#pragma once

namespace platform {

// Seconds on a clock that never jumps; the origin is arbitrary.
double monotonicSeconds();
void sleepMilliseconds(unsigned ms);

}  // namespace platform
