#include "scene/CornerWelder.h"

#include <cmath>

#include "base/Debug.h"

namespace kessa {

int CornerWelder::weld(const std::vector<GeoBunch::Float3>& corners, std::vector<int>& groupOf) {
    const std::size_t n = corners.size();
    groupOf.assign(n, -1);
    if (n == 0)
        return 0;
    tree_.clear(n);
    double p[3];
    tree_.add(n, [&](std::size_t i) {
        p[0] = corners[i].x, p[1] = corners[i].y, p[2] = corners[i].z;
        return p;
    });
    double lo[3], hi[3], centre[3], diagonal2 = 0;
    tree_.box(lo, hi);
    tree_.bulkBox(lo, hi);
    for (int axis = 0; axis < 3; ++axis) {
        centre[axis] = (lo[axis] + hi[axis]) * 0.5;
        diagonal2 += (hi[axis] - lo[axis]) * (hi[axis] - lo[axis]);
    }
    WeldTree::Rules rules;
    const double r = std::sqrt(diagonal2) * 0.5;
    rules.tolerance = r > 0 ? r * 8e-5 : 0;
    tree_.build(rules, centre);
    for (int g = 0; g < tree_.groupCount(); ++g)
        if (tree_.undivided(g))
            logUndivided(g);
    for (std::size_t i = 0; i < n; ++i)
        groupOf[i] = tree_.groupOfPoint(i);
    return tree_.groupCount();
}

// Every corner of the group, with whether it lies close to the group's
// last position.
void CornerWelder::logUndivided(int group) const {
    orvel::debug("Safety...\n");
    const std::size_t begin = tree_.groupStart(group), end = tree_.groupStart(group + 1);
    const double* last = tree_.item(end - 1).p;
    for (std::size_t i = begin; i < end; ++i) {
        const WeldTree::Item& it = tree_.item(i);
        for (unsigned k = 0; k < tree_.weight(it.position); ++k)
            orvel::debug("v=%.12f,%.12f,%.12f  match=%d\n", it.p[0], it.p[1], it.p[2], tree_.close(it.p, last) ? 1 : 0);
    }
}

}  // namespace kessa
