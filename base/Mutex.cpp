#include "Mutex.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>

#include "base/Debug.h"
#include "platform/NamedLock.h"

namespace orvel {

struct Mutex::Record {
    orvel_string name;
    bool global = false;
    std::atomic<int> holderLine{-1};
    std::recursive_timed_mutex local;
    // Named form only: the lock between processes, held while this process's
    // recursion depth is above 0. Null for an unnamed global mutex and when
    // the lock file could not be opened: such a mutex excludes within this
    // process only.
    std::unique_ptr<platform::NamedLock> named;
    int depth = 0;
};

namespace {

// Named records are shared by every Mutex of that name in the process, so a
// second object of one name neither deadlocks on nor excludes its own process.
std::mutex tableLock;
std::map<std::string, std::weak_ptr<Mutex::Record>>& globalTable() {
    static auto* table = new std::map<std::string, std::weak_ptr<Mutex::Record>>;
    return *table;
}

// Set while this thread logs a long wait: the log takes a mutex of its own,
// and a wait on that one must not log again.
thread_local bool loggingWait = false;

}  // namespace

Mutex::Mutex(const char* name, bool global) {
    if (!global || !name || !*name) {
        rec_ = std::make_shared<Record>();
        rec_->name = name;
        rec_->global = global;
        return;
    }
    std::lock_guard<std::mutex> guard(tableLock);
    auto& slot = globalTable()[name];
    rec_ = slot.lock();
    if (rec_)
        return;
    rec_ = std::make_shared<Record>();
    rec_->name = name;
    rec_->global = true;
    rec_->named = std::make_unique<platform::NamedLock>(name);
    if (!rec_->named->valid()) {
        debug("Mutex creation failed because: %d\n", rec_->named->error());
        rec_->named.reset();
    }
    slot = rec_;
}

Mutex::~Mutex() {
    if (!rec_->global || rec_->name.empty())
        return;
    std::lock_guard<std::mutex> guard(tableLock);
    std::string key = rec_->name.c_str();
    rec_.reset();
    auto it = globalTable().find(key);
    if (it != globalTable().end() && it->second.expired())
        globalTable().erase(it);
}

void Mutex::lock(int line) {
    Record& r = *rec_;
    if (!r.local.try_lock()) {
        while (!r.local.try_lock_for(std::chrono::milliseconds(1000))) {
            if (loggingWait)
                continue;
            loggingWait = true;
            debug("Mutex %s taking a int32 time at %d (locked from %d)...\n", r.name.c_str(), line,
                  r.holderLine.load());
            loggingWait = false;
        }
    }
    if (r.named && r.depth++ == 0)
        r.named->lock();
    r.holderLine = line;
}

bool Mutex::tryLock() {
    Record& r = *rec_;
    if (!r.local.try_lock())
        return false;
    if (r.named && r.depth == 0 && !r.named->tryLock()) {
        r.local.unlock();
        return false;
    }
    if (r.named)
        ++r.depth;
    return true;
}

void Mutex::unlock() {
    Record& r = *rec_;
    r.holderLine = -1;
    if (r.named && --r.depth == 0)
        r.named->unlock();
    r.local.unlock();
}

const orvel_string& Mutex::name() const { return rec_->name; }
bool Mutex::isGlobal() const { return rec_->global; }
int Mutex::holderLine() const { return rec_->holderLine; }

}  // namespace orvel
