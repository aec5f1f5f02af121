#include "scene/render/BoxRenderList.h"

#include "gui/gl/GLdraw.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Viewer.h"

namespace kessa {

void BoxRenderList::addBox(const Matrix* matrix, std::uint32_t colour, const Bounds& box) {
    boxes_.push_back({matrix, colour, box});
}

void BoxRenderList::addFrustum(std::uint32_t colour, const ViewFrustum& frustum) {
    frustums_.push_back({colour, frustum});
}

void BoxRenderList::render(pellium::GLRenderInfo&, Viewer& viewer) {
    for (const QueuedBox& b : boxes_) {
        RenderAccumulator::loadModelview(b.matrix ? *b.matrix : viewer.viewMatrix());
        pellium::color4ub(b.colour);
        b.box.draw();
    }
    if (!frustums_.empty())
        RenderAccumulator::loadModelview(viewer.viewMatrix());
    for (const QueuedFrustum& f : frustums_) {
        pellium::color4ub(f.colour);
        f.frustum.drawDebug();
    }
    boxes_.clear();
    frustums_.clear();
}

}  // namespace kessa
