#include "NamedLock.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr size_t maxPlain = 200;

}  // namespace

std::string NamedLock::pathFor(const char* name) {
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && access(runtime, W_OK) == 0)
        folder = std::string(runtime) + "/kalvora-";
    else
        folder = "/tmp/kalvora-" + std::to_string(getuid()) + "-";
    // Every other byte, '_' included, becomes "_xx", so distinct names never
    // share a file.
    static const char hex[] = "0123456789abcdef";
    std::string safe;
    for (const char* p = name ? name : ""; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (plain) {
            safe += char(c);
        } else {
            safe += '_';
            safe += hex[c >> 4];
            safe += hex[c & 15];
        }
    }
    // File names end at 255 bytes: a long name keeps its start and a hash of the whole.
    if (safe.size() > maxPlain) {
        uint64_t hash = 14695981039346656037ull;
        for (char c : safe)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        safe.resize(maxPlain - 17);
        safe += '~';
        for (int shift = 60; shift >= 0; shift -= 4)
            safe += hex[(hash >> shift) & 15];
    }
    return folder + safe + ".lock";
}

NamedLock::NamedLock(const char* name) : path_(pathFor(name)) {
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
