// A sink that appends to a growable block of memory, which its owner reads.
#pragma once

#include "base/DataDest.h"

namespace orvel {

class MemoryDataDest : public DataDest {
public:
    MemoryDataDest() = default;
    ~MemoryDataDest() override;

    // One byte; the block doubles when full, starting at 1 byte.
    DataDest& writeByte(char c) override;
    // A block; the capacity doubles, starting at 1024 bytes, until it fits.
    DataDest& write(const void* data, unsigned count) override;

    const unsigned char* data() const { return data_; }
    unsigned size() const { return size_; }
    unsigned capacity() const { return capacity_; }

private:
    bool grow(unsigned long long capacity);

    unsigned char* data_ = nullptr;
    unsigned size_ = 0;
    unsigned capacity_ = 0;
};

}  // namespace orvel
