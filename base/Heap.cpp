#include "Heap.h"

#include <cstdlib>

namespace orvel {

void* Heap::allocate(void* old, std::size_t size) {
    // realloc with 0 would free the block; a heap block of 0 bytes exists.
    if (size == 0)
        size = 1;
    return old ? std::realloc(old, size) : std::malloc(size);
}

void Heap::free(void* block) { std::free(block); }

}  // namespace orvel
