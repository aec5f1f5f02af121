#include "scene/Branch.h"

#include <new>

#include "scene/BranchProcessor.h"
#include "scene/BranchRenderable.h"
#include "scene/GroupBranch.h"
#include "scene/Matrix.h"
#include "scene/Object.h"
#include "scene/SceneStream.h"
#include "scene/render/TraversalCallback.h"
#include "scene/render/Traverser.h"

namespace kessa {

namespace {

constexpr std::size_t cacheLine = 64;
// The word the heap keeps in front of every block it hands out.
constexpr std::size_t blockHeader = sizeof(std::size_t);

// What to ask for so that the block, with its header, covers whole lines.
std::size_t wholeLines(std::size_t size) {
    return (size + blockHeader + cacheLine - 1) / cacheLine * cacheLine - blockHeader;
}

}  // namespace

void* Branch::operator new(std::size_t size) { return ::operator new(wholeLines(size)); }

// A branch always goes through its virtual destructor, which passes the size
// of the class that was made: rounded the same way, it is the size the block
// was asked for, as a sized delete must be.
void Branch::operator delete(void* p, std::size_t size) noexcept { ::operator delete(p, wholeLines(size)); }

Branch::~Branch() {
    if (parent_)
        parent_->detach(this);
    Branch::setOwner(nullptr);
}

bool Branch::hasChildren() const { return false; }

int Branch::childCount() const { return 0; }

Branch* Branch::child(int) { return this; }

const orvel::counted_ptr<pellium::TreeNode>& Branch::treeNode() {
    if (!treeNode_)
        treeNode_ = orvel::counted_ptr<pellium::TreeNode>(new pellium::TreeNode);
    treeNode_->setText(name_);
    return treeNode_;
}

bool Branch::apply(BranchProcessor& processor) { return processor.process(this); }

bool Branch::growBounds(const Bounds& b) {
    if (!bounds_.extendWithMargin(b, 0.0))
        return false;
    passBoundsUp();
    return true;
}

void Branch::passBoundsUp() {
    if (parent_)
        parent_->growBounds(bounds_);
    else if (owner_)
        owner_->rootBoundsGrew(bounds_);
}

void Branch::markDirty() {
    if (dirty_)
        return;
    dirty_ = true;
    if (parent_)
        parent_->markDirty();
    else if (owner_)
        owner_->markDirty();
}

void Branch::clean() { dirty_ = false; }

bool Branch::isDirty() const { return dirty_; }

void Branch::visitSelf(Traverser& traverser) {
    if (traverser.isCullingActive() && traverser.isCulled(this))
        return;
    TraversalCallback* callback = callback_.get();
    if (callback && !callback->enter(traverser, this))
        return;
    traverser.visitBranch(this);
    if (callback)
        callback->leave(traverser, this);
}

void Branch::traverse(Traverser& traverser) { visitSelf(traverser); }

void Branch::update() {
    if (renderable_)
        renderable_->update();
}

void Branch::transformBounds(Bounds& out, const Matrix& m) const { out.setTransformed(bounds_, m); }

void Branch::setOwner(Object* owner) { owner_ = owner; }

std::unique_ptr<Branch> Branch::replaceBy(std::unique_ptr<Branch>& holder) {
    GroupBranch* parent = parent_;
    if (!parent || !holder)
        return nullptr;
    parent->place(parent->indexOf(this), holder.release());
    GroupBranch::cutLinks(this);
    setOwner(nullptr);
    parent->markDirty();
    return std::unique_ptr<Branch>(this);
}

bool Branch::isRootOf(const Object* object) const { return object->root() == this; }

void Branch::read(orvel::DataSource& in) {
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            in >> name_;
            break;
        case 2:
        case 3:
            stream::skipReference(in);
            break;
        case 4:
            in >> dirty_;
            break;
        case 5:
            bounds_.read(in);
            break;
        case 6:
            in >> collisionMode_;
            break;
        case 7:
        case 11:
            in.readStreamable(callback_);
            break;
        case 8:
            in.readUInt32();
            break;
        case 10:
            in >> userWord_;
            break;
        default:
            break;
        }
    }
}

void Branch::write(orvel::DataDest& out) {
    using stream::writeTag;
    writeTag(out, 1);
    out << name_;
    writeTag(out, 2);
    out.writeLink(owner_);
    writeTag(out, 3);
    out.writeLink(parent_);
    writeTag(out, 4);
    out << dirty_;
    writeTag(out, 5);
    bounds_.write(out);
    writeTag(out, 6);
    out << collisionMode_;
    writeTag(out, 10);
    out << userWord_;
    writeTag(out, 11);
    out.writeStreamable(callback_);
    writeTag(out, 0);
}

}  // namespace kessa
