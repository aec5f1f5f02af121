// A resizable block of bytes, shared through handle<Buffer>. Shrinking a
// little keeps the block; growing, or shrinking below half of it, takes a
// block of exactly the new size.
#pragma once

#include "base/handle.h"

namespace orvel {

class Buffer : public HandleRecord {
public:
    // An empty buffer resized to size, keeping (nothing).
    explicit Buffer(unsigned size = 0);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // 0 frees the block. A size not above the current one and at least half
    // the capacity only changes the size. Otherwise a new block of exactly
    // size bytes replaces the old one, holding its first bytes when keep is
    // set and undefined bytes when not.
    void resize(unsigned size, bool keep);
    void clear() { resize(0, false); }
    // Uses size bytes of the present block, which must have them; the block
    // and its bytes stay as they are.
    void setSize(unsigned size);

    unsigned char* data() { return data_; }
    const unsigned char* data() const { return data_; }
    unsigned size() const { return size_; }
    unsigned capacity() const { return capacity_; }

private:
    unsigned char* data_ = nullptr;
    unsigned size_ = 0;
    unsigned capacity_ = 0;
};

}  // namespace orvel
