// The registry of settings: keys and typed values in an SQLite database.
// Keys are paths of '\\'-separated names ("Software\\Company\\Product");
// key and value names compare without regard to case. The database of a key
// is $XDG_CONFIG_HOME (else ~/.config) / <company> / registry.sqlite, the
// company being the name after "Software" (the folder there whose name
// equals it but for case); ORVEL_REGISTRY_FILE, when set, names one file for
// every key instead. Each write is one transaction, so a process that dies
// while writing leaves every value old or new, and several processes may
// share the file. The file's journal exists only while a write is under way:
// a file that is read-only is still read, and written again as soon as it is
// writable. A file that is damaged or not a database is never changed. The
// machine root (1) has no store of its own that a user may write on Linux: it
// is kept apart from the user's root (0) in the same file.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>

struct sqlite3;

namespace platform {

class RegistryHandle {
public:
    using Reader = std::function<void(unsigned type, const unsigned char* data, std::size_t size)>;

    // Why a key could not be opened or a value not stored, for the log.
    struct Trouble {
        // The file is there but cannot be used at all; it is left alone.
        bool unusable = false;
        std::string file;
        std::string reason;  // empty when nothing went wrong worth telling
    };

    // The key under root; with create the database, the key and every parent
    // key are made when missing. Null when the key cannot be opened; trouble
    // then tells why unless the key or the file is simply not there.
    static std::unique_ptr<RegistryHandle> open(int root, const char* path, bool create, Trouble* trouble = nullptr);
    ~RegistryHandle();
    RegistryHandle(const RegistryHandle&) = delete;
    RegistryHandle& operator=(const RegistryHandle&) = delete;

    // Stores (or replaces) a value: its type word and its bytes. On failure
    // trouble tells why.
    bool setValue(const char* name, unsigned type, const void* data, std::size_t size, Trouble* trouble = nullptr);
    // Hands the value's type and bytes to reader while they are valid.
    // False when the value is missing or cannot be read.
    bool readValue(const char* name, const Reader& reader);

    // The database file that holds the keys under path; "" when the path
    // names no company.
    static std::string databaseFile(const char* path);

private:
    RegistryHandle(sqlite3* db, long long key, std::string file) : db_(db), key_(key), file_(std::move(file)) {}

    sqlite3* db_;
    long long key_;
    std::string file_;
};

}  // namespace platform
