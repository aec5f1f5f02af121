// A second process for the lock tests: takes the global mutex named on its
// command line, says "locked" on its standard output and waits to be killed.
#include <cstdio>
#include <unistd.h>

#include "base/Mutex.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <lock name>\n", argv[0]);
        return 2;
    }
    orvel::Mutex mutex(argv[1], true);
    orvel::MutexLock lock(mutex, __LINE__);
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
