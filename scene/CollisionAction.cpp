#include "scene/CollisionAction.h"

#include <cmath>

#include "base/Debug.h"
#include "scene/Collider.h"

namespace kessa {

namespace {

// How far a contact is backed off, as single precision gives it.
constexpr double backOff = double(0.001f);

CollisionAction& defaultResponse() {
    static CollisionAction slide;
    return slide;
}

bool finite(const Vector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

void Collider::prepare(CollisionAction&) {}

CollisionAction::CollisionAction() { setMotion(Vector(), Vector(), 1.0); }

void CollisionAction::setMotion(const Vector& start, const Vector& delta, double r) {
    depth = 0;
    position = start;
    direction = delta;
    distance = delta.length();
    if (distance > 0)
        direction *= 1.0 / distance;
    radius = r;
    initialDirection = direction;
    matrix.setIdentity();
    inverse.setIdentity();
    const double reach = r + distance;
    sweptBounds.set(start - Vector(reach, reach, reach), start + Vector(reach, reach, reach));
    colliders.clear();
}

void CollisionAction::addCollider(Collider* collider, CollisionAction* responder) {
    colliders.emplace_back(collider, responder ? responder : &defaultResponse());
}

bool CollisionAction::collide() {
    if (!finite(position) || !finite(direction) || !std::isfinite(distance) || !std::isfinite(radius)) {
        orvel::debug("kessa::CollisionAction - a move or radius that is not finite was refused\n");
        return false;
    }
    if (distance <= 0 || radius <= 0)
        return false;
    for (auto& c : colliders)
        c.first->prepare(*this);
    return step();
}

bool CollisionAction::step() {
    if (distance <= 0 || radius <= 0)
        return false;
    double best = 1e300;
    CollisionAction* responder = nullptr;
    for (auto& c : colliders) {
        double t;
        Vector contact;
        if (c.first->collide(*this, t, contact) && t < distance && t < best) {
            best = t;
            contactPoint = contact;
            responder = c.second;
        }
    }
    if (!responder) {
        position += direction * distance;
        return false;
    }
    if (depth >= maxDepth)
        return false;
    // A contact nearer than the back-off stops the sphere where it stands:
    // backing up past where this step began would take it where nothing
    // was tested. One that touched at once backs away from it.
    const double s = best > 0 && best < backOff ? 0 : best - backOff;
    position += direction * s;
    distance -= s;
    if (distance <= 0.001)
        return true;
    const Vector n = position - contactPoint;
    contactPlane[0] = -n.dot(contactPoint);
    contactPlane[1] = n.x;
    contactPlane[2] = n.y;
    contactPlane[3] = n.z;
    normalizePlane(contactPlane);
    Vector v;
    responder->response(v, *this);
    if (v.lengthSquared() <= 0 || v.dot(initialDirection) < 0)
        return true;
    direction = v;
    distance = v.length();
    if (distance <= 0)
        return true;
    direction *= 1.0 / distance;
    ++depth;
    step();
    --depth;
    return true;
}

void CollisionAction::response(Vector& out, CollisionAction& action) { slideResponse(out, action); }

void CollisionAction::slideResponse(Vector& out, const CollisionAction& action) {
    bounceResponse(out, action, 0.0f);
}

void CollisionAction::bounceResponse(Vector& out, const CollisionAction& action, float elasticity) {
    const Vector normal(action.contactPlane[1], action.contactPlane[2], action.contactPlane[3]);
    const Vector e = action.contactPoint + action.direction * action.distance;
    const double h = (normal.dot(e) + action.contactPlane[0]) * (1.0 + double(elasticity));
    out = e - normal * h - action.contactPoint;
}

}  // namespace kessa
