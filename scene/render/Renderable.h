// Whatever the render accumulator draws besides triangle batches: sky,
// particles, debug boxes, the model library's specials. A renderable that
// needs the frame's viewer overrides render; one that does not overrides draw.
#pragma once

namespace pellium {
struct GLRenderInfo;
}

namespace kessa {

class Viewer;

class Renderable {
public:
    virtual ~Renderable() = default;
    // Calls draw.
    virtual void render(pellium::GLRenderInfo& context, Viewer& viewer);
    // Draws nothing.
    virtual void draw(pellium::GLRenderInfo& context);
};

}  // namespace kessa
