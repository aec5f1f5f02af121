// What one frame draws is gathered here while a scene is walked. The state
// stacks give every item added the state current at that moment; the scene's
// branches and objects push and pop them around what they contain.
#pragma once

namespace kessa {

class RenderAccumulator {
public:
    // Override bits: items under ordered go to the ordered list, items under
    // noDepthWrite are drawn with depth writes off. Pushing ORs the bits into
    // the current top, so they accumulate down a subtree.
    enum OverrideBits : unsigned { ordered = 1, noDepthWrite = 2 };

    virtual ~RenderAccumulator() = default;

    virtual void pushOverrideState(unsigned bits) = 0;
    virtual void popOverrideState() = 0;
    // 1.0 is opaque.
    virtual void pushTransparency(float alpha) = 0;
    virtual void popTransparency() = 0;
    // The value a triangle batch chooses its animation frame by.
    virtual void pushAnimation(int value) = 0;
    virtual void popAnimation() = 0;
};

}  // namespace kessa
