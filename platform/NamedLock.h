// An exclusive lock shared between processes under a name. It is a lock on a
// file in the user's runtime folder, so the kernel releases it when the
// holding process dies, however it dies.
// The file exists only while the lock is in use: whoever lets go of it last
// removes it, still holding it. One who then finds it has locked a file no
// longer at the path opens the path again, so two never hold the lock at
// once through two files.
#pragma once

#include <string>

namespace platform {

class NamedLock {
public:
    explicit NamedLock(const char* name);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    // False when the lock file could not be opened when last tried; error()
    // tells why (errno). An invalid lock excludes nobody.
    bool valid() const { return error_ == 0; }
    int error() const { return error_; }
    const std::string& path() const { return path_; }

    void lock();
    bool tryLock();
    void unlock();

    // The file that stands for a name.
    static std::string pathFor(const char* name);

private:
    // Takes the lock on the file now at the path, opening it as needed.
    bool acquire(bool wait);
    bool openFile();
    void closeFile();

    int fd_ = -1;
    int error_ = 0;
    std::string path_;
};

}  // namespace platform
