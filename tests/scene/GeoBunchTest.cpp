#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "BunchTestUtil.h"
#include "SceneTestUtil.h"
#include "scene/StorageStats.h"
#include "tests/support/LogCapture.h"

using kessa::GeoBunch;
using kessa::GeoBunchInternals;
using kessa::Vector;
using kessa_test::Triangle;
using kessa_test::boxIs;
using kessa_test::indices;
using kessa_test::positions;
using kessa_test::row;
using kessa_test::strips;
using kessa_test::trianglesOf;

namespace {

const std::string prefix = "GeoBunchInternals::verify() - ";

TEST(GeoBunch, NewBatchHasTheDefaultMaterial) {
    GeoBunch b;
    EXPECT_EQ(b.material().material(), kessa::Material::getDefault());
    EXPECT_EQ(b.material().first, 1);
    EXPECT_EQ(b.material().second, 0);
    EXPECT_FALSE(b.bounds().valid());
    EXPECT_TRUE(b.internals().valid());
    EXPECT_EQ(b.internals().ownerBunch(), &b);
    EXPECT_EQ(b.internals().ownerBranch(), nullptr);
}

// --- counting and enumeration ---

// Strips (negative: fans) come first, then plain triangles; with indices the
// entries are handed out instead of the vertex numbers.
TEST(GeoBunchLayout, StripsFansAndPlainTriangles) {
    const std::vector<unsigned> none;
    const std::vector<unsigned> reversed{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    struct Row {
        unsigned vertices;
        std::vector<int> strips;
        std::vector<unsigned> indices;
        std::vector<Triangle> triangles;
        int plain;
    } rows[] = {
        {12, {4, -5}, none, {{0, 1, 2}, {2, 1, 3}, {4, 5, 6}, {4, 6, 7}, {4, 7, 8}, {9, 10, 11}}, 1},
        {12, {4, -5}, reversed, {{11, 10, 9}, {9, 10, 8}, {7, 6, 5}, {7, 5, 4}, {7, 4, 3}, {2, 1, 0}}, 1},
        {5, {5}, none, {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}}, 0},
        {4, {}, {0, 1, 2, 1, 3, 2, 3}, {{0, 1, 2}, {1, 3, 2}}, 2},
        {10, {3, -4}, none, {{0, 1, 2}, {3, 4, 5}, {3, 5, 6}, {7, 8, 9}}, 1},
        // Short strips make no triangles but use their vertices.
        {8, {2, 0, -3}, none, {{2, 3, 4}, {5, 6, 7}}, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.vertices);
        GeoBunch b;
        b.setVertexData(row(r.vertices), false);
        if (!r.strips.empty()) {
            auto s = strips({});
            for (int n : r.strips)
                s->push_back(n);
            b.setStripData(s);
        }
        if (!r.indices.empty()) {
            auto i = indices({});
            for (unsigned n : r.indices)
                i->push_back(n);
            b.setIndexData(i);
        }
        EXPECT_EQ(trianglesOf(b), r.triangles);
        EXPECT_EQ(b.triangleCount(), int(r.triangles.size()));
        EXPECT_EQ(b.internals().plainTriangleCount(), r.plain);
        EXPECT_TRUE(b.internals().verify());
    }
}

TEST(GeoBunchLayout, StripsPastTheEndNeverCountNegative) {
    LogCapture log;
    for (int n : {INT_MIN, -13, 13, INT_MAX}) {
        GeoBunch b;
        b.setVertexData(row(12), false);
        b.setStripData(strips({4, n}));
        EXPECT_GE(b.triangleCount(), 0) << n;
        EXPECT_EQ(b.triangleCount(), 2) << n;
        std::vector<Triangle> expected{{0, 1, 2}, {2, 1, 3}};
        EXPECT_EQ(trianglesOf(b), expected) << n;
        EXPECT_FALSE(b.internals().verify()) << n;
    }
    EXPECT_NE(log.text().find(prefix + "strips need"), std::string::npos);
}

TEST(GeoBunchLayout, NoVertexStreamCountsNothing) {
    GeoBunch b;
    b.setStripData(strips({3}));
    b.setIndexData(indices({0, 1, 2}));
    EXPECT_EQ(b.triangleCount(), 0);
    EXPECT_TRUE(trianglesOf(b).empty());
    EXPECT_EQ(b.vertexCount(), 0);
}

TEST(GeoBunchLayout, StreamSettersDropTheCachedCount) {
    GeoBunch b;
    b.setVertexData(row(9), false);
    EXPECT_EQ(b.triangleCount(), 3);
    b.setStripData(strips({5}));
    EXPECT_EQ(b.internals().cachedTriangleCount(), -1);
    EXPECT_EQ(b.triangleCount(), 4);
    b.setStripData(nullptr);
    EXPECT_EQ(b.triangleCount(), 3);
    b.setIndexData(indices({0, 1, 2}));
    EXPECT_EQ(b.triangleCount(), 1);
    b.setVertexData(row(3), false);
    EXPECT_EQ(b.internals().cachedTriangleCount(), -1);
    // A colour stream does not change the layout.
    b.triangleCount();
    b.setColorData(orvel::ref_ptr<GeoBunch::color_data>(new GeoBunch::color_data));
    EXPECT_NE(b.internals().cachedTriangleCount(), -1);
}

// --- verify ---

// So do an empty stream without storage, and indices without vertices.
TEST(GeoBunchVerify, ConsistentBatchPassesSilently) {
    LogCapture log;
    GeoBunch b;
    EXPECT_TRUE(b.internals().verify());
    b.setVertexData(row(3), false);
    b.setColorData(kessa_test::makeStream<GeoBunch::color_data>({GeoBunch::Color4{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}}));
    b.setIndexData(indices({0, 1, 2}));
    EXPECT_TRUE(b.internals().verify());
    GeoBunch empty;
    empty.vertexDataSlot() = orvel::ref_ptr<GeoBunch::vertex_data>(new GeoBunch::vertex_data);
    EXPECT_TRUE(empty.internals().verify());
    GeoBunch unplaced;
    unplaced.setIndexData(indices({7, 8, 9}));
    EXPECT_TRUE(unplaced.internals().verify());
    EXPECT_EQ(log.text(), "");
}

// Every fault is logged, and checking goes on after it.
TEST(GeoBunchVerify, EachFaultIsLoggedAndCheckingGoesOn) {
    using kessa_test::makeStream;
    struct Row {
        void (*make)(GeoBunch&);
        std::vector<const char*> lines;
    } rows[] = {
        // A stream replaced through its slot.
        {[](GeoBunch& b) { b.vertexDataSlot() = row(3); }, {"vertices isn't set properly\n"}},
        // Pointers left behind by streams taken away.
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.vertexDataSlot() = nullptr;
             b.setTexcoordData(makeStream<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}}), 1);
             *b.texcoordDataSlot(1) = nullptr;
         },
         {"vertices should be 0\n", "texCoords[1] should be 0\n"}},
        // Streams emptied by another holder: the cached pointers are stale.
        {[](GeoBunch& b) {
             auto colours = makeStream<GeoBunch::color_data>({GeoBunch::Color4{1, 2, 3, 4}});
             auto normals = makeStream<GeoBunch::normal_data>({GeoBunch::Float3{0, 0, 1}});
             auto coords = makeStream<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 1}});
             b.setVertexData(row(1), false);
             b.setColorData(colours);
             b.setNormalData(normals);
             b.setTexcoordData(coords, 0);
             EXPECT_TRUE(b.internals().verify());
             colours->release();
             normals->release();
             coords->release();
         },
         {"colors isn't set properly\n", "normals isn't set properly\n", "texCoords[0] isn't set properly\n",
          "colors has fewer entries than vertices\n", "normals has fewer entries than vertices\n",
          "texCoords[0] has fewer entries than vertices\n"}},
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.setIndexData(indices({0, 3, 2, 0xFFFFFFFFu, 1, 2}));
             b.setNormalData(makeStream<GeoBunch::normal_data>({GeoBunch::Float3{0, 0, 1}}));
         },
         {"Index out of range\n\n", "Index out of range\n\n", "normals has fewer entries than vertices\n"}},
        {[](GeoBunch& b) {
             b.setVertexData(row(20), false);
             b.setIndexData(indices({0, 1, 2, 3, 4}));
             b.setStripData(strips({3, 3}));
         },
         {"strips need 6 indices but there are 5\n"}},
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.setColorData(makeStream<GeoBunch::color_data>({GeoBunch::Color4{1, 1, 1, 1}, {2, 2, 2, 2}}));
             b.setTexcoordData(makeStream<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}}), 1);
         },
         {"colors has fewer entries than vertices\n", "texCoords[1] has fewer entries than vertices\n"}},
        // Frames edited to another size.
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.animationFrames().push_back(kessa_test::frame({{0, 0, 0}, {1, 0, 0}}));
         },
         {"wrong number of vertices in animation[0]\n\n"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.lines[0]);
        LogCapture log;
        GeoBunch b;
        r.make(b);
        EXPECT_FALSE(b.internals().verify());
        EXPECT_FALSE(b.internals().valid());
        std::string expected;
        for (const char* line : r.lines)
            expected += prefix + line;
        EXPECT_EQ(log.text(), expected);
    }
    // Attribute streams longer than the vertices are fine.
    GeoBunch b;
    b.setVertexData(row(1), false);
    b.setColorData(kessa_test::makeStream<GeoBunch::color_data>({GeoBunch::Color4{1, 1, 1, 1}, {2, 2, 2, 2}}));
    EXPECT_TRUE(b.internals().verify());
}

TEST(GeoBunchVerify, BatchInABranchNamesItselfItsBranchAndObject) {
    LogCapture log;
    kessa_test::TestHolder holder("Rock", "boulder");
    GeoBunch b;
    b.internals().setOwnerBranch(&holder);
    b.vertexDataSlot() = row(3);
    EXPECT_FALSE(b.internals().verify());
    char line[128];
    std::snprintf(line, sizeof line, "bunch=%x   branch=boulder   object=Rock\n",
                  unsigned(reinterpret_cast<std::uintptr_t>(&b)));
    EXPECT_EQ(log.text(), prefix + "vertices isn't set properly\n" + line);
}

TEST(GeoBunchVerify, TextureSetsOtherThanZeroAndOneAreIgnored) {
    GeoBunch b;
    auto coords = kessa_test::makeStream<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}});
    b.setTexcoordData(coords, 2);
    b.setTexcoordData(coords, -1);
    EXPECT_FALSE(b.internals().texCoords(0));
    EXPECT_FALSE(b.internals().texCoords(1));
    EXPECT_EQ(b.texcoordDataSlot(2), nullptr);
    EXPECT_EQ(b.texcoordDataSlot(-1), nullptr);
    EXPECT_EQ(coords->refCount(), 1u);
}

// --- bounds ---

TEST(GeoBunchBounds, SphereIsTheFarthestPositionNotTheBoxCorner) {
    GeoBunch b;
    b.setVertexData(positions({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}}), true);
    EXPECT_TRUE(boxIs(b.bounds(), Vector(-1, -1, 0), Vector(1, 1, 0)));
    EXPECT_EQ(b.bounds().centre(), Vector(0, 0, 0));
    EXPECT_DOUBLE_EQ(b.bounds().radius(), 1.0);
}

TEST(GeoBunchBounds, FramesWidenTheBounds) {
    GeoBunch b;
    b.setVertexData(positions({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}}), false);
    b.setAnimation({kessa_test::frame({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}}),
                    kessa_test::frame({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, 0, 5}})});
    b.internals().computeBounds();
    EXPECT_TRUE(boxIs(b.bounds(), Vector(-1, -1, 0), Vector(1, 1, 5)));
    EXPECT_EQ(b.bounds().centre(), Vector(0, 0, 2.5));
    EXPECT_DOUBLE_EQ(b.bounds().radius(), std::sqrt(1 + 2.5 * 2.5));
}

TEST(GeoBunchBounds, WithoutVerticesTheBoxIsTheUnitCube) {
    GeoBunch b;
    b.internals().computeBounds();
    EXPECT_TRUE(boxIs(b.bounds(), Vector(-1, -1, -1), Vector(1, 1, 1)));
    b.setVertexData(orvel::ref_ptr<GeoBunch::vertex_data>(new GeoBunch::vertex_data), true);
    EXPECT_EQ(b.bounds().max(), Vector(1, 1, 1));
}

// --- animation ---

TEST(GeoBunchAnimation, FramesAreStoredInVertexOrder) {
    GeoBunch b;
    b.setVertexData(positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), false);
    b.setAnimation({kessa_test::frame({{0, 1, 0}, {0, 0, 0}, {1, 0, 0}}),
                    kessa_test::frame({{0, 2, 0}, {0, 0, 1}, {2, 0, 0}})});
    ASSERT_EQ(b.animationFrames().size(), 2u);
    EXPECT_EQ(b.animationFrames()[0], kessa_test::frame({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    EXPECT_EQ(b.animationFrames()[1], kessa_test::frame({{0, 0, 1}, {2, 0, 0}, {0, 2, 0}}));
    EXPECT_TRUE(b.internals().verify());
}

TEST(GeoBunchAnimation, VertexWithoutAnEqualPositionTakesTheNearest) {
    GeoBunch b;
    b.setVertexData(positions({{0.9f, 0, 0}, {5, 5, 5}, {-0.0f, 0, 0}}), false);
    // (5, 5, 5) is as near to entries 1 and 2: the first wins. -0 equals 0.
    b.setAnimation({kessa_test::frame({{0, 0, 0}, {5, 5, 4}, {5, 5, 6}, {1, 0, 0}}),
                    kessa_test::frame({{10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}})});
    EXPECT_EQ(b.animationFrames()[1], kessa_test::frame({{40, 0, 0}, {20, 0, 0}, {10, 0, 0}}));
    // Equal positions in frame zero match the first.
    b.setVertexData(positions({{1, 1, 1}, {1, 1, 1}}), false);
    b.setAnimation({kessa_test::frame({{0, 0, 0}, {1, 1, 1}, {1, 1, 1}}),
                    kessa_test::frame({{0, 0, 0}, {2, 0, 0}, {3, 0, 0}})});
    EXPECT_EQ(b.animationFrames()[1], kessa_test::frame({{2, 0, 0}, {2, 0, 0}}));
}

TEST(GeoBunchAnimation, FrameOfAnotherSizeIsRefused) {
    LogCapture log;
    GeoBunch b;
    b.setVertexData(positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), false);
    b.setAnimation({kessa_test::frame({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                    kessa_test::frame({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}})});
    ASSERT_EQ(b.animationFrames().size(), 2u);
    b.setAnimation({kessa_test::frame({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), kessa_test::frame({{0, 0, 0}, {1, 0, 0}})});
    EXPECT_TRUE(b.animationFrames().empty());
    EXPECT_FALSE(b.internals().valid());
    EXPECT_EQ(log.take(), prefix + "wrong number of vertices in animation[1]\n\n");
    // So is an empty frame zero.
    GeoBunch e;
    e.setVertexData(row(2), false);
    e.setAnimation({GeoBunch::Frame(), GeoBunch::Frame()});
    EXPECT_TRUE(e.animationFrames().empty());
    EXPECT_FALSE(e.internals().valid());
    EXPECT_EQ(log.text(), prefix + "wrong number of vertices in animation[0]\n\n");
}

TEST(GeoBunchAnimation, NothingHappensWithoutVerticesOrFrames) {
    GeoBunch b;
    b.setAnimation({kessa_test::frame({{0, 0, 0}})});
    EXPECT_TRUE(b.animationFrames().empty());
    b.setVertexData(row(1), false);
    b.setAnimation({kessa_test::frame({{0, 0, 0}})});
    b.setAnimation({});
    EXPECT_EQ(b.animationFrames().size(), 1u);
}

TEST(GeoBunchAnimation, NewVerticesOfAnotherCountDropTheFrames) {
    GeoBunch b;
    b.setVertexData(row(2), false);
    b.setAnimation({kessa_test::frame({{0, 0, 0}, {1, 0, 0}})});
    b.setVertexData(row(2), false);
    EXPECT_EQ(b.animationFrames().size(), 1u);
    b.setVertexData(row(3), false);
    EXPECT_TRUE(b.animationFrames().empty());
    EXPECT_TRUE(b.internals().verify());
}

// One vertex whose frame k sits at x = 10 k.
void fourFrames(GeoBunch& b) {
    b.setVertexData(positions({{0, 0, 0}}), false);
    b.setAnimation({kessa_test::frame({{0, 0, 0}}), kessa_test::frame({{10, 0, 0}}), kessa_test::frame({{20, 0, 0}}),
                    kessa_test::frame({{30, 0, 0}})});
}

float animatedX(GeoBunch& b, float t) {
    b.internals().animate(t);
    return (*b.internals().vertices())[0].x;
}

TEST(GeoBunchAnimation, AnimateBlendsNeighbouringFrames) {
    GeoBunch b;
    fourFrames(b);
    EXPECT_NEAR(animatedX(b, 1), 20 + 10 * 0.9999f, 1e-4);  // x = 2.9999
    EXPECT_NEAR(animatedX(b, 0.5f), 10 + 10 * 0.49995f, 1e-4);  // x = 1.49995
    EXPECT_EQ(animatedX(b, 0), 0);
    // Looping: x = 3.9999, from frame 3 back towards frame 0.
    EXPECT_NEAR(animatedX(b, -1), 30 - 30 * 0.9999f, 1e-3);
    EXPECT_NEAR(animatedX(b, -0.5f), 10 + 10 * 0.99995f, 1e-3);
    // Beyond the end the last blend holds.
    EXPECT_NEAR(animatedX(b, 7), 20 + 10 * 0.9999f, 1e-4);
}

TEST(GeoBunchAnimation, OneFrameGivesFrameZero) {
    GeoBunch b;
    b.setVertexData(positions({{0, 0, 0}}), false);
    b.setAnimation({kessa_test::frame({{0, 0, 0}})});
    b.animationFrames()[0][0] = {4, 5, 6};
    for (float t : {0.0f, 0.3f, 1.0f, -0.7f}) {
        b.internals().animate(t);
        EXPECT_EQ((*b.internals().vertices())[0].x, 4);
        EXPECT_EQ((*b.internals().vertices())[0].z, 6);
    }
}

TEST(GeoBunchAnimation, HostileTimesStayInsideTheFrames) {
    GeoBunch b;
    fourFrames(b);
    for (float t : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(), 1e30f, -1e30f}) {
        b.internals().animate(t);
        float x = (*b.internals().vertices())[0].x;
        EXPECT_TRUE(x >= 0 && x <= 30) << t << " gave " << x;
    }
}

TEST(GeoBunchAnimation, InvalidOrEditedBatchesDoNotAnimate) {
    LogCapture log;
    GeoBunch b;
    fourFrames(b);
    b.animationFrames()[2].resize(5);
    b.internals().animate(0.5f);
    EXPECT_EQ((*b.internals().vertices())[0].x, 0);
    EXPECT_FALSE(b.internals().verify());
    b.animationFrames()[2].resize(1);
    b.internals().animate(0.5f);
    EXPECT_EQ((*b.internals().vertices())[0].x, 0);
    EXPECT_TRUE(b.internals().verify());
    EXPECT_NE(animatedX(b, 0.5f), 0);
}

// --- the process-wide list, branches and storage statistics ---

bool listed(const GeoBunch* b) {
    for (GeoBunch* each = GeoBunch::first(); each; each = each->next())
        if (each == b)
            return true;
    return false;
}

TEST(GeoBunchList, BatchesJoinAndLeaveTheList) {
    auto a = std::make_unique<GeoBunch>();
    auto b = std::make_unique<GeoBunch>();
    auto c = std::make_unique<GeoBunch>();
    EXPECT_TRUE(listed(a.get()) && listed(b.get()) && listed(c.get()));
    const GeoBunch* gone = b.get();
    b.reset();
    EXPECT_FALSE(listed(gone));
    EXPECT_EQ(a->next(), c.get());
    gone = c.get();
    c.reset();
    EXPECT_FALSE(listed(gone));
    EXPECT_EQ(a->next(), nullptr);
}

TEST(GeoBunchList, DestroyedBatchLeavesItsBranch) {
    kessa_test::TestHolder holder("o", "b");
    auto bunch = std::make_unique<GeoBunch>();
    GeoBunch* address = bunch.get();
    bunch->internals().setOwnerBranch(&holder);
    bunch.reset();
    ASSERT_EQ(holder.forgotten.size(), 1u);
    EXPECT_EQ(holder.forgotten[0], address);
}

TEST(GeoBunchList, StorageStatisticsCountEveryArray) {
    kessa::StorageStats before;
    kessa::getStorageStats(before);
    GeoBunch b;
    b.setVertexData(row(4), false);
    b.setColorData(kessa_test::makeStream<GeoBunch::color_data>(
        {GeoBunch::Color4{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}}));
    b.setNormalData(kessa_test::makeStream<GeoBunch::normal_data>(
        {GeoBunch::Float3{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}));
    b.setTexcoordData(kessa_test::makeStream<GeoBunch::texcoord_data>(
                          {GeoBunch::Float2{0, 0}, {0, 1}, {1, 0}, {1, 1}}),
                      1);
    b.setIndexData(indices({0, 1, 2, 2, 1, 3}));
    b.setStripData(strips({4}));
    b.setAnimation({kessa_test::frame({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}),
                    kessa_test::frame({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 1}}),
                    kessa_test::frame({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 2}})});
    kessa::StorageStats after;
    kessa::getStorageStats(after);
    EXPECT_EQ(after.bunches - before.bunches, 1);
    EXPECT_GT(after.bunchBytes - before.bunchBytes, 0);
    EXPECT_EQ(after.triangles - before.triangles, 2 + 0);
    EXPECT_EQ(after.vertices - before.vertices, 4);
    EXPECT_EQ(after.vertexBytes - before.vertexBytes, 48);
    EXPECT_EQ(after.colorBytes - before.colorBytes, 16);
    EXPECT_EQ(after.normalBytes - before.normalBytes, 48);
    EXPECT_EQ(after.texCoordBytes - before.texCoordBytes, 32);
    EXPECT_EQ(after.indexBytes - before.indexBytes, 24);
    EXPECT_EQ(after.meshSizes - before.meshSizes, 1);
    EXPECT_EQ(after.meshSizeBytes - before.meshSizeBytes, 4);
    EXPECT_EQ(after.animatedBunches - before.animatedBunches, 1);
    EXPECT_EQ(after.animationVertices - before.animationVertices, 12);
    EXPECT_EQ(after.animationVertexBytes - before.animationVertexBytes, 144);
}

}  // namespace
