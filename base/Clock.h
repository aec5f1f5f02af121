// Seconds since the first reading, and sleeps.
#pragma once

namespace orvel {

// Seconds since the first call, on a monotonic clock; the first call returns 0.
double getTime();
// Sleeps seconds * 1000 milliseconds, truncated.
void sleep(double seconds);
void sleepMs(unsigned ms);

}  // namespace orvel
