// A key of the settings registry below "Software\\", for the current user
// (root 0) or the machine (root 1). Opened for writing, the key is created
// when missing and takes typed values; opened for reading, a missing key
// stays closed. Every setter and getter reports success; none throws.
#pragma once

#include <memory>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "base/RegReadCallback.h"
#include "base/orvel_string.h"

namespace platform {
class RegistryHandle;
}

namespace orvel {

class RegistryKey {
public:
    RegistryKey(const char* subkey, bool write, int root);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool isOpen() const { return key_ != nullptr; }

    // False unless the key is open for writing and the value was stored.
    bool setDword(const char* name, unsigned value);
    bool setInt(const char* name, int value);
    bool setBool(const char* name, bool value);
    bool setString(const char* name, const char* value);
    bool setString(const char* name, const orvel_string& value);
    bool setBinary(const char* name, const MemoryDataDest& value);

    // False when the key is not open, the value is missing or of another
    // type; the target is then unchanged.
    bool getInt(const char* name, int& value);
    bool getBool(const char* name, bool& value);
    bool getString(const char* name, orvel_string& value);
    bool getBinary(const char* name, MemoryDataSource& value);
    // Reads one value through any reader; the getters above use it.
    bool read(const char* name, RegReadCallback& reader);

private:
    bool set(const char* name, RegistryType type, const void* data, unsigned size);

    std::unique_ptr<platform::RegistryHandle> key_;
    bool write_;
};

}  // namespace orvel
