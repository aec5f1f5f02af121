#include "scene/StreamNesting.h"

#include <algorithm>

namespace kessa {

namespace {

unsigned long linkSteps = 0;

}  // namespace

StreamNesting* StreamNesting::top(int& depth) {
    StreamNesting* top = this;
    depth = 0;
    for (; top->up_; top = top->up_) {
        depth += top->depth_;
        ++linkSteps;
    }
    int below = depth;
    for (StreamNesting* n = this; n != top;) {
        StreamNesting* up = n->up_;
        const int step = n->depth_;
        n->up_ = top;
        n->depth_ = below;
        below -= step;
        n = up;
    }
    return top;
}

StreamNesting::Adoption StreamNesting::adopt(StreamNesting* child) {
    int depth;
    StreamNesting* top = this->top(depth);
    if (child == top)
        return ring;
    const int height = depth + 1 + (child ? child->height_ : 0);
    if (height > maxDepth)
        return tooDeep;
    if (child) {
        child->up_ = top;
        child->depth_ = depth + 1;
    }
    top->height_ = std::max(top->height_, height);
    return adopted;
}

unsigned long StreamNesting::steps() { return linkSteps; }

}  // namespace kessa
