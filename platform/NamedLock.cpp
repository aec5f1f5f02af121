#include "NamedLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

std::string NamedLock::pathFor(const char* name) {
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && access(runtime, W_OK) == 0)
        folder = std::string(runtime) + "/kalvora-";
    else
        folder = "/tmp/kalvora-" + std::to_string(getuid()) + "-";
    std::string safe;
    for (const char* p = name ? name : ""; *p; ++p) {
        char c = *p;
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        safe += plain ? c : '_';
    }
    return folder + safe + ".lock";
}

NamedLock::NamedLock(const char* name) : path_(pathFor(name)) {
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        error_ = errno;
}

NamedLock::~NamedLock() {
    if (fd_ >= 0)
        close(fd_);
}

void NamedLock::lock() {
    if (fd_ < 0)
        return;
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

bool NamedLock::tryLock() {
    if (fd_ < 0)
        return false;
    int r;
    while ((r = flock(fd_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    return r == 0;
}

void NamedLock::unlock() {
    if (fd_ >= 0)
        flock(fd_, LOCK_UN);
}

}  // namespace platform
