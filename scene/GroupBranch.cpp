#include "scene/GroupBranch.h"

#include <stdexcept>

#include "base/Debug.h"

#include "scene/BranchProcessor.h"
#include "scene/LodBranch.h"
#include "scene/SceneStream.h"
#include "scene/render/TraversalCallback.h"
#include "scene/render/Traverser.h"

namespace kessa {

namespace {

unsigned long unculledVisits = 0;
unsigned long singleChildVisits = 0;
unsigned long childStepCount = 0;

}  // namespace

GroupBranch::GroupBranch() { setGroup(this); }

GroupBranch::~GroupBranch() {
    // Detached first, so that no child looks for itself in a vector that is
    // being emptied.
    std::vector<Branch*> doomed;
    doomed.swap(children_);
    for (Branch* child : doomed) {
        child->parent_ = nullptr;
        delete child;
    }
}

bool GroupBranch::hasChildren() const { return true; }

int GroupBranch::childCount() const { return int(children_.size()); }

Branch* GroupBranch::child(int i) {
    if (i < 0 || std::size_t(i) >= children_.size())
        throw std::out_of_range("invalid vector<T> subscript");
    return children_[i];
}

bool GroupBranch::apply(BranchProcessor& processor) {
    if (!processor.process(this))
        return false;
    std::size_t i = 0;
    while (i < children_.size()) {
        std::size_t before = children_.size();
        if (!children_[i]->apply(processor))
            return false;
        // A child removed during the call moved the next one into its index.
        // A child added does not: the walk must not visit the same child again.
        if (children_.size() >= before)
            ++i;
    }
    return true;
}

void GroupBranch::clean() {
    if (!dirty_)
        return;
    bounds_.clear();
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (children_[i]->isDirty())
            children_[i]->clean();
        // A child may put another branch in its place while it cleans.
        bounds_.extend(children_[i]->bounds());
    }
    dirty_ = false;
}

void GroupBranch::traverse(Traverser& traverser) {
    Traverser::CullScope scope(traverser, this);
    if (!scope.culled())
        walk(traverser);
}

void GroupBranch::walk(Traverser& traverser) {
    TraversalCallback* callback = this->callback().get();
    if (callback && !callback->enter(traverser, this))
        return;
    traverser.visitBranch(this);
    if (children_.size() == 1)
        ++singleChildVisits;
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (!traverser.isCullingActive())
            ++unculledVisits;
        children_[i]->traverse(traverser);
    }
    if (callback)
        callback->leave(traverser, this);
}

void GroupBranch::update() {
    for (Branch* child : children_)
        child->update();
}

void GroupBranch::setOwner(Object* owner) {
    // A tree's branches share its owner: a subtree that has it already keeps
    // it, and a stream's groups, which take children over before anything
    // has an owner, cost nothing here.
    if (owner == this->owner())
        return;
    Branch::setOwner(owner);
    for (Branch* child : children_)
        child->setOwner(owner);
}

void GroupBranch::addChild(std::unique_ptr<Branch> child) {
    if (!child)
        throw std::logic_error("kessa::GroupBranch::addChild() - Can't add null branches");
    place(children_.size(), child.release());
    markDirty();
}

void GroupBranch::moveChildrenTo(GroupBranch& target) {
    if (&target == this)
        return;
    std::vector<Branch*> old;
    old.swap(target.children_);
    for (Branch* child : old) {
        child->parent_ = nullptr;
        delete child;
    }
    target.children_.swap(children_);
    for (Branch* child : target.children_) {
        child->parent_ = &target;
        child->setOwner(target.owner());
    }
    relinkLods();
    target.relinkLods();
    markDirty();
    target.markDirty();
}

void GroupBranch::relinkLods() {
    for (std::size_t i = 0; i <= children_.size(); ++i)
        linkLods(i);
}

void GroupBranch::linkLods(std::size_t i) {
    ++childStepCount;
    LodBranch* before = i > 0 ? dynamic_cast<LodBranch*>(children_[i - 1]) : nullptr;
    LodBranch* after = i < children_.size() ? dynamic_cast<LodBranch*>(children_[i]) : nullptr;
    if (before)
        before->next_ = after;
    if (after)
        after->previous_ = before;
}

std::size_t GroupBranch::indexOf(const Branch* child) {
    const std::size_t n = children_.size();
    const std::size_t from = std::min(lastFound_, n ? n - 1 : 0);
    for (std::size_t d = 0; d <= from || from + d < n; ++d) {
        ++childStepCount;
        if (from + d < n && children_[from + d] == child)
            return lastFound_ = from + d;
        if (d && d <= from && children_[from - d] == child)
            return lastFound_ = from - d;
    }
    return n;
}

void GroupBranch::place(std::size_t i, Branch* branch) {
    if (i < children_.size())
        children_[i] = branch;
    else
        children_.push_back(branch);
    branch->parent_ = this;
    branch->setOwner(owner());
    linkLods(i);
    linkLods(i + 1);
}

void GroupBranch::detach(Branch* child) {
    const std::size_t i = indexOf(child);
    if (i < children_.size()) {
        children_.erase(children_.begin() + std::ptrdiff_t(i));
        linkLods(i);
    }
    cutLinks(child);
    markDirty();
}

void GroupBranch::cutLinks(Branch* child) {
    child->parent_ = nullptr;
    if (LodBranch* lod = dynamic_cast<LodBranch*>(child)) {
        lod->previous_ = nullptr;
        lod->next_ = nullptr;
    }
}

void GroupBranch::read(orvel::DataSource& in) {
    Branch::read(in);
    bool listed = false;
    while (unsigned tag = stream::nextTag(in)) {
        if (tag != 1)
            continue;
        if (listed)
            in.readReferenceIds();
        else
            stream::readOwnedList(in, this, &takeChild);
        listed = true;
    }
}

bool GroupBranch::takeChild(void* group, unsigned, orvel::Streamable* object) {
    auto* self = static_cast<GroupBranch*>(group);
    auto* child = dynamic_cast<Branch*>(object);
    if (!child)
        return false;
    GroupBranch* below = child->group();
    const StreamNesting::Adoption adoption =
        child->canBeAdopted() ? self->nesting_.adopt(below ? &below->nesting_ : nullptr) : StreamNesting::ring;
    if (adoption == StreamNesting::ring) {
        orvel::debug("!!!GroupBranch \"%.2000s\": a child that belongs elsewhere was dropped\n", self->name().c_str());
        return false;
    }
    if (adoption == StreamNesting::tooDeep) {
        orvel::debug("!!!GroupBranch \"%.2000s\": a child that would nest more than %d levels deep was dropped\n",
                     self->name().c_str(), StreamNesting::maxDepth);
        return false;
    }
    child->parent_ = self;
    child->setOwner(self->owner());
    self->children_.push_back(child);
    return true;
}

void GroupBranch::postRead() {
    Branch::postRead();
    relinkLods();
}

void GroupBranch::write(orvel::DataDest& out) {
    Branch::write(out);
    stream::writeTag(out, 1);
    out << children_;
    stream::writeTag(out, 0);
}

unsigned long GroupBranch::unculledChildVisits() { return unculledVisits; }

unsigned long GroupBranch::singleChildGroupVisits() { return singleChildVisits; }

unsigned long GroupBranch::childSteps() { return childStepCount; }

}  // namespace kessa
