#include "Thread.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>

#include "base/Debug.h"
#include "base/Mutex.h"
#include "platform/Threads.h"

namespace orvel {

// Shared by the Thread object and the thread itself, so either may end first.
struct Thread::Record {
    Record(Threadable* b, int p) : body(b), priority(p) {}

    Threadable* const body;
    const int priority;
    std::atomic<bool> running{true};
    std::atomic<int> exitCode{-1};
    std::atomic<int> threadId{0};
    // The nice value the thread inherited: its "normal" level.
    std::atomic<int> baseNice{0};

    // The thread waits here until its creator has finished the constructor,
    // so a body that lets go of its own Thread at once finds it whole.
    std::mutex readyLock;
    std::condition_variable readyWake;
    bool ready = false;
};

namespace {

Mutex& startMutex() {
    static Mutex& mutex = *new Mutex("Thread start mutex");
    return mutex;
}

void threadMain(std::shared_ptr<Thread::Record> rec) {
    int id = platform::currentThreadId();
    rec->baseNice = platform::threadNice(id);
    rec->threadId = id;
    {
        std::unique_lock<std::mutex> lock(rec->readyLock);
        rec->readyWake.wait(lock, [&] { return rec->ready; });
    }
    // Applied here, before the body runs, so that it runs at its level from
    // its first instruction.
    if (ThreadPriority::changes(rec->priority))
        platform::setThreadNice(id, rec->baseNice - ThreadPriority::level(rec->priority));
    int code = -1;
    try {
        code = rec->body->run();
    } catch (const std::exception& e) {
        debug("---Thread ended by an exception: %.1000s\n", e.what());
    } catch (...) {
        debug("---Thread ended by an unknown exception\n");
    }
    rec->exitCode = code;
    rec->running = false;
}

}  // namespace

Thread::Thread(counted_ptr<Thread>& handle, Threadable* body, int priority)
    : rec_(std::make_shared<Record>(body, priority)) {
    // The earlier thread is stopped outside the start lock: its body may be
    // starting a thread of its own before it returns.
    handle.release();
    MutexLock lock(startMutex(), __LINE__);
    handle = counted_ptr<Thread>(this);
    if (!body) {
        rec_->running = false;
        debug("---Thread started without a body\n");
        return;
    }
    body->stop_ = false;
    try {
        thread_ = std::thread(threadMain, rec_);
    } catch (const std::system_error& e) {
        rec_->running = false;
        debug("Thread create failed (errno=%d)\n", e.code().value());
        return;
    }
    std::lock_guard<std::mutex> ready(rec_->readyLock);
    rec_->ready = true;
    rec_->readyWake.notify_one();
}

Thread::~Thread() {
    Record& r = *rec_;
    if (isCurrent()) {
        r.body->stop_ = true;
        thread_.detach();
        return;
    }
    if (r.running) {
        // Best effort: a thread that must wind down gets the processor sooner.
        if (int id = r.threadId)
            platform::setThreadNice(id, r.baseNice - ThreadPriority::level(ThreadPriority::aboveNormal));
        r.body->stop_ = true;
    }
    if (thread_.joinable())
        thread_.join();
}

bool Thread::running() const { return rec_->running; }
int Thread::exitCode() const { return rec_->exitCode; }
int Thread::priority() const { return rec_->priority; }
bool Thread::isCurrent() const { return rec_->threadId == platform::currentThreadId(); }

}  // namespace orvel
