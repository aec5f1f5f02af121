// The walk that gathers a database's triangles near a motion: branches
// whose bounds miss the swept bounds (carried into each branch's space) are
// passed over with all they hold, as are branches whose collision mode
// keeps them out. Each geometry branch's triangles are brought into the
// motion's space; under a mirroring transform their winding is turned, so
// that their outside still faces out.
//
// It draws nothing: its accumulator never receives a batch.
#pragma once

#include <vector>

#include "scene/Database.h"
#include "scene/render/Traverser.h"

namespace kessa {

class Database::DBCollider : public Traverser {
public:
    explicit DBCollider(Database& database);

    void gather(CollisionAction& action, TriangleVector& out);
    // Vertex references walked by the gatherings of this walker (a statistic).
    unsigned long walked() const { return walked_; }

    void visitBranch(Branch* branch) override;
    bool isCulled(Branch* branch) override;
    void transformView(const Matrix& inverse) override;
    void restoreView() override;

private:
    Database& database_;
    TriangleVector* out_ = nullptr;
    unsigned long walked_ = 0;
    // The swept bounds in the space of each level of the walk.
    std::vector<Bounds> boxes_;
};

}  // namespace kessa
