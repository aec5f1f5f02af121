// Finds where a ray segment first meets a scene's geometry (picking). The
// walk carries the ray into each branch's space, passes over branches whose
// bounds it misses, asks geometry branches for the exact hit and shortens
// the ray at every hit, so that only nearer hits count afterwards and the
// nearest one wins whatever the order of the walk.
//
// It draws nothing: its accumulator never receives a batch. Tracing again
// allocates nothing once the stacks have grown to the scene's depth.
#pragma once

#include <vector>

#include "scene/Ray.h"
#include "scene/render/Traverser.h"

namespace kessa {

class Database;
class Object;

class RayTracer : public Traverser {
public:
    RayTracer();

    // The database's root object, when it has one.
    bool traceDatabase(const Ray& ray, Database& database);
    bool traceObject(const Ray& ray, Object& object);

    // Set by the caller: the walk stops at the first hit, and only whether
    // there was one is recorded.
    bool firstHitOnly = false;

    bool hit() const { return hit_; }
    // How far along the traced ray the hit is, in the traced object's space.
    double hitLength() const { return hitLength_; }
    Branch* hitBranch() const { return hitBranch_; }
    // The instance branches the walk was inside at the hit, outermost first.
    int instanceDepth() const { return instanceDepth_; }
    const std::vector<Branch*>& instancePath() const { return instancePath_; }

    // Logs a dirty branch ("you tried to raytrace a dirty database!") and
    // asks geometry for a hit nearer than the ray's end.
    void visitBranch(Branch* branch) override;
    bool isCulled(Branch* branch) override;
    void transformView(const Matrix& inverse) override;
    // A hit below shortened the ray: the ray above is shortened in the
    // same proportion.
    void restoreView() override;

private:
    bool hit_ = false;
    int instanceDepth_ = 0;
    double hitLength_ = 0;
    Branch* hitBranch_ = nullptr;
    std::vector<Branch*> instancePath_;
    // One ray per level of the walk, with its length when it was made.
    std::vector<Ray> rays_;
    std::vector<double> lengths_;
};

}  // namespace kessa
