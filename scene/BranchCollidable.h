// What a branch with geometry offers collision and ray tracing: the nearest
// (or any) hit of a ray segment, and the triangles that may touch a box,
// both in the branch's own space.
#pragma once

#include <vector>

namespace kessa {

class Bounds;
class GeoBunch;
struct Ray;

// The hit a ray test found: its distance along the ray and the batch hit
// (with a word the geometry branch leaves 0).
struct RayHit {
    double distance = 0;
    GeoBunch* bunch = nullptr;
    unsigned word = 0;
};

// Leaves batches out of ray tests and gathering.
class BunchFilter {
public:
    virtual ~BunchFilter() = default;
    virtual bool skip(const GeoBunch& bunch) = 0;
};

// Three corners, x y z each.
struct GatheredTriangle {
    float p[9];
};
using TriangleVector = std::vector<GatheredTriangle>;

class BranchCollidable {
public:
    virtual ~BranchCollidable() = default;
    // Sets hit.distance to the ray's length, then lowers it to every nearer
    // hit; true when there was one. With anyHit the first hit ends the test
    // and hit.distance stays the ray's length.
    virtual bool intersectRay(const Ray& ray, RayHit& hit, bool anyHit, BunchFilter* filter) = 0;
    // Appends the triangles that may touch the box and returns the number of
    // vertex references walked (a statistic).
    virtual unsigned gatherTriangles(const Bounds& box, TriangleVector& out, BunchFilter* filter) = 0;
};

}  // namespace kessa
