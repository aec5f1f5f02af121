#include "MemoryDataSource.h"

namespace orvel {

MemoryDataSource::MemoryDataSource() { fail = true; }

MemoryDataSource::MemoryDataSource(const void* data, unsigned size, bool copy) {
    if (!data)
        size = 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (copy && size > 0) {
        copy_.reset(new unsigned char[size]);
        std::memcpy(copy_.get(), data, size);
        bytes = copy_.get();
    }
    begin_ = bytes;
    windowNext = bytes;
    windowEnd = bytes + size;
}

MemoryDataSource::~MemoryDataSource() = default;

int MemoryDataSource::readByte() {
    if (fail)
        return -1;
    if (windowNext == windowEnd) {
        fail = true;
        return -1;
    }
    return *windowNext++;
}

unsigned MemoryDataSource::read(void* buffer, unsigned count) {
    if (fail)
        return 0;
    unsigned n = bytesRemaining();
    if (count < n)
        n = count;
    if (n > 0)
        std::memcpy(buffer, windowNext, n);
    windowNext += n;
    return n;
}

int MemoryDataSource::peekByte() {
    if (fail || windowNext == windowEnd)
        return -1;
    return *windowNext;
}

void MemoryDataSource::seek(unsigned position) {
    if (position >= size()) {
        fail = true;
        return;
    }
    fail = false;
    windowNext = begin_ + position;
}

}  // namespace orvel
