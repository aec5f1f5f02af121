// Readers of registry values: each accepts the value types it understands
// and fills its target; a refused value leaves the target unchanged.
#pragma once

#include "base/Buffer.h"
#include "base/MemoryDataSource.h"
#include "base/orvel_string.h"

namespace orvel {

// The value types the registry stores.
enum RegistryType {
    regString = 1,           // bytes of a text with its terminating 0
    regBinary = 3,           // any bytes
    regDword = 4,            // a 32-bit value, low byte first
    regDwordBigEndian = 5,   // a 32-bit value, high byte first
};

class RegReadCallback {
public:
    virtual ~RegReadCallback() = default;
    // data holds exactly the value's bytes. True when accepted.
    virtual bool valueRead(int type, const Buffer& data) = 0;
};

// 32-bit integers in either byte order.
class RegIntReader : public RegReadCallback {
public:
    explicit RegIntReader(int* target) : target_(target) {}
    bool valueRead(int type, const Buffer& data) override;

private:
    int* target_;
};

// Texts: the bytes up to the first 0, or all of them when there is none.
class RegStringReader : public RegReadCallback {
public:
    explicit RegStringReader(orvel_string* target) : target_(target) {}
    bool valueRead(int type, const Buffer& data) override;

private:
    orvel_string* target_;
};

// Binary values, handed to the source as a copy of their bytes.
class RegMemoryDataSourceReader : public RegReadCallback {
public:
    explicit RegMemoryDataSourceReader(MemoryDataSource* target) : target_(target) {}
    bool valueRead(int type, const Buffer& data) override;

private:
    MemoryDataSource* target_;
};

}  // namespace orvel
