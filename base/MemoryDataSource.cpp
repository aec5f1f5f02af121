#include "MemoryDataSource.h"

namespace orvel {

MemoryDataSource::MemoryDataSource() { setFail(); }

MemoryDataSource::MemoryDataSource(const void* data, unsigned size, bool copy) { setData(data, size, copy); }

void MemoryDataSource::setData(const void* data, unsigned size, bool copy) {
    if (!data)
        size = 0;
    std::unique_ptr<unsigned char[]> own;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (copy && size > 0) {
        own.reset(new unsigned char[size]);
        std::memcpy(own.get(), data, size);
        bytes = own.get();
    }
    copy_ = std::move(own);
    begin_ = bytes;
    end_ = bytes + size;
    windowNext = begin_;
    windowEnd = end_;
    clearFail();
}

MemoryDataSource::~MemoryDataSource() = default;

// A failed source has an empty window: these need no test of the flag.
int MemoryDataSource::readByte() {
    if (windowNext == windowEnd) {
        setFail();
        return -1;
    }
    return *windowNext++;
}

unsigned MemoryDataSource::read(void* buffer, unsigned count) {
    unsigned n = unsigned(windowEnd - windowNext);
    if (count < n)
        n = count;
    if (n > 0)
        std::memcpy(buffer, windowNext, n);
    windowNext += n;
    return n;
}

int MemoryDataSource::peekByte() { return windowNext == windowEnd ? -1 : *windowNext; }

void MemoryDataSource::seek(unsigned position) {
    if (position >= size()) {
        setFail();
        return;
    }
    clearFail();
    windowNext = begin_ + position;
    windowEnd = end_;
}

}  // namespace orvel
