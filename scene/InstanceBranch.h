// Shows another object under its own matrix. The object lists every instance
// branch that shows it, so that a change inside the object reaches each place
// it is drawn.
#pragma once

#include "scene/Branch.h"
#include "scene/Matrix.h"

namespace kessa {

class InstanceBranch : public Branch {
public:
    InstanceBranch() = default;
    // Leaves the object's instances table.
    ~InstanceBranch() override;

    bool growBounds(const Bounds& b) override;
    void clean() override;
    void traverse(Traverser& traverser) override;

    // Moves this branch from the current object's instances table to o's.
    // Throws the C string "InstanceBranch::setInstance() - object.instances
    // is messed up!" when the current object does not list this branch.
    void setInstance(Object* o);
    // Sets the matrix and its inverse, moves the bounds to the object's bounds
    // under it and passes them upwards.
    void setMatrix(const Matrix& m);
    // Stored and written for the model library only.
    void setFlag(bool flag) { flag_ = flag; }

    Object* instance() const { return instance_; }
    const Matrix& matrix() const { return matrix_; }
    const Matrix& inverse() const { return inverse_; }
    bool flag() const { return flag_; }
    // Engine time of the last setMatrix, -1 before the first.
    double stamp() const { return stamp_; }

    // Stream block after the branch's: 1 flag, 2 instance, 3 matrix (the
    // inverse is computed on reading).
    void read(orvel::DataSource& in) override;
    // Binds the object the stream named (which the stream must also give to
    // a database, or the reader deletes it). Once the stream is read, an
    // instance that would nest too deep or show the branch's own object is
    // dropped again (InstanceNesting).
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::InstanceBranch"; }
    void write(orvel::DataDest& out) override;

private:
    bool flag_ = true;
    Object* instance_ = nullptr;
    Matrix matrix_, inverse_;
    double stamp_ = -1;
    Object* streamInstance_ = nullptr;
    // Where the instance's table holds this branch.
    std::size_t tablePlace_ = 0;

    friend class Object;
};

}  // namespace kessa
