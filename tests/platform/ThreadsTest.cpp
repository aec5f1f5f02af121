#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

#include "platform/Threads.h"

namespace {

TEST(Threads, EachThreadHasItsOwnId) {
    int main = platform::currentThreadId();
    EXPECT_EQ(main, int(getpid()));
    int other = 0;
    std::thread([&] { other = platform::currentThreadId(); }).join();
    EXPECT_NE(other, 0);
    EXPECT_NE(other, main);
}

TEST(Threads, NiceIsPerThreadAndClamped) {
    int base = platform::threadNice(platform::currentThreadId());
    ASSERT_LE(base, 17);
    int lowered = 0, clamped = 0, mine = 0;
    bool setOk = false, clampOk = false;
    std::thread([&] {
        int id = platform::currentThreadId();
        setOk = platform::setThreadNice(id, base + 2);
        lowered = platform::threadNice(id);
        clampOk = platform::setThreadNice(id, 100);
        clamped = platform::threadNice(id);
        mine = platform::threadNice(int(getpid()));
    }).join();
    EXPECT_TRUE(setOk);
    EXPECT_EQ(lowered, base + 2);
    EXPECT_TRUE(clampOk);
    EXPECT_EQ(clamped, 19);
    EXPECT_EQ(mine, base);
    EXPECT_EQ(platform::threadNice(platform::currentThreadId()), base);
}

TEST(Threads, AThreadThatEndedCannotBeChanged) {
    int gone = 0;
    std::thread([&] { gone = platform::currentThreadId(); }).join();
    // Ids are reused only after the whole id space: this one stays free for now.
    EXPECT_FALSE(platform::setThreadNice(gone, 5));
    EXPECT_EQ(platform::threadNice(gone), 0);
}

}  // namespace
