#include "scene/CornerWelder.h"

#include <algorithm>
#include <cmath>

#include "base/Debug.h"

namespace kessa {

namespace {

double distance2(const GeoBunch::Float3& a, const GeoBunch::Float3& b) {
    const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return dx * dx + dy * dy + dz * dz;
}

}  // namespace

int CornerWelder::weld(const std::vector<GeoBunch::Float3>& corners, std::vector<int>& groupOf, bool triangles) {
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
    for (std::size_t t = 0; triangles && t + 2 < n; t += 3) {
        const double shortest2 = std::min({distance2(corners[t], corners[t + 1]), distance2(corners[t + 1], corners[t + 2]),
                                           distance2(corners[t + 2], corners[t])});
        if (shortest2 < 4 * rules.tolerance * rules.tolerance)
            for (std::size_t k = t; k < t + 3; ++k)
                tree_.limit(k, 0.5 * std::sqrt(shortest2));
    }
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
    const WeldTree::Item& last = tree_.item(end - 1);
    for (std::size_t i = begin; i < end; ++i) {
        const WeldTree::Item& it = tree_.item(i);
        for (unsigned k = 0; k < tree_.weight(it.position); ++k)
            orvel::debug("v=%.12f,%.12f,%.12f  match=%d\n", it.p[0], it.p[1], it.p[2], tree_.close(it, last) ? 1 : 0);
    }
}

}  // namespace kessa
