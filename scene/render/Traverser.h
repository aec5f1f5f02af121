// A walk over a scene. Branches call back into the walk as they are entered
// and left; what happens at each branch (drawing, collision, ray tests) is
// decided by the subclass. The walk keeps, per level, the modelview matrix
// (local to camera) and its inverse (camera to local).
//
// Every level takes a fresh matrix record, and records come from pools of
// 128 that are never freed nor moved while the traverser lives: the render
// accumulator keeps pointers to them until the frame is drawn. A walk reuses
// the records of the walks before it, so a walk allocates nothing once the
// pools are as large as the deepest frame needed.
#pragma once

#include <memory>
#include <vector>

#include "scene/Matrix.h"
#include "scene/Vector.h"

namespace kessa {

class BoxRenderList;
class Branch;
class RenderAccumulator;
class Viewer;

class Traverser {
public:
    // Mode 0 is a rendering walk; other modes (collision, ray tests) make
    // level-of-detail branches show one level without blending.
    explicit Traverser(int mode = 0);
    virtual ~Traverser();
    Traverser(const Traverser&) = delete;
    Traverser& operator=(const Traverser&) = delete;

    // Hands the walk to the branch's renderable, when it has one.
    virtual void visitBranch(Branch* branch);
    // Enters a level whose points go through matrix on their way to the
    // current level (inverse is its inverse).
    virtual void pushTransform(const Matrix& matrix, const Matrix& inverse);
    // Back to the level that was current before the matching push.
    virtual void popTransform();
    // Called as each walk begins.
    virtual void beginTraversal();
    virtual void setViewer(Viewer& viewer);
    // Whether branches must be tested with isCulled as the walk begins.
    virtual bool cullingActive();
    // True skips the branch and everything below it. The base walk culls nothing.
    virtual bool isCulled(Branch* branch);
    // Called by pushTransform and popTransform with the new level's inverse.
    virtual void transformView(const Matrix& inverse);
    virtual void restoreView();
    // Save and restore the culling state around a branch that passed its
    // test; each returns whether culling is still needed.
    virtual bool pushMask();
    virtual bool popMask();

    // Prepares a walk with these matrices on its first level. The scene is
    // then walked by handing the traverser to a database or a branch.
    void traverseWith(const Matrix& modelview, const Matrix& inverse);

    // The culling-active word: whether branches are tested at all. The mask
    // calls of the branches store what pushMask and popMask answer.
    bool isCullingActive() const { return cullingActive_; }
    void pushCullMask() { cullingActive_ = pushMask(); }
    void popCullMask() { cullingActive_ = popMask(); }

    // Tests a branch that has children and, when it stands while culling is
    // active, saves the mask for its children until the scope ends.
    class CullScope {
    public:
        CullScope(Traverser& traverser, Branch* branch) : traverser_(traverser) {
            if (!traverser.isCullingActive())
                return;
            culled_ = traverser.isCulled(branch);
            if (!culled_) {
                traverser.pushCullMask();
                masked_ = true;
            }
        }
        ~CullScope() {
            if (masked_)
                traverser_.popCullMask();
        }
        CullScope(const CullScope&) = delete;
        CullScope& operator=(const CullScope&) = delete;
        bool culled() const { return culled_; }

    private:
        Traverser& traverser_;
        bool culled_ = false;
        bool masked_ = false;
    };

    // The instance branches the walk is inside, innermost last.
    void pushRecordedBranch(Branch* branch) { recorded_.push_back(branch); }
    void popRecordedBranch() {
        if (!recorded_.empty())
            recorded_.pop_back();
    }
    const std::vector<Branch*>& recordedBranches() const { return recorded_; }
    // Instances shown in this walk.
    void countInstanceVisit() { ++instanceVisits_; }
    int instanceVisits() const { return instanceVisits_; }

    int mode() const { return mode_; }
    // Where items go: the traverser's own accumulator unless another is set.
    RenderAccumulator& accumulator() { return *accumulator_; }
    // Null goes back to the traverser's own.
    void setAccumulator(RenderAccumulator* accumulator);

    // The current level's modelview record; its address stays valid until
    // the next walk begins.
    const Matrix& modelview() const { return recordA(current_).matrix; }
    const Matrix& inverseModelview() const { return recordB(current_).matrix; }
    // Levels entered below the first one.
    int depth() const { return depth_; }

    // The camera-space point level-of-detail distances are measured from;
    // the camera's origin at the start of every walk.
    const Vector& referencePoint() const { return referencePoint_; }
    void setReferencePoint(double x, double y, double z) { referencePoint_ = Vector(x, y, z); }
    // Distances seem scale times shorter; 1 at the start of every walk.
    void setLodScale(float scale);
    float lodScale() const { return lodScale_; }
    // 1 / scale squared, 0 for a scale of 0: squared distances are multiplied by it.
    double lodFactor() const { return lodFactor_; }

    // Debug boxes and frustums queued for the next frame.
    BoxRenderList& boxRenderList() { return *boxes_; }
    // Matrix records the pools hold (grows by 128 at a time).
    int recordCapacity() const { return int(poolsA_.size()) * poolSize; }

private:
    static constexpr int poolSize = 128;
    struct MatrixRecord {
        int parent;
        Matrix matrix;
    };
    using Pool = std::unique_ptr<MatrixRecord[]>;

    MatrixRecord& recordA(int i) { return poolsA_[i / poolSize][i % poolSize]; }
    MatrixRecord& recordB(int i) { return poolsB_[i / poolSize][i % poolSize]; }
    const MatrixRecord& recordA(int i) const { return poolsA_[i / poolSize][i % poolSize]; }
    const MatrixRecord& recordB(int i) const { return poolsB_[i / poolSize][i % poolSize]; }
    void addPools();

    RenderAccumulator* accumulator_;
    int mode_;
    std::vector<Pool> poolsA_, poolsB_;
    int current_ = -1, nextFree_ = 0, depth_ = -1;
    std::vector<Branch*> recorded_;
    Vector referencePoint_;
    float lodScale_ = 1;
    double lodFactor_ = 1;
    bool cullingActive_ = false;
    int instanceVisits_ = 0;
    std::unique_ptr<RenderAccumulator> ownAccumulator_;
    std::unique_ptr<BoxRenderList> boxes_;
    // The accumulator and frame the box list was last added to.
    const RenderAccumulator* boxesIn_ = nullptr;
    unsigned boxesFrame_ = 0;
};

}  // namespace kessa
