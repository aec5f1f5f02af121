// A source over a block of memory, read in place or from a copy of its own.
#pragma once

#include <memory>

#include "base/DataSource.h"

namespace orvel {

class MemoryDataSource : public DataSource {
public:
    // An empty source, failed from the start.
    MemoryDataSource();
    // Reads size bytes from data: in place (the block must outlive the
    // source) unless copy asks for a copy.
    MemoryDataSource(const void* data, unsigned size, bool copy);
    ~MemoryDataSource() override;

    // Starts over on another block, as the constructor does; fail is cleared.
    void setData(const void* data, unsigned size, bool copy);

    bool good() const override { return !fail(); }
    // At the end: -1, and the source fails.
    int readByte() override;
    // Delivers what is left, up to count; it does not fail by itself.
    unsigned read(void* buffer, unsigned count) override;
    // At the end: -1, without failing.
    int peekByte() override;
    void close() override { setFail(); }
    bool isSeekable() const override { return true; }
    unsigned position() const override { return unsigned(windowNext - begin_); }
    // A position inside the block clears fail; one at or past its end fails.
    void seek(unsigned position) override;
    unsigned bytesRemaining() const override { return unsigned(end_ - windowNext); }

    unsigned size() const { return unsigned(end_ - begin_); }

private:
    std::unique_ptr<unsigned char[]> copy_;
    const unsigned char* begin_ = nullptr;
    const unsigned char* end_ = nullptr;
};

}  // namespace orvel
