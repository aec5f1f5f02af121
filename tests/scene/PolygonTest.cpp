// Polygons (face normals and convexity against shapes built with a known
// plane, clones, the record arenas with their heap allocations counted),
// Bezier segments and splines against de Casteljau and arc lengths
// integrated from the curve's speed, patches against a Bernstein
// evaluation, and the teapot's patches against the published Newell data.
#include <gtest/gtest.h>

#include <climits>

#include "base/MemoryDataDest.h"
#include "base/MemoryDataSource.h"
#include "bench/AllocationCount.h"
#include "scene/Patch.h"
#include "scene/PolygonBranch.h"
#include "scene/Spline.h"
#include "scene/TeapotPatches.h"
#include "tests/scene/SceneTest.h"
#include "tests/scene/TeapotData.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::Bezier;
using kessa::Patch;
using kessa::Polygon;
using kessa::PolygonVertex;
using kessa::Spline;

namespace {

// (x, y) pairs in the z = 0 plane.
std::vector<Vector> flat(std::initializer_list<double> xy) {
    std::vector<Vector> out;
    for (auto it = xy.begin(); it != xy.end(); it += 2)
        out.emplace_back(it[0], it[1], 0);
    return out;
}

// Polygons behave alike wherever their records live: each case runs with
// the arenas off and on.
class Polygons : public ::testing::TestWithParam<bool> {
    ArenaSwitch arenas_{GetParam()};
};
INSTANTIATE_TEST_SUITE_P(Arenas, Polygons, ::testing::Bool());

// Shapes in the plane (an invalid polygon keeps the default normal; a
// corner not finite or too far out makes one, logged once), and
// convex polygons with corners spread round a circle in random planes: the
// face normal is the plane's; pulling one corner halfway to the centre from
// its neighbours' chord makes the polygon concave. Flat shading copies the
// face normal to unlocked vertices.
TEST_P(Polygons, NormalsAgainstTheirConstruction) {
    const struct {
        std::vector<Vector> corners;
        bool valid, concave;
        float nz;
    } rows[] = {
        {flat({0, 0, 1, 0, 1, 1, 0, 1}), true, false, 1},         {flat({0, 1, 1, 1, 1, 0, 0, 0}), true, false, -1},
        {flat({0, 0, 2, 0, 2, 1, 1, 1, 1, 2, 0, 2}), true, true, 1}, {flat({0, 0, 2, 1, 0, 2, 1, 1}), true, true, 1},
        {flat({0, 0, 1, 0, 2, 0}), false, false, 1},              {flat({0, 0, 1, 0}), false, false, 1},
        {flat({0, 0, 1, 0, 1, 0, 1, 1, 0, 1}), true, false, 1},
        {flat({0, 0, 1, 0, std::nan(""), 1, 0, 1}), false, false, 1}, {flat({0, 0, 1, 0, 1, INFINITY}), false, false, 1},
        {flat({0, 0, 1e300, 0, 1, 1, 0, 1}), false, false, 1},
    };
    LogCapture log;
    for (const auto& row : rows) {
        std::unique_ptr<Polygon> p = polygonOf(row.corners);
        EXPECT_TRUE(p->isUnusable() == (row.concave || !row.valid) && p->hasValidNormal() == row.valid && p->isConcave() == row.concave);
        EXPECT_TRUE(p->normal()[0] == 0 && p->normal()[1] == 0 && p->normal()[2] == row.nz) << &row - rows;
    }
    EXPECT_EQ(log.count("Polygon has a corner that is not finite or too far out - left out\n"), 3) << "once each";
    // The usable ones alone are compiled (the repeated corner gives a
    // triangle without area) and bounded.
    kessa::PolygonBranch branch;
    for (const auto& row : rows)
        branch.addPolygon(polygonOf(row.corners));
    branch.clean();
    EXPECT_TRUE(branch.bunches().size() == 1 && branch.bunches()[0]->triangleCount() == 2 + 2 + 2 && boxIs(branch.bounds(), {0, 0, 0}, {1, 1, 0}));
    std::mt19937 random(71);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int round = 0; round < 200; ++round) {
        const int n = 3 + round % 9;
        const double start = unit(random) * 3, step = 6.283185307179586 / n;
        Vector axis(unit(random), unit(random), unit(random)), centre = axis * 50;
        Vector::normalize(axis);
        Vector e1 = axis.cross(std::fabs(axis.x) < 0.9 ? Vector(1, 0, 0) : Vector(0, 1, 0));
        Vector::normalize(e1);
        const Vector e2 = axis.cross(e1);
        std::vector<Vector> corners;
        for (int i = 0; i < n; ++i) {
            const double a = start + (i + 0.2 * unit(random)) * step;
            corners.push_back(centre + e1 * (3 * std::cos(a)) + e2 * (3 * std::sin(a)));
        }
        if (n >= 5)
            corners[1] = centre + ((corners[0] + corners[2]) * 0.5 - centre) * 0.5;
        std::unique_ptr<Polygon> p = polygonOf(corners);
        const float* normal = p->normal();
        EXPECT_NEAR(normal[0] * axis.x + normal[1] * axis.y + normal[2] * axis.z, 1, 1e-6) << round;
        EXPECT_TRUE(p->isConcave() == (n >= 5) && p->hasValidNormal()) << round;
    }
    orvel::counted_ptr<kessa::Material> flatShaded = materialWith(false, true);
    flatShaded->setSmoothShading(false);
    for (bool smooth : {true, false}) {
        std::unique_ptr<Polygon> p = polygonOf(flat({0, 0, 1, 0, 1, 1, 0, 1}));
        p->setMaterial(smooth ? kessa::Material::getDefault() : flatShaded);
        const float sideways[3] = {1, 0, 0};
        for (PolygonVertex* v = p->firstVertex(); v; v = v->next())
            v->setNormal(sideways);
        p->lastVertex()->normalLocked = true;
        p->updateNormal();
        for (PolygonVertex* v = p->firstVertex(); v; v = v->next())
            EXPECT_EQ(v->normal()[2], !smooth && !v->normalLocked ? 1 : 0);
    }
}

// Moving corners makes the polygon's shape anew: a square pulled into an
// arrow is concave, pushed back convex, turned over it faces the other
// way; the branch holding it welds again.
TEST_P(Polygons, MovedCornersGiveTheShapeAnew) {
    kessa::PolygonBranch branch;
    branch.addPolygon(polygonOf(flat({0, 0, 2, 0, 2, 2, 0, 2})));
    Polygon* p = branch.polygons()[0];
    branch.prepare();
    ASSERT_EQ(branch.weldedPositions().size(), 4u);
    const struct {
        std::vector<Vector> corners;
        bool concave;
        float nz;
    } rows[] = {{flat({0, 0, 2, 0, 0.5, 0.5, 0, 2}), true, 1}, {flat({0, 0, 2, 0, 3, 3, 0, 2}), false, 1}, {flat({0, 0, 0, 2, 2, 2, 2, 0}), false, -1}};
    for (const auto& row : rows) {
        PolygonVertex* v = p->firstVertex();
        for (const Vector& c : row.corners) {
            const double xyz[3] = {c.x, c.y, c.z};
            v = v->setPosition(xyz).next();
        }
        EXPECT_TRUE(branch.weldedPositions().empty() && p->isConcave() == row.concave && p->normal()[2] == row.nz) << &row - rows;
        branch.prepare();
    }
}

// A vertex of another polygon is refused; a clone copies the binding, the
// attribute and the corners, and nothing of the branch's working state; a
// null material is logged and becomes the default.
TEST_P(Polygons, RefusedVerticesAndClones) {
    LogCapture log;
    std::unique_ptr<Polygon> p = polygonOf(flat({0, 0, 2, 0, 2, 2}));
    std::unique_ptr<PolygonVertex> stolen(p->firstVertex()), none;
    Polygon other;
    EXPECT_FALSE(other.addVertex(stolen) || other.addVertex(none));
    EXPECT_TRUE(stolen.release() == p->firstVertex() && other.vertexCount() == 0 && p->vertexCount() == 3 && p->after(p->lastVertex()) == p->firstVertex());
    p->setMaterial(materialWith(true, false));
    p->setFirstMaterialFlag(0);
    p->setSecondMaterialFlag(1);
    p->setAttribute(77);
    p->tag = 5;
    const float st[2] = {0.25f, 0.5f};
    p->firstVertex()->setColour(0x11223344).setTexCoord(st, 1).weldIndex = 9;
    std::unique_ptr<Polygon> copy = p->clone();
    const PolygonVertex* c = copy->firstVertex();
    EXPECT_TRUE(copy->binding() == p->binding() && copy->attribute() == 77 && copy->tag == 0 && copy->smooth() && copy->vertexCount() == 3);
    EXPECT_TRUE(c->owner() == copy.get() && c->colour() == 0x11223344 && c->texCoord(1)[1] == 0.5f && c->weldIndex == -1 && copy->lastVertex()->position()[1] == 2);
    std::unique_ptr<PolygonVertex> inside = vertexAt({1.5, 0.5, 0});
    EXPECT_TRUE(copy->addVertex(inside) && copy->isConcave());
    copy->setMaterial(nullptr);
    EXPECT_TRUE(log.count("Error - tried to set Polygon's material to NULL\n") == 1 && copy->binding().material() == kessa::Material::getDefault());
}

// A block is one heap allocation: records taken from it cost none, and it
// goes back to the heap once every record in it is freed; records made
// with the switch off are the heap's.
TEST(PolygonArenas, OneHeapAllocationPerBlock) {

    std::vector<PolygonVertex*> vertices(100001);
    std::unique_ptr<ArenaSwitch> on(new ArenaSwitch(true));
    unsigned long start = allocationCount();
    for (PolygonVertex*& v : vertices)
        v = new PolygonVertex;
    EXPECT_TRUE(allocationCount() - start == 2 && PolygonVertex::liveBlocks() == 2) << "100,000 to a block";
    on.reset();
    std::unique_ptr<PolygonVertex> heapVertex(new PolygonVertex);
    EXPECT_EQ(allocationCount() - start, 3u);
    for (int i = 0; i < 100000; ++i)
        delete vertices[std::size_t(i)];
    EXPECT_EQ(PolygonVertex::liveBlocks(), 1);
    delete vertices.back();
    EXPECT_EQ(PolygonVertex::liveBlocks(), 0);
    ArenaSwitch again(true);
    std::vector<std::unique_ptr<Polygon>> polygons(3001);
    const std::vector<Vector> triangle = flat({0, 0, 1, 0, 0, 1});
    kessa::Material::getDefault();  // made on first use
    start = allocationCount();
    for (auto& q : polygons)
        q = polygonOf(triangle);
    EXPECT_EQ(allocationCount() - start, 3u) << "two polygon blocks (3,000 to one), one vertex block";
    std::unique_ptr<Polygon> copy = polygons[0]->clone();
    polygons.clear();
    EXPECT_TRUE(Polygon::liveBlocks() == 1 && PolygonVertex::liveBlocks() == 1) << "a polygon frees its vertices";
    copy.reset();
    EXPECT_TRUE(Polygon::liveBlocks() == 0 && PolygonVertex::liveBlocks() == 0);
}

// ---- curves ----

Bezier segment(std::initializer_list<Vector> points) {
    Bezier b;
    int i = 0;
    for (const Vector& p : points)
        b.setControlPoint(i++, p);
    return b;
}

// de Casteljau: the point and the derivative at t.
void casteljau(const Bezier& b, double t, Vector& point, Vector& derivative) {
    Vector q[4] = {b.controlPoint(0), b.controlPoint(1), b.controlPoint(2), b.controlPoint(3)};
    for (int level = 3; level > 0; --level) {
        if (level == 1)
            derivative = (q[1] - q[0]) * 3;
        for (int i = 0; i < level; ++i)
            q[i] = q[i] * (1 - t) + q[i + 1] * t;
    }
    point = q[0];
}

// Arc length from 0 to t: 3-point Gauss-Legendre over 256 pieces.
double arcLength(const Bezier& b, double t) {
    const double x[3] = {-0.7745966692414834, 0, 0.7745966692414834}, w[3] = {5 / 9.0, 8 / 9.0, 5 / 9.0};
    double h = t / 256, sum = 0;
    for (int k = 0; k < 256; ++k)
        for (int i = 0; i < 3; ++i) {
            Vector p, d;
            casteljau(b, h * (k + 0.5 + 0.5 * x[i]), p, d);
            sum += w[i] * d.length() * h * 0.5;
        }
    return sum;
}

Bezier randomSegment(std::mt19937& random, Vector p) {
    std::uniform_real_distribution<double> unit(-1, 1);
    Bezier b;
    for (int i = 0; i < 4; ++i, p += Vector(1 + unit(random), unit(random), unit(random)))
        b.setControlPoint(i, p);
    return b;
}

// Straight along x from a to b, control points evenly spaced.
Bezier line(double a, double b) { return segment({{a, 0, 0}, {(2 * a + b) / 3, 0, 0}, {(a + 2 * b) / 3, 0, 0}, {b, 0, 0}}); }

// Points and derivatives as de Casteljau gives them; the table sums 64
// chords: never longer than the curve, and close to it (exact on a line;
// the usual quarter-circle approximation against pi / 2). Located
// parameters land where the integrated arc length says they should.
TEST(BezierCurve, AgainstDeCasteljauAndTheIntegratedLength) {
    std::mt19937 random(5);
    for (int round = 0; round < 30; ++round) {
        Bezier b = randomSegment(random, {0, 0, 0});
        for (double t = 0; t <= 1; t += 0.125) {
            Vector p, d, cp, cd;
            b.evaluate(t, p, &d);
            casteljau(b, t, cp, cd);
            EXPECT_TRUE(vectorNear(p, cp, 1e-12) && vectorNear(d, cd, 1e-12));
        }
        b.update();
        const double whole = arcLength(b, 1);
        EXPECT_TRUE(b.length() <= whole + 1e-12 && std::fabs(b.length() - whole) < 1e-3 * whole);
        for (int i = 0; i < 64; i += 7)
            EXPECT_NEAR(b.tableEntry(i), arcLength(b, i / 64.0), 1e-3 * whole);
    }
    Bezier straight = line(0, 3);
    EXPECT_TRUE(straight.parameterAt(1.5) == 0.5 && straight.length() == 3 && straight.tableEntry(37) == float(3.0 * 37 / 64));
    const double k = 0.5522847498;
    Bezier arc = segment({{1, 0, 0}, {1, k, 0}, {k, 1, 0}, {0, 1, 0}});
    arc.update();
    EXPECT_NEAR(arc.length(), 1.5707963, 3e-4);
    Spline s;
    std::vector<double> lengths;
    for (Vector start; lengths.size() < 4; start = s.segment(s.segmentCount() - 1).controlPoint(3)) {
        s.addSegment(randomSegment(random, start));
        lengths.push_back(arcLength(s.segment(s.segmentCount() - 1), 1));
    }
    const double total = s.length();
    EXPECT_NEAR(total, lengths[0] + lengths[1] + lengths[2] + lengths[3], 2e-3 * total);
    int seg;
    double t;
    for (double d = 0.013; d < total; d += total / 97) {
        ASSERT_TRUE(s.locate(d, seg, t));
        double before = 0;
        for (int i = 0; i < seg; ++i)
            before += lengths[std::size_t(i)];
        EXPECT_NEAR(before + arcLength(s.segment(seg), t), d, 2e-3 * total) << "d " << d;
    }
    for (double d : {-1.0, 0.0, total, total + 5}) {
        ASSERT_TRUE(s.locate(d, seg, t));
        EXPECT_TRUE(seg == (d < total ? 0 : 3) && t == (d < total ? 0 : 1));
    }
}

// At a boundary the earlier segment answers; a closed spline wraps (and
// one of no length gives its start, not a NaN parameter); an edited
// segment alone is rebuilt; the stream form, cut anywhere, keeps what it
// got and stays usable.
TEST(SplinePath, BoundariesWrappingAndTheStreamForm) {
    Spline s, empty;
    s.addSegment(line(0, 3));
    s.addSegment(line(3, 9));
    s.addSegment(segment({{9, 0, 0}, {9.25, 0, 0}, {9.75, 0, 0}, {10, 0, 0}}));
    int k, k2;
    double t, t2;
    EXPECT_TRUE(s.locate(3, k, t) && k == 0 && t == 1 && s.locate(4.5, k, t) && k == 1 && t == 0.25);
    s.setClosed(true);
    EXPECT_NEAR(s.length(), 10, 1e-12);
    for (auto pair : {std::make_pair(12.0, 2.0), std::make_pair(-3.0, 7.0), std::make_pair(23.0, 3.0)}) {
        ASSERT_TRUE(s.locate(pair.first, k, t) && s.locate(pair.second, k2, t2));
        EXPECT_TRUE(k == k2 && std::fabs(t - t2) < 1e-9) << pair.first;
    }
    s.segment(1).setControlPoint(3, {9, 4, 0});
    EXPECT_TRUE(!s.segment(0).isStale() && s.segment(1).isStale());
    EXPECT_NEAR(s.length(), 4 + arcLength(s.segment(1), 1), 1e-3);
    Spline point;
    for (int i = 0; i < 2; ++i)
        point.addSegment(segment({{2, 2, 2}, {2, 2, 2}, {2, 2, 2}, {2, 2, 2}}));
    point.setClosed(true);
    EXPECT_TRUE(point.locate(5, k, t) && k == 0 && t == 0 && empty.length() == 0 && !empty.locate(1, k, t));
    // A distance that names no place is refused, the spline open or closed.
    const double nan = std::nan(""), inf = INFINITY;
    for (auto [closed, d] : {std::make_pair(false, nan), {true, nan}, {true, inf}, {true, -inf}}) {
        s.setClosed(closed);
        k = 7;
        EXPECT_TRUE(!s.locate(d, k, t) && k == 7) << closed << " " << d;
    }
    s.setClosed(false);
    EXPECT_TRUE(s.locate(inf, k, t) && k == 2 && t == 1 && s.locate(-inf, k, t) && k == 0 && t == 0 && s.segment(1).parameterAt(nan) == 0);
    s.setClosed(true);
    orvel::MemoryDataDest out;
    s.write(out);
    // 1 closed; per segment 100, the points under 1 to 4 and 0; 0.
    const std::vector<unsigned char> bytes(out.data(), out.data() + out.size());
    EXPECT_TRUE(bytes.size() == 2u + 3 * (1 + 4 * 25 + 1) + 1 && bytes[0] == 1 && bytes[1] == 1 && bytes[2] == 100 && bytes[103] == 0 && bytes.back() == 0);
    orvel::MemoryDataSource in(out.data(), out.size(), false);
    Spline back;
    back.read(in);
    ASSERT_TRUE(back.segmentCount() == 3 && back.closed() && back.length() == s.length());
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(back.segment(i / 4).controlPoint(i % 4), s.segment(i / 4).controlPoint(i % 4));
    for (unsigned n = 0; n < out.size(); ++n) {
        orvel::MemoryDataSource part(out.data(), n, false);
        Spline cut;
        cut.read(part);
        EXPECT_TRUE(cut.segmentCount() <= 3 && (!cut.locate(0.5, k, t) || (t >= 0 && t <= 1)));
    }
}

// ---- patches ----

// Bernstein polynomial k of degree 3 at t, and its slope.
double bernstein(int k, double t, bool slope) {
    const double c[4] = {1, 3, 3, 1};
    if (!slope)
        return c[k] * std::pow(t, k) * std::pow(1 - t, 3 - k);
    return c[k] * ((k ? k * std::pow(t, k - 1) * std::pow(1 - t, 3 - k) : 0) - (k < 3 ? (3 - k) * std::pow(t, k) * std::pow(1 - t, 2 - k) : 0));
}

// Row r is weighted by w, column c by u; the normal is du x dw, made unit
// where the surface has a direction (not at a pole).
::testing::AssertionResult gridMatches(const Patch& patch, const Vector* points, double tolerance) {
    const int n = patch.subdivision();
    for (int at = 0; at < (n + 1) * (n + 1); ++at) {
        const double u = double(at / (n + 1)) / n, w = double(at % (n + 1)) / n;
        Vector p, du, dw;
        for (int k = 0; k < 16; ++k) {
            p += points[k] * (bernstein(k / 4, w, false) * bernstein(k % 4, u, false));
            du += points[k] * (bernstein(k / 4, w, false) * bernstein(k % 4, u, true));
            dw += points[k] * (bernstein(k / 4, w, true) * bernstein(k % 4, u, false));
        }
        Vector normal = du.cross(dw);
        normal = normal.lengthSquared() < 1e-24 ? Vector() : normal * (1 / normal.length());
        const Patch::Normal& g = patch.normals()[std::size_t(at)];
        if (!vectorNear(patch.positions()[std::size_t(at)], p, tolerance) || !(normal == Vector() || vectorNear(Vector(g.x, g.y, g.z), normal, 1e-6)))
            return ::testing::AssertionFailure() << "grid point " << at;
    }
    return ::testing::AssertionSuccess();
}

Patch evaluated(const Vector* points, int n) {
    Patch patch;
    patch.setControlPoints(points);
    patch.setSubdivision(n);
    patch.evaluate();
    return patch;
}

// Normals come out of unit length whatever the patch's size (strips and
// welding compare them by their dot products). Points evenly spread on z =
// 0 give quads of the plane with texture coordinates (w, u) running with
// the grid. A collapsed first row makes the cells along it triangles whose
// pole corner takes the face's normal. Subdivisions below 1 or above the
// bound are refused.
TEST(BezierPatch, GridAgreesWithBernsteinEvaluation) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    for (double scale : {0.0, 0.01, 1.0, 100.0}) {
        Vector points[16];
        for (int k = 0; k < 16; ++k)
            points[k] = Vector(k % 4 + scale * jitter(random), k / 4 + scale * jitter(random), jitter(random) * scale) * (scale ? scale : 1);
        const Patch patch = evaluated(points, 7);
        EXPECT_TRUE(gridMatches(patch, points, 1e-12 * (scale + 1)));
        if (scale != 0)
            continue;
        for (int at = 0; at < 64; ++at)
            EXPECT_TRUE(patch.texCoords()[std::size_t(at)].s == float(at % 8 / 7.0) && patch.texCoords()[std::size_t(at)].t == float(at / 8 / 7.0));
        std::unique_ptr<Polygon> cell = patch.cell(6, 2, nullptr);
        EXPECT_TRUE(cell->vertexCount() == 4 && cell->normal()[2] == 1 && cell->binding()->name() == "Patch" && cell->binding()->lighting());
    }
    LogCapture log;
    Vector points[16];
    for (int k = 0; k < 16; ++k)
        points[k] = k < 4 ? Vector(0, 0, 1) : Vector(k % 4, k / 4, 0);
    Patch patch;
    patch.setControlPoints(points);
    EXPECT_EQ(patch.subdivision(), -1);
    patch.evaluate();
    for (int n : {0, Patch::maxSubdivision + 1, 70000, INT_MAX})
        patch.setSubdivision(n);
    EXPECT_TRUE(patch.subdivision() == 5 && patch.positions().size() == 36u && log.count("kessa::Patch::setSubdivision() - n is zero or nagative!\n") == 1);
    EXPECT_EQ(log.count("kessa::Patch::setSubdivision() - n is above 1024!\n"), 3);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            std::unique_ptr<Polygon> cell = patch.cell(i, j, nullptr);
            const PolygonVertex* pole = cell->firstVertex();
            ASSERT_EQ(cell->vertexCount(), j == 0 ? 3 : 4);
            EXPECT_TRUE(j != 0 || (pole->position()[2] == 1 && std::equal(pole->normal(), pole->normal() + 3, cell->normal())));
        }
}

// The table is turned once, and every patch of it evaluates, grid point for
// grid point, as one patch of the published data does, each used once.
TEST(TeapotPatches, SurfaceIsTheNewellTeapot) {
    const Vector* table = kessa::teapotControlPoints();
    const std::vector<Vector> copy(table, table + 512);
    EXPECT_TRUE(table[0] == Vector(0, -0.084, 0.144) && table[16 * 8 + 12] == Vector(0, -0.09, 0.009));
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), kessa::teapotControlPoints()));
    std::vector<TeapotPatch> newell = newellTeapot();
    for (auto& patch : newell)
        for (Vector& v : patch)
            v = Vector(v.y, -v.x, v.z);
    std::vector<bool> taken(32, false);
    for (int p = 0; p < kessa::teapotPatchCount; ++p) {
        const Patch patch = evaluated(table + 16 * p, 6);
        int found = -1;
        for (std::size_t q = 0; q < newell.size() && found < 0; ++q)
            if (!taken[q] && gridMatches(patch, newell[q].data(), 1e-12))
                found = int(q);
        ASSERT_GE(found, 0) << "patch " << p;
        taken[std::size_t(found)] = true;
    }
}

}  // namespace
