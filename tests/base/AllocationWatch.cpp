#include "AllocationWatch.h"

#include <cstdlib>
#include <new>

namespace {

bool watching = false;
size_t largestSeen = 0;

}  // namespace

AllocationWatch::AllocationWatch() {
    largestSeen = 0;
    watching = true;
}

size_t AllocationWatch::largest() const { return largestSeen; }

void AllocationWatch::stop() { watching = false; }

void* operator new(size_t size) {
    if (watching && size > largestSeen)
        largestSeen = size;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
