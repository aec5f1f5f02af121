#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/LogCapture.h"
#include "base/Debug.h"

namespace {

TEST(DebugLog, IsSilentBeforeAFileIsSet) {
    orvel::setDebugFile(nullptr);
    std::string tooLong(20000, 'x');
    // Nothing is formatted, so even a text over the limit does not throw.
    EXPECT_NO_THROW(orvel::debug("%s", tooLong.c_str()));
    EXPECT_NO_THROW(orvel::debug("early line %d\n", 1));
    EXPECT_EQ(orvel::debugFile(), nullptr);

    // Nothing was kept back for a file set later.
    LogCapture log;
    EXPECT_EQ(log.text(), "");
    orvel::debug("first\n");
    EXPECT_EQ(log.text(), "first\n");
}

TEST(DebugLog, WritesTextsOfExactly10000Characters) {
    LogCapture log;
    std::string exact(9999, 'a');
    exact += '\n';
    orvel::debug("%s", exact.c_str());
    EXPECT_EQ(log.text(), exact);

    // The length counts the formatted text, not the format.
    orvel::debug("%09999d\n", 5);
    EXPECT_EQ(log.text(), exact + std::string(9998, '0') + "5\n");
}

TEST(DebugLog, ThrowsOnTextsOf10001CharactersAndWritesNothing) {
    LogCapture log;
    orvel::debug("before\n");
    std::string over(10001, 'b');
    try {
        orvel::debug("%s", over.c_str());
        FAIL() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "orvel::debug() - I just corrupted something!\n");
    }
    EXPECT_THROW(orvel::debug("%010000d\n", 1), std::logic_error);
    EXPECT_EQ(log.text(), "before\n");

    // The throw gave the log's lock back: another thread can still write.
    std::promise<void> written;
    std::thread([&written] {
        orvel::debug("after\n");
        written.set_value();
    }).detach();
    ASSERT_EQ(written.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(log.text(), "before\nafter\n");
}

TEST(DebugLog, WritesPercentSignsFromArgumentsLiterally) {
    LogCapture log;
    orvel::debug("%s|%d\n", "100%d %s %n %%", 7);
    EXPECT_EQ(log.text(), "100%d %s %n %%|7\n");
}

TEST(DebugLog, EightThreadsWriteWholeLines) {
    LogCapture log;
    constexpr int threads = 8, lines = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            std::string payload(150, char('a' + t));
            for (int i = 0; i < lines; ++i)
                orvel::debug("T%d L%d %s\n", t, i, payload.c_str());
        });
    }
    for (auto& w : writers)
        w.join();

    std::istringstream in(log.text());
    std::string line;
    int next[threads] = {};
    int total = 0;
    while (std::getline(in, line)) {
        int t = -1, i = -1;
        char rest[256] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "T%d L%d %255s", &t, &i, rest), 3) << line;
        ASSERT_TRUE(t >= 0 && t < threads) << line;
        EXPECT_EQ(i, next[t]) << line;
        next[t] = i + 1;
        EXPECT_EQ(std::string(rest), std::string(150, char('a' + t))) << line;
        EXPECT_EQ(line.size(), std::to_string(i).size() + 155) << line;
        ++total;
    }
    EXPECT_EQ(total, threads * lines);
}

// A log file whose writes wait until the test lets them through.
struct SlowFile {
    std::promise<void> entered, release;
    std::string written;
    bool inWrite = false;

    static ssize_t write(void* cookie, const char* data, size_t size) {
        auto* self = static_cast<SlowFile*>(cookie);
        if (!self->inWrite) {
            self->inWrite = true;
            self->entered.set_value();
            self->release.get_future().wait();
        }
        self->written.append(data, size);
        return ssize_t(size);
    }
};

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
    // Closing the file now would pull it from under the writer.
    EXPECT_FALSE(cleared);
    slow.release.set_value();
    writer.join();
    clearer.join();
    EXPECT_TRUE(cleared);
    EXPECT_EQ(orvel::debugFile(), nullptr);
    std::fclose(file);
    EXPECT_EQ(slow.written, "slow line\n");
}

}  // namespace
