// The leaf that carries drawable geometry: an ordered list of triangle
// batches it holds, an optional hook called before each batch is compiled
// or drawn, a billboard mode that turns the branch towards the viewer, and
// an optional cull tree read from scene files (kept and written only).
//
// The branch holds a count on each batch it lists and lets go of it when
// the batch leaves or the branch goes; a batch destroyed while listed takes
// itself out of the list. The list never holds a null entry.
#pragma once

#include <memory>
#include <vector>

#include "base/Refcountable.h"
#include "scene/Branch.h"
#include "scene/BranchCollidable.h"
#include "scene/BranchRenderable.h"
#include "scene/BunchCallbacks.h"
#include "scene/BunchHolder.h"
#include "scene/CullTree.h"
#include "scene/GeoBunch.h"

namespace kessa {

class GeoBunchBuilder;

class GeometryBranch : public Branch, public BranchRenderable, public BranchCollidable, public BunchHolder {
public:
    enum BillboardMode : int {
        noBillboard = 0,
        // Turned about its z axis to face the viewer.
        turnAboutZ = 1,
        // Keeps its place but loses the rotation and scale above it.
        faceViewer = 2,
    };

    GeometryBranch();
    // Lets go of every batch, the last first.
    ~GeometryBranch() override;

    // The bounds rebuilt from every batch's bounds, each recomputed; a
    // billboard's box is widened to hold its turns.
    void clean() override;
    // Billboards are walked under the turn that faces them to the viewer.
    void traverse(Traverser& traverser) override;

    // Appends the batch, becomes its owner and grows the bounds by its bounds.
    void addBunch(orvel::ref_ptr<GeoBunch> bunch);
    // Builds a batch from the triangles and adds it; an empty list adds
    // nothing.
    void addTriangles(const GeoBunchBuilder& builder);
    // Lets go of every batch, the last first.
    void deleteBunches();
    const std::vector<GeoBunch*>& bunches() const { return bunches_; }

    // The hook every batch of the branch is given; a branch kind may watch
    // it change.
    virtual void setAttachment(const orvel::ref_ptr<BunchCallbacks>& callbacks) { callbacks_ = callbacks; }
    const orvel::ref_ptr<BunchCallbacks>& attachment() const { return callbacks_; }
    void setBillboardMode(int mode) { billboardMode_ = mode; }
    int billboardMode() const { return billboardMode_; }
    CullTree* cullTree() const { return cullTree_.get(); }
    void setCullTree(std::unique_ptr<CullTree> tree);

    // Hands every batch, in order, to the walk's accumulator under the
    // current modelview.
    void render(Traverser& traverser) override;
    // Compiles every batch (needs the GL context); also what the branch's
    // update does.
    void update() override;

    // Over the batches the filter does not skip, in order; the hit names
    // the batch that gave it.
    bool intersectRay(const Ray& ray, RayHit& hit, bool anyHit, BunchFilter* filter) override;
    unsigned gatherTriangles(const Bounds& box, TriangleVector& out, BunchFilter* filter) override;

    const Branch& holderBranch() const override { return *this; }
    BunchCallbacks* bunchCallbacks() const override { return callbacks_.get(); }
    void forgetBunch(GeoBunch* bunch) override;

    // Registers the cull tree's type, which is what registerTypes does for
    // this branch and its kinds.
    static void registerCreators(orvel::DataSource& source);
    void registerTypes(orvel::DataSource& source) override { registerCreators(source); }
    // After the branch's block, read only when its first byte is tag 10:
    // 10 the batches (a list of references), 11 the hook, 12 the cull tree
    // (references), 13 the billboard mode (int32).
    void read(orvel::DataSource& in) override;
    // Becomes the owner of the batches it took, whose internals were read
    // after they were handed over.
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::GeometryBranch"; }
    void write(orvel::DataDest& out) override;

protected:
    // Billboards turn: turning about z merges the x and y ranges of the box
    // from low to high, facing the viewer merges all three.
    void widenForTurns(Vector& low, Vector& high) const;

private:
    // The reader's hand-overs of a listed batch and of the cull tree.
    static bool takeBunch(void* branch, unsigned index, orvel::Streamable* object);
    static bool takeCullTree(void* branch, unsigned index, orvel::Streamable* object);
    void letGo(GeoBunch* bunch);

    std::vector<GeoBunch*> bunches_;
    orvel::ref_ptr<BunchCallbacks> callbacks_;
    int billboardMode_ = noBillboard;
    std::unique_ptr<CullTree> cullTree_;
};

}  // namespace kessa
