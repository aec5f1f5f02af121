#include <gtest/gtest.h>

#include "base/Clock.h"
#include "scene/Stopwatch.h"

using kessa::Stopwatch;

namespace {

double fakeNow = 0;
double fakeTime() { return fakeNow; }

class StopwatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 0;
        Stopwatch::setTimeSource(fakeTime);
    }
    void TearDown() override { Stopwatch::setTimeSource(nullptr); }
};

TEST_F(StopwatchTest, ElapsedFollowsTheTimeSource) {
    fakeNow = 3.5;
    EXPECT_EQ(Stopwatch::elapsed(), 3.5);
    fakeNow = 4;
    EXPECT_EQ(Stopwatch::elapsed(), 4);
}

TEST_F(StopwatchTest, FirstTickReportsAHundredth) {
    EXPECT_EQ(Stopwatch::lastTick(), 0);
    fakeNow = 1;
    Stopwatch::tick();
    EXPECT_EQ(Stopwatch::frameDelta(), 0.01);
    EXPECT_EQ(Stopwatch::lastTick(), 1);
    fakeNow = 1.25;
    Stopwatch::tick();
    EXPECT_EQ(Stopwatch::frameDelta(), 0.25);
    EXPECT_EQ(Stopwatch::lastTick(), 1.25);
}

TEST_F(StopwatchTest, PauseKeepsGameTimeContinuous) {
    fakeNow = 1;
    Stopwatch::tick();
    fakeNow = 2;
    Stopwatch::pause();
    EXPECT_TRUE(Stopwatch::paused());
    fakeNow = 3;
    EXPECT_EQ(Stopwatch::elapsed(), 2);
    Stopwatch::tick();
    EXPECT_EQ(Stopwatch::frameDelta(), 1);  // up to the pause
    fakeNow = 3.5;
    Stopwatch::tick();
    EXPECT_EQ(Stopwatch::frameDelta(), 0);  // nothing moves while paused
    fakeNow = 4;
    Stopwatch::resume();
    EXPECT_FALSE(Stopwatch::paused());
    EXPECT_EQ(Stopwatch::elapsed(), 2);
    fakeNow = 4.5;
    Stopwatch::tick();
    EXPECT_EQ(Stopwatch::lastTick(), 2.5);
    EXPECT_EQ(Stopwatch::frameDelta(), 0.5);
}

// And a resume without a pause changes nothing.
TEST_F(StopwatchTest, PausingTwiceKeepsTheFirstPause) {
    fakeNow = 1;
    Stopwatch::pause();
    fakeNow = 5;
    Stopwatch::pause();
    fakeNow = 6;
    Stopwatch::resume();
    EXPECT_EQ(Stopwatch::elapsed(), 1);
    Stopwatch::resume();
    EXPECT_EQ(Stopwatch::elapsed(), 1);
}

TEST_F(StopwatchTest, ChangingTheSourceStartsAfresh) {
    fakeNow = 7;
    Stopwatch::tick();
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
