#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Clock.h"
#include "platform/PeriodicTimer.h"

namespace {

double now() { return platform::monotonicSeconds(); }

TEST(PeriodicTimer, AnUnarmedTimerWaitsOutItsTimeout) {
    platform::PeriodicTimer timer;
    ASSERT_TRUE(timer.valid());
    double start = now();
    EXPECT_FALSE(timer.wait(30));
    EXPECT_GE(now() - start, 0.029);
}

TEST(PeriodicTimer, ExpiresAtOnceThenEveryInterval) {
    platform::PeriodicTimer timer;
    double start = now();
    timer.start(40);
    EXPECT_TRUE(timer.wait(1000));
    EXPECT_LT(now() - start, 0.02);
    EXPECT_TRUE(timer.wait(1000));
    EXPECT_GE(now() - start, 0.039);
    EXPECT_LT(now() - start, 0.1);
}

TEST(PeriodicTimer, MissedExpiriesCountAsOne) {
    platform::PeriodicTimer timer;
    timer.start(2);
    platform::sleepMilliseconds(50);
    EXPECT_TRUE(timer.wait(0));
    EXPECT_FALSE(timer.wait(0));
}

TEST(PeriodicTimer, CancelWakesAWaiterAndKeepsWaitsShortUntilTheNextStart) {
    platform::PeriodicTimer timer;
    timer.start(10000);
    ASSERT_TRUE(timer.wait(1000));
    double start = now();
    std::thread waiter([&] { EXPECT_FALSE(timer.wait(5000)); });
    platform::sleepMilliseconds(20);
    timer.cancel();
    waiter.join();
    EXPECT_LT(now() - start, 0.5);
    EXPECT_FALSE(timer.wait(5000));
    EXPECT_LT(now() - start, 0.5);

    timer.start(10000);
    EXPECT_TRUE(timer.wait(1000));
    start = now();
    EXPECT_FALSE(timer.wait(30));
    EXPECT_GE(now() - start, 0.029);
}

TEST(PeriodicTimer, WithoutDescriptorsItIsInvalidAndWaitsOnlyTime) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Every descriptor number is taken: nothing more can be opened.
        rlimit none{0, 0};
        setrlimit(RLIMIT_NOFILE, &none);
        int failures = 0;
        {
            platform::PeriodicTimer timer;
            failures += timer.valid();
            failures += timer.error() != EMFILE;
            timer.start(1);
            double start = now();
            failures += timer.wait(20);
            failures += now() - start < 0.019;
            timer.cancel();
        }
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
