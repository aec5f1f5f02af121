// What one frame draws, gathered while the scene is walked and then drawn in
// a fixed order with as few GL state changes as possible.
//
// While items are added, four state stacks (override bits, animation value,
// transparency, fog) give each item the state current at that moment; the
// scene's branches and objects push and pop them around what they contain.
// An item keeps pointers (its matrix, fog, renderable or batch): what they
// point at must live until the frame is drawn.
#pragma once

#include <memory>

namespace pellium {
struct GLRenderInfo;
}

namespace kessa {

class GeoBunch;
class Matrix;
struct Fog;
class Renderable;
class Viewer;
struct RenderAccumulatorInternals;

class RenderAccumulator {
public:
    // Override bits: items under ordered are drawn after the solid ones in
    // the order added, items under noDepthWrite with depth writes off.
    // Pushing ORs the bits into the current top, so they accumulate down a
    // subtree.
    enum OverrideBits : unsigned { ordered = 1, noDepthWrite = 2 };

    // The item lists, in the order they are drawn (grouped solid batches
    // first, blended items last).
    enum List { solidStuff, solidRenderables, orderedStuff, bunches, listCount };

    // Draws the sky of a frame; the game implements it.
    class SkyRenderer {
    public:
        virtual ~SkyRenderer() = default;
        virtual void renderSky(pellium::GLRenderInfo& context, Viewer& viewer) = 0;
    };

    struct Item {
        unsigned overrides;
        int animation;
        float transparency;
        const Fog* fog;
        const Matrix* matrix;  // null: the viewer's view matrix
        Renderable* renderable;  // exactly one of renderable and bunch is set
        GeoBunch* bunch;
        int next;  // the next item of the same group of solid batches, or -1
    };

    RenderAccumulator();
    ~RenderAccumulator();
    RenderAccumulator(const RenderAccumulator&) = delete;
    RenderAccumulator& operator=(const RenderAccumulator&) = delete;

    // The viewer of this frame, not owned. The sky needs one; the other
    // passes fall back to a default viewer.
    void setViewer(Viewer* viewer);
    Viewer* viewer() const;
    // The sky of this frame, not owned; drawn only with a viewer.
    void setSkyRenderer(SkyRenderer* renderer);
    // Near and far of the depth range of the main passes.
    void setDepthRange(float nearValue, float farValue);

    // A renderable drawn under matrix with the current state; blended ones
    // are drawn after every solid item.
    void add(Renderable* renderable, const Matrix* matrix, bool blended);
    // A triangle batch drawn under matrix with the current state. Opaque
    // batches that share their geometry are drawn together, with one
    // material change for the group.
    void addBunch(GeoBunch* bunch, const Matrix* matrix);

    void pushOverrideState(unsigned bits);
    void popOverrideState();
    // 1.0 is opaque.
    void pushTransparency(float alpha);
    void popTransparency();
    // The value a triangle batch chooses its animation frame by.
    void pushAnimation(int value);
    void popAnimation();
    // The fog of the items added until the matching pop; null pushes the
    // accumulator's default fog (off). The record must live until the frame
    // is drawn.
    void pushFog(const Fog* fog);
    void popFog();

    // The stack tops.
    unsigned overrideState() const;
    float transparency() const;
    int animation() const;
    const Fog* fog() const;
    // Mode off, start 0, end 1000, density 0.005, white.
    const Fog& defaultFog() const;

    // What has been gathered for the frame.
    int itemCount(List list) const;
    const Item& item(List list, int i) const;
    // Draws the frame: the sky, the opaque batches grouped by their
    // geometry, the opaque renderables, the ordered items in the order
    // added, then the blended ones in the order added (they are not sorted
    // by depth). Then resets, drawn or not. Holding the left Ctrl key skips
    // the ordered items, the left Shift key the blended ones.
    void render(pellium::GLRenderInfo& context);
    // Empties every list and stack and forgets the viewer and the sky: the
    // next frame begins.
    void reset();
    // Counts the frames begun.
    unsigned frame() const;

    // Loads m as GL's modelview (world z up on the screen when the GL
    // layer's z-up flag is set).
    static void loadModelview(const Matrix& m);
    // An animation value carries the time handed to a batch's animation
    // (its bits); a value that is no finite time gives 0.
    static int animationValue(float t);
    static float animationTime(int value);
    // The texture coordinate of the fading texel for a transparency: the
    // centre of texel k = 255 x transparency.
    static void fadeTexCoord(float transparency, float out[2]);

private:
    std::unique_ptr<RenderAccumulatorInternals> d_;
};

}  // namespace kessa
