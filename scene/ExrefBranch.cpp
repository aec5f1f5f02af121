#include "scene/ExrefBranch.h"

#include "base/Debug.h"
#include "scene/Database.h"
#include "scene/Object.h"
#include "scene/SceneStream.h"
#include "scene/render/TraversalCallback.h"
#include "scene/render/Traverser.h"

namespace kessa {

ExrefBranch::~ExrefBranch() {
    if (target_)
        target_->removeExref(this);
}

void ExrefBranch::setTarget(const orvel::counted_ptr<Database>& target) {
    if (target == target_)
        return;
    // The old target must not keep pointing at a branch it no longer shows.
    if (target_)
        target_->removeExref(this);
    target_ = target;
    if (target_)
        target_->addExref(this);
}

void ExrefBranch::clean() {
    orvel::debug("Cleaning exref branch \"%.2000s\"\n", name().c_str());
    if (target_ && target_->rootObject()) {
        target_->clean();
        bounds_ = target_->rootObject()->bounds();
    }
    dirty_ = false;
}

void ExrefBranch::traverse(Traverser& traverser) {
    if (!target_ || !target_->rootObject())
        return;
    TraversalCallback* callback = this->callback().get();
    if (callback && !callback->enter(traverser, this))
        return;
    if (!traverser.isCullingActive() || !traverser.isCulled(this))
        target_->accumulate(traverser);
    if (callback)
        callback->leave(traverser, this);
}

void ExrefBranch::read(orvel::DataSource& in) {
    Branch::read(in);
    while (unsigned tag = stream::nextTag(in))
        if (tag == 1)
            in >> targetName_;
}

void ExrefBranch::write(orvel::DataDest& out) {
    Branch::write(out);
    stream::writeTag(out, 1);
    out << targetName_;
    stream::writeTag(out, 0);
}

}  // namespace kessa
