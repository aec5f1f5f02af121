#include "System.h"

#include <climits>
#include <sys/utsname.h>
#include <unistd.h>

namespace platform {

std::string executablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

std::string osRelease() {
    utsname u;
    return uname(&u) == 0 ? std::string(u.release) : std::string();
}

int processorCount() {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? int(n) : 1;
}

std::uint64_t physicalMemoryBytes() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? std::uint64_t(pages) * std::uint64_t(pageSize) : 0;
}

}  // namespace platform
