#include "scene/RecordArena.h"

#include <new>

#include "scene/MemoryOption.h"

namespace kessa {

struct RecordArena::Block {
    RecordArena* arena;
    unsigned next;  // slots handed out, never decreasing
    unsigned live;  // slots handed out and not yet freed
};

namespace {

// The word in front of every record: its block, or null for a heap record.
constexpr std::size_t originSize = sizeof(void*);

constexpr std::size_t roundUp(std::size_t n) { return (n + originSize - 1) / originSize * originSize; }

// Slots start after the block header, on a pointer boundary.
constexpr std::size_t headerSize = roundUp(sizeof(RecordArena*) + 2 * sizeof(unsigned));

}  // namespace

RecordArena::RecordArena(std::size_t recordSize, unsigned slotsPerBlock)
    : slotSize_(originSize + roundUp(recordSize)), slotsPerBlock_(slotsPerBlock) {}

void* RecordArena::allocate() {
    char* slot;
    if (!optionFlag()) {
        slot = static_cast<char*>(::operator new(slotSize_));
        *reinterpret_cast<Block**>(slot) = nullptr;
        return slot + originSize;
    }
    if (!current_ || current_->next == slotsPerBlock_) {
        void* memory = ::operator new(headerSize + slotSize_ * slotsPerBlock_);
        current_ = new (memory) Block{this, 0, 0};
        ++liveBlocks_;
    }
    slot = reinterpret_cast<char*>(current_) + headerSize + slotSize_ * current_->next++;
    ++current_->live;
    *reinterpret_cast<Block**>(slot) = current_;
    return slot + originSize;
}

void RecordArena::release(void* record) {
    if (!record)
        return;
    char* slot = static_cast<char*>(record) - originSize;
    Block* block = *reinterpret_cast<Block**>(slot);
    if (!block) {
        ::operator delete(slot);
        return;
    }
    if (--block->live != 0)
        return;
    RecordArena* arena = block->arena;
    // A current block that empties is forgotten: the next record opens a new one.
    if (arena->current_ == block)
        arena->current_ = nullptr;
    --arena->liveBlocks_;
    ::operator delete(block);
}

}  // namespace kessa
