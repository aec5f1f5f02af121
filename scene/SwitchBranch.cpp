#include "scene/SwitchBranch.h"

#include "scene/render/TraversalCallback.h"
#include "scene/render/Traverser.h"

namespace kessa {

SwitchBranch::SwitchBranch(int mode) : mode_(mode) {}

void SwitchBranch::traverse(Traverser& traverser) {
    if (mode_ == allOrNothing) {
        if (visitAll_)
            GroupBranch::traverse(traverser);
        return;
    }
    // A switch without children has nothing to show.
    if (mode_ != selectOne || children().empty())
        return;
    if (traverser.isCullingActive() && traverser.isCulled(this))
        return;
    TraversalCallback* callback = this->callback().get();
    if (callback && !callback->enter(traverser, this))
        return;
    traverser.visitBranch(this);
    int last = int(children().size()) - 1;
    int index = selected_ < 0 ? 0 : selected_ > last ? last : selected_;
    children()[index]->traverse(traverser);
    if (callback)
        callback->leave(traverser, this);
}

}  // namespace kessa
