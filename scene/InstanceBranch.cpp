#include "scene/InstanceBranch.h"

#include "base/Debug.h"
#include "scene/Object.h"
#include "scene/SceneStream.h"
#include "scene/Stopwatch.h"
#include "scene/StreamNesting.h"
#include "scene/render/TraversalCallback.h"
#include "scene/render/Traverser.h"

namespace kessa {

namespace {

const char* const messedUp = "InstanceBranch::setInstance() - object.instances is messed up!";

}  // namespace

InstanceBranch::~InstanceBranch() {
    // A destructor cannot throw: broken bookkeeping is logged instead.
    try {
        setInstance(nullptr);
    } catch (const char* text) {
        orvel::debug("%s\n", text);
    }
}

void InstanceBranch::setInstance(Object* o) {
    if (o == instance_)
        return;
    if (instance_ && !instance_->unbindInstance(this)) {
        instance_ = nullptr;
        throw messedUp;
    }
    instance_ = o;
    if (o)
        o->bindInstance(this);
}

void InstanceBranch::setMatrix(const Matrix& m) {
    matrix_ = m;
    m.invert(inverse_);
    if (instance_) {
        bounds_.setTransformed(instance_->bounds(), matrix_);
        passBoundsUp();
    }
    stamp_ = Stopwatch::lastTick();
}

void InstanceBranch::clean() {
    if (instance_) {
        instance_->clean();
        bounds_.setTransformed(instance_->bounds(), matrix_);
    }
    dirty_ = false;
}

bool InstanceBranch::growBounds(const Bounds& b) {
    Bounds moved;
    moved.setTransformed(b, matrix_);
    bounds_.extendWithMargin(moved, 0.0);
    passBoundsUp();
    return true;
}

void InstanceBranch::traverse(Traverser& traverser) {
    TraversalCallback* callback = this->callback().get();
    if (callback && !callback->enter(traverser, this))
        return;
    traverser.countInstanceVisit();
    traverser.visitBranch(this);
    if (instance_) {
        Traverser::CullScope scope(traverser, this);
        if (!scope.culled()) {
            traverser.pushRecordedBranch(this);
            traverser.pushTransform(matrix_, inverse_);
            instance_->traverse(traverser);
            traverser.popTransform();
            traverser.popRecordedBranch();
        }
    }
    if (callback)
        callback->leave(traverser, this);
}

void InstanceBranch::read(orvel::DataSource& in) {
    Branch::read(in);
    if (InstanceNesting* nesting = InstanceNesting::of(in))
        nesting->add(this);
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in >> flag_;
            break;
        case 2:
            // The object belongs to its database: an object that only instance
            // branches name is not kept.
            stream::readWeakReference(in, streamInstance_);
            break;
        case 3:
            if (matrix_.read(in))
                matrix_.invert(inverse_);
            break;
        default:
            break;
        }
    }
}

void InstanceBranch::postRead() {
    Branch::postRead();
    Object* o = streamInstance_;
    streamInstance_ = nullptr;
    if (o)
        setInstance(o);
}

void InstanceBranch::write(orvel::DataDest& out) {
    Branch::write(out);
    stream::writeTag(out, 1);
    out << flag_;
    stream::writeTag(out, 2);
    out.writeStreamable(instance_);
    stream::writeTag(out, 3);
    matrix_.write(out);
    stream::writeTag(out, 0);
}

}  // namespace kessa
