// A named piece of a scene: it owns one root branch and knows every instance
// branch that shows it elsewhere, so that a change inside it reaches every
// place it is drawn. A database holds a list of objects and one root object.
#pragma once

#include <memory>
#include <vector>

#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"
#include "scene/Bounds.h"

namespace kessa {

class Branch;
class BranchProcessor;
class Database;
class InstanceBranch;
class Traverser;

class Object : public orvel::Streamable, public orvel::Refcountable {
public:
    // A record of the model reader's frame table, opaque to the scene.
    struct FrameRecord {
        unsigned words[4];
    };

    Object() = default;
    // Unbinds every instance branch that shows the object, then deletes the
    // root.
    ~Object() override;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void setName(const orvel_string& name) { name_ = name; }
    const orvel_string& name() const { return name_; }
    // Makes the branch the root (the previous root is deleted) and marks the
    // object dirty.
    void attach(std::unique_ptr<Branch> root);
    // Takes the table over; the previous one is freed.
    void setFrameTable(std::vector<FrameRecord> table) { frameTable_ = std::move(table); }
    const std::vector<FrameRecord>& frameTable() const { return frameTable_; }
    // Pushed on the accumulator's animation stack while the object is drawn.
    void setAnimation(int word) { animation_ = word; }
    int animation() const { return animation_; }

    // Marks the object, every instance branch showing it and the database.
    void markDirty();
    // Recomputes the bounds from the root when dirty.
    void clean();
    void traverse(Traverser& traverser);
    // Runs the processor over the root's tree.
    bool apply(BranchProcessor& processor);

    bool isDirty() const { return dirty_; }
    // In the object's own space.
    const Bounds& bounds() const { return bounds_; }
    Branch* root() const { return root_.get(); }
    Database* database() const { return database_; }
    // The instance branches showing this object, in the order they were bound.
    std::vector<InstanceBranch*> instances() const;
    // Entries of instance tables looked at or moved to bind and unbind
    // instance branches, over the whole process.
    static unsigned long instanceTableSteps();
    // Points the model library keeps with the object.
    std::vector<Vector>& points() { return points_; }

    // Called by the root branch when its bounds grew: takes them and passes
    // them to every instance branch.
    void rootBoundsGrew(const Bounds& b);

    // Stream block: 1 name, 2 database, 3 dirty, 4 bounds, 12 instances,
    // 20 root (taken over unless it belongs elsewhere; a second one is passed
    // over). Older streams carry two lists under 10 and 11 (dropped) and the
    // name of an external database under 21, which is read through the read
    // hook (a name the stream reaches again gives the same database) and
    // becomes the root in place of any named under 20 (showing nothing when
    // it would nest too deep: InstanceNesting); 13 and 14 belong to a layout
    // that cannot be read, and reject the stream.
    void read(orvel::DataSource& in) override;
    // Makes the external database's reference branch the root.
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::Object"; }
    void write(orvel::DataDest& out) override;

private:
    friend class Database;
    friend class InstanceBranch;

    std::vector<Vector> points_;
    orvel_string name_;
    Database* database_ = nullptr;
    bool dirty_ = true;
    Bounds bounds_;
    std::unique_ptr<Branch> root_;
    std::vector<FrameRecord> frameTable_;
    int animation_ = 0;
    // Instance branches in the order they were bound. One that leaves puts
    // a null in its place, which goes when nulls make up half the table:
    // each branch knows its place, so unbinding any number of them, in
    // any order, costs a step or two each.
    std::vector<InstanceBranch*> instances_;
    std::size_t instanceGaps_ = 0;
    // Set while the object is being cleaned, walked or growing its
    // instances: an object that shows itself through its instances (or
    // through a database that names itself) stops there instead of recursing
    // without end.
    bool cleaning_ = false, traversing_ = false, growing_ = false;

    void bindInstance(InstanceBranch* branch);
    // False when the table does not hold the branch where it says.
    bool unbindInstance(InstanceBranch* branch);
    void closeInstanceGaps();

    // The reader's hand-over of the root a stream names.
    static bool takeRoot(void* object, unsigned, orvel::Streamable* branch);

    // The external database a stream names and its file name, until
    // postRead shows it; the name goes with it, so that it is written again.
    orvel::counted_ptr<Database> external_;
    orvel_string externalName_;
};

}  // namespace kessa
