#include "scene/CollisionTraverser.h"

#include <utility>

#include "scene/Branch.h"
#include "scene/CollisionAction.h"
#include "scene/Object.h"

namespace kessa {

namespace {

bool mirrors(const Matrix& m) { return m.row(0).cross(m.row(1)).dot(m.row(2)) < 0; }

}  // namespace

CollisionTraverser::CollisionTraverser() : Traverser(1) { boxes_.reserve(32); }

void CollisionTraverser::gather(CollisionAction& action, TriangleVector& out, Object* object) {
    out_ = &out;
    walked_ = 0;
    traverseWith(action.matrix, action.inverse);
    setReferencePoint(action.position.x, action.position.y, action.position.z);
    boxes_.clear();
    boxes_.push_back(action.sweptBounds);
    if (object)
        object->traverse(*this);
    out_ = nullptr;
}

void CollisionTraverser::visitBranch(Branch* branch) {
    BranchCollidable* collidable = branch->collidable();
    if (!collidable || !out_)
        return;
    const std::size_t before = out_->size();
    walked_ += collidable->gatherTriangles(boxes_.back(), *out_, nullptr);
    if (out_->size() == before || modelview().kind() == Matrix::Identity)
        return;
    float* first = (*out_)[before].p;
    float* end = out_->data()->p + 9 * out_->size();
    transformTriangles(first, end, first, modelview());
    if (mirrors(modelview()))
        for (std::size_t i = before; i < out_->size(); ++i)
            for (int k = 0; k < 3; ++k)
                std::swap((*out_)[i].p[3 + k], (*out_)[i].p[6 + k]);
}

bool CollisionTraverser::isCulled(Branch* branch) {
    return branch->collisionMode() == Branch::collideNever || !branch->bounds().intersects(boxes_.back());
}

void CollisionTraverser::transformView(const Matrix& inverse) {
    Bounds moved;
    moved.setTransformed(boxes_.back(), inverse);
    boxes_.push_back(moved);
}

void CollisionTraverser::restoreView() {
    if (boxes_.size() > 1)
        boxes_.pop_back();
}

}  // namespace kessa
