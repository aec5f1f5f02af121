#include "NamedLock.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// Opening the file tells whether the lock can work; the file is removed
// again at once unless someone holds the lock.
NamedLock::NamedLock(const char* name) : path_(pathFor(name)) {
    if (acquire(false))
        unlock();
}

// Also removes a file that a holder which died left behind, when nobody
// holds the lock now.
NamedLock::~NamedLock() {
    if (acquire(false))
        unlock();
}

bool NamedLock::openFile() {
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    error_ = fd_ < 0 ? errno : 0;
    return fd_ >= 0;
}

void NamedLock::closeFile() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

// The file stays open only while the lock is held.
bool NamedLock::acquire(bool wait) {
    if (fd_ >= 0)
        return true;
    for (;;) {
        if (!openFile())
            return false;
        int r;
        while ((r = flock(fd_, wait ? LOCK_EX : LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        // Locked or not, the file may have been removed by its last holder
        // since it was opened: then only the file now at the path counts.
        struct stat held, named;
        bool current = fstat(fd_, &held) == 0 && lstat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                       held.st_ino == named.st_ino;
        if (current && r == 0)
            return true;
        closeFile();
        if (current)
            return false;
    }
}

void NamedLock::lock() { acquire(true); }

bool NamedLock::tryLock() { return acquire(false); }

// Removed while still held: a process that opened the file before sees,
// once it gets the lock, that the file is gone, and opens the path again.
void NamedLock::unlock() {
    if (fd_ < 0)
        return;
    unlink(path_.c_str());
    closeFile();
}

}  // namespace platform
