// Mutexes within a process and between processes, and the debug log they
// guard.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <future>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "base/Debug.h"
#include "base/Mutex.h"
#include "platform/NamedLock.h"
#include "tests/base/Waiting.h"
#include "tests/support/LogCapture.h"

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

// The lock-holder helper running as a real second process: it takes the
// global mutex of the name and says "locked".
class Holder {
public:
    explicit Holder(const std::string& name) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            execl(LOCK_HOLDER, LOCK_HOLDER, name.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }
    ~Holder() {
        kill();
        close(out_);
    }

    // True once the helper says it holds the lock, within ms.
    bool locked(int ms) {
        pollfd p{out_, POLLIN, 0};
        char text[16] = {};
        return poll(&p, 1, ms) == 1 && read(out_, text, sizeof text - 1) > 0 && std::string(text) == "locked\n";
    }

    // SIGKILL, then reaps it: its open files, and so its lock, are gone.
    void kill() {
        if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0)
            waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

TEST(Mutex, TheOwnerTakesItAgainAndOthersWaitForTheLastUnlock) {
    orvel::Mutex mutex("contended");
    EXPECT_FALSE(mutex.isGlobal());
    mutex.lock(10);
    mutex.lock(11);
    EXPECT_TRUE(mutex.tryLock());
    EXPECT_EQ(mutex.holderLine(), 11);
    std::atomic<int> lineSeen{0};
    std::thread other([&] {
        orvel::MutexLock lock(mutex, 20);
        lineSeen = mutex.holderLine();
    });
    for (int held = 3; held > 0; --held) {
        orvel::sleepMs(30);
        EXPECT_EQ(lineSeen, 0) << held;
        mutex.unlock();
    }
    other.join();
    EXPECT_EQ(lineSeen, 20);
    EXPECT_EQ(mutex.holderLine(), -1);

    {
        orvel::MutexLock lock(mutex, 30);
        lock.unlock();
        EXPECT_TRUE(freeForAnotherThread(mutex));
        mutex.lock(31);  // held by hand across the lock's end: not released twice
    }
    EXPECT_FALSE(freeForAnotherThread(mutex));
    mutex.unlock();
}

// Held until the waiter has logged twice; a busy machine may let it log
// once more, but never more than once per second it waited.
TEST(Mutex, LogsALongWaitOncePerSecond) {
    LogCapture log;
    orvel::Mutex mutex("slow");
    mutex.lock(7);
    const double start = orvel::getTime();
    std::thread waiter([&] { orvel::MutexLock lock(mutex, 8); });
    const std::string line = "Mutex slow taking a int32 time at 8 (locked from 7)...\n";
    EXPECT_TRUE(waitFor([&] { return log.count(line) >= 2; }));
    mutex.unlock();
    waiter.join();
    const int lines = log.count(line);
    EXPECT_TRUE(lines >= 2 && lines <= orvel::getTime() - start) << lines;
    EXPECT_EQ(log.text().size(), size_t(lines) * line.size()) << "nothing else is logged";
}

TEST(Mutex, GlobalLockExcludesAnotherProcessUntilItIsKilled) {
    const std::string name = uniqueName("killed");
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

    // Held here, it keeps another process out until it is let go.
    mutex.lock(__LINE__);
    Holder second(name);
    EXPECT_FALSE(second.locked(300));
    mutex.unlock();
    EXPECT_TRUE(second.locked(10000));
}

// Mutexes of one name share one lock in a process: the same thread takes it
// through either, and the lock lives while any of them does.
TEST(Mutex, GlobalMutexesOfOneNameShareTheLockWithinAProcess) {
    const std::string name = uniqueName("shared");
    orvel::Mutex a(name.c_str(), true);
    {
        orvel::Mutex b(name.c_str(), true);
        a.lock(__LINE__);
        EXPECT_TRUE(b.tryLock());
        b.lock(__LINE__);
        b.unlock();
        b.unlock();
        EXPECT_FALSE(freeForAnotherThread(b));
        a.unlock();
        b.lock(__LINE__);
    }
    EXPECT_FALSE(freeForAnotherThread(a));
    a.unlock();
    EXPECT_TRUE(freeForAnotherThread(a));

    orvel::Mutex unnamed(nullptr, true), empty("", true);
    unnamed.lock(__LINE__);
    EXPECT_TRUE(freeForAnotherThread(empty));
    unnamed.unlock();
}

TEST(Mutex, AGlobalMutexWhoseLockFileCannotBeOpenedStillExcludesThreads) {
    const std::string name = uniqueName("blocked");
    const std::string path = platform::NamedLock::pathFor(name.c_str());
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

TEST(DebugLog, WritesNothingUntilAFileIsSetThenUpTo10000Characters) {
    orvel::setDebugFile(nullptr);
    // Nothing is formatted, so even a text over the limit does not throw.
    EXPECT_NO_THROW(orvel::debug("%s", std::string(20000, 'x').c_str()));
    LogCapture log;
    const std::string exact = std::string(9999, 'a') + "\n";
    orvel::debug("%s", exact.c_str());
    orvel::debug("%s|%d\n", "100%d %s %n %%", 7);  // '%' in the text is written as it is
    try {
        orvel::debug("%010000d\n", 1);
        ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "orvel::debug() - I just corrupted something!\n");
    }
    // The throw gave the log's lock back: another thread can still write.
    std::async(std::launch::async, [] { orvel::debug("after\n"); }).wait();
    EXPECT_EQ(log.text(), exact + "100%d %s %n %%|7\nafter\n");
}

TEST(DebugLog, EightThreadsWriteWholeLines) {
    LogCapture log;
    constexpr int threads = 8, lines = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < lines; ++i)
                orvel::debug("T%d L%d %s\n", t, i, std::string(150, char('a' + t)).c_str());
        });
    for (auto& w : writers)
        w.join();
    std::istringstream in(log.text());
    int next[threads] = {}, total = 0;
    for (std::string line; std::getline(in, line); ++total) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "T%d L%d ", &t, &i), 2) << line;
        ASSERT_TRUE(t >= 0 && t < threads) << line;
        EXPECT_EQ(i, next[t]++) << line;
        EXPECT_EQ(line, "T" + std::to_string(t) + " L" + std::to_string(i) + " " + std::string(150, char('a' + t)));
    }
    EXPECT_EQ(total, threads * lines);
}

// A log file whose first write waits until the test lets it through.
struct SlowFile {
    std::promise<void> entered, release;
    std::string written;
    bool inWrite = false;

    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto* self = static_cast<SlowFile*>(cookie);
        if (!std::exchange(self->inWrite, true)) {
            self->entered.set_value();
            self->release.get_future().wait();
        }
        self->written.append(data, size);
        return ssize_t(size);
    }
};

// Setting the file waits for a line being written: the caller may close the
// old file as soon as it returns.
TEST(DebugLog, SettingTheFileWaitsForALineBeingWritten) {
    SlowFile slow;
    FILE* file = fopencookie(&slow, "w", {nullptr, &SlowFile::write, nullptr, nullptr});
    ASSERT_NE(file, nullptr);
    orvel::setDebugFile(file);
    std::thread writer([] { orvel::debug("slow line\n"); });
    slow.entered.get_future().wait();
    std::atomic<bool> cleared{false};
    std::thread clearer([&] {
        orvel::setDebugFile(nullptr);
        cleared = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(cleared);
    slow.release.set_value();
    writer.join();
    clearer.join();
    std::fclose(file);
    EXPECT_EQ(slow.written, "slow line\n");
}

}  // namespace
