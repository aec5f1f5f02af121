#include "Debug.h"

#include <atomic>
#include <cstdarg>
#include <stdexcept>

#include "base/Mutex.h"

namespace orvel {

namespace {

std::atomic<FILE*> file{nullptr};

Mutex& debugMutex() {
    // Never destroyed: threads may still log while the process exits.
    static Mutex& mutex = *new Mutex("Debug mutex");
    return mutex;
}

}  // namespace

void setDebugFile(FILE* f) {
    // Waits for a line being written, so the caller may close the old file
    // as soon as this returns.
    MutexLock lock(debugMutex(), __LINE__);
    file = f;
}

FILE* debugFile() { return file; }

void debug(const char* format, ...) {
    if (!file.load(std::memory_order_acquire))
        return;
    static char text[debugTextLimit + 1];
    MutexLock lock(debugMutex(), __LINE__);
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n > debugTextLimit)
        throw std::logic_error("orvel::debug() - I just corrupted something!\n");
    FILE* f = file.load();
    if (!f || n < 0)
        return;
    std::fprintf(f, "%s", text);
    std::fflush(f);
}

}  // namespace orvel
