#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/LogCapture.h"
#include "tests/base/Waiting.h"
#include "base/Clock.h"
#include "base/Mutex.h"
#include "platform/NamedLock.h"

namespace {

// A lock name of this test process, so parallel runs never meet.
std::string uniqueName(const char* what) { return std::string("test-") + what + "-" + std::to_string(getpid()); }

// Whether another thread can take the mutex now; it lets go again at once.
bool freeForAnotherThread(orvel::Mutex& mutex) {
    bool taken = false;
    std::thread([&] {
        taken = mutex.tryLock();
        if (taken)
            mutex.unlock();
    }).join();
    return taken;
}

// The lock-holder helper running as a real second process.
class Holder {
public:
    explicit Holder(const std::string& name) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            execl(LOCK_HOLDER, LOCK_HOLDER, name.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Holder() {
        kill();
        if (out_ >= 0)
            close(out_);
    }

    // True once the helper says it holds the lock, within `ms`.
    bool locked(int ms) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, ms) != 1)
            return false;
        char text[16] = {};
        return read(out_, text, sizeof text - 1) > 0 && std::string(text) == "locked\n";
    }

    // SIGKILL, then reaps it: its open files, and so its lock, are gone.
    void kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

TEST(Mutex, RecursiveOwnerBlocksAnotherThreadUntilTheLastUnlock) {
    orvel::Mutex mutex("contended");
    EXPECT_FALSE(mutex.isGlobal());
    EXPECT_EQ(mutex.holderLine(), -1);
    mutex.lock(10);
    mutex.lock(11);
    mutex.lock(12);
    EXPECT_EQ(mutex.holderLine(), 12);
    EXPECT_TRUE(mutex.tryLock());  // the owner may always add one more
    mutex.unlock();

    EXPECT_FALSE(freeForAnotherThread(mutex));

    std::atomic<bool> got{false};
    std::atomic<int> lineSeen{0};
    std::thread other([&] {
        orvel::MutexLock lock(mutex, 20);
        lineSeen = mutex.holderLine();
        got = true;
    });
    orvel::sleepMs(50);
    EXPECT_FALSE(got);
    mutex.unlock();
    orvel::sleepMs(30);
    EXPECT_FALSE(got);
    mutex.unlock();
    orvel::sleepMs(30);
    EXPECT_FALSE(got);
    mutex.unlock();
    other.join();
    EXPECT_TRUE(got);
    EXPECT_EQ(lineSeen, 20);
    EXPECT_EQ(mutex.holderLine(), -1);
    EXPECT_TRUE(freeForAnotherThread(mutex));
}

TEST(Mutex, MutexLockUnlocksEarlyOnceOnly) {
    orvel::Mutex mutex("scoped");
    {
        orvel::MutexLock lock(mutex, 30);
        lock.unlock();
        EXPECT_TRUE(freeForAnotherThread(mutex));
        mutex.lock(31);  // held by hand across the lock's end: not released twice
    }
    EXPECT_FALSE(freeForAnotherThread(mutex));
    mutex.unlock();
}

TEST(Mutex, LogsALongWaitOncePerSecond) {
    LogCapture log;
    orvel::Mutex mutex("slow");
    const int holdLine = __LINE__;
    mutex.lock(holdLine);
    const int waitLine = __LINE__;
    std::thread waiter([&] { orvel::MutexLock lock(mutex, waitLine); });
    orvel::sleepMs(2500);
    mutex.unlock();
    waiter.join();
    std::string line = "Mutex slow taking a int32 time at " + std::to_string(waitLine) + " (locked from " +
                       std::to_string(holdLine) + ")...\n";
    EXPECT_EQ(log.text(), line + line);
}

TEST(Mutex, GlobalLockHeldByAnotherProcessIsReleasedWhenItIsKilled) {
    std::string name = uniqueName("killed");
    Holder holder(name);
    ASSERT_TRUE(holder.locked(10000));

    orvel::Mutex mutex(name.c_str(), true);
    EXPECT_TRUE(mutex.isGlobal());
    EXPECT_FALSE(mutex.tryLock());
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        orvel::MutexLock lock(mutex, __LINE__);
        got = true;
    });
    orvel::sleepMs(100);
    EXPECT_FALSE(got);

    holder.kill();
    EXPECT_TRUE(waitFor([&] { return got.load(); }));
    waiter.join();
    EXPECT_TRUE(freeForAnotherThread(mutex));
}

TEST(Mutex, GlobalLockOfThisProcessKeepsAnotherProcessOut) {
    std::string name = uniqueName("kept-out");
    orvel::Mutex mutex(name.c_str(), true);
    mutex.lock(__LINE__);
    Holder holder(name);
    EXPECT_FALSE(holder.locked(300));
    mutex.unlock();
    EXPECT_TRUE(holder.locked(10000));
}

TEST(Mutex, TwoGlobalMutexesOfOneNameShareTheLockInOneProcess) {
    std::string name = uniqueName("shared");
    orvel::Mutex a(name.c_str(), true);
    orvel::Mutex b(name.c_str(), true);
    a.lock(__LINE__);
    // The same thread takes it again through the second object: no deadlock.
    EXPECT_TRUE(b.tryLock());
    b.lock(__LINE__);
    EXPECT_FALSE(freeForAnotherThread(b));
    b.unlock();
    b.unlock();
    a.unlock();
    EXPECT_TRUE(freeForAnotherThread(b));

    // The record outlives the first object while the second one holds it.
    {
        orvel::Mutex c(name.c_str(), true);
        c.lock(__LINE__);
        EXPECT_FALSE(freeForAnotherThread(a));
        c.unlock();
    }
    EXPECT_TRUE(a.tryLock());
    a.unlock();
}

TEST(Mutex, GlobalMutexWithoutANameIsPrivate) {
    orvel::Mutex a(nullptr, true);
    orvel::Mutex b("", true);
    EXPECT_TRUE(a.isGlobal());
    a.lock(__LINE__);
    EXPECT_TRUE(freeForAnotherThread(b));
    a.unlock();
}

TEST(Mutex, GlobalMutexWhoseLockFileCannotBeOpenedIsLoggedAndStillExcludesThreads) {
    std::string name = uniqueName("blocked");
    std::string path = platform::NamedLock::pathFor(name.c_str());
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    {
        LogCapture log;
        orvel::Mutex mutex(name.c_str(), true);
        EXPECT_EQ(log.text(), "Mutex creation failed because: " + std::to_string(EISDIR) + "\n");
        EXPECT_TRUE(mutex.tryLock());
        EXPECT_FALSE(freeForAnotherThread(mutex));
        mutex.unlock();
    }
    rmdir(path.c_str());
}

}  // namespace
