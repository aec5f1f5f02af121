// Polygons: face normals and convexity against shapes built with a known
// plane, flat-normal copying, vertex refusal, clones, and the record arenas
// with their heap allocations counted.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "bench/AllocationCount.h"
#include "tests/support/LogCapture.h"
#include "tests/scene/PolygonTestUtil.h"

using kessa::Polygon;
using kessa::PolygonVertex;
using kessa::Vector;
using kessa_test::polygonOf;

namespace {

// (x, y) pairs in the z = 0 plane.
std::vector<Vector> flat(std::initializer_list<double> xy) {
    std::vector<Vector> out;
    for (auto it = xy.begin(); it != xy.end(); it += 2)
        out.emplace_back(it[0], it[1], 0);
    return out;
}

}  // namespace

TEST(PolygonNormal, ShapesInThePlane) {
    struct Row {
        std::vector<Vector> corners;
        bool valid, concave;
        float nz;  // an invalid polygon keeps the default (0, 0, 1)
    };
    const Row rows[] = {
        {flat({0, 0, 1, 0, 1, 1, 0, 1}), true, false, 1},
        {flat({0, 1, 1, 1, 1, 0, 0, 0}), true, false, -1},
        {flat({0, 0, 2, 0, 2, 1, 1, 1, 1, 2, 0, 2}), true, true, 1},
        {flat({0, 0, 2, 1, 0, 2, 1, 1}), true, true, 1},
        {flat({0, 0, 1, 0, 0, 1}), true, false, 1},
        {flat({0, 0, 1, 0, 2, 0}), false, false, 1},
        {flat({0, 0, 1, 0}), false, false, 1},
        {flat({0, 0, 1, 0, 1, 0, 1, 1, 0, 1}), true, false, 1},
    };
    for (const Row& row : rows) {
        std::unique_ptr<Polygon> p = polygonOf(row.corners);
        SCOPED_TRACE(p->vertexCount());
        EXPECT_EQ(p->isUnusable(), row.concave || !row.valid);
        EXPECT_EQ(p->hasValidNormal(), row.valid);
        EXPECT_EQ(p->isConcave(), row.concave);
        EXPECT_TRUE(p->normal()[0] == 0 && p->normal()[1] == 0 && p->normal()[2] == row.nz);
    }
}

// Convex polygons with corners spread round a circle in random planes: the
// face normal is the plane's. Pulling one corner halfway to the centre from
// its neighbours' chord makes the polygon concave.
TEST(PolygonNormal, RandomPlanesAgainstTheirConstruction) {
    std::mt19937 random(71);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int round = 0; round < 200; ++round) {
        int n = 3 + round % 9;
        double start = unit(random) * 3, step = 6.283185307179586 / n;
        Vector axis(unit(random), unit(random), unit(random)), centre = axis * 50;
        Vector::normalize(axis);
        Vector e1 = axis.cross(std::fabs(axis.x) < 0.9 ? Vector(1, 0, 0) : Vector(0, 1, 0));
        Vector::normalize(e1);
        Vector e2 = axis.cross(e1);
        std::vector<Vector> corners;
        for (int i = 0; i < n; ++i) {
            double a = start + (i + 0.2 * unit(random)) * step;
            corners.push_back(centre + e1 * (3 * std::cos(a)) + e2 * (3 * std::sin(a)));
        }
        if (n >= 5)
            corners[1] = centre + ((corners[0] + corners[2]) * 0.5 - centre) * 0.5;
        std::unique_ptr<Polygon> p = polygonOf(corners);
        const float* normal = p->normal();
        EXPECT_NEAR(normal[0] * axis.x + normal[1] * axis.y + normal[2] * axis.z, 1, 1e-6) << round;
        EXPECT_EQ(p->isConcave(), n >= 5) << round;
        EXPECT_TRUE(p->hasValidNormal()) << round;
    }
}

TEST(PolygonNormal, FlatShadingCopiesTheFaceNormalToUnlockedVertices) {
    orvel::counted_ptr<kessa::Material> flatShaded(new kessa::Material(pellium::Color{1, 1, 1, 1}));
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

// A vertex of another polygon is refused; a clone copies the binding, the
// attribute and the corners, and nothing of the branch's working state.
TEST(PolygonVertices, RefusalAndClones) {
    LogCapture log;
    std::unique_ptr<Polygon> p = polygonOf(flat({0, 0, 2, 0, 2, 2}));
    std::unique_ptr<PolygonVertex> stolen(p->firstVertex()), none;
    Polygon other;
    EXPECT_FALSE(other.addVertex(stolen) || other.addVertex(none));
    EXPECT_TRUE(stolen.release() == p->firstVertex() && other.vertexCount() == 0 && p->vertexCount() == 3);
    EXPECT_EQ(p->after(p->lastVertex()), p->firstVertex());
    orvel::counted_ptr<kessa::Material> m(new kessa::Material(pellium::Color{1, 0, 0, 1}));
    p->setMaterial(m);
    p->setFirstMaterialFlag(0);
    p->setSecondMaterialFlag(1);
    p->setAttribute(77);
    p->tag = 5;
    const float st[2] = {0.25f, 0.5f};
    p->firstVertex()->setColour(0x11223344).setTexCoord(st, 1).weldIndex = 9;
    std::unique_ptr<Polygon> copy = p->clone();
    EXPECT_TRUE(copy->binding() == p->binding() && copy->attribute() == 77 && copy->tag == 0 && copy->smooth());
    ASSERT_EQ(copy->vertexCount(), 3);
    const PolygonVertex* c = copy->firstVertex();
    EXPECT_TRUE(c->owner() == copy.get() && c->colour() == 0x11223344 && c->texCoord(1)[1] == 0.5f);
    EXPECT_EQ(c->weldIndex, -1);
    EXPECT_EQ(copy->lastVertex()->position()[1], 2);
    // A fourth corner inside the triangle makes the copy concave.
    std::unique_ptr<PolygonVertex> inside = kessa_test::vertexAt({1.5, 0.5, 0});
    EXPECT_TRUE(copy->addVertex(inside) && copy->isConcave());
    copy->setMaterial(nullptr);
    EXPECT_EQ(log.count("Error - tried to set Polygon's material to NULL\n"), 1);
    EXPECT_EQ(copy->binding().material(), kessa::Material::getDefault());
}

// A block is one heap allocation: records taken from it cost none, and it
// goes back to the heap once every record in it is freed. Records made
// with the switch off are the heap's, whenever they are freed.
TEST(PolygonArena, BlocksAreTheOnlyAllocations) {
    std::vector<PolygonVertex*> vertices(100001);
    std::unique_ptr<kessa_test::ArenaSwitch> on(new kessa_test::ArenaSwitch(true));
    unsigned long start = allocationCount();
    for (int i = 0; i < 100000; ++i)
        vertices[std::size_t(i)] = new PolygonVertex;
    EXPECT_TRUE(allocationCount() - start == 1 && PolygonVertex::liveBlocks() == 1);
    vertices.back() = new PolygonVertex;
    EXPECT_TRUE(allocationCount() - start == 2 && PolygonVertex::liveBlocks() == 2);
    on.reset();
    std::unique_ptr<PolygonVertex> heapVertex(new PolygonVertex);
    EXPECT_EQ(allocationCount() - start, 3u);
    for (int i = 0; i < 100000; ++i)
        delete vertices[std::size_t(i)];
    EXPECT_EQ(PolygonVertex::liveBlocks(), 1);
    delete vertices.back();
    EXPECT_EQ(PolygonVertex::liveBlocks(), 0);

    // Polygons: 3,000 to a block, and a polygon frees its vertices.
    kessa_test::ArenaSwitch again(true);
    std::vector<std::unique_ptr<Polygon>> polygons(3001);
    const std::vector<Vector> triangle = flat({0, 0, 1, 0, 0, 1});
    kessa::Material::getDefault();  // made on first use
    start = allocationCount();
    for (auto& p : polygons)
        p = polygonOf(triangle);
    EXPECT_EQ(allocationCount() - start, 3u);  // two polygon blocks, one vertex block
    std::unique_ptr<Polygon> copy = polygons[0]->clone();
    polygons.clear();
    EXPECT_TRUE(Polygon::liveBlocks() == 1 && PolygonVertex::liveBlocks() == 1);
    copy.reset();
    EXPECT_TRUE(Polygon::liveBlocks() == 0 && PolygonVertex::liveBlocks() == 0);
}
