// A group whose children move by an animated transform about a fixed joint
// frame. The children live in their own space; the joint's bounds are in its
// parent's, and childBounds keeps the children's bounds in theirs.
#pragma once

#include "scene/GroupBranch.h"
#include "scene/Matrix.h"

namespace kessa {

class JointBranch : public GroupBranch {
public:
    JointBranch() = default;

    // b is in the children's space: it grows childBounds, and the bounds by
    // b moved into the parent's space; the bounds always go upwards.
    bool growBounds(const Bounds& b) override;
    void clean() override;
    // Tested against the bounds in the parent's space, then the children are
    // walked under the current transform.
    void traverse(Traverser& traverser) override;

    // The joint frame; the identity means none.
    void setJoint(const Matrix& m);
    // The animated transform T, applied about the joint frame when there is one.
    void setTransform(const Matrix& t);

    bool hasJoint() const { return hasJoint_; }
    const Matrix& joint() const { return joint_; }
    const Matrix& jointInverse() const { return jointInverse_; }
    const Matrix& current() const { return current_; }
    const Matrix& currentInverse() const { return currentInverse_; }
    const Bounds& childBounds() const { return childBounds_; }

    // Stream block after the group's: 1 hasJoint, 2 the joint and its
    // inverse, 3 the current transform and its inverse.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::JointBranch"; }
    void write(orvel::DataDest& out) override;

private:
    bool hasJoint_ = false;
    Matrix joint_, jointInverse_;
    Matrix current_, currentInverse_;
    Bounds childBounds_;
};

}  // namespace kessa
