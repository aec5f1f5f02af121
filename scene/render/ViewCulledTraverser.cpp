#include "scene/render/ViewCulledTraverser.h"

#include "scene/Branch.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Viewer.h"

namespace kessa {

ViewCulledTraverser::ViewCulledTraverser() : Traverser(0) {
    savedFrustums_.reserve(128);
    savedMasks_.reserve(128);
}

void ViewCulledTraverser::traverse(Viewer& viewer) {
    accumulator().setViewer(&viewer);
    setViewer(viewer);
    traverseWith(viewer.viewMatrix(), viewer.cameraMatrix());
}

void ViewCulledTraverser::beginTraversal() {
    tests_ = transforms_ = 0;
    savedFrustums_.clear();
    savedMasks_.clear();
}

void ViewCulledTraverser::setViewer(Viewer& viewer) {
    frustum_ = viewer.frustum();
    activeMask_ = frustum_.enabledMask();
}

bool ViewCulledTraverser::cullingActive() { return activeMask_ != 0; }

bool ViewCulledTraverser::isCulled(Branch* branch) {
    ++tests_;
    return frustum_.test(branch->bounds(), activeMask_);
}

void ViewCulledTraverser::transformView(const Matrix& inverse) {
    if (activeMask_ == 0)
        return;
    ++transforms_;
    savedFrustums_.push_back(frustum_);
    frustum_.transform(frustum_, inverse);
}

void ViewCulledTraverser::restoreView() {
    if (activeMask_ == 0 || savedFrustums_.empty())
        return;
    frustum_ = savedFrustums_.back();
    savedFrustums_.pop_back();
}

bool ViewCulledTraverser::pushMask() {
    savedMasks_.push_back(activeMask_);
    activeMask_ = frustum_.activeMask();
    return activeMask_ != 0;
}

bool ViewCulledTraverser::popMask() {
    if (!savedMasks_.empty()) {
        activeMask_ = savedMasks_.back();
        savedMasks_.pop_back();
    }
    return activeMask_ != 0;
}

}  // namespace kessa
