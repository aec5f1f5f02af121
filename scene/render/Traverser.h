// A walk over a scene, as the branches and objects see it. Branches call back
// into the walk as they are entered and left; what a walk does at each branch
// (drawing, collision, ray tests) is the implementation's business. The walk
// keeps, per level, the modelview matrix (local to camera) and its inverse.
#pragma once

#include "scene/Vector.h"

namespace kessa {

class Branch;
class Matrix;
class RenderAccumulator;

class Traverser {
public:
    virtual ~Traverser() = default;

    // 0 for a rendering walk; collision and ray walks use other words, and
    // level-of-detail branches blend between levels only in a rendering walk.
    virtual int mode() const = 0;
    // The culling-active word: set while branches must be tested with isCulled.
    virtual bool isCullingActive() const = 0;
    // True skips the branch and everything below it.
    virtual bool isCulled(Branch* branch) = 0;
    virtual void visitBranch(Branch* branch) = 0;

    // Enters a level whose points go through matrix on their way to the
    // parent level (inverse is its inverse); popTransform leaves it.
    virtual void pushTransform(const Matrix& matrix, const Matrix& inverse) = 0;
    virtual void popTransform() = 0;

    // Saves the culling state below a branch that passed its test (its
    // children need not be tested against planes it lies wholly inside);
    // both store the new culling-active word.
    virtual void pushCullMask() = 0;
    virtual void popCullMask() = 0;

    // The branches the walk is inside, innermost last (instance branches
    // record themselves while they show their object).
    virtual void pushRecordedBranch(Branch* branch) = 0;
    virtual void popRecordedBranch() = 0;
    // Counts one instance shown in this walk.
    virtual void countInstanceVisit() = 0;

    virtual RenderAccumulator& accumulator() = 0;
    // The current level's modelview matrix.
    virtual const Matrix& modelview() const = 0;
    // The camera-space point level-of-detail distances are measured from.
    virtual const Vector& referencePoint() const = 0;
    // Scales squared level-of-detail distances (1 / scale squared).
    virtual double lodFactor() const = 0;
};

}  // namespace kessa
