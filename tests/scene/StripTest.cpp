// Strips and batches of polygon branches at scale: what compiling gives for
// shapes that strips run through in every way (ribbons of either parity,
// narrow grounds, rings, shuffled lists, many bindings, joins refused one
// way only, the teapot) stays what it always was; trying strips takes
// steps in proportion to the polygons; batches follow the bindings.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>

#include "scene/GroupBranch.h"
#include "scene/Object.h"
#include "scene/PolygonBranch.h"
#include "scene/PolygonCompiler.h"
#include "scene/Teapot.h"
#include "tests/scene/SceneTest.h"

using namespace kessa_test;
using kessa::Polygon;
using kessa::PolygonBranch;

namespace {

using Material = orvel::counted_ptr<kessa::Material>;
using Polygons = std::vector<std::vector<Vector>>;

// The two triangles of each cell of a ground `across` cells wide and `along`
// long in z = 0, row after row; cut 0 cuts every cell along the same
// diagonal, 1 turns it from cell to cell, 2 turns it at places a hash
// picks. odd adds one triangle more at the end of the last row.
Polygons triangulatedGround(int across, int along, int cut, bool odd = false) {
    Polygons out;
    for (int j = 0; j < along; ++j)
        for (int i = 0; i < across; ++i) {
            const Vector a(i, j, 0), b(i + 1, j, 0), c(i + 1, j + 1, 0), d(i, j + 1, 0);
            const bool turned = cut == 1 ? (i + j) % 2 == 1 : cut == 2 && (i * 7 + j * 3) % 5 < 2;
            if (turned)
                out.push_back({a, b, d}), out.push_back({b, c, d});
            else
                out.push_back({a, b, c}), out.push_back({a, c, d});
        }
    if (odd)
        out.push_back({Vector(0, along, 0), Vector(1, along, 0), Vector(1, along + 1, 0)});
    return out;
}

// A branch of the polygons, each given to decorate(k, polygon) once added.
std::unique_ptr<PolygonBranch> branchOf(const Polygons& polygons,
                                        const std::function<void(std::size_t, Polygon*)>& decorate = nullptr) {
    auto b = std::make_unique<PolygonBranch>();
    for (std::size_t k = 0; k < polygons.size(); ++k) {
        b->addPolygon(polygonOf(polygons[k]));
        if (decorate)
            decorate(k, b->polygons().back());
    }
    return b;
}

// A square tube `side` cells round and `length` long along z, of quads or
// of triangles: strips run round it in rings.
Polygons tube(int side, int length, bool triangles) {
    auto round = [side](int s) {
        s %= 4 * side;
        return s < side ? Vector(s, 0, 0) : s < 2 * side ? Vector(side, s - side, 0)
                          : s < 3 * side ? Vector(3 * side - s, side, 0) : Vector(0, 4 * side - s, 0);
    };
    Polygons out;
    for (int z = 0; z < length; ++z)
        for (int s = 0; s < 4 * side; ++s) {
            const Vector up(0, 0, 1), a = round(s) + up * z, b = round(s + 1) + up * z, c = b + up, d = a + up;
            if (triangles)
                out.push_back({a, b, c}), out.push_back({a, c, d});
            else
                out.push_back({a, b, c, d});
        }
    return out;
}

// The same list in an order a fixed sequence of swaps gives.
Polygons shuffled(Polygons list) {
    std::uint32_t x = 12345;
    for (std::size_t i = list.size(); i > 1; --i) {
        x = x * 1664525u + 1013904223u;
        std::swap(list[i - 1], list[x % i]);
    }
    return list;
}

// FNV-1a over each batch's material (by first appearance) and its
// triangles in order, each corner's position, colour and normal as stored.
std::uint64_t digestOf(const PolygonBranch& b) {
    std::uint64_t hash = 14695981039346656037ull;
    auto add = [&hash](const void* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            hash = (hash ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ull;
    };
    std::map<const kessa::Material*, int> seen;
    for (const GeoBunch* bunch : b.bunches()) {
        add(&seen.emplace(bunch->material().material().get(), int(seen.size())).first->second, sizeof(int));
        const kessa::GeoBunchInternals& in = bunch->internals();
        in.walkTriangles([&](unsigned i0, unsigned i1, unsigned i2) {
            for (unsigned i : {i0, i1, i2}) {
                add(&in.vertexPointer()[i], sizeof(GeoBunch::Float3));
                if (in.colorPointer())
                    add(&in.colorPointer()[i], sizeof(GeoBunch::Color4));
                if (in.normalPointer())
                    add(&in.normalPointer()[i], sizeof(GeoBunch::Float3));
            }
            return true;
        });
    }
    return hash;
}

// The steps counter() counts while the branch's polygons compile.
unsigned long compileSteps(PolygonBranch& b, unsigned long (*counter)()) {
    b.prepare();
    kessa::GeoBunchBuilder builder;
    const unsigned long before = counter();
    kessa::compilePolygons(builder, b);
    return counter() - before;
}

}  // namespace

// Each shape's batches and triangles, in order, as compiling gave them
// before strip walks and bindings were looked up instead of walked.
TEST(Strips, ShapesCompileAsTheyAlwaysDid) {
    Polygons quads, pentagons, large;
    for (int j = 0; j < 7; ++j)
        for (int i = 0; i < 5; ++i)
            quads.push_back({Vector(i, j, 0), Vector(i + 1, j, 0), Vector(i + 1, j + 1, 0), Vector(i, j + 1, 0)});
    // Pentagons with a corner on a cell's top edge, among triangles.
    for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 6; ++i) {
            const Vector a(i, j, 0), c(i + 1, j, 0), e(i + 1, j + 1, 0), f(i, j + 1, 0), m(i + 0.5, j + 1, 0);
            if ((i + 2 * j) % 4 == 0)
                pentagons.push_back({a, c, e, m, f});
            else
                pentagons.push_back({a, c, e}), pentagons.push_back({a, e, f});
        }
    // A polygon of 40 corners with quads on four of its edges.
    std::vector<Vector> c;
    for (int k = 0; k < 40; ++k)
        c.emplace_back(1000 * std::cos(k * 0.15707963267948966), 1000 * std::sin(k * 0.15707963267948966), 0);
    for (int e : {0, -1, 20, 10, 21})
        large.push_back(e < 0 ? c : std::vector<Vector>{c[e + 1], c[e], c[e] * 1.5, c[e + 1] * 1.5});
    const Material plain = materialWith(false, false), coloured = materialWith(false, true), lit = materialWith(true, false);
    const Polygons turning = triangulatedGround(8, 8, 1);

    const struct {
        const char* shape;
        std::unique_ptr<PolygonBranch> branch;
        std::size_t batches;
        int triangles;
        std::uint64_t digest;
    } rows[] = {
        {"ribbon of 40", branchOf(triangulatedGround(1, 20, 0)), 1, 40, 0xdb89586fdde2a9daull},
        {"ribbon of 41", branchOf(triangulatedGround(1, 20, 0, true)), 1, 41, 0xbd605cd516838941ull},
        {"ribbon of 40 turning", branchOf(triangulatedGround(1, 20, 1)), 1, 40, 0xb7c2a3398a990832ull},
        {"ground 2 across", branchOf(triangulatedGround(2, 15, 2)), 1, 60, 0x9b45b3f9bf07e285ull},
        {"ground 3 across", branchOf(triangulatedGround(3, 15, 2)), 1, 90, 0xaff487f543499e32ull},
        {"ground 4 across", branchOf(triangulatedGround(4, 15, 2)), 1, 120, 0xa4b9f0f074e5d6adull},
        {"ground listed shuffled", branchOf(shuffled(triangulatedGround(6, 6, 2))), 1, 72, 0x0ab2f8951a097ce5ull},
        {"ribbon listed shuffled", branchOf(shuffled(triangulatedGround(1, 30, 0, true))), 1, 61, 0xc32d85ff00814041ull},
        {"ground of quads", branchOf(quads), 1, 70, 0x17a6ccd9c8180a0dull},
        {"ground of quads listed shuffled", branchOf(shuffled(quads)), 1, 70, 0xd0fd923fc8ed85bdull},
        {"tube of quads", branchOf(tube(3, 4, false)), 1, 96, 0xeed7ba722e586b75ull},
        {"tube of triangles", branchOf(tube(2, 5, true)), 1, 80, 0x384bbd33b43d2915ull},
        {"pentagons among triangles", branchOf(pentagons), 1, 80, 0xf327b700517cf538ull},
        {"large polygon with quads round it", branchOf(large), 1, 46, 0x748f5b9e91203e3dull},
        {"three materials in patches",
         branchOf(turning,
                  [&](std::size_t k, Polygon* p) {
                      const Material m[3] = {plain, coloured, lit};
                      p->setMaterial(m[(int(turning[k][0].x) / 2 + int(turning[k][0].y) / 3) % 3]);
                  }),
         3, 128, 0xf337604e0e278daeull},
        // Every third polygon minds colours that differ across some edges:
        // joins refused one way are taken the other way.
        {"colours minded one way",
         branchOf(triangulatedGround(3, 12, 2, true),
                  [&](std::size_t k, Polygon* p) {
                      p->setMaterial(coloured);
                      p->vertexColours = k % 3 == 0;
                      unsigned corner = 0;
                      for (kessa::PolygonVertex* v = p->firstVertex(); v; v = v->next(), ++corner)
                          if ((k + corner) % 4 == 0)
                              v->setColour(0xFF0000FFu + unsigned(k % 2) * 0x100u);
                  }),
         1, 73, 0xbd76cfa8ec592763ull},
        {"normals bent at some corners",
         branchOf(triangulatedGround(4, 10, 0),
                  [&](std::size_t k, Polygon* p) {
                      p->setMaterial(lit);
                      const float bent[3] = {0.6f, 0, 0.8f};
                      if (k % 7 == 3)
                          p->firstVertex()->setNormal(bent);
                  }),
         1, 80, 0x37754e15fcbce78dull},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shape);
        row.branch->clean();
        int triangles = 0;
        for (GeoBunch* bunch : row.branch->bunches())
            triangles += bunch->triangleCount();
        EXPECT_TRUE(row.branch->bunches().size() == row.batches && triangles == row.triangles);
        EXPECT_EQ(digestOf(*row.branch), row.digest);
    }
    orvel::counted_ptr<kessa::Object> teapot = kessa::makeTeapot(4, nullptr);
    teapot->clean();
    EXPECT_EQ(digestOf(dynamic_cast<const PolygonBranch&>(*teapot->root()->group()->child(0))), 0x829020cadb4c37bbull);
}

// A ribbon 1 wide and 40,000 long compiles into a batch whose weld
// tolerance spans its width: every corner place keeps its vertex and every
// triangle its three.
TEST(Strips, ALongRibbonKeepsEveryTriangle) {
    const std::unique_ptr<PolygonBranch> ribbon = branchOf(triangulatedGround(1, 40000, 0));
    ribbon->clean();
    ASSERT_EQ(ribbon->bunches().size(), 1u);
    GeoBunch& bunch = *ribbon->bunches()[0];
    EXPECT_TRUE(bunch.vertexCount() == 80002 && bunch.triangleCount() == 80000) << bunch.vertexCount();
    EXPECT_EQ(collapsedTriangles(bunch), 0);
}

// Strips along a ribbon of an even count end on the wrong parity and are
// given up, from every polygon in turn; on a narrow ground the same. Steps
// of strip walks at twice the size are about twice as many (walking each
// attempt to its end made them four times as many).
TEST(Strips, TryingStripsTakesStepsInProportion) {
    const struct {
        const char* shape;
        int across;
        bool shuffle;
    } rows[] = {{"ribbon", 1, false}, {"ribbon listed shuffled", 1, true}, {"ground 3 across", 3, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shape);
        unsigned long steps[2];
        for (int size : {0, 1}) {
            Polygons list = triangulatedGround(row.across, 600 << size, 0);
            std::unique_ptr<PolygonBranch> b = branchOf(row.shuffle ? shuffled(list) : list);
            steps[size] = compileSteps(*b, kessa::stripSteps);
            ASSERT_EQ(b->bunches().size(), 1u);
            EXPECT_EQ(b->bunches()[0]->triangleCount(), int(list.size()));
        }
        EXPECT_GT(steps[0], 1200ul * unsigned(row.across));
        EXPECT_LT(double(steps[1]), 2.5 * double(steps[0])) << steps[0] << " then " << steps[1];
    }
}

// One batch per binding, in the order of the binding's first polygon, with
// the triangles of all its polygons, however the bindings interleave: one
// by one, in runs, each polygon its own, or one material under two values
// of a flag.
TEST(Strips, BatchesFollowTheBindingsFirstPolygons) {
    const struct {
        const char* shape;
        Polygons list;
        std::size_t bindings;  // 0: each polygon its own
        std::size_t run;
        bool flags;
    } rows[] = {
        {"ground, 3 materials one by one", triangulatedGround(10, 20, 1), 3, 1, false},
        {"ground, 4 materials in runs of 3", triangulatedGround(10, 20, 2), 4, 3, false},
        {"tube of quads, 50 materials in runs of 2", tube(3, 20, false), 50, 2, false},
        {"ground, each polygon its own", triangulatedGround(6, 10, 0), 0, 1, false},
        {"ground, 2 materials under 2 flags", triangulatedGround(10, 20, 1), 4, 1, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shape);
        const std::size_t count = row.bindings ? row.bindings : row.list.size();
        std::vector<Material> materials(row.flags ? 2 : count);
        for (Material& m : materials)
            m = materialWith(false, false);
        // Runs in an order of their own: 7 is prime to every count above.
        auto bindingOf = [&](std::size_t k) { return row.bindings ? k / row.run * 7 % count : k; };
        auto bind = [&](std::size_t k, Polygon* p) {
            const std::size_t at = bindingOf(k);
            p->setMaterial(materials[at % materials.size()]);
            if (row.flags)
                p->setSecondMaterialFlag((unsigned char)(at / 2));
        };
        std::unique_ptr<PolygonBranch> b = branchOf(row.list, bind);
        b->clean();
        // Bindings by first polygon, each with its triangles.
        std::vector<std::size_t> order;
        std::map<std::size_t, int> triangles;
        for (std::size_t k = 0; k < row.list.size(); ++k) {
            const std::size_t at = bindingOf(k);
            if (!triangles.count(at))
                order.push_back(at);
            triangles[at] += int(row.list[k].size()) - 2;
        }
        ASSERT_GE(order.size(), 3u);
        ASSERT_EQ(b->bunches().size(), order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            SCOPED_TRACE(i);
            const kessa::MaterialRef& m = b->bunches()[i]->material();
            EXPECT_EQ(m.material(), materials[order[i] % materials.size()]);
            EXPECT_EQ(std::size_t(m.second), row.flags ? order[i] / 2 : 0u);
            EXPECT_EQ(b->bunches()[i]->triangleCount(), triangles[order[i]]);
        }
    }
}
