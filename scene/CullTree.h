// A tree of boxes over a geometry branch, as scene files carry it. Nothing
// builds or consults one: the branch keeps it, writes it and deletes it.
//
// Stream block: 1 a reference whose use is unknown (read past: its object
// belongs to whatever else holds it, and a link kept here could outlive it),
// 2 the bounds, 3 the two children (references); 0 ends it.
#pragma once

#include <memory>

#include "base/Streamable.h"
#include "scene/Bounds.h"

namespace kessa {

class CullTree : public orvel::Streamable {
public:
    CullTree() = default;

    const Bounds& bounds() const { return bounds_; }
    void setBounds(const Bounds& b) { bounds_ = b; }
    // Child 0 or 1, null for none.
    CullTree* child(int i) const { return children_[i & 1].get(); }
    void setChild(int i, std::unique_ptr<CullTree> tree);

    // Whether an owner took the tree over from a stream; a tree is taken
    // once, and never by one of its own descendants.
    bool taken() const { return taken_; }
    void markTaken() { taken_ = true; }

    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::CullTree"; }
    void write(orvel::DataDest& out) override;

private:
    static bool takeChild(void* slot, unsigned index, orvel::Streamable* object);

    Bounds bounds_;
    std::unique_ptr<CullTree> children_[2];
    CullTree* parent_ = nullptr;
    bool taken_ = false;
};

}  // namespace kessa
