#include "CrashWatch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <utility>

#include "platform/SignalChain.h"

namespace platform {

namespace {

// Faults, and aborts: a driver's allocator that finds its heap broken aborts.
const int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
SignalChain chain;

const volatile std::uint32_t* progress = nullptr;
CrashBlame blamed = nullptr;
pid_t watcher = -1;
int toWatcher = -1;  // the watcher reads the word of a crash from it
std::atomic<int> logFd{-1};
std::atomic_flag crashing = ATOMIC_FLAG_INIT;

// Only async-signal-safe calls from here to the end of onFatalSignal.

// A log line built without the C library's formatting.
class Line {
public:
    void add(const char* text) {
        while (*text && length_ < sizeof text_ - 1)
            text_[length_++] = *text++;
    }
    void add(unsigned long n) {
        char digits[24];
        int count = 0;
        do
            digits[count++] = char('0' + n % 10);
        while ((n /= 10) != 0);
        while (count > 0 && length_ < sizeof text_ - 1)
            text_[length_++] = digits[--count];
    }
    void writeTo(int fd) {
        text_[length_++] = '\n';
        writeAll(fd, text_, length_);
    }

private:
    char text_[160];
    std::size_t length_ = 0;
};

void onFatalSignal(int sig, siginfo_t* info, void* context) {
    const std::uint32_t word = *progress;
    const char* words = blamed(word);
    if (!words) {
        int savedErrno = errno;
        chain.passOn(sig, info, context);
        errno = savedErrno;
        return;
    }
    // A second thread that crashes meanwhile waits for the first to end the process.
    if (crashing.test_and_set()) {
        for (;;)
            pause();
    }
    Line line;
    line.add("---Fatal signal ");
    line.add(unsigned(sig));
    line.add(" at step ");
    line.add(word);
    line.add(words);
    int fd = logFd.load();
    if (fd >= 0)
        line.writeTo(fd);
    if (watcher > 0) {
        writeAll(toWatcher, &word, sizeof word);
        while (waitpid(watcher, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    _exit(1);
}

// The watcher's life: the word of a crash, or the end of the process that
// closes the pipe. Ctrl+C in a terminal reaches both processes, and only the
// program's own answer to it may end the watcher.
[[noreturn]] void watch(int fromProgram, CrashBox box) {
    std::signal(SIGINT, SIG_IGN);
    std::uint32_t word = 0;
    std::size_t have = 0;
    while (have < sizeof word) {
        ssize_t n = read(fromProgram, reinterpret_cast<char*>(&word) + have, sizeof word - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            _exit(0);
        have += std::size_t(n);
    }
    box(word);
    _exit(0);
}

}  // namespace

void watchCrashes(const std::uint32_t& word, CrashBlame blame, CrashBox box) {
    if (blamed)
        return;
    progress = &word;
    blamed = blame;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) == 0) {
        watcher = fork();
        if (watcher == 0) {
            close(ends[1]);
            watch(ends[0], box);
        }
        close(ends[0]);
        toWatcher = ends[1];
        if (watcher < 0)
            close(std::exchange(toWatcher, -1));
    }
    chain.install(fatalSignals, std::size(fatalSignals), onFatalSignal);
}

void setCrashLog(std::FILE* file) { logFd = file ? fileno(file) : -1; }

}  // namespace platform
