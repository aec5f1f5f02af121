// The clock, threads and timers.
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <functional>
#include <future>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <mutex>
#include <set>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/Clock.h"
#include "base/Thread.h"
#include "base/Timer.h"
#include "platform/Threads.h"
#include "tests/base/Waiting.h"
#include "tests/support/HangWatch.h"
#include "tests/support/LogCapture.h"

using orvel::ThreadPriority;

namespace {

// Read while the program starts, before any test: the first reading ever.
const double firstReading = orvel::getTime();

TEST(Clock, StartsAtZeroNeverGoesBackAndSleepsWholeMilliseconds) {
    EXPECT_EQ(firstReading, 0.0);
    double last = orvel::getTime();
    for (int i = 0; i < 100000; ++i) {
        double now = orvel::getTime();
        ASSERT_GE(now, last);
        last = now;
    }
    {
        HangWatch watch("25 ms of sleep", 20);
        orvel::sleepMs(10);
        orvel::sleep(0.0159);  // whole milliseconds: 15
    }
    EXPECT_GE(orvel::getTime() - last, 0.0249);
    // Sleeps below a millisecond, or not a time at all, return at once: only
    // the 200 sleeps of no milliseconds give the processor up (for nothing),
    // where 200 sleeps of 0.9 ms that were not cut would give it up again.
    const long blocked = timesBlocked();
    for (int i = 0; i < 200; ++i) {
        orvel::sleep(0.0009);
        orvel::sleep(-5);
        orvel::sleep(std::nan(""));
        orvel::sleepMs(0);
    }
    EXPECT_LE(timesBlocked() - blocked, 200);
}

struct Returns : orvel::Threadable {
    int run() override { return 7; }
};

// Runs until asked to stop.
struct Loops : orvel::Threadable {
    std::atomic<int> rounds{0};
    std::atomic<bool> finished{false};
    int run() override {
        for (finished = false; !stopRequested(); ++rounds)
            orvel::sleepMs(1);
        finished = true;
        return 3;
    }
};

struct Throws : orvel::Threadable {
    bool standard;
    explicit Throws(bool s) : standard(s) {}
    int run() override {
        if (standard)
            throw std::runtime_error("broken body");
        throw 5;
    }
};

using Handle = orvel::counted_ptr<orvel::Thread>;

Handle started(orvel::Threadable* body, int priority = ThreadPriority::normal) {
    Handle handle;
    new orvel::Thread(handle, body, priority);
    return handle;
}

TEST(Thread, RunsUntilItsLastHolderLetsGo) {
    Returns quick;
    Handle handle = started(&quick);
    EXPECT_EQ(handle.useCount(), 1u);
    EXPECT_TRUE(waitFor([&] { return !handle->running(); }));
    EXPECT_EQ(handle->exitCode(), 7);
    EXPECT_FALSE(handle->isCurrent());

    Loops first, second;
    handle = started(&first);
    EXPECT_TRUE(waitFor([&] { return first.rounds > 0; }));
    EXPECT_EQ(handle->exitCode(), -1);
    Handle other = handle;
    handle.release();
    EXPECT_FALSE(first.finished);  // another holder keeps it running
    other.release();
    EXPECT_TRUE(first.finished);
    // A stopped body runs again; starting on a handle stops its old thread.
    const int rounds = first.rounds;
    handle = started(&first);
    EXPECT_TRUE(waitFor([&] { return first.rounds > rounds + 5; }));
    new orvel::Thread(handle, &second, ThreadPriority::normal);
    EXPECT_TRUE(first.finished);
    EXPECT_TRUE(waitFor([&] { return second.rounds > 0; }));
    handle.release();
}

TEST(Thread, AThrowingBodyOrNoneIsLoggedAndEndsTheThread) {
    LogCapture log;
    Throws standard(true), other(false);
    for (orvel::Threadable* body : {static_cast<orvel::Threadable*>(&standard), static_cast<orvel::Threadable*>(&other),
                                    static_cast<orvel::Threadable*>(nullptr)}) {
        Handle handle = started(body);
        EXPECT_TRUE(waitFor([&] { return !handle->running(); }));
        EXPECT_EQ(handle->exitCode(), -1);
    }
    EXPECT_EQ(log.text(),
              "---Thread ended by an exception: broken body\n"
              "---Thread ended by an unknown exception\n"
              "---Thread started without a body\n");
}

// Lets go of the only handle of its own thread from inside run().
struct ReleasesItself : orvel::Threadable {
    Handle handle;
    std::promise<bool> done;
    std::atomic<int> thread{0};
    int run() override {
        thread = platform::currentThreadId();
        bool current = handle->isCurrent();
        handle.release();
        done.set_value(current && stopRequested());
        return 0;
    }
};

TEST(Thread, TheLastHolderReleasedOnTheThreadItselfDoesNotDeadlock) {
    ReleasesItself body;
    std::future<bool> done = body.done.get_future();
    new orvel::Thread(body.handle, &body, ThreadPriority::normal);
    ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(done.get());
    const std::string task = "/proc/self/task/" + std::to_string(body.thread);
    EXPECT_TRUE(waitFor([&] { return access(task.c_str(), F_OK) != 0; })) << "the detached thread never left";
}

// Remembers the nice value it runs at.
struct ReadsNice : orvel::Threadable {
    std::atomic<int> nice{1000};
    int run() override {
        nice = platform::threadNice(platform::currentThreadId());
        return 0;
    }
};

TEST(Thread, PriorityIndexesSetTheNiceValue) {
    const int base = platform::threadNice(platform::currentThreadId());
    ASSERT_LE(base, 17);
    // Raising needs privileges: applied or left alone, never lowered.
    const std::pair<int, std::set<int>> rows[] = {
        {ThreadPriority::normal, {base}},           {7, {base}},
        {-1, {base}},                               {ThreadPriority::lowest, {base + 2}},
        {ThreadPriority::belowNormal, {base + 1}},  {ThreadPriority::aboveNormal, {base - 1, base}},
        {ThreadPriority::highest, {base - 2, base}}};
    for (const auto& [priority, nice] : rows) {
        ReadsNice body;
        Handle handle = started(&body, priority);
        EXPECT_EQ(handle->priority(), priority);
        // Released while running, the thread would be raised to wind down.
        EXPECT_TRUE(waitFor([&] { return !handle->running(); }));
        EXPECT_EQ(nice.count(body.nice), 1u) << "priority " << priority << " ran at " << body.nice;
    }
}

TEST(Thread, AFailedCreateIsLoggedAndTheBodyNeverRuns) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Every new thread fails with EAGAIN in this process. A filter cannot
        // be removed: only a child that ends with _exit runs it.
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EAGAIN & SECCOMP_RET_DATA)),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            _exit(100);
        int failures = 0;
        {
            LogCapture log;
            Returns body;
            Handle handle = started(&body);
            failures += handle->running() + (handle->exitCode() != -1);
            handle.release();
            failures += log.text() != "Thread create failed (errno=" + std::to_string(EAGAIN) + ")\n";
        }
        _exit(failures);  // the leak checker would need a thread of its own
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Records when and on which thread each tick came; onTick runs inside the
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
    bool waitForCount(int n) {
        return waitFor([&] { return count() >= n; });
    }
};

// The timer is declared after its Ticks, so that it stops first.
class Timer : public ::testing::Test {
protected:
    void start(double period) {
        timer.setPeriod(period);
        timer.start(&ticks);
    }

    Ticks ticks;
    orvel::Timer timer;
};

TEST(TimerPeriod, TicksOncePerPeriodAndAtMostEveryMillisecond) {
    const struct {
        double period;  // 99: the default
        double effective;
        int ms, atLeast;
    } rows[] = {{0.02, 0.02, 400, 5}, {99, 0.01, 200, 5}, {0.0001, 0.001, 100, 20}, {-1.0, 0.001, 100, 20}};
    for (const auto& row : rows) {
        Ticks ticks;
        orvel::Timer timer;
        if (row.period != 99)
            timer.setPeriod(row.period);
        double begin = orvel::getTime();
        timer.start(&ticks);
        orvel::sleepMs(row.ms);
        // One at once, then one per period of the time that really passed; a
        // loaded machine may merge several into one, or bring them late.
        EXPECT_TRUE(ticks.waitForCount(row.atLeast)) << row.period;
        timer.cancel();
        EXPECT_LE(ticks.count(), (orvel::getTime() - begin) / row.effective + 2) << row.period;
    }
}

// The period is far longer than any wait here, so a tick that comes came at
// once, and a cancel that returns did not wait for the period's end.
TEST_F(Timer, StartsAtOnceOnceOnlyAndStopsPromptly) {
    timer.start(nullptr);  // nothing to tick: nothing starts
    start(60);
    ASSERT_TRUE(ticks.waitForCount(1));
    timer.start(&ticks);  // a second start would tick again at once
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 1);
    {
        HangWatch watch("the cancel, waiting for the period to end,", 30);
        timer.cancel();
    }
    timer.cancel();
    timer.start(&ticks);
    ASSERT_TRUE(ticks.waitForCount(2));
    EXPECT_EQ(ticks.threads.size(), 2u);
}

TEST_F(Timer, CancelledStartedOrDeletedFromItsOwnTick) {
    ticks.onTick = [&](int n) {
        if (n == 3)
            timer.cancel();
        if (n == 6)
            timer.cancel(), timer.start(&ticks);
    };
    start(0.005);
    ASSERT_TRUE(ticks.waitForCount(3));
    orvel::sleepMs(100);
    EXPECT_EQ(ticks.count(), 3);
    timer.start(&ticks);  // the owner starts it again
    EXPECT_TRUE(ticks.waitForCount(10));
    timer.cancel();

    Ticks more;
    auto* own = new orvel::Timer;
    own->setPeriod(0.005);
    more.onTick = [&](int n) {
        if (n == 2)
            delete own;
    };
    own->start(&more);
    ASSERT_TRUE(more.waitForCount(2));
    orvel::sleepMs(100);
    EXPECT_EQ(more.count(), 2);
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

TEST(TimerPriority, RunsAtItsPriorityByDefaultAboveNormal) {
    const int base = platform::threadNice(platform::currentThreadId());
    for (int priority : {int(ThreadPriority::lowest), -99}) {
        Ticks ticks;
        orvel::Timer timer;
        if (priority != -99)
            timer.setPriority(priority);
        timer.start(&ticks);
        ASSERT_TRUE(ticks.waitForCount(1));
        timer.cancel();
        if (priority == -99)
            EXPECT_TRUE(ticks.nice == base - 1 || ticks.nice == base) << ticks.nice;
        else
            EXPECT_EQ(ticks.nice, base + 2);
    }
}

}  // namespace

// The tests' hang guard: a case still running at its deadline fails once,
// by its name; cases that end in time, and a watch never armed, do not.
TEST(HangWatch, NamesOnceACaseStillRunningAtItsDeadline) {
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(
        {
            HangWatch watch;
            watch.arm("a quick case", 60);
            watch.arm("a stuck case", 0);
            orvel::sleepMs(20);
        },
        "a stuck case hung");
    HangWatch idle;
    HangWatch quick("a quick case", 60);
}
