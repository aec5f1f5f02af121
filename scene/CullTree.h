// A tree of boxes over a geometry branch, as scene files carry it. Nothing
// builds or consults one: the branch keeps it, writes it and deletes it.
//
// Stream block: 1 a reference whose use is unknown (see reference()), 2 the
// bounds, 3 the two children (references); 0 ends it.
#pragma once

#include <memory>

#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "scene/Bounds.h"
#include "scene/StreamNesting.h"

namespace kessa {

class CullTree : public orvel::Streamable {
public:
    CullTree() = default;
    // Frees the tree without recursion, however deep it is.
    ~CullTree() override;

    const Bounds& bounds() const { return bounds_; }
    void setBounds(const Bounds& b) { bounds_ = b; }
    // Child 0 or 1, null for none.
    CullTree* child(int i) const { return children_[i & 1].get(); }
    void setChild(int i, std::unique_ptr<CullTree> tree);

    // The object the tree's first field names, its role unknown: held by a
    // count, so that it is written back as it was read. From a stream only
    // a batch, an element stream or a hook is taken, each held by plain
    // counts and holding no branch; a link to anything else is dropped: a
    // branch or an object may hold the tree's own branch (a count on it
    // would keep both alive for ever), a material or a texture belongs to
    // its counted holders, and other kinds have no count.
    orvel::Refcountable* reference() const { return reference_.get(); }
    void setReference(const orvel::ref_ptr<orvel::Refcountable>& object) { reference_ = object; }

    // Whether an owner took the tree over from a stream; a tree is taken
    // once, never by one of its own descendants, and never so that a node
    // lies more than StreamNesting::maxDepth levels below the top.
    bool taken() const { return taken_; }
    void markTaken() { taken_ = true; }

    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::CullTree"; }
    void write(orvel::DataDest& out) override;

private:
    static bool takeChild(void* slot, unsigned index, orvel::Streamable* object);
    static bool takeReference(void* slot, unsigned index, orvel::Streamable* object);

    orvel::ref_ptr<orvel::Refcountable> reference_;
    Bounds bounds_;
    std::unique_ptr<CullTree> children_[2];
    // Where the tree stands among the trees of a stream being read.
    StreamNesting nesting_;
    bool taken_ = false;
};

}  // namespace kessa
