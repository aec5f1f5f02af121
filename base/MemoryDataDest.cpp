#include "MemoryDataDest.h"

#include <cstdlib>
#include <cstring>

namespace orvel {

namespace {

constexpr unsigned long long largest = 0xFFFFFFFF;
constexpr unsigned firstBlock = 1024;

}  // namespace

MemoryDataDest::~MemoryDataDest() { std::free(data_); }

// Sizes are 32-bit: a block that would pass 4 GiB fails the sink.
bool MemoryDataDest::grow(unsigned long long capacity) {
    if (capacity > largest) {
        setFail();
        return false;
    }
    void* block = std::realloc(data_, size_t(capacity));
    if (!block) {
        setFail();
        return false;
    }
    data_ = static_cast<unsigned char*>(block);
    capacity_ = unsigned(capacity);
    return true;
}

DataDest& MemoryDataDest::writeByte(char c) {
    if (fail())
        return *this;
    if (size_ == capacity_ && !grow(capacity_ ? 2ull * capacity_ : 1))
        return *this;
    data_[size_++] = (unsigned char)c;
    return *this;
}

DataDest& MemoryDataDest::write(const void* data, unsigned count) {
    if (fail() || count == 0)
        return *this;
    unsigned long long needed = (unsigned long long)size_ + count;
    if (needed > capacity_) {
        unsigned long long capacity = capacity_ < firstBlock ? firstBlock : capacity_;
        while (capacity < needed)
            capacity *= 2;
        if (capacity > largest && needed <= largest)
            capacity = largest;
        if (!grow(capacity))
            return *this;
    }
    std::memcpy(data_ + size_, data, count);
    size_ += count;
    return *this;
}

}  // namespace orvel
