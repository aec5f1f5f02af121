// Bezier patches against a Bernstein evaluation of their own, and the
// teapot's patches against the published Newell teapot data, rebuilt here
// from its quarter patches by mirroring.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "scene/Patch.h"
#include "scene/Polygon.h"
#include "scene/TeapotPatches.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/SceneTestUtil.h"
#include "tests/scene/TeapotData.h"

using kessa::Patch;
using kessa::Polygon;
using kessa::Vector;
using kessa_test::vectorNear;

namespace {

// Bernstein polynomial k of degree 3 at t and its slope.
double bernstein(int k, double t, bool slope) {
    const double c[4] = {1, 3, 3, 1};
    if (!slope)
        return c[k] * std::pow(t, k) * std::pow(1 - t, 3 - k);
    return c[k] * ((k ? k * std::pow(t, k - 1) * std::pow(1 - t, 3 - k) : 0) -
                   (k < 3 ? (3 - k) * std::pow(t, k) * std::pow(1 - t, 2 - k) : 0));
}

// Row r is weighted by w, column c by u; the normal is du x dw, made unit
// where the surface has a direction (not at a pole).
void surface(const Vector* points, double u, double w, Vector& p, Vector& normal) {
    Vector du, dw;
    for (int k = 0; k < 16; ++k) {
        p += points[k] * (bernstein(k / 4, w, false) * bernstein(k % 4, u, false));
        du += points[k] * (bernstein(k / 4, w, false) * bernstein(k % 4, u, true));
        dw += points[k] * (bernstein(k / 4, w, true) * bernstein(k % 4, u, false));
    }
    normal = du.cross(dw);
    normal = normal.lengthSquared() < 1e-24 ? Vector() : normal * (1 / normal.length());
}

Patch evaluated(const Vector* points, int n) {
    Patch patch;
    patch.setControlPoints(points);
    patch.setSubdivision(n);
    patch.evaluate();
    return patch;
}

::testing::AssertionResult gridMatches(const Patch& patch, const Vector* points, double tolerance) {
    int n = patch.subdivision();
    for (int at = 0; at < (n + 1) * (n + 1); ++at) {
        Vector p, normal;
        surface(points, double(at / (n + 1)) / n, double(at % (n + 1)) / n, p, normal);
        const Patch::Normal& g = patch.normals()[std::size_t(at)];
        if (!vectorNear(patch.positions()[std::size_t(at)], p, tolerance) ||
            !(normal == Vector() || vectorNear(Vector(g.x, g.y, g.z), normal, 1e-6)))
            return ::testing::AssertionFailure() << "grid point " << at;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

// Normals come out of unit length whatever the patch's size: strips and
// welding compare them by their dot products, which only cosines make
// meaningful.
TEST(BezierPatch, GridAgreesWithBernsteinEvaluation) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    for (double scale : {0.0, 0.01, 1.0, 100.0}) {
        Vector points[16];
        for (int k = 0; k < 16; ++k)
            points[k] = Vector(k % 4 + scale * jitter(random), k / 4 + scale * jitter(random), jitter(random) * scale) *
                        (scale ? scale : 1);
        Patch patch = evaluated(points, 7);
        EXPECT_TRUE(gridMatches(patch, points, 1e-12 * (scale + 1)));
        if (scale != 0)
            continue;
        // Points evenly spread on z = 0: quads of the plane, texture
        // coordinates (w, u) running with the grid.
        for (int at = 0; at < 64; ++at)
            EXPECT_TRUE(patch.texCoords()[std::size_t(at)].s == float(at % 8 / 7.0) &&
                        patch.texCoords()[std::size_t(at)].t == float(at / 8 / 7.0));
        std::unique_ptr<Polygon> cell = patch.cell(6, 2, nullptr);
        EXPECT_EQ(cell->vertexCount(), 4);
        EXPECT_EQ(cell->normal()[2], 1);
        EXPECT_TRUE(cell->binding()->name() == "Patch" && cell->binding()->lighting());
    }
}

// A collapsed first row makes the cells along it triangles whose pole
// corner, without a normal of its own, takes the face's.
TEST(BezierPatch, PoleTrianglesAndSubdivisions) {
    LogCapture log;
    Vector points[16];
    for (int k = 0; k < 16; ++k)
        points[k] = k < 4 ? Vector(0, 0, 1) : Vector(k % 4, k / 4, 0);
    Patch patch;
    patch.setControlPoints(points);
    EXPECT_EQ(patch.subdivision(), -1);
    patch.evaluate();
    ASSERT_EQ(patch.subdivision(), 5);
    patch.setSubdivision(0);
    EXPECT_EQ(log.count("kessa::Patch::setSubdivision() - n is zero or nagative!\n"), 1);
    EXPECT_EQ(patch.positions().size(), 36u);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) {
            std::unique_ptr<Polygon> cell = patch.cell(i, j, nullptr);
            ASSERT_EQ(cell->vertexCount(), j == 0 ? 3 : 4);
            const kessa::PolygonVertex* pole = cell->firstVertex();
            EXPECT_TRUE(j != 0 || (pole->position()[2] == 1 && pole->normal()[0] == cell->normal()[0] &&
                                   pole->normal()[1] == cell->normal()[1] && pole->normal()[2] == cell->normal()[2]));
        }
}

// The table is turned once, and every patch of it evaluates, grid point for
// grid point, as one patch of the published data does, each used once.
TEST(TeapotPatches, SurfaceIsTheNewellTeapot) {
    const Vector* table = kessa::teapotControlPoints();
    EXPECT_EQ(table[0], Vector(0, -0.084, 0.144));
    EXPECT_EQ(table[16 * 8 + 12], Vector(0, -0.09, 0.009));
    std::vector<Vector> copy(table, table + 512);
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), kessa::teapotControlPoints()));
    std::vector<kessa_test::TeapotPatch> newell = kessa_test::newellTeapot();
    ASSERT_EQ(newell.size(), 32u);
    for (auto& patch : newell)
        for (Vector& v : patch)
            v = Vector(v.y, -v.x, v.z);
    std::vector<bool> taken(32, false);
    for (int p = 0; p < kessa::teapotPatchCount; ++p) {
        Patch patch = evaluated(table + 16 * p, 6);
        int found = -1;
        for (std::size_t q = 0; q < newell.size() && found < 0; ++q)
            if (!taken[q] && gridMatches(patch, newell[q].data(), 1e-12))
                found = int(q);
        ASSERT_GE(found, 0) << "patch " << p;
        taken[std::size_t(found)] = true;
    }
}
