#include "Clock.h"

#include <mutex>

#include "platform/Clock.h"

namespace orvel {

double getTime() {
    static std::once_flag once;
    static double origin;
    bool first = false;
    std::call_once(once, [&] {
        origin = platform::monotonicSeconds();
        first = true;
    });
    return first ? 0.0 : platform::monotonicSeconds() - origin;
}

void sleep(double seconds) {
    double ms = seconds * 1000;
    if (ms >= 1)
        platform::sleepMilliseconds(ms < 4294967295.0 ? unsigned(ms) : 4294967295u);
}

void sleepMs(unsigned ms) { platform::sleepMilliseconds(ms); }

}  // namespace orvel
