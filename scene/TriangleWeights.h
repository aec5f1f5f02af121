// Where a point of a triangle's plane lies against the triangle: the
// weights of its second and third corners. They are worked out in the two
// axes other than the normal's largest component, a 2D problem with the
// same answer, taken in cyclic order so that the 2D crosses keep the
// normal's sign. Ties take either: the component is never 0 for a triangle
// with an area, also for walls at 45 degrees.
#pragma once

#include <cmath>

namespace kessa {

// p is the point less the first corner, e1 and e2 the edges from the first
// corner to the others, n = e1 x e2; each indexed 0 to 2 for x, y and z.
template <class V>
inline void triangleWeights(const V& p, const V& e1, const V& e2, const V& n, double& u, double& v) {
    const double mx = std::fabs(n[0]), my = std::fabs(n[1]), mz = std::fabs(n[2]);
    if (mx >= my && mx >= mz) {
        u = (p[1] * e2[2] - p[2] * e2[1]) / n[0];
        v = (e1[1] * p[2] - e1[2] * p[1]) / n[0];
    } else if (my >= mz) {
        u = (p[2] * e2[0] - p[0] * e2[2]) / n[1];
        v = (e1[2] * p[0] - e1[0] * p[2]) / n[1];
    } else {
        u = (p[0] * e2[1] - p[1] * e2[0]) / n[2];
        v = (e1[0] * p[1] - e1[1] * p[0]) / n[2];
    }
}

}  // namespace kessa
