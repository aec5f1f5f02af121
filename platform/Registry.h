// The registry of settings: keys and typed values in an SQLite database.
// Keys are paths of '\\'-separated names ("Software\\Company\\Product");
// key and value names compare without regard to case. The database of a key
// is $XDG_CONFIG_HOME (else ~/.config) / <company> / registry.sqlite, the
// company being the name after "Software" (the folder there whose name
// equals it but for case); ORVEL_REGISTRY_FILE, when set, names one file for
// every key instead. Each write is one transaction, so a
// process that dies while writing leaves every value old or new, and several
// processes may share the file. The machine root (1) has no store of its own
// that a user may write on Linux: it is kept apart from the user's root (0)
// in the same file.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

struct sqlite3;

namespace platform {

class RegistryHandle {
public:
    using Reader = std::function<void(unsigned type, const unsigned char* data, std::size_t size)>;

    // The key under root; with create the database, the key and every parent
    // key are made when missing. Null when the key cannot be opened.
    static std::unique_ptr<RegistryHandle> open(int root, const char* path, bool create);
    ~RegistryHandle();
    RegistryHandle(const RegistryHandle&) = delete;
    RegistryHandle& operator=(const RegistryHandle&) = delete;

    // Stores (or replaces) a value: its type word and its bytes.
    bool setValue(const char* name, unsigned type, const void* data, std::size_t size);
    // Hands the value's type and bytes to reader while they are valid.
    // False when the value is missing or cannot be read.
    bool readValue(const char* name, const Reader& reader);

    // The database file that holds the keys under path; "" when the path
    // names no company.
    static std::string databaseFile(const char* path);

private:
    RegistryHandle(sqlite3* db, long long key) : db_(db), key_(key) {}

    sqlite3* db_;
    long long key_;
};

}  // namespace platform
