// The node of every scene. An object holds a tree of branches; group branches
// hold ordered children, and the special kinds (switch, level of detail,
// instance, joint, external reference, geometry) derive from these two.
//
// A branch's bounds are in its parent's space. Changes travel upwards in two
// ways: markDirty (the next clean recomputes bounds bottom-up) and growBounds
// (bounds only grow, at once, along the ancestors).
#pragma once

#include <cstddef>
#include <memory>

#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"
#include "gui/TreeViewable.h"
#include "scene/Bounds.h"
#include "scene/DoublePrecision.h"

namespace kessa {

class BranchCollidable;
class BranchProcessor;
class BranchRenderable;
class GroupBranch;
class Matrix;
class Object;
class TraversalCallback;
class Traverser;

class Branch : public DoublePrecision,
               public pellium::TreeViewable,
               public orvel::Refcountable,
               public orvel::Streamable {
public:
    enum CollisionMode : int {
        collideAlways = 0,
        collideNever = 1,
        collideInMode2 = 2,   // only while the database's mode-2 switch is on
        ignoredInMode3 = 3,   // not while the database's mode-3 switch is on
    };

    Branch() = default;
    // Leaves the parent's children and the owner.
    ~Branch() override;
    Branch(const Branch&) = delete;
    Branch& operator=(const Branch&) = delete;

    // Every branch, of whatever kind, gets a heap block that covers whole
    // cache lines. What is made right after a branch (a leaf's batch, the next
    // leaf) then lies a whole number of lines after it, and the words a walk
    // reads of both keep their places against the lines; on blocks packed at
    // the heap's 16 bytes those places, and the walk's time, shifted with the
    // size of the class.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

    bool hasChildren() const override;
    int childCount() const override;
    // The branch itself; groups give their child i.
    Branch* child(int i) override;
    // The node a tree view shows for this branch, made on the first call,
    // with the branch's name as its text.
    const orvel::counted_ptr<pellium::TreeNode>& treeNode() override;
    // Returns the processor's answer for this branch; groups walk their
    // children too.
    virtual bool apply(BranchProcessor& processor);
    // Grows the bounds to hold b and, when they grew, passes them upwards.
    // Returns whether they grew.
    virtual bool growBounds(const Bounds& b);
    // Marks this branch and, once, every ancestor, its object and database.
    virtual void markDirty();
    // Brings the bounds up to date and clears the dirty flag.
    virtual void clean();
    virtual bool isDirty() const;
    virtual void traverse(Traverser& traverser);
    // Tells the renderable that the geometry changed.
    virtual void update();
    // out = the bounds moved by m.
    virtual void transformBounds(Bounds& out, const Matrix& m) const;
    virtual void setOwner(Object* owner);

    // Moves the branch held by holder (which is emptied) into this branch's
    // place in its parent and returns this branch, now detached and with no
    // link into the group, to the caller. Without a parent nothing happens
    // and null is returned.
    std::unique_ptr<Branch> replaceBy(std::unique_ptr<Branch>& holder);

    // Stream block: 1 name, 2 owner, 3 parent, 4 dirty, 5 bounds, 6 collision
    // mode, 10 user word, 11 callback. Older streams carry the callback's
    // record under 7, a dropped word under 8 and nothing under 9.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::Branch"; }
    void write(orvel::DataDest& out) override;

    void setName(const orvel_string& name) { name_ = name; }
    const orvel_string& name() const { return name_; }
    void setCallback(const orvel::counted_ptr<TraversalCallback>& callback) { callback_ = callback; }
    const orvel::counted_ptr<TraversalCallback>& callback() const { return callback_; }
    void setCollisionMode(int mode) { collisionMode_ = mode; }
    int collisionMode() const { return collisionMode_; }
    // A word stored and written for the model library; the scene leaves it alone.
    void setUserWord(unsigned word) { userWord_ = word; }
    unsigned userWord() const { return userWord_; }

    const Bounds& bounds() const { return bounds_; }
    Object* owner() const { return owner_; }
    GroupBranch* parent() const { return parent_; }
    // This branch when it is a group, else null.
    GroupBranch* group() const { return group_; }
    BranchRenderable* renderable() const { return renderable_; }
    BranchCollidable* collidable() const { return collidable_; }

protected:
    // Hands the bounds to the parent's growBounds or, at an object's root, to
    // the object and every instance that shows it.
    void passBoundsUp();
    // Visits this branch alone: the culling test, the callback's enter, the
    // visit, the callback's leave.
    void visitSelf(Traverser& traverser);

    void setGroup(GroupBranch* group) { group_ = group; }
    void setRenderable(BranchRenderable* renderable) { renderable_ = renderable; }
    void setCollidable(BranchCollidable* collidable) { collidable_ = collidable; }

    // Whether this branch may be taken over by an owner found in a stream.
    bool canBeAdopted() const { return !parent_ && !(owner_ && isRootOf(owner_)); }

private:
    // What a walk reads of every branch it visits comes first, beside the
    // bounds: a frame visits branches by the hundred thousand, and each
    // cache line more per branch shows in its time.
    orvel::counted_ptr<TraversalCallback> callback_;
    BranchRenderable* renderable_ = nullptr;

protected:
    Bounds bounds_;
    bool dirty_ = true;

private:
    friend class GroupBranch;
    friend class Object;

    bool isRootOf(const Object* object) const;

    unsigned userWord_ = 0;
    orvel_string name_;
    Object* owner_ = nullptr;
    GroupBranch* parent_ = nullptr;
    int collisionMode_ = collideAlways;
    GroupBranch* group_ = nullptr;
    BranchCollidable* collidable_ = nullptr;
    orvel::counted_ptr<pellium::TreeNode> treeNode_;
};

}  // namespace kessa
