// The walk that gathers an object's triangles near a motion: branches
// whose bounds miss the swept bounds (carried into each branch's space) are
// passed over with all they hold, as are branches that never collide. Each
// geometry branch's triangles are brought into the motion's space; under a
// mirroring transform their winding is turned, so that their outside still
// faces out.
//
// It draws nothing: its accumulator never receives a batch.
#pragma once

#include <vector>

#include "scene/Bounds.h"
#include "scene/BranchCollidable.h"
#include "scene/render/Traverser.h"

namespace kessa {

class CollisionAction;
class Object;

class CollisionTraverser : public Traverser {
public:
    CollisionTraverser();

    // Appends the triangles of object (when there is one) near the action's
    // path to out.
    void gather(CollisionAction& action, TriangleVector& out, Object* object);
    // Vertex references the last gathering walked (a statistic).
    unsigned long walked() const { return walked_; }

    void visitBranch(Branch* branch) override;
    bool isCulled(Branch* branch) override;
    void transformView(const Matrix& inverse) override;
    void restoreView() override;

private:
    TriangleVector* out_ = nullptr;
    unsigned long walked_ = 0;
    // The swept bounds in the space of each level of the walk.
    std::vector<Bounds> boxes_;
};

}  // namespace kessa
