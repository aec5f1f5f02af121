#include <gtest/gtest.h>

#include "base/Clock.h"
#include "scene/Stopwatch.h"

using kessa::Stopwatch;

namespace {

double fakeNow = 0;
double fakeTime() { return fakeNow; }

// Sets the clock to t, then does what is asked.
void at(double t, void (*action)() = [] {}) {
    fakeNow = t;
    action();
}

class StopwatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 0;
        Stopwatch::setTimeSource(fakeTime);
    }
    void TearDown() override { Stopwatch::setTimeSource(nullptr); }
};

TEST_F(StopwatchTest, ElapsedFollowsTheTimeSource) {
    at(3.5);
    EXPECT_EQ(Stopwatch::elapsed(), 3.5);
    at(4);
    EXPECT_EQ(Stopwatch::elapsed(), 4);
}

TEST_F(StopwatchTest, FirstTickReportsAHundredth) {
    EXPECT_EQ(Stopwatch::lastTick(), 0);
    at(1, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::frameDelta(), 0.01);
    EXPECT_EQ(Stopwatch::lastTick(), 1);
    at(1.25, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::frameDelta(), 0.25);
    EXPECT_EQ(Stopwatch::lastTick(), 1.25);
}

// The process clock reads 0 on its first call, so the first tick may well
// come at game time 0: the second still reports the time between them.
TEST_F(StopwatchTest, AFirstTickAtTimeZeroStillStartsTheMeasure) {
    at(0, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::frameDelta(), 0.01);
    at(0.25, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::frameDelta(), 0.25);
    at(0.375, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::frameDelta(), 0.125);
}

TEST_F(StopwatchTest, PauseKeepsGameTimeContinuous) {
    at(1, Stopwatch::tick);
    at(2, Stopwatch::pause);
    EXPECT_TRUE(Stopwatch::paused());
    at(3);
    EXPECT_EQ(Stopwatch::elapsed(), 2);
    Stopwatch::tick();
    EXPECT_EQ(Stopwatch::frameDelta(), 1);  // up to the pause
    at(3.5, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::frameDelta(), 0);  // nothing moves while paused
    at(4, Stopwatch::resume);
    EXPECT_FALSE(Stopwatch::paused());
    EXPECT_EQ(Stopwatch::elapsed(), 2);
    at(4.5, Stopwatch::tick);
    EXPECT_EQ(Stopwatch::lastTick(), 2.5);
    EXPECT_EQ(Stopwatch::frameDelta(), 0.5);
}

// And a resume without a pause changes nothing.
TEST_F(StopwatchTest, PausingTwiceKeepsTheFirstPause) {
    at(1, Stopwatch::pause);
    at(5, Stopwatch::pause);
    at(6, Stopwatch::resume);
    EXPECT_EQ(Stopwatch::elapsed(), 1);
    Stopwatch::resume();
    EXPECT_EQ(Stopwatch::elapsed(), 1);
}

TEST_F(StopwatchTest, ChangingTheSourceStartsAfresh) {
    at(7, Stopwatch::tick);
    Stopwatch::pause();
    Stopwatch::setTimeSource(fakeTime);
    EXPECT_FALSE(Stopwatch::paused());
    EXPECT_EQ(Stopwatch::lastTick(), 0);
    EXPECT_EQ(Stopwatch::frameDelta(), 0);
}

TEST(StopwatchRealClockTest, FollowsTheProcessClock) {
    Stopwatch::setTimeSource(nullptr);
    double before = orvel::getTime();
    double elapsed = Stopwatch::elapsed();
    double after = orvel::getTime();
    EXPECT_GE(elapsed, before);
    EXPECT_LE(elapsed, after);
}

}  // namespace
