// Loose triangles, materials and random triangle soups for the tests of
// building, querying and colliding with geometry.
#pragma once

#include <array>
#include <random>
#include <vector>

#include "scene/GeoBunchBuilder.h"
#include "scene/GeoBunchInternals.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"

namespace kessa_test {

using kessa::GeoBunch;
using kessa::GeoBunchBuilder;

inline GeoBunchBuilder::Triangle triangle(GeoBunch::Float3 a, GeoBunch::Float3 b, GeoBunch::Float3 c,
                                          GeoBunch::Float3 normal = {0, 0, 1},
                                          GeoBunch::Color4 colour = {255, 255, 255, 255}) {
    GeoBunchBuilder::Triangle t = {};
    const GeoBunch::Float3 p[3] = {a, b, c};
    for (int k = 0; k < 3; ++k)
        t.corners[k] = {p[k], normal, colour, {{0, 0}, {0, 0}}};
    return t;
}

// A material that puts only the asked-for attributes into its vertices.
inline orvel::counted_ptr<kessa::Material> materialWith(bool normals, bool colours, bool texture0 = false) {
    orvel::counted_ptr<kessa::Material> m(new kessa::Material(pellium::Color{1, 1, 1, 1}));
    m->setVertexNormals(normals);
    m->setVertexColours(colours);
    if (texture0)
        m->setTexture(orvel::counted_ptr<kessa::Texture>(new kessa::Texture), 0);
    return m;
}

// n triangles whose corners are drawn from a lattice of side `side` (so
// that many corners are shared), spread over [0, side * spacing) on each
// axis; each corner gets its face's unit normal.
inline GeoBunchBuilder latticeSoup(std::mt19937& random, int n, int side, float spacing) {
    GeoBunchBuilder b;
    std::uniform_int_distribution<int> cell(0, side - 1);
    auto point = [&] { return GeoBunch::Float3{cell(random) * spacing, cell(random) * spacing, cell(random) * spacing}; };
    while (int(b.triangles.size()) < n) {
        GeoBunch::Float3 a = point(), p = point(), c = point();
        double ux = p.x - a.x, uy = p.y - a.y, uz = p.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        double length = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (length == 0)
            continue;
        b.triangles.push_back(triangle(a, p, c, {float(nx / length), float(ny / length), float(nz / length)}));
    }
    return b;
}

// The corner positions of each triangle a batch hands out, in its order.
inline std::vector<std::array<float, 9>> cornersOf(GeoBunch& bunch) {
    struct Collect : GeoBunch::TriangleProcessor {
        std::vector<std::array<float, 9>> out;
        void processTriangle(GeoBunch& b, unsigned i0, unsigned i1, unsigned i2) override {
            const GeoBunch::Float3* v = b.internals().vertexPointer();
            out.push_back({v[i0].x, v[i0].y, v[i0].z, v[i1].x, v[i1].y, v[i1].z, v[i2].x, v[i2].y, v[i2].z});
        }
    } collect;
    bunch.internals().forEachTriangle(collect);
    return collect.out;
}

inline std::array<float, 9> cornersOf(const GeoBunchBuilder::Triangle& t) {
    std::array<float, 9> out;
    for (int k = 0; k < 3; ++k) {
        out[3 * k] = t.corners[k].position.x;
        out[3 * k + 1] = t.corners[k].position.y;
        out[3 * k + 2] = t.corners[k].position.z;
    }
    return out;
}

}  // namespace kessa_test
