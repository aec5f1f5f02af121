// Draws the root object of another database, named by file. The target
// database lists the branches that point at it.
#pragma once

#include "base/counted_ptr.h"
#include "scene/Branch.h"

namespace kessa {

class Database;

class ExrefBranch : public Branch {
public:
    ExrefBranch() = default;
    // Leaves the target's list before releasing it.
    ~ExrefBranch() override;

    // Cleans the target and takes its root object's bounds.
    void clean() override;
    // Walks the target's root object.
    void traverse(Traverser& traverser) override;

    void setTarget(const orvel::counted_ptr<Database>& target);
    void setTargetName(const orvel_string& name) { targetName_ = name; }

    const orvel::counted_ptr<Database>& target() const { return target_; }
    const orvel_string& targetName() const { return targetName_; }

    // Stream block after the branch's: 1 targetName.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::ExrefBranch"; }
    void write(orvel::DataDest& out) override;

private:
    orvel::counted_ptr<Database> target_;
    orvel_string targetName_;
};

}  // namespace kessa
