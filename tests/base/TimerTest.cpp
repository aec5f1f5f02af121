#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/base/Waiting.h"
#include "base/Clock.h"
#include "base/ThreadPriority.h"
#include "base/Timer.h"
#include "platform/Threads.h"

namespace {

// Records when and on which thread each tick came; `onTick` runs inside the
// tick with its number, from 1.
struct Ticks : orvel::TimerFunc {
    std::mutex lock;
    std::vector<double> times;
    std::set<int> threads;
    std::atomic<int> nice{1000};
    std::function<void(int)> onTick;

    void tick() override {
        int n;
        {
            std::lock_guard<std::mutex> guard(lock);
            times.push_back(orvel::getTime());
            threads.insert(platform::currentThreadId());
            n = int(times.size());
        }
        nice = platform::threadNice(platform::currentThreadId());
        if (onTick)
            onTick(n);
    }
    int count() {
        std::lock_guard<std::mutex> guard(lock);
        return int(times.size());
    }
    double time(int index) {
        std::lock_guard<std::mutex> guard(lock);
        return times.at(size_t(index));
    }
    bool waitForCount(int n) {
        return waitFor([&] { return count() >= n; });
    }
};

// A timer over a Ticks, declared so that the timer stops first.
class Timer : public ::testing::Test {
protected:
    void start(double period) {
        timer.setPeriod(period);
        timer.start(&ticks);
    }

    Ticks ticks;
    orvel::Timer timer;
};

TEST_F(Timer, TheFirstTickComesAtOnce) {
    double begin = orvel::getTime();
    start(1.0);
    ASSERT_TRUE(ticks.waitForCount(1));
    EXPECT_LT(ticks.time(0) - begin, 0.05);
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 1);
}

TEST(TimerPeriod, TicksOncePerPeriodAndAtMostEveryMillisecond) {
    struct Case {
        std::optional<double> period;  // none: the default
        double effective;
        int ms, atLeast;
    } cases[] = {{0.02, 0.02, 400, 5},
                 {std::nullopt, 0.01, 200, 5},
                 {0.0001, 0.001, 100, 20},
                 {0.0, 0.001, 100, 20},
                 {-1.0, 0.001, 100, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.period.value_or(99));
        Ticks ticks;
        orvel::Timer timer;
        if (c.period)
            timer.setPeriod(*c.period);
        double begin = orvel::getTime();
        timer.start(&ticks);
        orvel::sleepMs(c.ms);
        timer.cancel();
        // One at once and one per period of the time that really passed; a
        // loaded machine may merge several into one.
        EXPECT_GE(ticks.count(), c.atLeast);
        EXPECT_LE(ticks.count(), (orvel::getTime() - begin) / c.effective + 2);
    }
}

TEST_F(Timer, StartingTwiceRunsOneThread) {
    double begin = orvel::getTime();
    start(0.02);
    timer.start(&ticks);
    orvel::sleepMs(200);
    timer.cancel();
    EXPECT_EQ(ticks.threads.size(), 1u);
    // Two running timers would tick about twice per period.
    EXPECT_LE(ticks.count(), (orvel::getTime() - begin) / 0.02 + 2);
}

TEST_F(Timer, StartingAgainWhileTickingChangesNothing) {
    start(0.3);
    ASSERT_TRUE(ticks.waitForCount(1));
    // A restart would tick again at once, on a new thread.
    timer.start(&ticks);
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 1);
}

TEST_F(Timer, CancelStopsTheTicksPromptly) {
    start(0.01);
    ASSERT_TRUE(ticks.waitForCount(3));
    double before = orvel::getTime();
    timer.cancel();
    EXPECT_LT(orvel::getTime() - before, 0.05);
    int after = ticks.count();
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), after);
    timer.cancel();  // a second cancel does nothing
}

TEST_F(Timer, RestartsAfterACancelWithAnImmediateTick) {
    start(0.5);
    ASSERT_TRUE(ticks.waitForCount(1));
    timer.cancel();
    double restart = orvel::getTime();
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(2));
    EXPECT_LT(ticks.time(1) - restart, 0.05);
}

TEST_F(Timer, CancelFromTickEndsTheTicksWithoutDeadlock) {
    ticks.onTick = [&](int n) {
        if (n == 3)
            timer.cancel();
    };
    start(0.005);
    ASSERT_TRUE(ticks.waitForCount(3));
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 3);

    // The owner starts it again at once.
    ticks.onTick = nullptr;
    timer.start(&ticks);
    EXPECT_TRUE(ticks.waitForCount(5));
}

TEST_F(Timer, CancelAndStartFromTickKeepsTicking) {
    ticks.onTick = [&](int n) {
        if (n == 3) {
            timer.cancel();
            timer.start(&ticks);
        }
    };
    start(0.005);
    EXPECT_TRUE(ticks.waitForCount(10));
    timer.cancel();
    EXPECT_EQ(ticks.threads.size(), 1u);
}

TEST(TimerLife, DeletedFromItsOwnTickOrDestroyedItStops) {
    Ticks ticks;
    auto* timer = new orvel::Timer;
    timer->setPeriod(0.005);
    ticks.onTick = [&](int n) {
        if (n == 2)
            delete timer;
    };
    timer->start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(2));
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 2);

    Ticks more;
    {
        orvel::Timer scoped;
        scoped.setPeriod(0.005);
        scoped.start(&more);
        ASSERT_TRUE(more.waitForCount(2));
    }
    int after = more.count();
    orvel::sleepMs(50);
    EXPECT_EQ(more.count(), after);
}

TEST_F(Timer, AThrowingTickIsLoggedAndTheTimerCanStartAgain) {
    LogCapture log;
    ticks.onTick = [](int n) {
        if (n == 2)
            throw std::runtime_error("tick failed");
    };
    start(0.005);
    ASSERT_TRUE(ticks.waitForCount(2));
    orvel::sleepMs(50);
    EXPECT_EQ(ticks.count(), 2);
    EXPECT_EQ(log.text(), "---Thread ended by an exception: tick failed\n");
    timer.start(&ticks);
    EXPECT_TRUE(ticks.waitForCount(4));
}

TEST(TimerPriority, RunsAtItsPriority) {
    int base = platform::threadNice(platform::currentThreadId());
    ASSERT_LE(base, 17);
    Ticks ticks;
    orvel::Timer timer;
    timer.setPriority(orvel::ThreadPriority::lowest);
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(1));
    timer.cancel();
    EXPECT_EQ(ticks.nice, base + 2);

    // By default a little above normal, where the system allows it.
    Ticks byDefault;
    orvel::Timer plain;
    plain.start(&byDefault);
    ASSERT_TRUE(byDefault.waitForCount(1));
    plain.cancel();
    EXPECT_TRUE(byDefault.nice == base - 1 || byDefault.nice == base) << byDefault.nice;
}

TEST_F(Timer, StartWithoutAFuncDoesNothing) {
    timer.start(nullptr);
    timer.start(&ticks);
    EXPECT_TRUE(ticks.waitForCount(1));
}

}  // namespace
