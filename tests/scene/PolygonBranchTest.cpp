// Polygon branches: welding against a brute-force clustering, neighbours,
// smoothing and edges, the polygon list, and compiling into batches checked
// against the polygons' own areas.
#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <random>

#include "scene/BunchSplitter.h"
#include "scene/CullTree.h"
#include "scene/Database.h"
#include "scene/Object.h"
#include "scene/Placement.h"
#include "scene/PolygonBranch.h"
#include "scene/PolygonCompiler.h"
#include "scene/Ray.h"
#include "scene/Teapot.h"
#include "scene/render/ViewCulledTraverser.h"
#include "scene/render/Viewer.h"
#include "tests/scene/SceneGl.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::GeoBunch;
using kessa::GeoBunchBuilder;
using kessa::GeometryBranch;
using kessa::Polygon;
using kessa::PolygonBranch;
using kessa::PolygonVertex;

namespace {

// Q1 (0,0)-(1,1) and Q2 (1,0)-(2,1) in z = 0, sharing the edge x = 1; Q2's
// corners on it moved along y by offset.
void twoQuads(PolygonBranch& b, double offset) {
    b.addPolygon(polygonOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}));
    b.addPolygon(polygonOf({{1, offset, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1 + offset, 0}}));
}

PolygonVertex* corner(const PolygonBranch& b, int polygon, int k) {
    PolygonVertex* v = b.polygons()[std::size_t(polygon)]->firstVertex();
    while (k-- > 0)
        v = v->next();
    return v;
}

}  // namespace

// Shared corners weld within 1e-6 of the bounds' radius (1.118 here).
TEST(PolygonBranchWeld, TwoQuadsShareAnEdge) {
    struct Row {
        double offset;
        std::size_t welded, edges;
    };
    for (const Row& row : {Row{0, 6, 7}, Row{1e-7 * 1.118, 6, 7}, Row{1e-5 * 1.118, 8, 8}}) {
        PolygonBranch b;
        twoQuads(b, row.offset);
        b.prepare();
        EXPECT_EQ(b.triangleCount(), 4);
        EXPECT_EQ(b.weldedPositions().size(), row.welded);
        EXPECT_EQ(b.edges().size(), row.edges);
        bool linked = row.welded == 6;
        PolygonVertex *q1 = corner(b, 0, 1), *q2 = corner(b, 1, 3);
        EXPECT_EQ(q1->neighbour, linked ? q2 : nullptr);
        EXPECT_EQ(q2->neighbour, linked ? q1 : nullptr);
        EXPECT_EQ(q1->edgeIndex == q2->edgeIndex, linked);
        EXPECT_EQ(q1->weldIndex == corner(b, 1, 0)->weldIndex, linked);
    }
}

// A triangle far away does not stretch the welding tolerance over a ground
// of quads (it once followed the whole bounds: everything welded into two
// positions, and each vertex looked for its neighbour among all the
// others): the ground's corners are its own positions, each edge inside it
// links the two quads beside it, and so it is with its triangles in a batch.
TEST(PolygonBranchWeld, OneFarTriangleLeavesTheGroundAlone) {
    const int side = 100;
    PolygonBranch b;
    GeoBunchBuilder triangles;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            const float x = float(i), y = float(j);
            b.addPolygon(polygonOf({{x, y, 0}, {x + 1, y, 0}, {x + 1, y + 1, 0}, {x, y + 1, 0}}));
            triangles.triangles.push_back(triangle({x, y, 0}, {x + 1, y, 0}, {x, y + 1, 0}));
            triangles.triangles.push_back(triangle({x + 1, y, 0}, {x + 1, y + 1, 0}, {x, y + 1, 0}));
        }
    b.addPolygon(polygonOf({{1e12, 0, 0}, {1e12 + 65536, 0, 0}, {1e12, 1, 0}}));
    triangles.triangles.push_back(triangle({1e12f, 0, 0}, {1e12f + 65536, 0, 0}, {1e12f, 1, 0}));
    b.prepare();
    EXPECT_EQ(b.weldedPositions().size(), std::size_t((side + 1) * (side + 1) + 3));
    int borders = 0;
    for (Polygon* p : b.polygons())
        for (const PolygonVertex* a = p->firstVertex(); a; a = a->next()) {
            const PolygonVertex* c = a->neighbour;
            borders += !c;
            ASSERT_TRUE(!c || (c->neighbour == a && c->weldIndex == p->after(a)->weldIndex &&
                               c->owner()->after(c)->weldIndex == a->weldIndex));
        }
    EXPECT_EQ(borders, 4 * side + 3);
    GeoBunch bunch;
    bunch.setTriangles(triangles);
    EXPECT_EQ(bunch.vertexCount(), (side + 1) * (side + 1) + 3);
}

// A polygon with a corner at no real place (or so far out that its
// corners' sum is none) is left out, and its corners weld apart from the
// rest instead of turning a dividing centre into no number, which sent
// every place of the ground into one octant: against the ground alone, the
// same welded positions, neighbour links and hits of rays straight down.
TEST(PolygonBranchWeld, ACornerAtNoPlaceLeavesTheGroundAlone) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const int side = 50;
    auto ground = [](PolygonBranch& b) {
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j)
                b.addPolygon(polygonOf({{double(i), double(j), 0}, {i + 1.0, double(j), 0}, {i + 1.0, j + 1.0, 0}, {double(i), j + 1.0, 0}}));
    };
    // Each corner as (polygon, corner) numbers, and each ray's hit distance.
    auto links = [](const PolygonBranch& b) {
        std::map<const PolygonVertex*, std::pair<int, int>> named;
        for (int p = 0; p < side * side; ++p)
            for (int k = 0; k < 4; ++k)
                named[corner(b, p, k)] = {p, k};
        std::vector<std::pair<int, int>> out;
        for (int p = 0; p < side * side; ++p)
            for (int k = 0; k < 4; ++k) {
                const PolygonVertex* n = corner(b, p, k)->neighbour;
                out.push_back(n ? named.at(n) : std::make_pair(-1, -1));
            }
        return out;
    };
    auto hits = [](PolygonBranch& b) {
        std::vector<double> out;
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j) {
                kessa::Ray down;
                down.setOrigin({i + 0.5, j + 0.25, 5});
                down.aimAt({i + 0.5, j + 0.25, -5});
                kessa::RayHit hit;
                out.push_back(b.intersectRay(down, hit, false, nullptr) ? hit.distance : -1);
            }
        return out;
    };
    PolygonBranch plain;
    ground(plain);
    plain.prepare();
    ASSERT_EQ(plain.weldedPositions().size(), std::size_t((side + 1) * (side + 1)));
    const auto plainLinks = links(plain);
    const auto plainHits = hits(plain);
    ASSERT_EQ(std::count(plainHits.begin(), plainHits.end(), 5.0), side * side);

    const struct Row {
        Vector corners[3];
        std::size_t apart;  // welded positions the bad polygon adds
    } rows[] = {{{{nan, 0, 0}, {10, 10, 0}, {11, 10, 0}}, 1},
                {{{inf, 0, 0}, {10, 10, 0}, {11, 10, 0}}, 1},
                {{{-inf, 3, 0}, {nan, nan, nan}, {10, 10, 0}}, 2},
                {{{1e308, 0, 0}, {1.5e308, 0, 0}, {10, 10, 0}}, 2}};
    LogCapture log;
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.corners[0].x << " " << row.corners[1].x);
        PolygonBranch b;
        ground(b);
        b.addPolygon(polygonOf({row.corners[0], row.corners[1], row.corners[2]}));
        b.prepare();
        EXPECT_EQ(log.take(), "Polygon has a corner that is not finite or too far out - left out\n");
        EXPECT_EQ(b.weldedPositions().size(), plain.weldedPositions().size() + row.apart);
        EXPECT_TRUE(links(b) == plainLinks);
        EXPECT_TRUE(hits(b) == plainHits);
    }
}

namespace {

// The welding tree followed vertex by vertex, as plainly as it can be
// written: at the top, vertices off the bands around the centre's planes
// go straight to their octants; the others (and below the top every
// vertex), in order, each take the later ones close to them into their
// octant. An octant all close to its first, or holding its whole node, is
// one position; any other is divided around its mean. Gives each
// position's vertices in the order of its ring.
std::vector<std::vector<int>> weldVertexByVertex(const std::vector<Vector>& p, double tol, const Vector& centre) {
    struct Node {
        std::vector<int> items;
        Vector c;
        bool top, leaf;
    };
    auto close = [&](int a, int b) {
        Vector d = p[std::size_t(a)] - p[std::size_t(b)];
        double d2 = d.x * d.x + d.y * d.y + d.z * d.z;
        return d2 == 0 || d2 < tol * tol;
    };
    std::vector<std::vector<int>> positions;
    std::vector<Node> stack{{{}, centre, true, false}};
    for (int v = 0; v < int(p.size()); ++v)
        stack[0].items.push_back(v);
    while (!stack.empty()) {
        Node node = std::move(stack.back());
        stack.pop_back();
        if (node.leaf) {
            positions.push_back(node.items);
            continue;
        }
        const Vector c = node.c;
        auto octant = [&](int v) {
            const Vector& q = p[std::size_t(v)];
            return (q.x > c.x ? 1 : 0) | (q.y > c.y ? 2 : 0) | (q.z > c.z ? 4 : 0);
        };
        auto held = [&](int v) {
            const Vector& q = p[std::size_t(v)];
            return !node.top || std::fabs(q.x - c.x) < tol || std::fabs(q.y - c.y) < tol || std::fabs(q.z - c.z) < tol;
        };
        std::vector<int> octants[8];
        for (int v : node.items)
            if (!held(v))
                octants[octant(v)].push_back(v);
        const std::size_t n = node.items.size();
        std::vector<bool> placed(n);
        for (std::size_t i = 0; i < n; ++i) {
            const int v = node.items[i];
            if (!held(v) || placed[i])
                continue;
            for (std::size_t j = i; j < n; ++j)
                if (!placed[j] && held(node.items[j]) && (j == i || close(v, node.items[j]))) {
                    placed[j] = true;
                    octants[octant(v)].push_back(node.items[j]);
                }
        }
        for (int o = 7; o >= 0; --o) {
            const std::vector<int>& side = octants[o];
            if (side.empty())
                continue;
            bool together = true;
            for (std::size_t i = 1; i < side.size() && together; ++i)
                together = close(side[0], side[i]);
            Vector mean;
            for (int v : side)
                mean += p[std::size_t(v)];
            mean *= 1.0 / double(side.size());
            stack.push_back({side, mean, false, together || side.size() == n});
        }
    }
    return positions;
}

}  // namespace

// Chains of copies a fraction of the tolerance apart (some on the centre's
// planes, some exact copies, some at -0) weld to the positions, rings and
// first vertices the vertex-by-vertex tree gives.
TEST(PolygonBranchWeld, RingsFollowTheVertexByVertexTree) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return int(random() % unsigned(n)); };
        const double step = (0.2 + 0.15 * (seed % 4)) * std::sqrt(300.0) * double(1e-6f);
        std::vector<Vector> places;
        for (int i = 0; i < 150; ++i) {
            Vector q(pick(7) - 3, pick(7) - 3, pick(7) - 3);
            if (pick(3) == 0)
                q[pick(3)] = pick(2) ? 0.0 : -0.0;
            places.push_back(q);
            for (int k = pick(3) == 0 ? pick(8) : 0; k > 0; --k) {
                q[pick(3)] += (pick(2) ? step : -step) * (1 + pick(2));
                places.push_back(q);
            }
        }
        PolygonBranch b;
        b.addPolygon(polygonOf({{-10, -10, -10}, {10, 10, 10}, {10, -10, 10}}));
        for (int i = 0; i < 300; ++i) {
            std::vector<Vector> corners(std::size_t(3 + pick(3)));
            for (Vector& c : corners)
                c = places[std::size_t(pick(int(places.size())))];
            b.addPolygon(polygonOf(corners));
        }
        b.prepare();
        std::vector<PolygonVertex*> vertices;
        std::vector<Vector> at;
        for (Polygon* p : b.polygons())
            for (PolygonVertex* v = p->firstVertex(); v; v = v->next()) {
                vertices.push_back(v);
                at.emplace_back(v->position()[0], v->position()[1], v->position()[2]);
            }
        const auto expected = weldVertexByVertex(at, b.bounds().radius() * double(1e-6f), b.bounds().centre());
        ASSERT_EQ(b.weldedPositions().size(), expected.size()) << "seed " << seed;
        for (std::size_t g = 0; g < expected.size(); ++g) {
            const std::vector<int>& ring = expected[g];
            EXPECT_EQ(b.weldedPositions()[g], vertices[std::size_t(ring[0])]) << "seed " << seed;
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const PolygonVertex* v = vertices[std::size_t(ring[i])];
                ASSERT_EQ(v->weldIndex, int(g)) << "seed " << seed;
                ASSERT_EQ(v->samePosition, vertices[std::size_t(ring[(i + 1) % ring.size()])]) << "seed " << seed;
            }
        }
    }
}

// Three polygons meet along one edge: the one whose face agrees best with
// the first is its neighbour, and smoothing averages across it.
TEST(PolygonBranchNeighbours, TJunctionAndSmoothing) {
    PolygonBranch b;
    b.addPolygon(polygonOf({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}));
    b.addPolygon(polygonOf({{1, 0, 0}, {1, 0, 1}, {1, 1, 1}, {1, 1, 0}}));  // standing up
    b.addPolygon(polygonOf({{1, 0, 0}, {2, 0, 0.2}, {2, 1, 0.2}, {1, 1, 0}}));  // nearly flat
    b.polygons()[0]->setSmooth();
    b.polygons()[2]->setSmooth();
    corner(b, 0, 2)->normalLocked = true;
    b.prepare();
    EXPECT_EQ(corner(b, 0, 1)->neighbour, corner(b, 2, 3));
    EXPECT_EQ(corner(b, 1, 3)->neighbour, nullptr);
    EXPECT_EQ(b.edges().size(), 11u);
    // Corner (1, 0, 0) of the flat quad: the three faces there summed.
    const float* n = corner(b, 0, 1)->normal();
    const float* f = b.polygons()[2]->normal();
    Vector sum = Vector(0, 0, 1) + Vector(-1, 0, 0) + Vector(f[0], f[1], f[2]);
    Vector::normalize(sum);
    EXPECT_TRUE(vectorNear(Vector(n[0], n[1], n[2]), sum, 1e-6));
    EXPECT_EQ(corner(b, 1, 0)->normal()[0], 0);  // the standing quad is not smooth
    EXPECT_TRUE(corner(b, 2, 0)->normal()[0] == n[0] && !b.polygons()[0]->smooth());
}

namespace {

// Each vertex's neighbour found the plain way: for each half-edge a -> b,
// going round b's ring from b, the first vertex of a usable polygon, not
// linked yet, whose next vertex is welded to a and whose polygon faces
// most nearly a's way.
std::map<const PolygonVertex*, const PolygonVertex*> linkByWalkingRings(const PolygonBranch& b) {
    std::map<const PolygonVertex*, const PolygonVertex*> link;
    for (Polygon* p : b.polygons())
        for (const PolygonVertex* a = p->firstVertex(); a && !p->isUnusable(); a = a->next()) {
            const PolygonVertex *best = nullptr, *c = p->after(a);
            float bestDot = 0;
            do {
                Polygon* q = c->owner();
                const float *n = q->normal(), *m = p->normal(), d = n[0] * m[0] + n[1] * m[1] + n[2] * m[2];
                if (!link.count(a) && !link.count(c) && !q->isUnusable() && q->after(c)->weldIndex == a->weldIndex &&
                    (!best || d > bestDot))
                    best = c, bestDot = d;
                c = c->samePosition;
            } while (c != p->after(a));
            if (best)
                link[a] = best, link[best] = a;
        }
    return link;
}

}  // namespace

// Triangles and quads over a few places, in both windings, some twice,
// many sharing an edge with several others, in rings short and long, link
// as a plain walk round the rings links them. Round the middle of a fan of
// smooth triangles, each edge from the middle links the two triangles
// beside it and every vertex there, locked or not, has the sum of all
// faces; four times the triangles take about four times the steps (each
// vertex there once looked at every other for its neighbour and, when
// locked, for its normal: sixteen).
TEST(PolygonBranchNeighbours, AgainstWalkingTheRingsAtAnyValence) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return int(random() % unsigned(n)); };
        const int side = 3 + int(seed % 3);
        PolygonBranch b;
        for (int i = 0; i < 400; ++i) {
            std::vector<Vector> corners;
            while (corners.size() < std::size_t(3 + (i % 4 == 0))) {
                Vector c(pick(side), pick(side), pick(2));
                if (std::find(corners.begin(), corners.end(), c) == corners.end())
                    corners.push_back(c);
            }
            for (int copies = i % 5 ? 1 : 2; copies > 0; --copies)
                b.addPolygon(polygonOf(corners));
        }
        b.prepare();
        const auto expected = linkByWalkingRings(b);
        EXPECT_GT(expected.size(), 200u) << "seed " << seed;
        for (Polygon* p : b.polygons())
            for (const PolygonVertex* v = p->firstVertex(); v; v = v->next())
                ASSERT_EQ(v->neighbour, expected.count(v) ? expected.at(v) : nullptr) << "seed " << seed;
    }
    long long steps[2];
    for (const int n : {5000, 20000}) {
        const int row = 317;
        PolygonBranch fan;
        Vector sum;
        for (int i = 0; i < n; ++i) {
            fan.addPolygon(polygonOf({Vector(150, 150, 10), serpentine(i, row), serpentine(i + 1, row)}));
            fan.polygons().back()->setSmooth();
            fan.polygons().back()->firstVertex()->normalLocked = i % 2 == 0;
            const float* f = fan.polygons().back()->normal();
            sum += Vector(f[0], f[1], f[2]);
        }
        fan.prepare();
        Vector::normalize(sum);
        const float* middle = fan.polygons()[0]->firstVertex()->normal();
        EXPECT_TRUE(vectorNear(Vector(middle[0], middle[1], middle[2]), sum, 1e-6));
        for (int i = 0; i < n; ++i) {
            const PolygonVertex* v = fan.polygons()[std::size_t(i)]->firstVertex();
            ASSERT_TRUE(std::equal(middle, middle + 3, v->normal())) << i;
            ASSERT_EQ(v->neighbour, i > 0 ? corner(fan, i - 1, 2) : nullptr) << i;
        }
        steps[n > 5000] = fan.vertexSteps();
    }
    EXPECT_LT(steps[1], 5 * steps[0]) << steps[0] << ", then " << steps[1];
}

TEST(PolygonBranchList, AddMoveAndRemove) {
    LogCapture log;
    PolygonBranch a, b;
    twoQuads(a, 0);
    a.clean();
    EXPECT_FALSE(a.isDirty());
    Polygon* moved = a.polygons()[1];
    b.addPolygon(std::unique_ptr<Polygon>(moved));
    EXPECT_EQ(log.count("Warning: Polygon had an owner and was removed from that branch!\n"), 1);
    EXPECT_TRUE(a.isDirty() && a.polygons().size() == 1 && b.polygons()[0] == moved && moved->holder() == &b);
    b.clean();
    std::unique_ptr<kessa::PolygonVertex> extra = vertexAt({1, 2, 0});
    moved->addVertex(extra);
    EXPECT_TRUE(b.isDirty() && b.weldedPositions().empty());
    EXPECT_EQ(b.removePolygon(3), nullptr);
    EXPECT_EQ(log.count("Warning: Tried to remove a polygon which isn't in this branch!\n"), 1);
    std::unique_ptr<Polygon> back = b.removePolygon(0);
    EXPECT_TRUE(back.get() == moved && !back->holder() && b.polygons().empty());
}

namespace {

// A row of n unit quads along x in z = 0 (and one triangle more when asked).
std::unique_ptr<PolygonBranch> strip(int n, bool triangle, const char* name = "strip") {
    auto b = std::make_unique<PolygonBranch>();
    b->setName(name);
    for (int i = 0; i < n; ++i)
        b->addPolygon(polygonOf({{double(i), 0, 0}, {i + 1.0, 0, 0}, {i + 1.0, 1, 0}, {double(i), 1, 0}}));
    if (triangle)
        b->addPolygon(polygonOf({{double(n), 0, 0}, {n + 1.0, 0, 0}, {double(n), 1, 0}}));
    return b;
}

orvel::counted_ptr<kessa::Material> material(bool lit) {
    orvel::counted_ptr<kessa::Material> m(new kessa::Material(pellium::Color{1, 1, 1, 1}));
    m->setLighting(lit);
    return m;
}

}  // namespace

TEST(PolygonCompile, BatchesPerBinding) {
    PolygonBranch plain, lit, mixed, concave;
    twoQuads(plain, 0);
    plain.clean();
    ASSERT_EQ(plain.bunches().size(), 1u);
    kessa::GeoBunchInternals& in = plain.bunches()[0]->internals();
    EXPECT_TRUE(plain.bunches()[0]->triangleCount() == 4 && in.vertices()->size() == 6 && in.indices()->size() == 12);
    EXPECT_TRUE(in.colors() && !in.normals() && !in.texCoords(0) && !in.texCoords(1) && !in.strips());
    twoQuads(lit, 0);
    for (Polygon* p : lit.polygons())
        p->setMaterial(material(true));
    lit.clean();
    ASSERT_EQ(lit.bunches().size(), 2u);  // two materials, equal or not, are two bindings
    EXPECT_TRUE(lit.bunches()[0]->internals().normals() && lit.bunches()[0]->internals().normals()->data()[0].z == 1);
    // Bindings M1, M2, M1, M2: two batches, M1's first.
    orvel::counted_ptr<kessa::Material> m1 = material(false), m2 = material(true);
    for (int i = 0; i < 4; ++i) {
        mixed.addPolygon(polygonOf({{double(i), 0, 0}, {i + 1.0, 0, 0}, {i + 1.0, 1, 0}}));
        mixed.polygons().back()->setMaterial(i % 2 ? m2 : m1);
    }
    mixed.clean();
    ASSERT_EQ(mixed.bunches().size(), 2u);
    EXPECT_TRUE(mixed.bunches()[0]->material().material() == m1 && mixed.bunches()[1]->material().material() == m2);
    EXPECT_EQ(mixed.bunches()[0]->triangleCount(), 2);
    // Concave polygons alone: no batch, and the bounds stay as they were.
    concave.addPolygon(polygonOf({{0, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}}));
    concave.growBounds(box({5, 5, 5}, {6, 6, 6}));
    concave.prepare();
    EXPECT_TRUE(boxIs(concave.bounds(), {5, 5, 5}, {6, 6, 6}));
    concave.clean();
    EXPECT_TRUE(concave.bunches().empty());
}

// Jittered quads and triangles of two materials: the batches' triangles
// cover every usable polygon's area exactly once, facing its way.
TEST(PolygonCompile, TrianglesCoverThePolygons) {
    std::mt19937 random(9);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    orvel::counted_ptr<kessa::Material> m[2] = {material(false), material(true)};
    PolygonBranch b;
    double area = 0;
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 20; ++j) {
            Vector c[4];
            for (int k = 0; k < 4; ++k)
                c[k] = Vector(i + (k == 1 || k == 2) + jitter(random) * (i % 3), j + (k >= 2) + jitter(random), 0);
            std::vector<Vector> corners{c[0], c[1], c[2], c[3]};
            if ((i * 7 + j) % 5 == 0)
                corners.pop_back();
            for (std::size_t k = 0; k < corners.size(); ++k)
                area += (corners[k].x * corners[(k + 1) % corners.size()].y - corners[(k + 1) % corners.size()].x * corners[k].y) / 2;
            b.addPolygon(polygonOf(corners));
            b.polygons().back()->setMaterial(m[(i / 10 + j / 5) % 2]);
        }
    b.clean();
    ASSERT_EQ(b.bunches().size(), 2u);
    double covered = 0;
    int triangles = 0;
    for (GeoBunch* bunch : b.bunches()) {
        const GeoBunch::Float3* p = bunch->internals().vertexPointer();
        bunch->internals().walkTriangles([&](unsigned a, unsigned c, unsigned d) {
            const double twice = (p[c].x - p[a].x) * (p[d].y - p[a].y) - (p[d].x - p[a].x) * (p[c].y - p[a].y);
            EXPECT_GT(twice, 0);
            covered += twice / 2;
            ++triangles;
            return true;
        });
    }
    EXPECT_EQ(triangles, b.triangleCount());
    EXPECT_NEAR(covered, area, 1e-3);
}

// The strip walks are loops: 200,000 quads in one strip, wound as a helix
// of 200 turns, compile on a thread with a small stack.
TEST(PolygonCompile, LongStripNeedsNoDeepStack) {
    auto b = std::make_unique<PolygonBranch>();
    auto at = [](int k, double up) {
        double a = k * 0.006283185307179587;
        return Vector(100 * std::cos(a), 100 * std::sin(a), k * 0.001 + up);
    };
    for (int k = 0; k < 200000; ++k)
        b->addPolygon(polygonOf({at(k, 0), at(k + 1, 0), at(k + 1, 0.5), at(k, 0.5)}));
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 1 << 20);
    pthread_t thread;
    auto run = [](void* branch) -> void* {
        static_cast<PolygonBranch*>(branch)->clean();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, b.get()), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    ASSERT_EQ(b->bunches().size(), 1u);
    EXPECT_EQ(b->bunches()[0]->triangleCount(), 400000);
    EXPECT_EQ(b->bunches()[0]->vertexCount(), 400002);
}

// One polygon of many corners on a circle compiles into one batch of all
// its triangles, four times the corners in about four times the steps (each
// strip attempt from each corner once walked half way round: sixteen). One
// of 40 corners, too many to walk round,
// with quads on its edges 0, 20 and 10 in that order: the strip from the
// first quad leaves it by edge 20 and is drawn from the quad there, so the
// quad on edge 10 is drawn alone, last.
TEST(PolygonCompile, LargePolygonsAloneAndInAStrip) {
    long long steps[2];
    for (const int n : {12500, 50000, 40}) {
        const double step = 2 * std::acos(-1.0) / n;
        std::vector<Vector> c;
        for (int k = 0; k < n; ++k)
            c.emplace_back(1000 * std::cos(step * k), 1000 * std::sin(step * k), 0);
        PolygonBranch b;
        for (int e : n == 40 ? std::vector<int>{0, -1, 20, 10} : std::vector<int>{-1})
            b.addPolygon(polygonOf(e < 0 ? c : std::vector<Vector>{c[e + 1], c[e], c[e] * 1.5, c[e + 1] * 1.5}));
        const unsigned long before = kessa::stripSteps();
        b.clean();
        ASSERT_EQ(b.bunches().size(), 1u);
        ASSERT_EQ(b.bunches()[0]->triangleCount(), n == 40 ? 44 : n - 2);
        const GeoBunch::Float3* p = b.bunches()[0]->internals().vertexPointer();
        const GeoBunch::index_data& index = *b.bunches()[0]->internals().indices();
        auto reaches = [&](int t, bool left) {
            for (int k = 0; k < 3; ++k)
                if (left ? p[index[3 * t + k]].x < -1400 : p[index[3 * t + k]].y > 1400)
                    return true;
            return false;
        };
        EXPECT_TRUE(n != 40 || (reaches(0, true) && reaches(1, true) && reaches(42, false) && reaches(43, false)));
        if (n != 40)
            steps[n == 50000] = b.vertexSteps() + (long long)(kessa::stripSteps() - before);
    }
    EXPECT_LT(steps[1], 5 * steps[0]) << steps[0] << ", then " << steps[1];
}

// With the arenas on, a clean splits batches of more than 1,400 triangles
// into a "split 1" tree that takes the branch's place (1,400 stay whole),
// also when all 1,500 triangles have one centre (the median leaves a half
// empty, so the split goes by place in the sorted order); an object's root
// has no parent to take a split's place and keeps its batch whole; once
// its polygons are gone, a branch marked dirty keeps its batches.
TEST(PolygonSplit, LargeBatchesAreSplitOnce) {
    LogCapture log;
    ArenaSwitch on(true);
    auto sameCentre = std::make_unique<PolygonBranch>();
    for (int i = 0; i < 1500; ++i)
        sameCentre->addPolygon(polygonOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    std::unique_ptr<PolygonBranch> branches[] = {strip(700, false, "GroundSnake 7"), strip(700, true, "GroundSnake 7"), std::move(sameCentre)};
    const char* const expected[] = {"GroundSnake 7: ", "split 1: 1401 of 2", "split 1: 1500 of 2, first 750"};
    for (int i = 0; i < 3; ++i) {
        kessa::Object o;
        o.attach(std::make_unique<kessa::GroupBranch>());
        o.root()->group()->addChild(std::move(branches[i]));
        o.clean();
        kessa::Branch* top = o.root()->child(0);
        int total = 0;
        for (int k = 0; k < top->childCount(); ++k)
            total += static_cast<GeometryBranch*>(top->child(k))->bunches()[0]->triangleCount();
        std::string got = std::string(top->name().c_str()) + ": ";
        if (top->childCount())
            got += std::to_string(total) + " of " + std::to_string(top->childCount());
        if (i == 2)
            got += ", first " + std::to_string(static_cast<GeometryBranch*>(top->child(0))->bunches()[0]->triangleCount());
        EXPECT_EQ(got, expected[i]);
        EXPECT_TRUE(i == 2 || boxIs(o.bounds(), {0, 0, 0}, {700.0 + i, 1, 0}));
    }
    EXPECT_EQ(log.take().find("Splitting bunch in branch GroundSnake 7\n----------------------------------------\n1401 triangles extracted\n...\n"), 0u);
    kessa::Object o;
    o.attach(strip(700, true));
    o.clean();
    auto* root = static_cast<PolygonBranch*>(o.root());
    EXPECT_TRUE(root->bunches().size() == 1 && root->bunches()[0]->triangleCount() == 1401 && root->polygons().empty());
    std::unique_ptr<PolygonBranch> b = strip(3, false);
    b->clean();
    b->markDirty();
    b->clean();
    EXPECT_TRUE(b->polygons().empty() && b->bunches().size() == 1 && b->bunches()[0]->triangleCount() == 6);
}

// A database's hook for batches reaches, through their branches, every
// batch compiled under it, split leaves included; a branch kind sees the
// hook set through its own setAttachment. A cull tree's type is registered
// by registerCreators.
struct Watching : PolygonBranch {
    void setAttachment(const orvel::ref_ptr<kessa::BunchCallbacks>& hook) override {
        ++attached;
        PolygonBranch::setAttachment(hook);
    }
    static inline int attached = 0;
};

TEST(PolygonCompile, TheDatabasesHookReachesEveryBatch) {
    LogCapture log;
    ArenaSwitch on(true);
    kessa::Database db;
    orvel::ref_ptr<kessa::BunchCallbacks> hook(new kessa::BunchCallbacks);
    db.setBunchCallbacks(hook);
    auto object = std::make_unique<kessa::Object>();
    object->attach(std::make_unique<kessa::GroupBranch>());
    auto watching = std::make_unique<Watching>();
    for (int i = 0; i < 1000; ++i)
        watching->addPolygon(polygonOf({{double(i), 0, 0}, {i + 1.0, 0, 0}, {i + 1.0, 1, 0}, {double(i), 1, 0}}));
    object->root()->group()->addChild(std::move(watching));
    db.addObject(std::move(object));
    db.clean();
    int batches = 0;
    std::function<void(kessa::Branch*)> visit = [&](kessa::Branch* b) {
        if (auto* g = dynamic_cast<GeometryBranch*>(b))
            batches += g->bunchCallbacks() == hook.get() ? int(g->bunches().size()) : 0;
        for (int i = 0; b->group() && i < b->childCount(); ++i)
            visit(b->child(i));
    };
    visit(db.rootObject()->root());
    EXPECT_TRUE(batches == 2 && Watching::attached == 1 && db.rootObject()->root()->child(0)->name() == "split 1");
    Bytes101 tree;
    tree.declare(1, "zanthorium::kessa::CullTree").object(1, 0x10, body().byte(0)).end();
    EXPECT_TRUE(dynamic_cast<kessa::CullTree*>(readStream(tree.bytes, GeometryBranch::registerCreators).get()));
}

namespace {

// Moller and Trumbore's test, false near an edge (edge set) so that cases a
// hair from a border are left out of the comparison.
bool triangleHit(const Vector& o, const Vector& d, const Vector& a, const Vector& b, const Vector& c, double& t,
                 bool& edge) {
    Vector e1 = b - a, e2 = c - a, p = d.cross(e2);
    double det = e1.dot(p);
    if (std::fabs(det) < 1e-12)
        return false;
    Vector s = o - a, q = s.cross(e1);
    double u = s.dot(p) / det, v = d.dot(q) / det;
    t = e2.dot(q) / det;
    edge = edge || std::fabs(u) < 1e-7 || std::fabs(v) < 1e-7 || std::fabs(u + v - 1) < 1e-7;
    return u > 0 && v > 0 && u + v < 1;
}

}  // namespace

// Random convex polygons in random planes against a brute-force test of
// their fan triangles: the nearest hit within the ray's length, one-sided
// polygons only from their front; an any-hit test stops at the first
// polygon hit and gives its distance.
TEST(PolygonRay, AgainstBruteForce) {
    std::mt19937 random(13);
    std::uniform_real_distribution<double> unit(-1, 1);
    PolygonBranch b;
    for (int i = 0; i < 60; ++i) {
        Vector centre(unit(random) * 5, unit(random) * 5, unit(random) * 5), axis(unit(random), unit(random), unit(random));
        Vector::normalize(axis);
        Vector e1 = axis.cross(Vector(0.3, 0.5, 0.8));
        Vector::normalize(e1);
        Vector e2 = axis.cross(e1);
        std::vector<Vector> corners;
        for (int k = 0; k < 3 + i % 4; ++k)
            corners.push_back(centre + e1 * std::cos(k * 6.283185307179586 / (3 + i % 4)) + e2 * std::sin(k * 6.283185307179586 / (3 + i % 4)));
        b.addPolygon(polygonOf(corners));
        b.polygons().back()->setFirstMaterialFlag(i % 3 ? 1 : 0);
    }
    b.prepare();
    int hits = 0, compared = 0;
    for (int r = 0; r < 3000; ++r) {
        kessa::Ray ray;
        ray.origin = Vector(unit(random), unit(random), unit(random)) * 8;
        ray.aimAt(Vector(unit(random), unit(random), unit(random)) * 4);
        ray.length *= 0.5 + unit(random) * 0.4;  // some rays end short of what lies beyond
        double best = ray.length, first = ray.length;
        bool found = false, edge = false;
        for (Polygon* p : b.polygons()) {
            const float* n = p->normal();
            if (p->binding().first && n[0] * ray.direction.x + n[1] * ray.direction.y + n[2] * ray.direction.z >= 0)
                continue;
            std::vector<Vector> c;
            for (const PolygonVertex* v = p->firstVertex(); v; v = v->next())
                c.emplace_back(v->position()[0], v->position()[1], v->position()[2]);
            for (std::size_t k = 1; k + 1 < c.size(); ++k) {
                double t;
                if (!triangleHit(ray.origin, ray.direction, c[0], c[k], c[k + 1], t, edge) || t <= 0 || t > ray.length)
                    continue;
                if (!found)
                    first = t;
                found = true;
                best = std::min(best, t);
            }
        }
        kessa::RayHit hit;
        bool got = b.intersectRay(ray, hit, false, nullptr);
        if (edge)
            continue;
        ++compared;
        hits += found;
        ASSERT_EQ(got, found) << r;
        EXPECT_NEAR(hit.distance, best, 1e-9) << r;
        // Any hit: the first polygon in the list that is hit, at its distance.
        kessa::RayHit any;
        EXPECT_EQ(b.intersectRay(ray, any, true, nullptr), found);
        EXPECT_NEAR(any.distance, first, 1e-9) << r;
    }
    EXPECT_GT(hits, 200);
    EXPECT_GT(compared, 2900);
    // A square 5 units ahead of a 10-unit ray is any hit at 5.
    PolygonBranch square;
    square.addPolygon(polygonOf({{-1, 5, -1}, {1, 5, -1}, {1, 5, 1}, {-1, 5, 1}}));
    square.prepare();
    kessa::Ray ahead;
    ahead.aimAt({0, 10, 0});
    kessa::RayHit any;
    EXPECT_TRUE(square.intersectRay(ahead, any, true, nullptr));
    EXPECT_EQ(any.distance, 5);
    // Polygons changed since the last welding: stale indices are logged,
    // and the answer stays right.
    LogCapture log;
    b.addPolygon(polygonOf({{-20, -20, 30}, {20, -20, 30}, {20, 20, 30}, {-20, 20, 30}}));
    kessa::Ray down;
    down.setOrigin({0, 0, 50});
    down.aimAt({0, 0, 10});
    kessa::RayHit hit;
    EXPECT_TRUE(b.intersectRay(down, hit, false, nullptr) && b.hitPolygon() == b.polygons().back());
    EXPECT_EQ(hit.distance, 20);
    EXPECT_NE(log.text().find("0 0\n"), std::string::npos);
}

// Only the batches are stored: a branch reads back as a geometry branch
// with its batches and an empty block of its own; older blocks carry a
// triangle count and a billboard mode. A billboard facing the viewer keeps
// a cube for bounds, cleaned from polygons or from batches.
TEST(PolygonBranchStream, BatchesTravelPolygonsDoNot) {
    PolygonBranch b;
    twoQuads(b, 0);
    b.setBillboardMode(kessa::GeometryBranch::faceViewer);
    b.clean();
    EXPECT_TRUE(boxIs(b.bounds(), {0, 0, 0}, {2, 2, 2}));
    Bytes bytes = writeStream(&b);
    EXPECT_EQ(bytes[bytes.size() - 2], 0);  // the own block, then the end mark
    orvel::counted_ptr<PolygonBranch> back = readScene(bytes).cast<PolygonBranch>();
    ASSERT_TRUE(back && back->polygons().empty() && back->bunches().size() == 1);
    EXPECT_EQ(back->bunches()[0]->triangleCount(), 4);
    EXPECT_EQ(back->billboardMode(), kessa::GeometryBranch::faceViewer);
    back->markDirty();
    back->clean();
    EXPECT_TRUE(boxIs(back->bounds(), {0, 0, 0}, {2, 2, 2}));
    Bytes101 old;
    old.declare(1, "zanthorium::kessa::PolygonBranch")
        .object(1, 1, body().raw({0, 11}).u32(5).byte(12).u32(1).byte(10).u32(7).raw({13, 9, 0}))
        .end();
    back = readScene(old.bytes).cast<PolygonBranch>();
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->triangleCount() == 5 && back->billboardMode() == kessa::GeometryBranch::turnAboutZ);
}

namespace {

// ---- older geometry sets ----

// A set of vertices (i, i mod 2, i mod 3) (non-degenerate triangles in
// threes), owned by a polygon branch under a group, laid down byte by byte.
struct Set {
    int vertices = 3;
    std::vector<unsigned> colours, indices;
    std::vector<int> strips;
    std::vector<float> texCoords;                // s, t pairs
    std::vector<std::array<int, 4>> primitives;  // flags, strip entries, vertex count, first vertex
    std::vector<std::vector<float>> frames;      // x, y, z of every vertex
    int announced = -1;

    template <class T>
    static void words(Bytes101& b, int tag, const std::vector<T>& data, unsigned perElement) {
        b.compact(unsigned(tag)).compact(unsigned(data.size()) / perElement);
        for (const T& w : data)
            b.u32(*reinterpret_cast<const unsigned*>(&w));
    }
    Bytes stream() const {
        Bytes101 set = body();
        std::vector<float> p;
        for (int i = 0; i < vertices; ++i)
            p.insert(p.end(), {float(i), float(i % 2), float(i % 3)});
        words(set, 3, p, 3);
        words(set, 1, colours, 1);
        words(set, 4, texCoords, 2);
        words(set, 6, indices, 1);
        words(set, 7, strips, 1);
        if (!frames.empty()) {
            set.compact(21).compact(unsigned(frames.size()));
            for (const std::vector<float>& f : frames) {
                set.compact(unsigned(f.size()) / 3);
                for (float v : f)
                    set.f32(v);
            }
        }
        set.byte(10).compact(unsigned(announced < 0 ? int(primitives.size()) : announced));
        for (const auto& q : primitives)
            set.byte(11).u32(0).u32(0).u32(0).u32(0).u32(unsigned(q[0])).u32(unsigned(q[1])).u32(unsigned(q[2])).u32(unsigned(q[3]));
        set.byte(20).u32(2).raw({22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 23, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0});
        return records({{"zanthorium::kessa::GroupBranch", 1, body().raw({0, 1, 1}).u32(2).byte(0)},
                        {"zanthorium::kessa::PolygonBranch", 2, body().raw({0, 1}).u32(3).byte(0)},
                        {"zanthorium::kessa::GeoSet", 3, set}});
    }
};

constexpr int lit = 1, texCoordsWithoutTexture = 1 << 8, coloured = 1 << 6, twoSided = 1 << 12;

PolygonBranch* branchOf(const orvel::counted_ptr<orvel::Streamable>& root) {
    auto* group = dynamic_cast<kessa::GroupBranch*>(root.get());
    return group && group->childCount() == 1 ? dynamic_cast<PolygonBranch*>(group->child(0)) : nullptr;
}

// A primitive becomes a batch: a leading negative strip entry marks
// plain-triangle indices after the strips' own; indices count from the
// primitive's first vertex. Texture coordinates far out (with no range
// reaching into [-40, 40]) are moved back by whole units; stretched ones,
// and a batch of 1,401 triangles or more, mark
// the branch for splitting by the next database's clean; a branch
// destroyed while marked leaves the list.
TEST(OldGeoSet, PrimitivesBecomeBatchesRepairedOrMarked) {
    LogCapture log;
    Set s;
    s.vertices = 115;
    s.strips = {-6, 4, 5};
    for (unsigned i = 0; i < 15; ++i)
        s.indices.push_back(103 + i % 12);
    s.colours.assign(115, 0xFFFFFFFF);
    s.colours[107] = 0xFEFFFFFF;
    s.primitives = {{lit | coloured | twoSided, 3, 15, 100}};
    orvel::counted_ptr<orvel::Streamable> root = readScene(s.stream());
    PolygonBranch* b = branchOf(root);
    ASSERT_TRUE(b && b->bunches().size() == 1);
    GeoBunch& bunch = *b->bunches()[0];
    kessa::GeoBunchInternals& in = bunch.internals();
    EXPECT_TRUE(in.valid() && bunch.vertexCount() == 15 && in.indices()->size() == 15 && in.indices()->data()[0] == 3 && in.vertexPointer()[0].x == 100);
    EXPECT_TRUE(in.strips()->size() == 2 && in.strips()->data()[0] == 4 && in.strips()->data()[1] == 5 && bunch.triangleCount() == 2 + 3 + 2);
    const kessa::Material& m = *bunch.material().material();
    EXPECT_TRUE(bunch.material().first == 0 && bunch.material().second == 1 && m.lighting() && m.vertexColours() && m.colourMaterial() && !m.vertexNormals());
    EXPECT_TRUE(b->bounds().valid() && log.take().empty());
    const struct {
        float s0, s1, t1;
        int vertices;
        const char* logged;
        bool marked;
        float firstS;
    } rows[] = {{50, 60, 1, 6, "fix   10.000000  1.000000\n", false, -5},
                {30, 50, 1, 6, "", false, 30},
                {0, 200, 1, 6, " is drastic\n", true, 0},
                {0, 1, 1, 4200, "", false, 0},
                {0, 1, 1, 4203, "", true, 0}};
    for (const auto& row : rows) {
        Set t;
        t.vertices = row.vertices;
        for (int i = 0; i < row.vertices; ++i)
            t.texCoords.insert(t.texCoords.end(), {i % 2 ? row.s1 : row.s0, i % 3 ? row.t1 : 0});
        t.primitives = {{texCoordsWithoutTexture, 0, row.vertices, 0}};
        root = readScene(t.stream());
        b = branchOf(root);
        ASSERT_TRUE(b && b->bunches().size() == 1);
        EXPECT_TRUE(log.take() == row.logged && kessa::isPendingSplit(b) == row.marked && b->bunches()[0]->internals().texCoordPointer(0)[0].s == row.firstS)
            << row.vertices;
        if (row.vertices == 4203) {
            kessa::Database().clean();
            EXPECT_TRUE(root.cast<kessa::GroupBranch>()->child(0)->name() == "split 1" && log.count("Splitting bunch in branch \n") == 1);
        }
        root = nullptr;
        EXPECT_FALSE(kessa::isPendingSplit(b));
        kessa::splitPendingBranches();
    }
}

// An animated primitive marked for splitting keeps its frames through the
// next database's clean (the rebuild carried none, and it stopped
// animating): it stays as it was, oversized too, and still animates.
TEST(OldGeoSet, AnimatedPrimitivesKeepTheirFramesThroughTheSplitPass) {
    LogCapture log;
    for (int vertices : {6, 4203}) {
        SCOPED_TRACE(vertices);
        Set s;
        s.vertices = vertices;
        s.frames.resize(2);
        for (int i = 0; i < vertices; ++i) {
            s.frames[0].insert(s.frames[0].end(), {float(i), float(i % 2), float(i % 3)});
            s.frames[1].insert(s.frames[1].end(), {float(i), float(i % 2), float(i % 3) + 1});
            s.texCoords.insert(s.texCoords.end(), {vertices < 4203 ? 200.0f * float(i % 2) : 0, 0});
        }
        s.primitives = {{texCoordsWithoutTexture, 0, vertices, 0}};
        orvel::counted_ptr<orvel::Streamable> root = readScene(s.stream());
        PolygonBranch* b = branchOf(root);
        ASSERT_TRUE(b && b->bunches().size() == 1 && kessa::isPendingSplit(b));
        ASSERT_EQ(b->bunches()[0]->animationFrames().size(), 2u);
        kessa::Database().clean();
        ASSERT_TRUE(branchOf(root) == b && b->bunches().size() == 1) << "not split";
        GeoBunch& bunch = *b->bunches()[0];
        ASSERT_EQ(bunch.animationFrames().size(), 2u);
        EXPECT_TRUE(bunch.internals().valid() && bunch.triangleCount() == vertices / 3);
        bunch.internals().animate(-0.5f);
        const GeoBunch::Float3 raised = bunch.internals().vertexPointer()[vertices - 1];
        EXPECT_TRUE(raised.x == float(vertices - 1) && std::fabs(raised.z - float((vertices - 1) % 3) - 1) < 1e-3f) << raised.z;
        log.take();
    }
}

// Ranges outside the arrays are refused primitive by primitive; the cursors
// stay in step, so a sound primitive after them still converts; more
// primitives than announced make the read fail. Every cut and seeded
// damage of a full set reads without harm, and what comes back is cleaned,
// split and let go.
TEST(OldGeoSet, HostileRangesCutsAndDamage) {
    LogCapture log;
    const std::array<int, 4> bad[] = {{0, 0, 3, -1}, {0, 0, 4, 0}, {0, 0, -3, 0}, {coloured, 0, 3, 0}, {0, 2, 3, 0},
                                      {0, -1, 3, 0}, {0, 1, 3, 0}, {0, 0, 0x7FFFFFFF, 2}, {0, 0, 3, 0x7FFFFFFF}};
    for (const auto& primitive : bad) {
        Set s;
        s.strips = primitive[1] == 1 ? std::vector<int>{-4} : std::vector<int>{-3, 0x7FFFFFFF};  // a marker naming too many
        s.indices = {0, 1, 2};
        s.primitives = {primitive, {0, 0, 3, 0}};
        orvel::counted_ptr<orvel::Streamable> root = readScene(s.stream());
        PolygonBranch* b = branchOf(root);
        ASSERT_TRUE(b && b->bunches().size() == 1);
        EXPECT_TRUE(log.take() == "---OldGeoSet: primitive 0 names data outside its set - left out\n" && b->bunches()[0]->triangleCount() == 1);
    }
    Set s;
    s.primitives = {{0, 0, 3, 0}, {0, 0, 3, 0}, {0, 0, 3, 0}};
    s.announced = 2;
    EXPECT_TRUE(!readScene(s.stream()) && log.take().find("Bad geoset") != std::string::npos);
    Set full;
    full.vertices = 12;
    full.strips = {-3, 3, -3};
    full.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    full.colours.assign(12, 0x80FFFFFF);
    full.texCoords.assign(24, 70);
    full.primitives = {{coloured | texCoordsWithoutTexture, 3, 9, 0}, {lit, 0, 3, 9}};
    auto use = [](const Bytes& bytes) {
        orvel::counted_ptr<orvel::Streamable> root = readScene(bytes);
        if (auto* b = dynamic_cast<kessa::Branch*>(root.get()))
            b->clean();
        kessa::splitPendingBranches();
    };
    const Bytes whole = full.stream();
    support::forEachCut(whole, use);
    std::mt19937 random(19);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = whole;
        support::mutateStream(bytes, random, 18);
        use(bytes);
    }
}

// ---- the teapot ----

PolygonBranch& polygonsOf(kessa::Object& teapot) { return *static_cast<PolygonBranch*>(teapot.root()->child(0)); }

// Triangles of every batch under b, and the largest batch.
void countTriangles(kessa::Branch* b, int& total, int& largest) {
    if (auto* g = dynamic_cast<GeometryBranch*>(b))
        for (GeoBunch* bunch : g->bunches())
            total += bunch->triangleCount(), largest = std::max(largest, bunch->triangleCount());
    for (int i = 0; b->hasChildren() && i < b->childCount(); ++i)
        countTriangles(b->child(i), total, largest);
}

// Counts, welding and bounds for several subdivisions; names, material and
// points; with the arenas on, the 4,032 triangles of the 8-subdivision
// teapot are split into a tree ("split 1" over two "split 2" groups) that
// takes the polygon branch's place, and the polygons are gone.
TEST(Teapot, CountsWeldingBoundsAndSplitting) {
    for (auto row : {std::make_pair(2, 137), std::make_pair(4, 529), std::make_pair(5, 821), std::make_pair(8, 2081)}) {
        const int n = row.first;
        orvel::counted_ptr<kessa::Object> teapot = kessa::makeTeapot(n, nullptr);
        PolygonBranch& p = polygonsOf(*teapot);
        ASSERT_EQ(p.polygons().size(), std::size_t(32 * n * n));
        p.prepare();
        teapot->clean();
        int total = 0, largest = 0;
        countTriangles(teapot->root(), total, largest);
        EXPECT_TRUE(p.weldedPositions().size() == std::size_t(row.second) && total == 64 * n * n - 8 * n && p.triangleCount() == total && p.bunches().size() == 1) << n;
        EXPECT_TRUE(vectorNear(teapot->bounds().max(), {0.12, 0.18, 0.189}, 1e-7) && std::fabs(teapot->bounds().min().x + 0.12) < 1e-7) << n;
        EXPECT_TRUE(n != 8 || vectorNear(teapot->bounds().min(), {-0.12, -0.2059892578125, 0}, 1e-7));
    }
    orvel::counted_ptr<kessa::Object> teapot = kessa::makeTeapot(1, nullptr);
    const kessa::MaterialRef& binding = polygonsOf(*teapot).polygons()[0]->binding();
    EXPECT_TRUE(teapot->name() == "Teapot" && teapot->root()->name() == "teapot" && polygonsOf(*teapot).name() == "teapot" && binding->name() == "Teapot" && binding->lighting());
    EXPECT_TRUE(teapot->points().size() == 8 && teapot->points()[0] == Vector(0.2, 0.2, 0.2) && teapot->points()[7] == Vector(-0.2, -0.2, -0.2));
    orvel::counted_ptr<kessa::Material> grey = materialWith(false, true);
    EXPECT_EQ(polygonsOf(*kessa::makeTeapot(1, grey)).polygons()[5]->binding().material(), grey);
    LogCapture log;
    ArenaSwitch on(true);
    teapot = kessa::makeTeapot(8, nullptr);
    teapot->clean();
    int total = 0, largest = 0;
    countTriangles(teapot->root(), total, largest);
    EXPECT_TRUE(log.count("Splitting bunch in branch teapot\n") == 1 && teapot->root()->childCount() == 1 && teapot->root()->child(0)->name() == "split 1");
    EXPECT_TRUE(teapot->root()->child(0)->child(0)->name() == "split 2" && teapot->root()->child(0)->child(1)->name() == "split 2");
    EXPECT_TRUE(total == 4032 && largest <= 1400 && kessa::Polygon::liveBlocks() == 0);
    EXPECT_TRUE(vectorNear(teapot->bounds().min(), {-0.12, -0.2059892578125, 0}, 1e-7));
}

class TeapotGl : public SceneGl {
protected:
    // The depth of every pixel, the teapot seen from below at the heading
    // given (1 where nothing was drawn).
    std::vector<float> depths(kessa::Object& teapot, double heading) {
        clear();
        kessa::Placement place;
        place.heading = heading;
        place.pitch = 25;
        Vector forward;
        place.direction(forward);
        place.position = Vector(0, 0, 0.09) - forward * 0.45;
        kessa::Viewer viewer;
        viewer.setNearFar(0.1, 10);
        viewer.setPlacement(place);
        pellium::GLRenderInfo context = info();
        viewer.setWindowSize(context);
        kessa::ViewCulledTraverser walk;
        walk.traverse(viewer);
        teapot.traverse(walk);
        walk.accumulator().render(context);
        std::vector<float> out(glSide * glSide);
        glReadPixels(0, 0, glSide, glSide, GL_DEPTH_COMPONENT, GL_FLOAT, out.data());
        return out;
    }
};

// Wherever the teapot covers a pixel, the nearest surface there faces the
// camera: with back faces culled every pixel keeps the depth it has with
// none culled. A hole, a crack between patches or a patch turned inside
// out would show something farther, or nothing.
TEST_F(TeapotGl, BackFacesCulledLeaveNoHoles) {
    orvel::counted_ptr<kessa::Object> culled = kessa::makeTeapot(8, nullptr), whole = kessa::makeTeapot(8, nullptr);
    for (kessa::Polygon* p : polygonsOf(*whole).polygons())
        p->setFirstMaterialFlag(0);
    culled->clean();
    whole->clean();
    for (double heading : {0.0, 90.0, 180.0, 270.0}) {
        const std::vector<float> near = depths(*whole, heading), seen = depths(*culled, heading);
        int covered = 0, differ = 0;
        for (std::size_t i = 0; i < near.size(); ++i)
            covered += near[i] < 1, differ += std::fabs(near[i] - seen[i]) > 1e-6f;
        EXPECT_TRUE(covered > 1000 && differ == 0) << heading;
    }
}

}  // namespace
