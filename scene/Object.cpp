#include "scene/Object.h"

#include "base/Debug.h"
#include "scene/Branch.h"
#include "scene/Database.h"
#include "scene/InstanceBranch.h"
#include "scene/MemoryOption.h"
#include "scene/render/RenderAccumulator.h"
#include "scene/render/Traverser.h"

namespace kessa {

Object::~Object() {
    while (!instances_.empty()) {
        InstanceBranch* branch = instances_.back();
        if (branch->instance() != this) {
            // A destructor cannot throw: broken bookkeeping is logged instead.
            orvel::debug("%s\n", "Object::~Object() - the instances table is corrupt");
            instances_.pop_back();
            continue;
        }
        branch->setInstance(nullptr);
    }
    root_.reset();
}

void Object::attach(std::unique_ptr<Branch> root) {
    root_ = std::move(root);
    if (root_)
        root_->setOwner(this);
    markDirty();
}

void Object::markDirty() {
    if (dirty_)
        return;
    dirty_ = true;
    for (std::size_t i = 0; i < instances_.size(); ++i)
        instances_[i]->markDirty();
    if (database_)
        database_->markDirty();
}

void Object::clean() {
    if (!dirty_)
        return;
    if (cleaning_) {
        orvel::debug("Object \"%s\" shows itself - not cleaned again\n", name_.c_str());
        return;
    }
    cleaning_ = true;
    if (root_) {
        root_->clean();
        bounds_ = root_->bounds();
    } else {
        bounds_.clear();
    }
    if (optionFlag())
        std::vector<FrameRecord>().swap(frameTable_);
    dirty_ = false;
    cleaning_ = false;
}

void Object::traverse(Traverser& traverser) {
    if (!root_ || traversing_)
        return;
    traversing_ = true;
    bool animated = traverser.mode() == 0;
    if (animated)
        traverser.accumulator().pushAnimation(animation_);
    root_->traverse(traverser);
    if (animated)
        traverser.accumulator().popAnimation();
    traversing_ = false;
}

bool Object::apply(BranchProcessor& processor) { return root_ ? root_->apply(processor) : true; }

void Object::rootBoundsGrew(const Bounds& b) {
    bounds_ = b;
    if (growing_)
        return;
    growing_ = true;
    for (std::size_t i = 0; i < instances_.size(); ++i)
        instances_[i]->growBounds(bounds_);
    growing_ = false;
}

}  // namespace kessa
