// A sphere moving along a straight path through colliders. collide stops it
// at the first contact (backed off by 0.001) and asks the collider's
// response action where the rest of the path goes: by default it slides
// along the contact plane. Up to eight slides follow one another; a slide
// that would turn back against the first direction ends the motion.
//
// The fields are the motion's state, for responses and callers to read.
#pragma once

#include <utility>
#include <vector>

#include "scene/Bounds.h"
#include "scene/Matrix.h"
#include "scene/Vector.h"

namespace kessa {

class Collider;

class CollisionAction {
public:
    // Everything zero: a sphere of radius 1 at the origin that does not move.
    CollisionAction();
    virtual ~CollisionAction() = default;

    // Where the rest of the path goes after a contact of action (the moving
    // one); this action is the response the collider was added with.
    virtual void response(Vector& out, CollisionAction& action);
    // The rest of the path projected onto the contact plane.
    static void slideResponse(Vector& out, const CollisionAction& action);
    // The same, bounced off the plane with the elasticity.
    static void bounceResponse(Vector& out, const CollisionAction& action, float elasticity);

    // A motion from start by delta (a zero delta keeps it as it is), with
    // no colliders yet; the swept bounds hold the whole path.
    void setMotion(const Vector& start, const Vector& delta, double radius);
    // A null response slides.
    void addCollider(Collider* collider, CollisionAction* response = nullptr);
    // Moves the sphere; true when a contact changed the motion. A zero
    // radius or distance moves nothing; a move (its length too) or radius
    // that is not finite is refused with a log line.
    bool collide();

    Vector position;
    Vector direction;
    double distance = 0;
    double radius = 0;
    Vector initialDirection;
    Vector contactPoint;
    // The distance term, then the unit normal.
    double contactPlane[4] = {0, 0, 0, 0};
    int depth = 0;
    int maxDepth = 8;
    Bounds sweptBounds;
    // The space colliders are walked in (identity: the action's own).
    Matrix matrix, inverse;
    std::vector<std::pair<Collider*, CollisionAction*>> colliders;

private:
    bool step();
};

}  // namespace kessa
