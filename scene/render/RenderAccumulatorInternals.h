// The render accumulator's state: the viewer, the four state stacks, the
// item lists and the cache of what the last item left in GL. Every stack and
// list is kept from frame to frame, so that a frame allocates nothing once
// they are as large as the largest frame needed.
#pragma once

#include <vector>

#include "scene/render/Fog.h"
#include "scene/render/RenderAccumulator.h"

namespace kessa {

// A stack that never loses its first entry.
template <class T>
class StateStack {
public:
    explicit StateStack(T initial) : initial_(initial) {
        entries_.reserve(1024);
        entries_.push_back(initial);
    }
    void push(T value) { entries_.push_back(value); }
    // False, leaving the stack as it is, when only the first entry is left.
    bool pop() {
        if (entries_.size() <= 1)
            return false;
        entries_.pop_back();
        return true;
    }
    const T& top() const { return entries_.back(); }
    void reset() { entries_.resize(1, initial_); }

private:
    std::vector<T> entries_;
    T initial_;
};

struct RenderAccumulatorInternals {
    RenderAccumulatorInternals();

    using Item = RenderAccumulator::Item;
    // Appends an item with the current state to a list and returns its index.
    int append(RenderAccumulator::List list, const Matrix* matrix, Renderable* renderable, GeoBunch* bunch);

    Viewer* viewer = nullptr;
    StateStack<unsigned> overrides{0};
    StateStack<int> animations{0};
    StateStack<float> transparencies{1.0f};
    Fog defaultFog;
    StateStack<const Fog*> fogs{&defaultFog};
    float depthNear = 0, depthFar = 1;
    std::vector<Item> lists[RenderAccumulator::listCount];
    unsigned frame = 0;
};

}  // namespace kessa
