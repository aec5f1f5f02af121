// Something a moving sphere must respect: it may prepare once per motion
// (gathering what lies near the path) and then answers, for the sphere as
// it stands, the distance along its direction to the first contact.
#pragma once

#include "scene/DoublePrecision.h"
#include "scene/Vector.h"

namespace kessa {

class CollisionAction;

class Collider : public DoublePrecision {
public:
    virtual ~Collider() = default;
    virtual void prepare(CollisionAction& action);
    // True with t, the distance to travel until the first contact, and the
    // contact point.
    virtual bool collide(CollisionAction& action, double& t, Vector& contact) = 0;
};

}  // namespace kessa
