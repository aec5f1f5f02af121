#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

#include "tests/LogCapture.h"
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

TEST(Timer, TheFirstTickComesAtOnce) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(1.0);
    double start = orvel::getTime();
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(1));
    EXPECT_LT(ticks.time(0) - start, 0.05);
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 1);
}

TEST(Timer, TicksOncePerPeriod) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.02);
    double begin = orvel::getTime();
    timer.start(&ticks);
    orvel::sleepMs(400);
    timer.cancel();
    // 1 at once + one per period of the time that really passed; a loaded
    // machine may merge several into one.
    double periods = (orvel::getTime() - begin) / 0.02;
    EXPECT_GE(ticks.count(), 5);
    EXPECT_LE(ticks.count(), periods + 2);
}

TEST(Timer, TheDefaultPeriodIsTenMilliseconds) {
    Ticks ticks;
    orvel::Timer timer;
    double begin = orvel::getTime();
    timer.start(&ticks);
    orvel::sleepMs(200);
    timer.cancel();
    double periods = (orvel::getTime() - begin) / 0.01;
    EXPECT_GE(ticks.count(), 5);
    EXPECT_LE(ticks.count(), periods + 2);
}

TEST(Timer, StartingTwiceRunsOneThread) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.02);
    double begin = orvel::getTime();
    timer.start(&ticks);
    timer.start(&ticks);
    orvel::sleepMs(200);
    timer.cancel();
    EXPECT_EQ(ticks.threads.size(), 1u);
    // Two running timers would tick about twice per period.
    EXPECT_LE(ticks.count(), (orvel::getTime() - begin) / 0.02 + 2);
}

TEST(Timer, StartingAgainWhileTickingChangesNothing) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.3);
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(1));
    // A restart would tick again at once, on a new thread.
    timer.start(&ticks);
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 1);
    timer.cancel();
}

TEST(Timer, CancelStopsTheTicksPromptly) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.01);
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(3));
    double before = orvel::getTime();
    timer.cancel();
    EXPECT_LT(orvel::getTime() - before, 0.05);
    int after = ticks.count();
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), after);
    timer.cancel();  // a second cancel does nothing
}

TEST(Timer, RestartsAfterACancelWithAnImmediateTick) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.5);
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(1));
    timer.cancel();
    double restart = orvel::getTime();
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(2));
    EXPECT_LT(ticks.time(1) - restart, 0.05);
}

TEST(Timer, PeriodsBelowOneMillisecondTickEveryMillisecond) {
    for (double period : {0.0001, 0.0, -1.0}) {
        Ticks ticks;
        orvel::Timer timer;
        timer.setPeriod(period);
        double begin = orvel::getTime();
        timer.start(&ticks);
        orvel::sleepMs(100);
        timer.cancel();
        // The sleep may run long on a loaded machine: bound the ticks by the
        // time that really passed, one per millisecond plus the first.
        double ms = (orvel::getTime() - begin) * 1000;
        EXPECT_GE(ticks.count(), 20) << period;
        EXPECT_LE(ticks.count(), ms + 2) << period;
    }
}

TEST(Timer, CancelFromTickEndsTheTicksWithoutDeadlock) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.005);
    ticks.onTick = [&](int n) {
        if (n == 3)
            timer.cancel();
    };
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(3));
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 3);

    // The owner starts it again at once.
    ticks.onTick = nullptr;
    timer.start(&ticks);
    EXPECT_TRUE(ticks.waitForCount(5));
}

TEST(Timer, CancelAndStartFromTickKeepsTicking) {
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.005);
    ticks.onTick = [&](int n) {
        if (n == 3) {
            timer.cancel();
            timer.start(&ticks);
        }
    };
    timer.start(&ticks);
    EXPECT_TRUE(ticks.waitForCount(10));
    timer.cancel();
    EXPECT_EQ(ticks.threads.size(), 1u);
}

TEST(Timer, DeletedFromItsOwnTick) {
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
}

TEST(Timer, DestroyingTheTimerStopsIt) {
    Ticks ticks;
    {
        orvel::Timer timer;
        timer.setPeriod(0.005);
        timer.start(&ticks);
        ASSERT_TRUE(ticks.waitForCount(2));
    }
    int after = ticks.count();
    orvel::sleepMs(50);
    EXPECT_EQ(ticks.count(), after);
}

TEST(Timer, AThrowingTickIsLoggedAndTheTimerCanStartAgain) {
    LogCapture log;
    Ticks ticks;
    orvel::Timer timer;
    timer.setPeriod(0.005);
    ticks.onTick = [](int n) {
        if (n == 2)
            throw std::runtime_error("tick failed");
    };
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(2));
    orvel::sleepMs(50);
    EXPECT_EQ(ticks.count(), 2);
    EXPECT_EQ(log.text(), "---Thread ended by an exception: tick failed\n");
    timer.start(&ticks);
    EXPECT_TRUE(ticks.waitForCount(4));
}

TEST(Timer, RunsAtItsPriority) {
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

TEST(Timer, StartWithoutAFuncDoesNothing) {
    Ticks ticks;
    orvel::Timer timer;
    timer.start(nullptr);
    timer.start(&ticks);
    EXPECT_TRUE(ticks.waitForCount(1));
}

}  // namespace
