// A collider made of triangles gathered near each motion. Triangles are
// one-sided: a sphere meets one only when its centre is in front of it (on
// the side its winding normal points to) as they first touch, so a sphere
// can leave a closed mesh from inside.
#pragma once

#include "scene/BranchCollidable.h"
#include "scene/Collider.h"

namespace kessa {

class TriangleCollider : public Collider {
public:
    // Empties the triangles and gathers them anew.
    void prepare(CollisionAction& action) override;
    // The sphere swept along its direction against every triangle: the
    // first touch of its face, an edge or a corner, when the centre is then
    // in front of its plane. A sphere already within its radius of a
    // triangle touches it at once, when it moves towards it.
    bool collide(CollisionAction& action, double& t, Vector& contact) override;
    // Appends the triangles near the action's path, in the action's space.
    virtual void gatherTriangles(CollisionAction& action, TriangleVector& out) = 0;

    TriangleVector triangles;
};

}  // namespace kessa
