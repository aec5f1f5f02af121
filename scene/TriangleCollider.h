// A collider made of triangles gathered near each motion. Triangles are
// one-sided: only those whose winding normal faces against the motion are
// met, so a sphere can leave a closed mesh from inside.
#pragma once

#include "scene/BranchCollidable.h"
#include "scene/Collider.h"

namespace kessa {

class TriangleCollider : public Collider {
public:
    // Empties the triangles and gathers them anew.
    void prepare(CollisionAction& action) override;
    // The sphere swept along its direction against every triangle: its face
    // first, then, where the contact would fall outside, the nearest point
    // of the triangle's border. A sphere already cutting a triangle's plane
    // from the front touches it at once.
    bool collide(CollisionAction& action, double& t, Vector& contact) override;
    // Appends the triangles near the action's path, in the action's space.
    virtual void gatherTriangles(CollisionAction& action, TriangleVector& out) = 0;

    TriangleVector triangles;
};

}  // namespace kessa
