// Guards work against a hang without timing it. A watcher thread waits for
// the deadline of the case armed last; if the case has not ended by then,
// the test fails naming it, once. The work itself is left alone: work that
// ends late still ends, and a real hang is stopped by the test runner's
// limit, after the name has been printed.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class HangWatch {
public:
    HangWatch() : watcher_([this] { watch(); }) {}
    HangWatch(std::string what, double seconds) : HangWatch() { arm(std::move(what), seconds); }
    HangWatch(const HangWatch&) = delete;
    HangWatch& operator=(const HangWatch&) = delete;
    ~HangWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reportIfLate();
            stop_ = true;
        }
        changed_.notify_one();
        watcher_.join();
    }

    // Ends the case before, if any, and gives `what` `seconds` to end.
    void arm(std::string what, double seconds) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reportIfLate();
            what_ = std::move(what);
            deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
            armed_ = true;
        }
        changed_.notify_one();
    }

private:
    using Clock = std::chrono::steady_clock;

    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            if (!armed_) {
                changed_.wait(lock);
                continue;
            }
            changed_.wait_until(lock, Clock::time_point(deadline_));
            if (!stop_)
                reportIfLate();
        }
    }

    // The case ends or the deadline has come: past it, the case hung.
    void reportIfLate() {
        if (armed_ && Clock::now() >= deadline_) {
            ADD_FAILURE() << what_ << " hung";
            armed_ = false;
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string what_;
    Clock::time_point deadline_;
    bool armed_ = false;
    bool stop_ = false;
    std::thread watcher_;  // last: it starts once the rest is set
};
