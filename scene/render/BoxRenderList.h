// Debug drawing that any code may queue during a frame: boxes under a
// matrix and frustums, each in one colour. Every traverser owns one and puts
// it in its accumulator as a walk begins; drawing empties the queues.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/Bounds.h"
#include "scene/render/Renderable.h"
#include "scene/render/ViewFrustum.h"

namespace kessa {

class Matrix;

class BoxRenderList : public Renderable {
public:
    // Colours are packed with the bytes red, green, blue, alpha in memory
    // order. A null matrix draws in world space (under the view matrix);
    // the matrix must live until the frame is drawn.
    void addBox(const Matrix* matrix, std::uint32_t colour, const Bounds& box);
    // A frustum in world space.
    void addFrustum(std::uint32_t colour, const ViewFrustum& frustum);

    // Draws what is queued, then empties the queues.
    void render(pellium::GLRenderInfo& context, Viewer& viewer) override;

    int boxCount() const { return int(boxes_.size()); }
    int frustumCount() const { return int(frustums_.size()); }

private:
    struct QueuedBox {
        const Matrix* matrix;
        std::uint32_t colour;
        Bounds box;
    };
    struct QueuedFrustum {
        std::uint32_t colour;
        ViewFrustum frustum;
    };

    std::vector<QueuedBox> boxes_;
    std::vector<QueuedFrustum> frustums_;
};

}  // namespace kessa
