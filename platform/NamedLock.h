// An exclusive lock shared between processes under a name. It is a lock on a
// file in the user's runtime folder, so the kernel releases it when the
// holding process dies, however it dies.
#pragma once

#include <string>

namespace platform {

class NamedLock {
public:
    explicit NamedLock(const char* name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // False when the lock file could not be opened; error() tells why (errno).
    bool valid() const { return fd_ >= 0; }
    int error() const { return error_; }
    const std::string& path() const { return path_; }

    void lock();
    bool tryLock();
    void unlock();

    // The file that stands for a name.
    static std::string pathFor(const char* name);

private:
    int fd_ = -1;
    int error_ = 0;
    std::string path_;
};

}  // namespace platform
