#include "scene/RayTracer.h"

#include "base/Debug.h"
#include "scene/Branch.h"
#include "scene/BranchCollidable.h"
#include "scene/Database.h"
#include "scene/Object.h"

namespace kessa {

RayTracer::RayTracer() : Traverser(2) {
    rays_.reserve(32);
    lengths_.reserve(32);
    instancePath_.reserve(32);
}

bool RayTracer::traceDatabase(const Ray& ray, Database& database) {
    hit_ = false;
    if (Object* root = database.rootObject())
        traceObject(ray, *root);
    return hit_;
}

bool RayTracer::traceObject(const Ray& ray, Object& object) {
    static const Matrix identity;
    traverseWith(identity, identity);
    setReferencePoint(ray.origin.x, ray.origin.y, ray.origin.z);
    rays_.clear();
    lengths_.clear();
    rays_.push_back(ray);
    lengths_.push_back(ray.length);
    instanceDepth_ = 0;
    hit_ = false;
    object.traverse(*this);
    if (hit_ && !firstHitOnly)
        hitLength_ = rays_.back().length;
    return hit_;
}

void RayTracer::visitBranch(Branch* branch) {
    if (branch->isDirty())
        orvel::debug("kessa::RayTracer - you tried to raytrace a dirty database!\n");
    BranchCollidable* collidable = branch->collidable();
    RayHit found;
    if (!collidable || !collidable->intersectRay(rays_.back(), found, firstHitOnly, nullptr))
        return;
    hit_ = true;
    if (firstHitOnly)
        return;
    hitBranch_ = branch;
    instanceDepth_ = int(recordedBranches().size());
    instancePath_.assign(recordedBranches().begin(), recordedBranches().end());
    rays_.back().length = found.distance;
}

bool RayTracer::isCulled(Branch* branch) {
    if (firstHitOnly && hit_)
        return true;
    return !rays_.back().meets(branch->bounds());
}

void RayTracer::transformView(const Matrix& inverse) {
    Ray moved;
    Ray::transform(moved, rays_.back(), inverse);
    rays_.push_back(moved);
    lengths_.push_back(moved.length);
}

void RayTracer::restoreView() {
    if (rays_.size() < 2)
        return;
    const double made = lengths_.back(), now = rays_.back().length;
    if (now != made) {
        Ray& below = rays_[rays_.size() - 2];
        below.length = made > 0 ? below.length * (now / made) : 0;
    }
    rays_.pop_back();
    lengths_.pop_back();
}

}  // namespace kessa
