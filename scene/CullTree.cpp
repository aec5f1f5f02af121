#include "scene/CullTree.h"

#include <vector>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Debug.h"
#include "scene/BunchCallbacks.h"
#include "scene/GeoBunchStreams.h"
#include "scene/SceneStream.h"

namespace kessa {

CullTree::~CullTree() {
    // Each node is emptied before it goes, so no destructor recurses.
    std::vector<std::unique_ptr<CullTree>> doomed;
    for (std::unique_ptr<CullTree>& child : children_)
        if (child)
            doomed.push_back(std::move(child));
    while (!doomed.empty()) {
        std::unique_ptr<CullTree> tree = std::move(doomed.back());
        doomed.pop_back();
        for (std::unique_ptr<CullTree>& child : tree->children_)
            if (child)
                doomed.push_back(std::move(child));
    }
}

void CullTree::setChild(int i, std::unique_ptr<CullTree> tree) {
    children_[i & 1] = std::move(tree);
    if (CullTree* c = children_[i & 1].get())
        c->taken_ = true;
}

// A slot filled earlier keeps its tree: the reader still calls postRead on
// every object it read, so nothing taken may be deleted before the read ends.
bool CullTree::takeChild(void* slot, unsigned index, orvel::Streamable* object) {
    auto* self = static_cast<CullTree*>(slot);
    auto* tree = dynamic_cast<CullTree*>(object);
    if (!tree || tree->taken_ || self->children_[index])
        return false;
    const StreamNesting::Adoption adoption = self->nesting_.adopt(&tree->nesting_);
    if (adoption == StreamNesting::tooDeep)
        orvel::debug("!!!CullTree: a child that would nest more than %d levels deep was dropped\n", StreamNesting::maxDepth);
    if (adoption != StreamNesting::adopted)
        return false;
    self->setChild(int(index), std::unique_ptr<CullTree>(tree));
    return true;
}

bool CullTree::takeReference(void* slot, unsigned, orvel::Streamable* object) {
    orvel::Refcountable* counted = dynamic_cast<GeoBunch*>(object);
    if (!counted)
        counted = dynamic_cast<GeoBunch::RefStrm*>(object);
    if (!counted)
        counted = dynamic_cast<BunchCallbacks*>(object);
    if (!counted)
        return false;
    *static_cast<orvel::ref_ptr<orvel::Refcountable>*>(slot) = counted;
    return true;
}

void CullTree::read(orvel::DataSource& in) {
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case 1:
            if (in.context) {
                reference_ = nullptr;
                in.readReference(&reference_, &takeReference, orvel::DataSource::Hold::own);
            }
            break;
        case 2:
            bounds_.read(in);
            break;
        case 3:
            for (unsigned i = 0; i < 2 && in.context; ++i) {
                unsigned id = in.readUInt32();
                if (id != 0 && in.good())
                    in.addReference(id, this, &takeChild, orvel::DataSource::Hold::own, i);
            }
            break;
        default:
            break;
        }
    }
}

void CullTree::write(orvel::DataDest& out) {
    stream::writeTag(out, 1);
    out.writeStreamable(dynamic_cast<orvel::Streamable*>(reference_.get()));
    stream::writeTag(out, 2);
    bounds_.write(out);
    stream::writeTag(out, 3);
    out.writeStreamable(children_[0].get());
    out.writeStreamable(children_[1].get());
    stream::writeTag(out, 0);
}

}  // namespace kessa
