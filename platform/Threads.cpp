#include "Threads.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

int currentThreadId() { return int(syscall(SYS_gettid)); }

int threadNice(int threadId) {
    // -1 is also a valid nice value; only errno tells a failure apart.
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, id_t(threadId));
    return errno ? 0 : nice;
}

bool setThreadNice(int threadId, int nice) {
    return setpriority(PRIO_PROCESS, id_t(threadId), std::clamp(nice, -20, 19)) == 0;
}

}  // namespace platform
