#include "RegistryKey.h"

#include <cstring>
#include <set>
#include <string>

#include "base/Debug.h"
#include "base/Mutex.h"
#include "platform/Registry.h"

namespace orvel {

namespace {

void putDword(unsigned char out[4], unsigned value) {
    for (int i = 0; i < 4; ++i)
        out[i] = (unsigned char)(value >> (8 * i));
}

// Never destroyed: other threads may still use settings at exit.
Mutex& accessor() {
    static Mutex& mutex = *new Mutex("RegistryAccessor");
    return mutex;
}

// A file that cannot be used is named once: every key of the program would
// say the same.
void tell(const platform::RegistryHandle::Trouble& trouble, const char* value) {
    if (trouble.reason.empty())
        return;
    if (trouble.unusable) {
        static auto& told = *new std::set<std::string>;
        MutexLock lock(accessor(), __LINE__);
        if (told.insert(trouble.file).second)
            debug("---Settings file %s cannot be used: %s; it is left as it is and the defaults stay\n",
                  trouble.file.c_str(), trouble.reason.c_str());
    } else if (value) {
        debug("!!!Setting \"%s\" not stored in %s: %s\n", value, trouble.file.c_str(), trouble.reason.c_str());
    } else {
        debug("!!!Settings cannot be stored in %s: %s\n", trouble.file.c_str(), trouble.reason.c_str());
    }
}

}  // namespace

bool RegIntReader::valueRead(int type, const Buffer& data) {
    if ((type != regDword && type != regDwordBigEndian) || data.size() != 4)
        return false;
    const unsigned char* b = data.data();
    unsigned v = type == regDword ? unsigned(b[0]) | unsigned(b[1]) << 8 | unsigned(b[2]) << 16 | unsigned(b[3]) << 24
                                  : unsigned(b[3]) | unsigned(b[2]) << 8 | unsigned(b[1]) << 16 | unsigned(b[0]) << 24;
    *target_ = int(v);
    return true;
}

bool RegStringReader::valueRead(int type, const Buffer& data) {
    if (type != regString)
        return false;
    const char* text = reinterpret_cast<const char*>(data.data());
    const void* end = data.size() ? std::memchr(text, 0, data.size()) : nullptr;
    target_->assign(text, end ? unsigned(static_cast<const char*>(end) - text) : data.size());
    return true;
}

bool RegMemoryDataSourceReader::valueRead(int type, const Buffer& data) {
    if (type != regBinary)
        return false;
    target_->setData(data.data(), data.size(), true);
    return true;
}

RegistryKey::RegistryKey(const char* subkey, bool write, int root) : write_(write) {
    orvel_string path = orvel_string("Software\\") + subkey;
    platform::RegistryHandle::Trouble trouble;
    key_ = platform::RegistryHandle::open(root == 1 ? 1 : 0, path.c_str(), write, &trouble);
    tell(trouble, nullptr);
}

RegistryKey::~RegistryKey() = default;

bool RegistryKey::set(const char* name, RegistryType type, const void* data, unsigned size) {
    if (!write_ || !key_)
        return false;
    platform::RegistryHandle::Trouble trouble;
    if (key_->setValue(name, unsigned(type), data, size, &trouble))
        return true;
    tell(trouble, name ? name : "");
    return false;
}

bool RegistryKey::setDword(const char* name, unsigned value) {
    unsigned char b[4];
    putDword(b, value);
    return set(name, regDword, b, 4);
}

bool RegistryKey::setInt(const char* name, int value) { return setDword(name, unsigned(value)); }

bool RegistryKey::setBool(const char* name, bool value) { return setDword(name, value ? 1 : 0); }

bool RegistryKey::setString(const char* name, const char* value) {
    if (!value)
        value = "";
    return set(name, regString, value, unsigned(std::strlen(value)) + 1);
}

bool RegistryKey::setString(const char* name, const orvel_string& value) {
    return set(name, regString, value.c_str(), value.length() + 1);
}

bool RegistryKey::setBinary(const char* name, const MemoryDataDest& value) {
    return set(name, regBinary, value.data(), value.size());
}

bool RegistryKey::read(const char* name, RegReadCallback& reader) {
    if (!key_)
        return false;
    static Buffer& shared = *[] {
        Buffer* b = new Buffer(1024);
        std::memset(b->data(), 0, b->size());
        return b;
    }();
    MutexLock lock(accessor(), __LINE__);
    bool accepted = false;
    bool found = key_->readValue(name, [&](unsigned type, const unsigned char* data, std::size_t size) {
        if (size > 0xFFFFFFFFu)
            return;
        // The buffer grows to the largest value read; the reader sees
        // exactly this value's bytes.
        if (size > shared.capacity())
            shared.resize(unsigned(size), false);
        shared.setSize(unsigned(size));
        if (size)
            std::memcpy(shared.data(), data, size);
        accepted = reader.valueRead(int(type), shared);
    });
    return found && accepted;
}

bool RegistryKey::getInt(const char* name, int& value) {
    RegIntReader reader(&value);
    return read(name, reader);
}

bool RegistryKey::getBool(const char* name, bool& value) {
    int n = 0;
    RegIntReader reader(&n);
    if (!read(name, reader))
        return false;
    value = n != 0;
    return true;
}

bool RegistryKey::getString(const char* name, orvel_string& value) {
    RegStringReader reader(&value);
    return read(name, reader);
}

bool RegistryKey::getBinary(const char* name, MemoryDataSource& value) {
    RegMemoryDataSourceReader reader(&value);
    return read(name, reader);
}

}  // namespace orvel
