#include "scene/render/Traverser.h"

#include "scene/Branch.h"
#include "scene/BranchRenderable.h"
#include "scene/render/BoxRenderList.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/ViewFrustum.h"

namespace kessa {

Traverser::Traverser(int mode)
    : mode_(mode), ownAccumulator_(new RenderAccumulator), boxes_(new BoxRenderList) {
    accumulator_ = ownAccumulator_.get();
    poolsA_.reserve(32);
    poolsB_.reserve(32);
    recorded_.reserve(128);
    addPools();
    Matrix identity;
    traverseWith(identity, identity);
}

Traverser::~Traverser() = default;

void Traverser::addPools() {
    poolsA_.emplace_back(new MatrixRecord[poolSize]);
    poolsB_.emplace_back(new MatrixRecord[poolSize]);
}

void Traverser::setAccumulator(RenderAccumulator* accumulator) {
    accumulator_ = accumulator ? accumulator : ownAccumulator_.get();
}

void Traverser::setLodScale(float scale) {
    lodScale_ = scale;
    lodFactor_ = scale == 0 ? 0.0 : 1.0 / (double(scale) * scale);
}

void Traverser::traverseWith(const Matrix& modelview, const Matrix& inverse) {
    MatrixRecord& a = recordA(0);
    MatrixRecord& b = recordB(0);
    a.parent = b.parent = -1;
    a.matrix = modelview;
    b.matrix = inverse;
    current_ = 0;
    nextFree_ = 1;
    depth_ = 0;

    referencePoint_ = Vector();
    recorded_.clear();
    instanceVisits_ = 0;
    ViewFrustum::resetTestCount();
    setLodScale(1);
    cullingActive_ = false;

    // Once per frame: an accumulator that is never drawn (a collision
    // walk's) must not get the list again on every walk.
    if (boxesIn_ != accumulator_ || boxesFrame_ != accumulator_->frame()) {
        boxesIn_ = accumulator_;
        boxesFrame_ = accumulator_->frame();
        accumulator_->add(boxes_.get(), nullptr, false);
    }

    beginTraversal();
    cullingActive_ = cullingActive();
}

void Traverser::visitBranch(Branch* branch) {
    if (BranchRenderable* renderable = branch->renderable())
        renderable->render(*this);
}

void Traverser::pushTransform(const Matrix& matrix, const Matrix& inverse) {
    if (nextFree_ == recordCapacity())
        addPools();
    int index = nextFree_++;
    MatrixRecord& a = recordA(index);
    MatrixRecord& b = recordB(index);
    a.parent = b.parent = current_;
    a.matrix.multiply(matrix, recordA(current_).matrix);
    b.matrix.multiply(recordB(current_).matrix, inverse);
    current_ = index;
    ++depth_;
    transformView(inverse);
}

void Traverser::popTransform() {
    // The first level has no parent to go back to.
    if (depth_ <= 0)
        return;
    current_ = recordA(current_).parent;
    --depth_;
    restoreView();
}

void Traverser::beginTraversal() {}

void Traverser::setViewer(Viewer&) {}

bool Traverser::cullingActive() { return true; }

bool Traverser::isCulled(Branch*) { return false; }

void Traverser::transformView(const Matrix&) {}

void Traverser::restoreView() {}

bool Traverser::pushMask() { return true; }

bool Traverser::popMask() { return true; }

}  // namespace kessa
