// Welding: every vertex of a polygon branch is given the index of a welded
// position, and the vertices of one position are linked into a ring.
//
// The vertices are sorted into the eight octants around the bounds' centre
// (the centre of the box without strays, when a few vertices lie far beyond
// the rest: WeldTree::bulkBox), and an octant is divided again around the
// mean of its vertices until all of its vertices lie within the tolerance
// of its first (or it got every vertex of the node it came from). Vertices
// near a dividing plane must not be torn apart by it: at the top a vertex
// strictly inside the tolerance's band around a plane is held back and
// placed later, together with every later held-back vertex closer to it
// than the tolerance, in its own octant; further down every vertex is
// placed that way. The tree (WeldTree.h) works on the distinct places, and
// follows the vertices' own order where they share one.
#include <vector>

#include "scene/PolygonBranch.h"
#include "scene/WeldTree.h"

namespace kessa {

void PolygonBranch::weld() {
    welded_.clear();
    std::size_t count = 0;
    for (const Polygon* p : polygons_)
        count += std::size_t(p->vertexCount());
    std::vector<PolygonVertex*> vertices;
    vertices.reserve(count);
    for (Polygon* p : polygons_)
        for (PolygonVertex* v = p->firstVertex(); v; v = v->next()) {
            v->visited = p->smooth();
            v->neighbour = nullptr;
            v->samePosition = nullptr;
            v->weldIndex = -1;
            vertices.push_back(v);
        }
    if (vertices.empty())
        return;
    WeldTree tree;
    tree.clear(vertices.size());
    tree.add(vertices.size(), [&](std::size_t i) { return vertices[i]->position(); });
    // The tolerance is a single-precision fraction of the bounds' size, or
    // of the box around the vertices without their strays.
    double centre[3] = {bounds_.centre().x, bounds_.centre().y, bounds_.centre().z}, radius = bounds_.radius();
    double lo[3], hi[3];
    if (tree.bulkBox(lo, hi)) {
        const Vector low(lo[0], lo[1], lo[2]), high(hi[0], hi[1], hi[2]), middle = (low + high) * 0.5;
        centre[0] = middle.x, centre[1] = middle.y, centre[2] = middle.z;
        radius = (high - middle).length();
    }
    WeldTree::Rules rules;
    rules.tolerance = radius * double(1e-6f);
    rules.slabsOnEveryLevel = false;
    rules.pointByPoint = true;
    tree.build(rules, centre);

    // Gathered by number first and handed to the vertices in their own
    // order: the vertices lie far apart in memory.
    std::vector<int> index(vertices.size());
    std::vector<unsigned> following(vertices.size()), ring;
    for (int g = 0; g < tree.groupCount(); ++g) {
        tree.pointsOf(g, ring);
        for (std::size_t i = 0; i < ring.size(); ++i) {
            index[ring[i]] = g;
            following[ring[i]] = ring[i + 1 < ring.size() ? i + 1 : 0];
        }
        welded_.push_back(vertices[ring[0]]);
    }
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        vertices[i]->weldIndex = index[i];
        vertices[i]->samePosition = vertices[following[i]];
    }
}

}  // namespace kessa
