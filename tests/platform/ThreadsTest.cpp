// Thread ids and nice values, periodic timers, and locks named between
// processes.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Clock.h"
#include "platform/NamedLock.h"
#include "platform/PeriodicTimer.h"
#include "platform/Threads.h"
#include "tests/base/Waiting.h"
#include "tests/support/HangWatch.h"

namespace {

double now() { return platform::monotonicSeconds(); }

// A name of this test process, so parallel runs never meet.
std::string unique(const char* what) { return std::string("platform-") + what + "-" + std::to_string(getpid()); }

TEST(Threads, IdsAndNiceValuesArePerThread) {
    const int main = platform::currentThreadId(), base = platform::threadNice(main);
    EXPECT_EQ(main, int(getpid()));
    ASSERT_LE(base, 17);
    int id = 0, lowered = 0, clamped = 0, mine = 0;
    std::thread([&] {
        id = platform::currentThreadId();
        EXPECT_TRUE(platform::setThreadNice(id, base + 2));
        lowered = platform::threadNice(id);
        EXPECT_TRUE(platform::setThreadNice(id, 100));
        clamped = platform::threadNice(id);
        mine = platform::threadNice(main);
    }).join();
    EXPECT_NE(id, main);
    EXPECT_EQ(lowered, base + 2);
    EXPECT_EQ(clamped, 19);
    EXPECT_EQ(mine, base);
    // Ids are reused only after the whole id space: this one stays free for now.
    EXPECT_FALSE(platform::setThreadNice(id, 5));
    EXPECT_EQ(platform::threadNice(id), 0);
}

// It expires at once (well within a wait shorter than the interval), then
// every interval; missed expiries count as one; a cancel wakes a waiter and
// keeps waits short until the next start.
TEST(PeriodicTimer, ExpiresAtOnceThenEveryIntervalUntilCancelled) {
    platform::PeriodicTimer timer;
    ASSERT_TRUE(timer.valid());
    double start = now();
    EXPECT_FALSE(timer.wait(30));  // not started: the timeout passes
    EXPECT_GE(now() - start, 0.029);
    timer.start(10000);
    EXPECT_TRUE(timer.wait(5000));
    start = now();
    timer.start(200);
    EXPECT_TRUE(timer.wait(5000));
    EXPECT_TRUE(timer.wait(5000));
    EXPECT_GE(now() - start, 0.199);
    // Expiries missed while asleep: three waits in a row find one, and
    // another only for each interval the waits took.
    timer.start(50);
    platform::sleepMilliseconds(300);
    start = now();
    const int found = timer.wait(0) + timer.wait(0) + timer.wait(0);
    EXPECT_TRUE(found >= 1 && found <= 2 + int((now() - start) / 0.05)) << found;

    timer.start(10000);
    ASSERT_TRUE(timer.wait(5000));
    {
        HangWatch watch("a wait, sleeping through the cancel,", 30);
        std::thread waiter([&] { EXPECT_FALSE(timer.wait(60000)); });
        platform::sleepMilliseconds(20);
        timer.cancel();
        waiter.join();
        EXPECT_FALSE(timer.wait(60000));
    }
    timer.start(10000);
    EXPECT_TRUE(timer.wait(5000));
    start = now();
    EXPECT_FALSE(timer.wait(30));
    EXPECT_GE(now() - start, 0.029);
}

TEST(PeriodicTimer, WithoutDescriptorsItIsInvalidAndWaitsOnlyTime) {
    pid_t child = fork();
    if (child == 0) {
        rlimit none{0, 0};  // every descriptor number is taken
        setrlimit(RLIMIT_NOFILE, &none);
        platform::PeriodicTimer timer;
        timer.start(1);
        double start = now();
        bool expired = timer.wait(20);
        timer.cancel();
        _exit(timer.valid() + (timer.error() != EMFILE) + expired + (now() - start < 0.019));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// Readable names; distinct names, also those that differ only in the
// characters a file name cannot hold, get distinct files of at most 255
// bytes, in the runtime folder when it is writable, else in /tmp.
TEST(NamedLock, EachNameHasAFileOfItsOwn) {
    const std::string plain = platform::NamedLock::pathFor("VornLock1");
    EXPECT_EQ(plain.substr(plain.size() - 15), "-VornLock1.lock") << plain;
    const std::string longName(1000, 'x'), otherLong = longName + "y";
    const char* names[] = {"a_b", "a/b", "a b", "a_2fb", "A_b", "a..b", "", longName.c_str(), otherLong.c_str()};
    std::set<std::string> files;
    for (const char* name : names) {
        std::string path = platform::NamedLock::pathFor(name);
        EXPECT_EQ(path.find('/', path.find("kalvora-")), std::string::npos) << name;
        EXPECT_LE(path.size() - path.rfind('/') - 1, 255u);
        files.insert(path);
    }
    EXPECT_EQ(files.size(), std::size(names));
    EXPECT_TRUE(platform::NamedLock((longName + std::to_string(getpid())).c_str()).valid());

    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    char folder[] = "/tmp/kalvora-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    setenv("XDG_RUNTIME_DIR", folder, 1);
    EXPECT_EQ(platform::NamedLock::pathFor("n"), std::string(folder) + "/kalvora-n.lock");
    rmdir(folder);
    EXPECT_EQ(platform::NamedLock::pathFor("n"), "/tmp/kalvora-" + std::to_string(getuid()) + "-n.lock");
    saved ? setenv("XDG_RUNTIME_DIR", keep.c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
}

// Whether the kernel lists someone waiting for a lock on the file.
bool someoneWaitsOn(const std::string& path) {
    struct stat st;
    std::ifstream locks("/proc/locks");
    std::string inode = stat(path.c_str(), &st) == 0 ? ":" + std::to_string(st.st_ino) + " " : "none";
    for (std::string line; std::getline(locks, line);)
        if (line.find("->") != std::string::npos && line.find(inode) != std::string::npos)
            return true;
    return false;
}

// Locks of one name exclude each other. The file lasts while the lock is in
// use and its last holder removes it: one who waited on the removed file
// must not share the lock with one who makes the file anew.
TEST(NamedLock, TheFileLastsOnlyWhileTheLockIsInUse) {
    const std::string name = unique("tidy");
    platform::NamedLock a(name.c_str()), b(name.c_str()), c(name.c_str());
    auto exists = [&] { return access(a.path().c_str(), F_OK) == 0; };
    EXPECT_FALSE(exists());
    ASSERT_TRUE(a.tryLock());
    EXPECT_TRUE(exists());
    EXPECT_FALSE(c.tryLock());
    std::atomic<bool> bHolds{false};
    std::thread waiter([&] {
        b.lock();
        bHolds = true;
    });
    EXPECT_TRUE(waitFor([&] { return someoneWaitsOn(a.path()); }));
    a.unlock();
    EXPECT_TRUE(waitFor([&] { return bHolds.load(); }));
    waiter.join();
    EXPECT_FALSE(c.tryLock());
    EXPECT_FALSE(a.tryLock());
    b.unlock();
    EXPECT_FALSE(exists());
    EXPECT_TRUE(c.tryLock());
}

// A folder at the lock's path, or a link (never followed): the lock is
// invalid, says why, and neither takes nor blocks.
TEST(NamedLock, AFileThatCannotBeOpenedGivesAnInvalidLock) {
    const std::string folder = platform::NamedLock::pathFor(unique("dir").c_str());
    const std::string link = platform::NamedLock::pathFor(unique("link").c_str());
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(symlink((link + ".target").c_str(), link.c_str()), 0);
    for (const auto& [name, error] : {std::pair{unique("dir"), EISDIR}, std::pair{unique("link"), ELOOP}}) {
        platform::NamedLock lock(name.c_str());
        EXPECT_FALSE(lock.valid());
        EXPECT_EQ(lock.error(), error);
        EXPECT_FALSE(lock.tryLock());
        lock.lock();
        lock.unlock();
    }
    EXPECT_NE(access((link + ".target").c_str(), F_OK), 0);
    rmdir(folder.c_str());
    unlink(link.c_str());
}

}  // namespace
