#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/Clock.h"

namespace {

// Read while the program starts, before any test: the first reading ever.
const double firstReading = orvel::getTime();

TEST(Clock, TheFirstReadingIsZero) { EXPECT_EQ(firstReading, 0.0); }

TEST(Clock, NeverGoesBack) {
    double last = orvel::getTime();
    EXPECT_GE(last, 0.0);
    for (int i = 0; i < 100000; ++i) {
        double now = orvel::getTime();
        ASSERT_GE(now, last);
        last = now;
    }
}

TEST(Clock, TenMillisecondsApartDifferByAboutAHundredth) {
    double a = orvel::getTime();
    orvel::sleepMs(10);
    double b = orvel::getTime();
    EXPECT_GE(b - a, 0.0099);
    EXPECT_LT(b - a, 0.05);

    orvel::sleep(0.0159);  // whole milliseconds: 15
    double c = orvel::getTime();
    EXPECT_GE(c - b, 0.0149);
    EXPECT_LT(c - b, 0.05);
}

TEST(Clock, SleepsBelowAMillisecondReturnAtOnce) {
    // Many calls, so that one slow wake-up on a loaded machine cannot decide
    // it: 200 sleeps of 0.9 ms that were not truncated would take 180 ms.
    double a = orvel::getTime();
    for (int i = 0; i < 200; ++i) {
        orvel::sleep(0.0009);
        orvel::sleep(0);
        orvel::sleep(-5);
        orvel::sleep(std::numeric_limits<double>::quiet_NaN());
        orvel::sleepMs(0);
    }
    EXPECT_LT(orvel::getTime() - a, 0.1);
}

}  // namespace
