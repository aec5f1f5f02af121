// A database's collision walk: the database's switches decide whether
// branches of collision modes 2 and 3 are gathered.
#pragma once

#include "scene/CollisionTraverser.h"
#include "scene/Database.h"

namespace kessa {

class Database::DBCollider : public CollisionTraverser {
public:
    explicit DBCollider(Database& database) : database_(database) {}

    // The triangles of the database's root object near the action's path.
    void gather(CollisionAction& action, TriangleVector& out);

    bool isCulled(Branch* branch) override;

private:
    Database& database_;
};

}  // namespace kessa
