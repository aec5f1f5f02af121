#include "scene/DBCollider.h"

#include "scene/Branch.h"

namespace kessa {

void Database::DBCollider::gather(CollisionAction& action, TriangleVector& out) {
    CollisionTraverser::gather(action, out, database_.rootObject());
}

bool Database::DBCollider::isCulled(Branch* branch) {
    if (branch->collisionMode() == Branch::collideInMode2 && !database_.mode2Collides())
        return true;
    if (branch->collisionMode() == Branch::ignoredInMode3 && database_.mode3Ignored())
        return true;
    return CollisionTraverser::isCulled(branch);
}

}  // namespace kessa
