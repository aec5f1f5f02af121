// Places the children of a container and tells the size they want together.
// Shared by reference count. Coordinates are window coordinates, y upward:
// "bottom" is the low-y side.
#pragma once

#include "base/Refcountable.h"

namespace pellium {

class Component;
class Container;

class LayoutManager : public orvel::Refcountable {
public:
    ~LayoutManager() override = default;
    virtual void calcSize(Container& container, int& width, int& height) = 0;
    virtual void layout(Container& container) = 0;
    // Called for every child added, with the constraint it was added with.
    virtual void addConstraint(Component*, int) {}
    virtual void removeAll() {}
};

}  // namespace pellium
