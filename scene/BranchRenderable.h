// What a branch with geometry of its own draws: the walk hands it to the
// branch's renderable when it visits the branch.
#pragma once

namespace kessa {

class Traverser;

class BranchRenderable {
public:
    virtual ~BranchRenderable() = default;
    virtual void render(Traverser& traverser) = 0;
    // Called by the branch's update, after the geometry changed.
    virtual void update() {}
};

}  // namespace kessa
