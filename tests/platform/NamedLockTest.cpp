#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "tests/base/Waiting.h"
#include "platform/NamedLock.h"

namespace {

std::string leaf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

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

TEST(NamedLock, PlainNamesStayReadable) {
    std::string a = platform::NamedLock::pathFor("VornLock1");
    std::string b = platform::NamedLock::pathFor("a-b");
    EXPECT_EQ(a.substr(a.size() - 15), "-VornLock1.lock") << a;
    EXPECT_EQ(b.substr(b.size() - 9), "-a-b.lock") << b;
    EXPECT_EQ(a.substr(0, a.size() - 14), b.substr(0, b.size() - 8));
}

TEST(NamedLock, DistinctNamesGetDistinctFiles) {
    const char* names[] = {"a_b", "a/b", "a b", "a_2fb", "A_b", "a..b", ""};
    for (const char* x : names) {
        std::string px = platform::NamedLock::pathFor(x);
        EXPECT_EQ(px.find('/', px.find("kalvora-")), std::string::npos) << x;
        for (const char* y : names) {
            if (x != y) {
                EXPECT_NE(px, platform::NamedLock::pathFor(y)) << x << " / " << y;
            }
        }
    }
}

TEST(NamedLock, LongNamesFitInAFileName) {
    std::string a(1000, 'x'), b = a;
    b.back() = 'y';
    std::string pa = platform::NamedLock::pathFor(a.c_str());
    std::string pb = platform::NamedLock::pathFor(b.c_str());
    EXPECT_LE(leaf(pa).size(), 255u);
    EXPECT_NE(pa, pb);
    a += std::to_string(getpid());
    platform::NamedLock lock(a.c_str());
    EXPECT_TRUE(lock.valid()) << lock.error();
}

TEST(NamedLock, UsesTheRuntimeFolderWhenWritableElseTmp) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string keep = saved ? saved : "";
    char folder[] = "/tmp/kalvora-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    setenv("XDG_RUNTIME_DIR", folder, 1);
    EXPECT_EQ(platform::NamedLock::pathFor("n"), std::string(folder) + "/kalvora-n.lock");
    rmdir(folder);
    EXPECT_EQ(platform::NamedLock::pathFor("n"), "/tmp/kalvora-" + std::to_string(getuid()) + "-n.lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::NamedLock::pathFor("n"), "/tmp/kalvora-" + std::to_string(getuid()) + "-n.lock");
    if (saved)
        setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

TEST(NamedLock, TwoOpenLocksOfOneNameExcludeEachOther) {
    std::string name = "platform-test-" + std::to_string(getpid());
    platform::NamedLock a(name.c_str()), b(name.c_str());
    ASSERT_TRUE(a.valid());
    ASSERT_TRUE(b.valid());
    EXPECT_TRUE(a.tryLock());
    EXPECT_FALSE(b.tryLock());
    a.unlock();
    EXPECT_TRUE(b.tryLock());
    b.unlock();
}

// The file lasts while the lock is in use; its last holder removes it. One
// who waited on the removed file must not share the lock with one who makes
// the file anew.
TEST(NamedLock, TheFileLastsOnlyWhileTheLockIsInUse) {
    std::string name = "platform-tidy-" + std::to_string(getpid());
    platform::NamedLock a(name.c_str()), b(name.c_str()), c(name.c_str());
    auto exists = [&] { return access(a.path().c_str(), F_OK) == 0; };
    EXPECT_FALSE(exists());
    ASSERT_TRUE(a.tryLock());
    EXPECT_TRUE(exists());
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

TEST(NamedLock, AnUnopenableFileGivesAnInvalidLock) {
    std::string name = "platform-dir-" + std::to_string(getpid());
    std::string path = platform::NamedLock::pathFor(name.c_str());
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    platform::NamedLock lock(name.c_str());
    EXPECT_FALSE(lock.valid());
    EXPECT_EQ(lock.error(), EISDIR);
    EXPECT_FALSE(lock.tryLock());
    lock.lock();
    lock.unlock();
    rmdir(path.c_str());
}

TEST(NamedLock, DoesNotFollowASymlinkAtItsPath) {
    std::string name = "platform-link-" + std::to_string(getpid());
    std::string path = platform::NamedLock::pathFor(name.c_str());
    std::string target = path + ".target";
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    platform::NamedLock lock(name.c_str());
    EXPECT_FALSE(lock.valid());
    EXPECT_EQ(lock.error(), ELOOP);
    EXPECT_NE(access(target.c_str(), F_OK), 0);
    unlink(path.c_str());
}

}  // namespace
