#include "scene/DBCollider.h"

#include <utility>

#include "scene/Branch.h"
#include "scene/BranchCollidable.h"
#include "scene/CollisionAction.h"
#include "scene/Object.h"

namespace kessa {

namespace {

bool mirrors(const Matrix& m) {
    return m.row(0).cross(m.row(1)).dot(m.row(2)) < 0;
}

}  // namespace

Database::DBCollider::DBCollider(Database& database) : Traverser(1), database_(database) { boxes_.reserve(32); }

void Database::DBCollider::gather(CollisionAction& action, TriangleVector& out) {
    out_ = &out;
    traverseWith(action.matrix, action.inverse);
    setReferencePoint(action.position.x, action.position.y, action.position.z);
    boxes_.clear();
    boxes_.push_back(action.sweptBounds);
    if (Object* root = database_.rootObject())
        root->traverse(*this);
    out_ = nullptr;
}

void Database::DBCollider::visitBranch(Branch* branch) {
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

bool Database::DBCollider::isCulled(Branch* branch) {
    switch (branch->collisionMode()) {
    case Branch::collideNever:
        return true;
    case Branch::collideInMode2:
        if (!database_.mode2Collides())
            return true;
        break;
    case Branch::ignoredInMode3:
        if (database_.mode3Ignored())
            return true;
        break;
    default:
        break;
    }
    return !branch->bounds().intersects(boxes_.back());
}

void Database::DBCollider::transformView(const Matrix& inverse) {
    Bounds moved;
    moved.setTransformed(boxes_.back(), inverse);
    boxes_.push_back(moved);
}

void Database::DBCollider::restoreView() {
    if (boxes_.size() > 1)
        boxes_.pop_back();
}

}  // namespace kessa
