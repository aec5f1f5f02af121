// A branch with ordered children that it owns: deleting a group deletes its
// children. Its bounds are the union of its children's.
#pragma once

#include <memory>
#include <vector>

#include "scene/Branch.h"
#include "scene/StreamNesting.h"

namespace kessa {

class LodBranch;

class GroupBranch : public Branch {
public:
    GroupBranch();
    ~GroupBranch() override;

    bool hasChildren() const override;
    int childCount() const override;
    // Throws std::out_of_range for an index outside the children.
    Branch* child(int i) override;
    // The processor sees this group, then each child's subtree in order. A
    // processor may delete the leaf it is given; the walk then goes on with
    // the child that took its place.
    bool apply(BranchProcessor& processor) override;
    // Recomputes the bounds from the children, cleaning the dirty ones.
    void clean() override;
    // The branch protocol, with the children walked after the visit.
    void traverse(Traverser& traverser) override;
    void update() override;
    void setOwner(Object* owner) override;

    // Appends the branch and takes it over. An empty holder throws
    // std::logic_error and leaves the group as it was.
    void addChild(std::unique_ptr<Branch> child);
    // Replaces target's children (which are deleted) by this group's, in
    // order; both groups are marked dirty.
    void moveChildrenTo(GroupBranch& target);

    const std::vector<Branch*>& children() const { return children_; }

    // Stream block after the branch's: 1 children. The group takes over the
    // children listed (a second list is passed over), dropping with a log
    // line any that belongs elsewhere, would hold this group, or would put a
    // branch more than StreamNesting::maxDepth levels below the top of its
    // tree.
    void read(orvel::DataSource& in) override;
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::GroupBranch"; }
    void write(orvel::DataDest& out) override;

    // Walk statistics: child visits made while culling was inactive, and
    // visits of groups with exactly one child.
    static unsigned long unculledChildVisits();
    static unsigned long singleChildGroupVisits();

    // Children looked at to find a child in its group or to link
    // level-of-detail neighbours, over the whole process.
    static unsigned long childSteps();

protected:
    // The callback's enter, the visit, every child's traverse and the
    // callback's leave: traverse after its culling test.
    void walk(Traverser& traverser);
    // Links each run of neighbouring level-of-detail children into a chain.
    void relinkLods();

private:
    friend class Branch;

    // Takes child out of the children without deleting it.
    void detach(Branch* child);
    // The index of child (the count when it is not here), searched outwards
    // from the last one found: children that leave one after another from
    // either end, or from one place, are found in a step or two.
    std::size_t indexOf(const Branch* child);
    // Puts branch in slot i (appended when i is the count) as this group's
    // child, linked to the level-of-detail children beside it.
    void place(std::size_t i, Branch* branch);
    // Links the level-of-detail children at i - 1 and i, either of which may
    // be missing or of another kind: the one change a child that comes or
    // goes makes to the chains.
    void linkLods(std::size_t i);
    // A child that leaves keeps no link into the group: neither its parent
    // nor, for a level of detail, its old neighbours.
    static void cutLinks(Branch* child);
    // The reader's hand-over of a listed child.
    static bool takeChild(void* group, unsigned index, orvel::Streamable* object);

    std::vector<Branch*> children_;
    // Where indexOf last found a child.
    std::size_t lastFound_ = 0;
    // Where the group stands in its tree while a stream is read.
    StreamNesting nesting_;
};

}  // namespace kessa
