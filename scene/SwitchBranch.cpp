#include "scene/SwitchBranch.h"

#include "scene/SceneStream.h"
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

void SwitchBranch::read(orvel::DataSource& in) {
    GroupBranch::read(in);
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in >> mode_;
            break;
        case 2:
            in >> visitAll_;
            break;
        case 3:
            in >> selected_;
            break;
        case 4:
            in >> value_;
            break;
        default:
            break;
        }
    }
}

void SwitchBranch::write(orvel::DataDest& out) {
    GroupBranch::write(out);
    stream::writeTag(out, 1);
    out << mode_;
    stream::writeTag(out, 2);
    out << visitAll_;
    stream::writeTag(out, 3);
    out << selected_;
    stream::writeTag(out, 4);
    out << value_;
    stream::writeTag(out, 0);
}

}  // namespace kessa
