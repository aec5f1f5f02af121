// Fixed-size blocks for the scene's most numerous small records, polygons and
// their vertices: whole levels are made of them, and a heap allocation each
// would cost a header per record and a call per record.
//
// While the polygon arena switch is on (MemoryOption.h) a record takes the
// next slot of the current block; a block is one heap allocation, handed back
// whole when its last record is freed. Slots are never reused, so a block
// whose records come and go is only returned once all of them are gone.
// Records made while the switch is off are ordinary heap allocations. Every
// record carries, in front of it, the block it came from (null for the
// heap), so a record always goes back where it came from, whatever the
// switch says by then.
#pragma once

#include <cstddef>

namespace kessa {

class RecordArena {
public:
    // Records of recordSize bytes (aligned as a pointer is), slotsPerBlock to a block.
    RecordArena(std::size_t recordSize, unsigned slotsPerBlock);
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    // Memory for one record: the arena's while the switch is on, else the heap's.
    void* allocate();
    // Gives back memory from any arena's allocate.
    static void release(void* record);

    // Blocks holding at least one live record.
    int liveBlocks() const { return liveBlocks_; }

private:
    struct Block;

    std::size_t slotSize_;
    unsigned slotsPerBlock_;
    Block* current_ = nullptr;
    int liveBlocks_ = 0;
};

}  // namespace kessa
