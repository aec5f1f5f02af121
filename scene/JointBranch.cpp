#include "scene/JointBranch.h"

#include "scene/SceneStream.h"
#include "scene/render/Traverser.h"

namespace kessa {

void JointBranch::setJoint(const Matrix& m) {
    if (m.isIdentity()) {
        hasJoint_ = false;
        return;
    }
    hasJoint_ = true;
    joint_ = m;
    m.invert(jointInverse_);
}

void JointBranch::setTransform(const Matrix& t) {
    if (hasJoint_) {
        current_.multiply(jointInverse_, t);
        current_.multiply(current_, joint_);
    } else {
        current_ = t;
    }
    current_.invert(currentInverse_);
    Bounds moved;
    moved.setTransformed(childBounds_, currentInverse_);
    bounds_.extendWithMargin(moved, 0.0);
    passBoundsUp();
}

bool JointBranch::growBounds(const Bounds& b) {
    childBounds_.extendWithMargin(b, 0.0);
    Bounds moved;
    moved.setTransformed(b, currentInverse_);
    bounds_.extendWithMargin(moved, 0.0);
    passBoundsUp();
    return true;
}

void JointBranch::clean() {
    if (!dirty_)
        return;
    GroupBranch::clean();
    childBounds_ = bounds_;
    bounds_.setTransformed(childBounds_, currentInverse_);
}

void JointBranch::traverse(Traverser& traverser) {
    Traverser::CullScope scope(traverser, this);
    if (scope.culled())
        return;
    traverser.pushTransform(currentInverse_, current_);
    walk(traverser);
    traverser.popTransform();
}

void JointBranch::read(orvel::DataSource& in) {
    GroupBranch::read(in);
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in >> hasJoint_;
            break;
        case 2:
            joint_.read(in);
            jointInverse_.read(in);
            break;
        case 3:
            current_.read(in);
            currentInverse_.read(in);
            break;
        default:
            break;
        }
    }
}

void JointBranch::write(orvel::DataDest& out) {
    GroupBranch::write(out);
    stream::writeTag(out, 1);
    out << hasJoint_;
    stream::writeTag(out, 2);
    joint_.write(out);
    jointInverse_.write(out);
    stream::writeTag(out, 3);
    current_.write(out);
    currentInverse_.write(out);
    stream::writeTag(out, 0);
}

}  // namespace kessa
