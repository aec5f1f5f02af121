// Building batches from loose triangles, and extracting them again.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "BunchTestUtil.h"
#include "GeometryTestUtil.h"
#include "SceneTestUtil.h"
#include "scene/CornerWelder.h"
#include "tests/support/LogCapture.h"

using kessa::GeoBunch;
using kessa::GeoBunchBuilder;
using kessa_test::materialWith;
using kessa_test::triangle;

namespace {

// T1 (0,0,0) (1,0,0) (0,1,0) and T2 (1,0,0) (1,1,0) (0,1,0): T2's copies of
// the shared corners moved along x, its normals and colours changed.
struct EdgeCase {
    const char* what;
    bool lit;
    float move, turnDegrees, normalLength;
    unsigned char red;
    unsigned vertices;
} const edgeCases[] = {
    {"shared edge", true, 0, 0, 1, 255, 4},
    {"normals 2 degrees apart", true, 0, 2, 1, 255, 6},
    {"normals apart, unlit", false, 0, 2, 1, 255, 4},
    {"colours differ, unlit", false, 0, 0, 1, 0, 6},
    {"colours differ, lit", true, 0, 0, 1, 0, 4},
    {"moved within the tolerance", true, 4e-5f, 0, 1, 255, 4},
    {"moved past the tolerance", true, 8e-5f, 0, 1, 255, 6},
    {"short normals alike", true, 0, 0, 0.03f, 255, 4},
    {"long normals 10 degrees apart", true, 0, 10, 2, 255, 6},
};

TEST(GeoBunchBuilder, CornersWeldByPositionAndTheAttributesTheMaterialUses) {
    for (const EdgeCase& c : edgeCases) {
        SCOPED_TRACE(c.what);
        GeoBunchBuilder b;
        b.material.setMaterial(c.lit ? materialWith(true, false) : materialWith(false, true));
        const float a = float(c.turnDegrees * std::acos(-1.0) / 180), l = c.normalLength;
        b.triangles.push_back(triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, l}));
        b.triangles.push_back(triangle({1 + c.move, 0, 0}, {1, 1, 0}, {0 + c.move, 1, 0},
                                       {0, l * std::sin(a), l * std::cos(a)}, {c.red, 255, 255, 255}));
        GeoBunch bunch;
        bunch.setTriangles(b);
        EXPECT_EQ(bunch.vertexCount(), int(c.vertices));
        EXPECT_EQ(bunch.triangleCount(), 2);
        EXPECT_TRUE(bunch.internals().valid());
        EXPECT_FALSE(bunch.internals().strips());
        EXPECT_EQ(bool(bunch.internals().normals()), c.lit);
        EXPECT_EQ(bool(bunch.internals().colors()), !c.lit);
        if (c.vertices == 4) {
            EXPECT_EQ(kessa_test::trianglesOf(bunch), (std::vector<kessa_test::Triangle>{{0, 1, 2}, {1, 3, 2}}));
        }
    }
}

TEST(GeoBunchBuilder, TrianglesWithoutAreaAreLeftOutAndRebuildsDropOldStreams) {
    GeoBunchBuilder b;
    b.material.setMaterial(materialWith(true, false));
    b.triangles.push_back(triangle({0, 0, 0}, {1e-5f, 0, 0}, {0, 1e-5f, 0}));
    b.triangles.push_back(triangle({0, 0, 0}, {1e-4f, 0, 0}, {0, 1e-4f, 0}));
    // A batch of four vertices in a strip, with colours.
    GeoBunch bunch;
    bunch.setVertexData(kessa_test::row(4), true);
    bunch.setStripData(kessa_test::strips({4}));
    bunch.setColorData(kessa_test::makeStream<GeoBunch::color_data>({GeoBunch::Color4{1, 2, 3, 4}}));
    bunch.setTriangles(b);
    EXPECT_EQ(bunch.triangleCount(), 1);
    EXPECT_EQ(bunch.vertexCount(), 3);
    EXPECT_FALSE(bunch.internals().strips());
    EXPECT_FALSE(bunch.internals().colors());
    EXPECT_TRUE(bunch.internals().valid());

    // Nothing with an area: only the material is taken.
    const GeoBunch::vertex_data* before = bunch.internals().vertices().get();
    GeoBunchBuilder flat;
    flat.triangles.push_back(b.triangles[0]);
    flat.material.first = 0;
    bunch.setTriangles(flat);
    EXPECT_EQ(bunch.internals().vertices().get(), before);
    EXPECT_EQ(bunch.material(), flat.material);
}

TEST(GeoBunchBuilder, TextureCoordinatesFarOutMoveByWholeTiles) {
    struct Row {
        float s[3], t[3], expectS[3], expectT[3];
    } const rows[] = {
        {{100, 101, 102}, {0, 0, 1}, {0, 1, 2}, {0, 0, 1}},
        {{79, 80, 81}, {0, 0, 1}, {-21, -20, -19}, {0, 0, 1}},
        {{-26, 24, 0}, {0, 1, 0}, {-26, 24, 0}, {0, 1, 0}},
        {{-81, -80, -79}, {0, 0, 1}, {19, 20, 21}, {0, 0, 1}},
        {{30, 31, 30.5f}, {0, 1, 0}, {-20, -19, -19.5f}, {0, 1, 0}},
        {{0, 0, 1}, {130, 130, 131}, {0, 0, 1}, {-20, -20, -19}},
    };
    for (const Row& r : rows) {
        GeoBunchBuilder b;
        b.material.setMaterial(materialWith(false, false, true));
        b.triangles.push_back(triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}));
        for (int k = 0; k < 3; ++k)
            b.triangles[0].corners[k].texCoords[0] = {r.s[k], r.t[k]};
        GeoBunch bunch;
        bunch.setTriangles(b);
        const GeoBunch::Float2* coords = bunch.internals().texCoordPointer(0);
        ASSERT_TRUE(coords);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(coords[k].s, r.expectS[k]) << r.s[k];
            EXPECT_EQ(coords[k].t, r.expectT[k]) << r.t[k];
        }
    }
    // Equal stored coordinates in different tiles make different vertices.
    GeoBunchBuilder b;
    b.material.setMaterial(materialWith(false, false, true));
    b.triangles = {triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), triangle({1, 0, 0}, {1, 1, 0}, {0, 1, 0})};
    for (int k = 0; k < 6; ++k)
        b.triangles[k / 3].corners[k % 3].texCoords[0] = {k == 0 ? 0.f : k == 4 ? 60.f : 30.f, 0};
    GeoBunch bunch;
    bunch.setTriangles(b);
    EXPECT_EQ(bunch.vertexCount(), 6);
}

TEST(GeoBunchBuilder, SplittingInTwoOrdersAlongTheWidestSpreadOfMidpoints) {
    GeoBunchBuilder b, first, second;
    b.material.first = 0;
    for (float x : {4.f, 0.f, 3.f, 1.f, 2.f})
        b.triangles.push_back(triangle({x, 0, 0}, {x + 0.5f, 0, 0}, {x, 0.5f, 0}));
    first.triangles.push_back(b.triangles[0]);
    b.splitInTwo(first, second);
    ASSERT_EQ(first.triangles.size(), 2u);
    ASSERT_EQ(second.triangles.size(), 3u);
    EXPECT_EQ(first.triangles[0].corners[0].position.x, 0);
    EXPECT_EQ(first.triangles[1].corners[0].position.x, 1);
    EXPECT_EQ(second.triangles[2].corners[0].position.x, 4);
    EXPECT_EQ(second.material, b.material);
    EXPECT_TRUE(kessa_test::boxIs(b.bounds(), {0, 0, 0}, {4.5, 0.5, 0}));

    // Equal spreads go to the later axis: x = y over z, then y = z over x.
    const float points[4][2] = {{0, 3}, {1, 0}, {2, 2}, {3, 1}};
    for (int axis = 0; axis < 2; ++axis) {
        GeoBunchBuilder d;
        for (const float* p : points) {
            GeoBunch::Float3 at = axis == 0 ? GeoBunch::Float3{p[0], p[1], 0} : GeoBunch::Float3{0, p[0], p[1]};
            d.triangles.push_back(triangle(at, at, at));
        }
        d.splitInTwo(first, second);
        const GeoBunch::Float3& p0 = first.triangles[0].corners[0].position;
        const GeoBunch::Float3& p1 = first.triangles[1].corners[0].position;
        EXPECT_EQ(axis == 0 ? p0.x : p0.y, 1);
        EXPECT_EQ(axis == 0 ? p1.x : p1.y, 3);
    }
}

// Built, extracted and built again, a soup keeps its triangles and vertices.
// On a lattice far coarser than the tolerance, positions alone make as many
// vertices as there are distinct corners.
TEST(GeoBunchBuilder, BuildExtractAndBuildAgainKeepTheTriangles) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        GeoBunchBuilder b = kessa_test::latticeSoup(random, 1 + round * 37, 3 + round % 5, 0.5f);
        const bool lit = round % 2 == 1;
        b.material.setMaterial(materialWith(lit, false));
        GeoBunch first;
        first.setTriangles(b);
        std::set<std::array<float, 3>> distinct;
        for (const GeoBunchBuilder::Triangle& t : b.triangles)
            for (const GeoBunchBuilder::Corner& c : t.corners)
                distinct.insert({c.position.x, c.position.y, c.position.z});
        if (lit)
            EXPECT_GE(first.vertexCount(), int(distinct.size()));
        else
            EXPECT_EQ(first.vertexCount(), int(distinct.size()));
        std::vector<std::array<float, 9>> built = kessa_test::cornersOf(first);
        ASSERT_EQ(built.size(), b.triangles.size());
        for (std::size_t i = 0; i < built.size(); ++i)
            EXPECT_EQ(built[i], kessa_test::cornersOf(b.triangles[i]));

        LogCapture log;
        GeoBunchBuilder extracted(first);
        EXPECT_EQ(log.text(), std::to_string(b.triangles.size()) + " triangles extracted\n");
        GeoBunch second;
        second.setTriangles(extracted);
        EXPECT_EQ(second.vertexCount(), first.vertexCount());
        EXPECT_EQ(kessa_test::cornersOf(second), built);
    }
}

TEST(RawGeometryBuilder, ReadsOnlyWhatTheBatchHas) {
    // Flat shading shows the last corner's normal and colour everywhere.
    GeoBunchBuilder b;
    orvel::counted_ptr<kessa::Material> flat = materialWith(true, true);
    flat->setSmoothShading(false);
    b.material.setMaterial(flat);
    b.triangles.push_back(triangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1, 1}));
    b.triangles[0].corners[2].normal = {0, 0.6f, 0.8f};
    b.triangles[0].corners[2].colour = {9, 8, 7, 6};
    GeoBunch bunch;
    bunch.setTriangles(b);
    GeoBunchBuilder back(bunch);
    ASSERT_EQ(back.triangles.size(), 1u);
    for (const GeoBunchBuilder::Corner& c : back.triangles[0].corners) {
        EXPECT_EQ(c.normal.y, 0.6f);
        EXPECT_EQ(c.colour.r, 9);
    }

    // The default material takes colours, which this batch has none of; an
    // index past the vertices leaves its triangle out.
    GeoBunch bare;
    bare.setVertexData(kessa_test::row(3), false);
    bare.setIndexData(kessa_test::indices({0, 1, 2, 0, 1, 3}));
    LogCapture log;
    GeoBunchBuilder some(bare);
    EXPECT_EQ(log.text(), "Bad index\n2 triangles extracted\n");
    ASSERT_EQ(some.triangles.size(), 1u);
    EXPECT_EQ(some.triangles[0].corners[2].colour.a, 0);
    EXPECT_EQ(some.triangles[0].corners[2].normal.z, 1);
}

TEST(CornerWelder, StraddlersWeldAcrossCellsAndChainsThatCannotBeDividedAreLogged) {
    // Two corners a third of the tolerance either side of the centre's x.
    std::vector<GeoBunch::Float3> corners = {{-10, -10, -10}, {10, 10, 10}, {-2e-4f, 5, 5}, {2e-4f, 5, 5}};
    std::vector<int> groups;
    kessa::CornerWelder welder;
    EXPECT_EQ(welder.weld(corners, groups), 3);
    EXPECT_EQ(groups[2], groups[3]);

    // Near x = 500 (the tolerance is 0.08): h1, ten corners 0.076 from it
    // and h2 0.096 from it, which no cell can divide.
    corners = {{-1000, 0, 0}, {1000, 0, 0}, {499.92f, 0, 0}, {499.824f, 0, 0}};
    for (int i = 0; i < 10; ++i)
        corners.push_back({499.996f, 0, 0});
    LogCapture log;
    EXPECT_EQ(welder.weld(corners, groups), 3);
    std::string expected = "Safety...\nv=499.920013427734,0.000000000000,0.000000000000  match=0\n";
    for (int i = 0; i < 10; ++i)
        expected += "v=499.996002197266,0.000000000000,0.000000000000  match=0\n";
    expected += "v=499.824005126953,0.000000000000,0.000000000000  match=1\n";
    EXPECT_EQ(log.text(), expected);
}

}  // namespace
