// The hook a branch may carry: the walk asks it before visiting the branch
// and tells it afterwards. Animation controllers, specials and the game's fog
// setter derive from it.
#pragma once

#include "base/Streamable.h"

namespace kessa {

class Branch;
class Traverser;

class TraversalCallback : public orvel::Streamable {
public:
    virtual void visit(Traverser& traverser);
    // False skips the branch and everything below it.
    virtual bool enter(Traverser& traverser, Branch* branch);
    virtual void leave(Traverser& traverser, Branch* branch);

    // The base class stores nothing: its block is the end tag alone.
    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::TraverserCallbacks"; }
    void write(orvel::DataDest& out) override;
};

}  // namespace kessa
