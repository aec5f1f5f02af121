// The largest single allocation through operator new while a watch is on.
// A program that links AllocationWatch.cpp replaces operator new for this.
#pragma once

#include <cstddef>

class AllocationWatch {
public:
    AllocationWatch();
    ~AllocationWatch() { stop(); }
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;

    size_t largest() const;
    void stop();
};
