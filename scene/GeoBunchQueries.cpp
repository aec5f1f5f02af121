// Ray tests and triangle gathering on a batch: tight loops over its layout
// that read positions only, with no call per triangle beyond the inlined
// test.
#include <cmath>

#include "scene/GeoBunchInternals.h"
#include "scene/Ray.h"
#include "scene/TriangleWeights.h"

namespace kessa {

namespace {

struct Segment {
    double o[3], d[3], e[3], length;
    bool oneSided;
};

// Whether the segment crosses the triangle strictly inside it nearer than
// best, and where.
// The positions as the vertex stream holds them now (null without any), and
// their number: a stream edited in place may have moved since the cached
// pointer was taken.
const GeoBunch::Float3* positionsOf(const GeoBunchInternals& in, unsigned& n) {
    const auto& v = in.vertices();
    n = v ? v->size() : 0;
    return n ? v->data() : nullptr;
}

inline bool crosses(const Segment& r, const GeoBunch::Float3& A, const GeoBunch::Float3& B,
                    const GeoBunch::Float3& C, double best, double& t) {
    const double ax = A.x, ay = A.y, az = A.z;
    const double e1[3] = {B.x - ax, B.y - ay, B.z - az}, e2[3] = {C.x - ax, C.y - ay, C.z - az};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    if (r.oneSided && n[0] * r.d[0] + n[1] * r.d[1] + n[2] * r.d[2] >= 0)
        return false;
    const double f0 = n[0] * (r.o[0] - ax) + n[1] * (r.o[1] - ay) + n[2] * (r.o[2] - az);
    const double f1 = n[0] * (r.e[0] - ax) + n[1] * (r.e[1] - ay) + n[2] * (r.e[2] - az);
    if (!(f0 * f1 < 0))
        return false;
    const double hit = f0 / (f0 - f1) * r.length;
    if (!(hit < best))
        return false;
    const double p[3] = {r.o[0] + hit * r.d[0] - ax, r.o[1] + hit * r.d[1] - ay, r.o[2] + hit * r.d[2] - az};
    double u, v;
    triangleWeights(p, e1, e2, n, u, v);
    if (!(u > 0 && v > 0 && u + v < 1))
        return false;
    t = hit;
    return true;
}

unsigned outcode(const GeoBunch::Float3& p, const double lo[3], const double hi[3]) {
    return (p.x < lo[0] ? 1u : 0u) | (p.x > hi[0] ? 2u : 0u) | (p.y < lo[1] ? 4u : 0u) | (p.y > hi[1] ? 8u : 0u) |
           (p.z < lo[2] ? 16u : 0u) | (p.z > hi[2] ? 32u : 0u);
}

}  // namespace

bool GeoBunch::intersectRay(const Ray& ray, RayHit& hit, bool anyHit) const {
    const GeoBunchInternals& in = *internals_;
    unsigned n;
    const Float3* v = positionsOf(in, n);
    if (!v)
        return false;
    Segment r;
    const Vector end = ray.endPoint();
    for (int i = 0; i < 3; ++i) {
        r.o[i] = ray.origin[i];
        r.d[i] = ray.direction[i];
        r.e[i] = end[i];
    }
    r.length = ray.length;
    r.oneSided = material_.first != 0;
    double best = hit.distance;
    bool any = false;
    in.walkTriangles([&](unsigned a, unsigned b, unsigned c) {
        double t;
        if (a >= n || b >= n || c >= n || !crosses(r, v[a], v[b], v[c], best, t))
            return true;
        if (anyHit) {
            any = true;
            return false;
        }
        best = t;
        return true;
    });
    if (anyHit)
        return any;
    if (!(best < hit.distance))
        return false;
    hit.distance = best;
    return true;
}

unsigned GeoBunch::gatherTriangles(const Bounds& box, TriangleVector& out) const {
    const GeoBunchInternals& in = *internals_;
    unsigned n;
    const Float3* v = positionsOf(in, n);
    if (!v || !box.valid())
        return 0;
    const double lo[3] = {box.min().x, box.min().y, box.min().z};
    const double hi[3] = {box.max().x, box.max().y, box.max().z};
    const bool twoSided = material_.first == 0;
    const unsigned strips = in.walkTriangles([&](unsigned a, unsigned b, unsigned c) {
        if (a >= n || b >= n || c >= n)
            return true;
        const Float3 &A = v[a], &B = v[b], &C = v[c];
        if (outcode(A, lo, hi) & outcode(B, lo, hi) & outcode(C, lo, hi))
            return true;
        out.push_back({{A.x, A.y, A.z, B.x, B.y, B.z, C.x, C.y, C.z}});
        if (twoSided)
            out.push_back({{A.x, A.y, A.z, C.x, C.y, C.z, B.x, B.y, B.z}});
        return true;
    });
    return in.indices() ? in.indices()->size() : strips;
}

}  // namespace kessa
