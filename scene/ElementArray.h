// A growable array of plain elements (numbers, or small records of them) in
// one of the scene's private heaps, chosen at compile time. Geometry arrays
// are large and many, so each kind lives in its own heap; copying an element
// is copying its bytes.
#pragma once

#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "base/Heap.h"

namespace kessa {

template <class E, orvel::Heap& (*heap)()>
class ElementArray {
    static_assert(std::is_trivially_copyable<E>::value, "elements are copied as bytes");

public:
    ElementArray() = default;
    ElementArray(const E* elements, unsigned count) { assign(elements, count); }
    ElementArray(const ElementArray& other) { assign(other.data_, other.size_); }
    ElementArray(ElementArray&& other) noexcept : data_(other.data_), size_(other.size_), capacity_(other.capacity_) {
        other.data_ = nullptr;
        other.size_ = other.capacity_ = 0;
    }
    ElementArray& operator=(const ElementArray& other) {
        if (this != &other)
            assign(other.data_, other.size_);
        return *this;
    }
    ElementArray& operator=(ElementArray&& other) noexcept {
        if (this != &other) {
            release();
            data_ = other.data_;
            size_ = other.size_;
            capacity_ = other.capacity_;
            other.data_ = nullptr;
            other.size_ = other.capacity_ = 0;
        }
        return *this;
    }
    ~ElementArray() { release(); }

    unsigned size() const { return size_; }
    bool empty() const { return size_ == 0; }
    // The first element, null while the array has no storage.
    E* data() { return data_; }
    const E* data() const { return data_; }
    E& operator[](unsigned i) { return data_[i]; }
    const E& operator[](unsigned i) const { return data_[i]; }
    E* begin() { return data_; }
    E* end() { return data_ + size_; }
    const E* begin() const { return data_; }
    const E* end() const { return data_ + size_; }

    // Exactly n elements; the storage grows when n exceeds it, new elements
    // are zero bytes. Throws std::bad_alloc when the heap has no room.
    void resize(unsigned n) {
        if (n > capacity_)
            grow(n);
        if (n > size_)
            std::memset(static_cast<void*>(data_ + size_), 0, std::size_t(n - size_) * sizeof(E));
        size_ = n;
    }
    void reserve(unsigned n) {
        if (n > capacity_)
            grow(n);
    }
    void push_back(const E& e) {
        if (size_ == capacity_) {
            if (capacity_ == 0xFFFFFFFFu)
                throw std::length_error("kessa::ElementArray - no room for another element");
            grow(capacity_ < 8 ? 8 : capacity_ > 0x7FFFFFFFu ? 0xFFFFFFFFu : capacity_ * 2);
        }
        data_[size_++] = e;
    }
    void assign(const E* elements, unsigned count) {
        if (count == 0) {
            size_ = 0;
            return;
        }
        if (count > capacity_)
            grow(count);
        std::memmove(static_cast<void*>(data_), elements, std::size_t(count) * sizeof(E));
        size_ = count;
    }
    // Empties the array and gives its storage back to the heap.
    void release() {
        if (data_)
            heap().free(data_);
        data_ = nullptr;
        size_ = capacity_ = 0;
    }

    bool operator==(const ElementArray& other) const {
        return size_ == other.size_ && (size_ == 0 || std::memcmp(data_, other.data_, std::size_t(size_) * sizeof(E)) == 0);
    }
    bool operator!=(const ElementArray& other) const { return !(*this == other); }

private:
    void grow(unsigned n) {
        void* block = heap().allocate(data_, std::size_t(n) * sizeof(E));
        if (!block)
            throw std::bad_alloc();
        data_ = static_cast<E*>(block);
        capacity_ = n;
    }

    E* data_ = nullptr;
    unsigned size_ = 0;
    unsigned capacity_ = 0;
};

}  // namespace kessa
