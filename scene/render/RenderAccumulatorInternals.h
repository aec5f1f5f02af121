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
    // After the sky or a renderable: the frame's state set again, as the
    // items drawn next rely on it.
    void takeBackState();
    // Texturing off on units 1 and 0 with their texture functions, the alpha
    // test and the blend function of the frame.
    void setFrameFunctions();
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

    // The opaque items that draw one batch (its geometry is its own), newest
    // item first (the items chain through their next words). A batch keeps
    // the index of its group as a hint, checked before use: a batch may be
    // gathered by more than one accumulator at a time.
    struct Group {
        const GeoBunch* bunch;
        int newest;
    };
    std::vector<Group> groups;

    // Three caches of GL state meet in a frame, each skipping what it sent
    // before:
    // - this one: the loaded matrix, the applied fog, and blending, depth
    //   writing and face culling as the items need them;
    // - the material layer's (Material::apply): colour material, lighting,
    //   the lit colours, shading, sphere mapping and the texture bound on
    //   units 0 and 1;
    // - the GL layer's (GLstate.h): enabled states per texture unit, the
    //   selected unit, blend, depth, alpha and cull functions.
    // Who forgets what, and when:
    // - the GL layer's cache is kept right by every caller that goes through
    //   it; code that goes around it calls pellium::invalidateGLStateCache
    //   (binding a context and resetting GL state do), which counts up the
    //   layer's generation, and the material layer forgets its own cache
    //   when it sees the generation change;
    // - a frame begins with Material::beginFrame (the default material in
    //   full) and this cache forgotten; from then on both trust what they
    //   sent;
    // - the sky and every renderable draw with state of their own, through
    //   the GL layer: after each, this cache is forgotten and the state the
    //   items rely on is set again (takeBackState), and the material layer
    //   applies the next material in full (Material::applyInFullNext);
    // - the frame ends with Material::forgetAppliedState, which also forgets
    //   the GL layer's cache: outside a frame every apply sets everything.
    // A renderable must leave the projection and the matrix mode as it found
    // them.
    static constexpr signed char unknown = -1;
    const Matrix* loadedMatrix = nullptr;
    const Fog* appliedFog = nullptr;
    signed char blending = unknown, depthWriting = unknown, faceCulling = unknown;
};

}  // namespace kessa
