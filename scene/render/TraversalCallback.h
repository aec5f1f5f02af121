// The hook a branch may carry: the walk asks it before visiting the branch
// and tells it afterwards. Animation controllers, specials and the game's fog
// setter derive from it.
#pragma once

namespace kessa {

class Branch;
class Traverser;

class TraversalCallback {
public:
    virtual ~TraversalCallback() = default;

    virtual void visit(Traverser& traverser);
    // False skips the branch and everything below it.
    virtual bool enter(Traverser& traverser, Branch* branch);
    virtual void leave(Traverser& traverser, Branch* branch);
};

}  // namespace kessa
