// The render accumulator's state: the viewer, the four state stacks, the
// item lists and the cache of what the last item left in GL. Every stack and
// list is kept from frame to frame, so that a frame allocates nothing once
// they are as large as the largest frame needed.
#pragma once

#include <vector>

#include "scene/render/Fog.h"
#include "scene/render/RenderAccumulator.h"

namespace pellium {
struct GLRenderInfo;
}

namespace kessa {

class GeoBunchInternals;

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

    // Drawing (RenderAccumulatorRender.cpp).
    Viewer& frameViewer();
    void beginState(pellium::GLRenderInfo& context);
    void drawSky(pellium::GLRenderInfo& context);
    void drawSolidStuff(pellium::GLRenderInfo& context);
    // Blended lists turn blending on before each item.
    void drawInOrder(RenderAccumulator::List list, pellium::GLRenderInfo& context, bool blended);
    void endState(pellium::GLRenderInfo& context);
    void applyState(const Item& item);
    void selectFrame(GeoBunch& bunch, int animation);
    void draw(const Item& item, pellium::GLRenderInfo& context);
    // Draws an item below full opacity through the fading texture.
    void drawFaded(const Item& item, pellium::GLRenderInfo& context);
    void forgetCache();
    void setBlending(bool on);
    void setDepthWriting(bool on);
    void setFaceCulling(bool on);
    void loadMatrix(const Matrix* matrix);
    void applyFog(const Fog* fog);

    Viewer* viewer = nullptr;
    RenderAccumulator::SkyRenderer* sky = nullptr;
    StateStack<unsigned> overrides{0};
    StateStack<int> animations{0};
    StateStack<float> transparencies{1.0f};
    Fog defaultFog;
    StateStack<const Fog*> fogs{&defaultFog};
    float depthNear = 0, depthFar = 1;
    std::vector<Item> lists[RenderAccumulator::listCount];
    unsigned frame = 0;

    // The opaque batches that share one batch's geometry, newest item
    // first (the items chain through their next words). A batch keeps the
    // index of its group as a hint, checked before use: a batch may be
    // gathered by more than one accumulator at a time.
    struct Group {
        GeoBunchInternals* geometry;
        int newest;
    };
    std::vector<Group> groups;

    // What the items drawn last left in GL; unknown at the start of a frame
    // and after anything that may have changed it behind the cache.
    static constexpr signed char unknown = -1;
    const Matrix* loadedMatrix = nullptr;
    const Fog* appliedFog = nullptr;
    signed char blending = unknown, depthWriting = unknown, faceCulling = unknown;
};

}  // namespace kessa
