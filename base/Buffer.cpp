#include "Buffer.h"

#include <cstring>

namespace orvel {

Buffer::Buffer(unsigned size) { resize(size, true); }

Buffer::~Buffer() { delete[] data_; }

void Buffer::resize(unsigned size, bool keep) {
    if (size == 0) {
        delete[] data_;
        data_ = nullptr;
        size_ = capacity_ = 0;
        return;
    }
    if (size <= size_ && size >= capacity_ / 2) {
        size_ = size;
        return;
    }
    unsigned char* block = new unsigned char[size];
    if (keep && data_)
        std::memcpy(block, data_, size < size_ ? size : size_);
    delete[] data_;
    data_ = block;
    size_ = capacity_ = size;
}

void Buffer::setSize(unsigned size) { size_ = size <= capacity_ ? size : capacity_; }

}  // namespace orvel
