// Polygon branches: welding against a brute-force clustering, neighbours,
// smoothing and edges, the polygon list, and compiling into batches checked
// against the polygons' own areas.
#include <gtest/gtest.h>

#include <pthread.h>

#include <cmath>
#include <random>

#include "scene/GeoBunchInternals.h"
#include "scene/GroupBranch.h"
#include "scene/Object.h"
#include "scene/PolygonBranch.h"
#include "scene/Ray.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/BunchTestUtil.h"
#include "tests/scene/SceneStreams.h"
#include "tests/scene/PolygonTestUtil.h"
#include "tests/scene/SceneTestUtil.h"

using kessa::GeoBunch;
using kessa::Polygon;
using kessa::PolygonBranch;
using kessa::PolygonVertex;
using kessa::Vector;
using kessa_test::polygonOf;

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

// Points in clusters far apart (1 unit) with copies a hair apart, half of
// them exactly on the planes through the bounds' centre: welding gives one
// position per cluster, as an all-pairs clustering does.
TEST(PolygonBranchWeld, AgainstBruteForceClustering) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> cell(-6, 6);
    std::uniform_real_distribution<double> hair(-1e-9, 1e-9);
    PolygonBranch b;
    std::vector<Vector> points;
    for (int t = 0; t < 600; ++t) {
        std::vector<Vector> corners;
        for (int k = 0; k < 3; ++k) {
            Vector c(cell(random), cell(random), t % 2 ? 0 : cell(random));
            corners.push_back(c + Vector(hair(random), hair(random), hair(random)));
        }
        b.addPolygon(polygonOf(corners));
        points.insert(points.end(), corners.begin(), corners.end());
    }
    b.addPolygon(polygonOf({{-6, -6, -6}, {6, 6, 6}, {6, -6, 6}}));  // the bounds are centred on 0
    points.insert(points.end(), {{-6, -6, -6}, {6, 6, 6}, {6, -6, 6}});
    b.prepare();
    std::size_t clusters = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        bool first = true;
        for (std::size_t j = 0; j < i && first; ++j)
            first = (points[i] - points[j]).length() > 1e-5;
        clusters += first;
    }
    EXPECT_EQ(b.weldedPositions().size(), clusters);
    for (const PolygonVertex* w : b.weldedPositions())
        for (const PolygonVertex* v = w->samePosition; v != w; v = v->samePosition) {
            ASSERT_EQ(v->weldIndex, w->weldIndex);
            EXPECT_LT(std::fabs(v->position()[0] - w->position()[0]) + std::fabs(v->position()[2] - w->position()[2]), 1e-8);
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
    EXPECT_TRUE(kessa_test::vectorNear(Vector(n[0], n[1], n[2]), sum, 1e-6));
    EXPECT_EQ(corner(b, 1, 0)->normal()[0], 0);  // the standing quad is not smooth
    EXPECT_TRUE(corner(b, 2, 0)->normal()[0] == n[0] && !b.polygons()[0]->smooth());
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
    std::unique_ptr<kessa::PolygonVertex> extra = kessa_test::vertexAt({1, 2, 0});
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
    concave.growBounds(kessa_test::box({5, 5, 5}, {6, 6, 6}));
    concave.prepare();
    EXPECT_TRUE(kessa_test::boxIs(concave.bounds(), {5, 5, 5}, {6, 6, 6}));
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
    for (GeoBunch* bunch : b.bunches())
        for (const auto& t : kessa_test::trianglesOf(*bunch)) {
            const GeoBunch::Float3* p = bunch->internals().vertexPointer();
            unsigned a = std::get<0>(t), c = std::get<1>(t), d = std::get<2>(t);
            double twice = (p[c].x - p[a].x) * (p[d].y - p[a].y) - (p[d].x - p[a].x) * (p[c].y - p[a].y);
            EXPECT_GT(twice, 0);
            covered += twice / 2;
            ++triangles;
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

// With the arenas on, a clean splits batches of more than 1,400 triangles
// into a "split 1" tree that takes the branch's place; 1,400 stay whole.
TEST(PolygonSplit, MoreThan1400TrianglesAreSplit) {
    LogCapture log;
    kessa_test::ArenaSwitch on(true);
    for (bool oneMore : {false, true}) {
        kessa::Object o;
        o.attach(std::make_unique<kessa::GroupBranch>());
        static_cast<kessa::GroupBranch*>(o.root())->addChild(strip(700, oneMore, "GroundSnake 7"));
        o.clean();
        kessa::Branch* top = o.root()->child(0);
        EXPECT_EQ(top->name(), oneMore ? "split 1" : "GroundSnake 7");
        if (!oneMore)
            continue;
        ASSERT_EQ(top->childCount(), 2);
        int total = 0;
        for (int i = 0; i < 2; ++i) {
            auto* leaf = dynamic_cast<kessa::GeometryBranch*>(top->child(i));
            ASSERT_TRUE(leaf && leaf->bunches().size() == 1);
            total += leaf->bunches()[0]->triangleCount();
        }
        EXPECT_EQ(total, 1401);
        EXPECT_TRUE(kessa_test::boxIs(o.bounds(), {0, 0, 0}, {701, 1, 0}));
    }
    EXPECT_EQ(log.text(), "Splitting bunch in branch GroundSnake 7\n----------------------------------------\n"
                          "1401 triangles extracted\n...\n");
}

// 1,500 triangles with one centre: the median leaves a half empty, so the
// split goes by place in the sorted order and ends.
TEST(PolygonSplit, EqualCentresStillSplitInTwo) {
    LogCapture log;
    kessa_test::ArenaSwitch on(true);
    kessa::Object o;
    o.attach(std::make_unique<kessa::GroupBranch>());
    auto b = std::make_unique<PolygonBranch>();
    for (int i = 0; i < 1500; ++i)
        b->addPolygon(polygonOf({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    static_cast<kessa::GroupBranch*>(o.root())->addChild(std::move(b));
    o.clean();
    kessa::Branch* top = o.root()->child(0);
    ASSERT_EQ(top->childCount(), 2);
    EXPECT_EQ(static_cast<kessa::GeometryBranch*>(top->child(0))->bunches()[0]->triangleCount(), 750);
}

// An object's root has no parent to take a split's place: it keeps its
// batch whole.
TEST(PolygonSplit, RootBranchKeepsItsBatch) {
    LogCapture log;
    kessa_test::ArenaSwitch on(true);
    kessa::Object o;
    o.attach(strip(700, true));
    o.clean();
    auto* root = static_cast<PolygonBranch*>(o.root());
    ASSERT_EQ(root->bunches().size(), 1u);
    EXPECT_EQ(root->bunches()[0]->triangleCount(), 1401);
    EXPECT_TRUE(root->polygons().empty());
    EXPECT_TRUE(kessa_test::boxIs(o.bounds(), {0, 0, 0}, {701, 1, 0}));
}

// Once its polygons are gone, a branch marked dirty keeps its batches.
TEST(PolygonSplit, BatchesWithoutPolygonsSurviveAClean) {
    kessa_test::ArenaSwitch on(true);
    std::unique_ptr<PolygonBranch> b = strip(3, false);
    b->clean();
    ASSERT_TRUE(b->polygons().empty() && b->bunches().size() == 1);
    b->markDirty();
    b->clean();
    ASSERT_EQ(b->bunches().size(), 1u);
    EXPECT_EQ(b->bunches()[0]->triangleCount(), 6);
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
// polygons only from their front.
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
        double best = ray.length;
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
                if (triangleHit(ray.origin, ray.direction, c[0], c[k], c[k + 1], t, edge) && t > 0 && t <= best)
                    best = t, found = true;
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
        kessa::RayHit any;
        EXPECT_EQ(b.intersectRay(ray, any, true, nullptr), found);
        EXPECT_EQ(any.distance, ray.length);
    }
    EXPECT_GT(hits, 200);
    EXPECT_GT(compared, 2900);
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
// triangle count and a billboard mode.
TEST(PolygonBranchStream, BatchesTravelPolygonsDoNot) {
    PolygonBranch b;
    twoQuads(b, 0);
    b.setBillboardMode(kessa::GeometryBranch::faceViewer);
    b.clean();
    kessa_test::Bytes bytes = kessa_test::writeScene(&b);
    EXPECT_EQ(bytes[bytes.size() - 2], 0);  // the own block, then the end mark
    orvel::counted_ptr<PolygonBranch> back = kessa_test::readScene(bytes).cast<PolygonBranch>();
    ASSERT_TRUE(back && back->polygons().empty() && back->bunches().size() == 1);
    EXPECT_EQ(back->bunches()[0]->triangleCount(), 4);
    EXPECT_EQ(back->billboardMode(), kessa::GeometryBranch::faceViewer);
    kessa_test::Bytes101 old;
    old.declare(1, "zanthorium::kessa::PolygonBranch")
        .object(1, 1, kessa_test::body().raw({0, 11}).u32(5).byte(12).u32(1).byte(10).u32(7).raw({13, 9, 0}))
        .end();
    back = kessa_test::readScene(old.bytes).cast<PolygonBranch>();
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->triangleCount() == 5 && back->billboardMode() == kessa::GeometryBranch::turnAboutZ);
}
