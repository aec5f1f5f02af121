#include "SyscallCount.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The counter speaks to its tracer through writes to no file of these
// lengths: the tracer sees them as they are entered, and they fail harmlessly.
constexpr unsigned long reportLength = 0x5CA11C0, detachLength = 0x5CA11D0;

void tell(unsigned long length) { syscall(SYS_write, -1, nullptr, length); }

bool readWhole(int fd, void* into, size_t size) {
    ssize_t n;
    while ((n = read(fd, into, size)) < 0 && errno == EINTR) {
    }
    return n == ssize_t(size);
}

// The tracer, in the child: only system calls from here on. Counts every call
// the thread enters but the counter's own (its marks and its reads of the
// answers) until told to let go.
void trace(pid_t thread, int ready, int answers, int answersRead) {
    char ok = 0;
    int status = 0;
    if (ptrace(PTRACE_SEIZE, thread, nullptr, PTRACE_O_TRACESYSGOOD) != 0 ||
        ptrace(PTRACE_INTERRUPT, thread, nullptr, nullptr) != 0 || waitpid(thread, &status, __WALL) != thread ||
        ptrace(PTRACE_SYSCALL, thread, nullptr, nullptr) != 0) {
        (void)!write(ready, &ok, 1);
        return;
    }
    ok = 1;
    (void)!write(ready, &ok, 1);
    long long count = 0;
    while (waitpid(thread, &status, __WALL) == thread && WIFSTOPPED(status)) {
        int signal = 0;
        if (WSTOPSIG(status) == (SIGTRAP | 0x80)) {
            __ptrace_syscall_info info{};
            if (ptrace(PTRACE_GET_SYSCALL_INFO, thread, sizeof info, &info) > 0 && info.op == PTRACE_SYSCALL_INFO_ENTRY) {
                const auto nr = info.entry.nr;
                const auto* a = info.entry.args;
                if (nr == SYS_write && int(a[0]) == -1 && a[2] == detachLength) {
                    ptrace(PTRACE_DETACH, thread, nullptr, nullptr);
                    return;
                }
                if (nr == SYS_write && int(a[0]) == -1 && a[2] == reportLength)
                    (void)!write(answers, &count, sizeof count);
                else if (!(nr == SYS_read && int(a[0]) == answersRead))
                    ++count;
            }
        } else if (status >> 16 == 0) {
            signal = WSTOPSIG(status);  // a signal on its way to the thread goes on
        }
        ptrace(PTRACE_SYSCALL, thread, nullptr, signal);
    }
}

}  // namespace

SyscallCount::SyscallCount() {
    const pid_t thread = gettid();
    int ready[2], answers[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return;
    if (pipe2(answers, O_CLOEXEC) != 0) {
        close(ready[0]);
        close(ready[1]);
        return;
    }
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY);  // where Yama asks for it
    const pid_t child = fork();
    if (child == 0) {
        trace(thread, ready[1], answers[1], answers[0]);
        _exit(0);
    }
    close(ready[1]);
    close(answers[1]);
    char ok = 0;
    if (child > 0 && readWhole(ready[0], &ok, 1) && ok == 1) {
        tracer_ = child;
        answers_ = answers[0];
    } else {
        if (child > 0)
            waitpid(child, nullptr, 0);
        close(answers[0]);
    }
    close(ready[0]);
}

SyscallCount::~SyscallCount() {
    if (!available())
        return;
    tell(detachLength);
    waitpid(tracer_, nullptr, 0);
    close(answers_);
}

long long SyscallCount::calls() const {
    long long count = -1;
    if (!available())
        return -1;
    tell(reportLength);
    return readWhole(answers_, &count, sizeof count) ? count : -1;
}
