// A visitor for a branch tree (GroupBranch::apply, Object::apply).
#pragma once

namespace kessa {

class Branch;

class BranchProcessor {
public:
    virtual ~BranchProcessor() = default;
    // False stops the walk.
    virtual bool process(Branch* branch) = 0;
};

}  // namespace kessa
