// The walk that fills the render accumulator each frame: it carries a copy of
// the viewer's frustum into every level's local space and skips branches
// whose bounds lie wholly outside it. Below a branch, only the planes it
// crosses are tested (one bit of the active mask per plane): nothing at all
// below a branch wholly inside, one plane below a group that straddles one.
#pragma once

#include <vector>

#include "scene/render/Traverser.h"
#include "scene/render/ViewFrustum.h"

namespace kessa {

class ViewCulledTraverser : public Traverser {
public:
    ViewCulledTraverser();

    // Prepares the frame: the accumulator gets the viewer, the walk gets its
    // frustum and its view matrix (and the camera matrix as the inverse).
    // Then hand the traverser to the scene.
    void traverse(Viewer& viewer);

    void beginTraversal() override;
    // Copies the viewer's frustum; all six planes are tested.
    void setViewer(Viewer& viewer) override;
    bool cullingActive() override;
    bool isCulled(Branch* branch) override;
    void transformView(const Matrix& inverse) override;
    void restoreView() override;
    bool pushMask() override;
    bool popMask() override;

    // The frustum in the current level's space.
    const ViewFrustum& frustum() const { return frustum_; }
    // The planes branches are tested on (1 << ViewFrustum::Plane each);
    // 0 while nothing is tested.
    unsigned activeMask() const { return activeMask_; }
    // Since the walk began: branches tested, and frustums moved into a level.
    long testCount() const { return tests_; }
    long transformCount() const { return transforms_; }

private:
    ViewFrustum frustum_;
    unsigned activeMask_ = 0;
    std::vector<ViewFrustum> savedFrustums_;
    std::vector<unsigned> savedMasks_;
    long tests_ = 0, transforms_ = 0;
};

}  // namespace kessa
