// A growable heap for blocks of one kind. On Linux every heap is the C
// library's: separate heaps only keep their callers' blocks apart by name.
#pragma once

#include <cstddef>

namespace orvel {

class Heap {
public:
    Heap() = default;
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // A new block of size bytes, or old resized to size with its bytes kept
    // up to the smaller size. Null when memory runs out (old stays valid).
    // A size of 0 still gives a block that free() takes.
    void* allocate(void* old, std::size_t size);
    // Gives a block back; null is ignored.
    void free(void* block);
};

}  // namespace orvel
