#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <future>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/LogCapture.h"
#include "tests/base/Waiting.h"
#include "base/Clock.h"
#include "base/Thread.h"
#include "platform/Threads.h"

namespace {

struct Returns : orvel::Threadable {
    int run() override { return 7; }
};

// Runs until asked to stop.
struct Loops : orvel::Threadable {
    std::atomic<int> rounds{0};
    std::atomic<bool> finished{false};
    int run() override {
        while (!stopRequested()) {
            ++rounds;
            orvel::sleepMs(1);
        }
        finished = true;
        return 3;
    }
};

// Never looks at the stop request.
struct Stubborn : orvel::Threadable {
    std::atomic<bool> finished{false};
    int run() override {
        orvel::sleepMs(300);
        finished = true;
        return 0;
    }
};

// Remembers the nice value it runs at.
struct ReadsNice : orvel::Threadable {
    std::atomic<int> nice{1000};
    int run() override {
        nice = platform::threadNice(platform::currentThreadId());
        return 0;
    }
};

using Handle = orvel::counted_ptr<orvel::Thread>;

// A thread of normal priority running body, and its only handle.
Handle started(orvel::Threadable* body) {
    Handle handle;
    new orvel::Thread(handle, body, orvel::ThreadPriority::normal);
    return handle;
}

int niceOnAFreshThread(int priority) {
    ReadsNice body;
    orvel::counted_ptr<orvel::Thread> handle;
    new orvel::Thread(handle, &body, priority);
    EXPECT_EQ(handle->priority(), priority);
    // Released while running, the thread would be raised to wind down.
    EXPECT_TRUE(waitFor([&] { return !handle->running(); }));
    handle.release();
    return body.nice;
}

TEST(Thread, RunsTheBodyAndKeepsItsExitCode) {
    Returns body;
    orvel::counted_ptr<orvel::Thread> handle;
    orvel::Thread* thread = new orvel::Thread(handle, &body, orvel::ThreadPriority::normal);
    EXPECT_EQ(handle.get(), thread);
    EXPECT_EQ(handle.useCount(), 1u);
    EXPECT_TRUE(waitFor([&] { return !handle->running(); }));
    EXPECT_EQ(handle->exitCode(), 7);
    EXPECT_FALSE(handle->isCurrent());
}

TEST(Thread, ReleasingTheLastHolderStopsAndJoins) {
    Loops body;
    Handle handle = started(&body);
    EXPECT_TRUE(waitFor([&] { return body.rounds > 0; }));
    EXPECT_TRUE(handle->running());
    EXPECT_EQ(handle->exitCode(), -1);
    orvel::counted_ptr<orvel::Thread> second = handle;
    handle.release();
    EXPECT_FALSE(body.finished);  // another holder keeps it running
    second.release();
    EXPECT_TRUE(body.finished);
    EXPECT_TRUE(body.stopRequested());
}

TEST(Thread, AStartClearsTheStopRequestOfAReusedBody) {
    Loops body;
    Handle handle = started(&body);
    handle.release();
    ASSERT_TRUE(body.stopRequested());
    body.finished = false;
    body.rounds = 0;
    new orvel::Thread(handle, &body, orvel::ThreadPriority::normal);
    EXPECT_TRUE(waitFor([&] { return body.rounds > 5; }));
    EXPECT_FALSE(body.finished);
}

TEST(Thread, ABodyThatIgnoresTheStopRequestIsWaitedFor) {
    Stubborn body;
    orvel::counted_ptr<orvel::Thread> handle;
    double start = orvel::getTime();
    new orvel::Thread(handle, &body, orvel::ThreadPriority::normal);
    handle.release();
    EXPECT_TRUE(body.finished);
    EXPECT_GE(orvel::getTime() - start, 0.29);
}

TEST(Thread, StartingOnAHandleThatHoldsAThreadStopsTheOldOne) {
    Loops first, second;
    Handle handle = started(&first);
    new orvel::Thread(handle, &second, orvel::ThreadPriority::normal);
    EXPECT_TRUE(first.finished);
    EXPECT_TRUE(waitFor([&] { return second.rounds > 0; }));
    handle.release();
    EXPECT_TRUE(second.finished);
}

struct Throws : orvel::Threadable {
    bool standard;
    explicit Throws(bool s) : standard(s) {}
    int run() override {
        if (standard)
            throw std::runtime_error("broken body");
        throw 5;
    }
};

TEST(Thread, AThrowOutOfTheBodyIsLoggedAndEndsTheThread) {
    LogCapture log;
    Throws standard(true), other(false);
    Handle a = started(&standard);
    EXPECT_TRUE(waitFor([&] { return !a->running(); }));
    Handle b = started(&other);
    EXPECT_TRUE(waitFor([&] { return !b->running(); }));
    EXPECT_EQ(a->exitCode(), -1);
    EXPECT_EQ(b->exitCode(), -1);
    EXPECT_EQ(log.text(),
              "---Thread ended by an exception: broken body\n"
              "---Thread ended by an unknown exception\n");
}

// Lets go of the only handle of its own thread from inside run().
struct ReleasesItself : orvel::Threadable {
    orvel::counted_ptr<orvel::Thread> handle;
    std::promise<bool> done;
    int run() override {
        bool current = handle->isCurrent();
        handle.release();
        done.set_value(current && stopRequested());
        return 0;
    }
};

TEST(Thread, TheLastHolderReleasedOnTheThreadItselfDoesNotDeadlock) {
    ReleasesItself body;
    std::future<bool> done = body.done.get_future();
    new orvel::Thread(body.handle, &body, orvel::ThreadPriority::normal);
    ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(done.get());
    EXPECT_FALSE(body.handle);
    orvel::sleepMs(20);  // lets the detached thread leave before the body goes
}

TEST(Thread, ANullBodyIsLoggedAndNotRun) {
    LogCapture log;
    Handle handle = started(nullptr);
    EXPECT_FALSE(handle->running());
    EXPECT_EQ(handle->exitCode(), -1);
    handle.release();
    EXPECT_EQ(log.text(), "---Thread started without a body\n");
}

TEST(Thread, IndexZeroIsTheLowestPriorityAndNormalOrUnknownOnesLeaveItAlone) {
    int base = platform::threadNice(platform::currentThreadId());
    ASSERT_LE(base, 17);
    EXPECT_EQ(niceOnAFreshThread(orvel::ThreadPriority::normal), base);
    EXPECT_EQ(niceOnAFreshThread(7), base);
    EXPECT_EQ(niceOnAFreshThread(-1), base);
    EXPECT_EQ(niceOnAFreshThread(orvel::ThreadPriority::lowest), base + 2);
    EXPECT_EQ(niceOnAFreshThread(orvel::ThreadPriority::belowNormal), base + 1);
    // Raising needs privileges: either applied or left alone, never lowered.
    int above = niceOnAFreshThread(orvel::ThreadPriority::aboveNormal);
    EXPECT_TRUE(above == base - 1 || above == base) << above;
    int highest = niceOnAFreshThread(orvel::ThreadPriority::highest);
    EXPECT_TRUE(highest == base - 2 || highest == base) << highest;
}

// Makes every new thread or process fail with EAGAIN in this process. A
// filter cannot be removed: only a child that ends with _exit runs it.
bool refuseNewThreads() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EAGAIN & SECCOMP_RET_DATA)),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST(Thread, AFailedCreateIsLoggedAndTheBodyNeverRuns) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int failures = 0;
        if (!refuseNewThreads())
            _exit(100);
        {
            LogCapture log;
            Returns body;
            Handle handle = started(&body);
            failures += handle->running();
            failures += handle->exitCode() != -1;
            handle.release();
            failures += log.text() != "Thread create failed (errno=" + std::to_string(EAGAIN) + ")\n";
        }
        // _exit: the leak checker would need a thread of its own.
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
