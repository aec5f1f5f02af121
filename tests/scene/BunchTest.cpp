// Triangle batches as data: the layout of strips, fans and plain
// triangles, verify's checks, bounds, animation frames, the process-wide
// list and the renderer switches.
#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "gui/gl/GLcaps.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/BunchCallbacks.h"
#include "scene/BunchHolder.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/StorageStats.h"
#include "scene/render/RendererSwitches.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/LogCapture.h"

using namespace kessa_test;
using kessa::GeoBunch;

namespace {

const std::string prefix = "GeoBunchInternals::verify() - ";

// A batch over n positions along x, with the strips and index list given.
void layOut(GeoBunch& b, unsigned n, std::vector<int> s, std::vector<unsigned> i) {
    b.setVertexData(row(n), false);
    if (!s.empty()) {
        b.setStripData(strips({}));
        for (int e : s)
            b.internals().strips()->push_back(e);
    }
    if (!i.empty()) {
        b.setIndexData(indices({}));
        for (unsigned e : i)
            b.internals().indices()->push_back(e);
    }
}

// Strips (negative: fans) come first, then plain triangles; with indices the
// entries are handed out instead of the vertex numbers; short strips make
// no triangles but use their vertices.
TEST(GeoBunchLayout, StripsFansAndPlainTriangles) {
    const std::vector<unsigned> none, reversed{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    const struct {
        unsigned vertices;
        std::vector<int> strips;
        std::vector<unsigned> indices;
        const char* triangles;
        int plain;
    } rows[] = {
        {12, {4, -5}, none, "0 1 2, 2 1 3, 4 5 6, 4 6 7, 4 7 8, 9 10 11", 1},
        {12, {4, -5}, reversed, "11 10 9, 9 10 8, 7 6 5, 7 5 4, 7 4 3, 2 1 0", 1},
        {5, {5}, none, "0 1 2, 2 1 3, 2 3 4", 0},
        {4, {}, {0, 1, 2, 1, 3, 2, 3}, "0 1 2, 1 3 2", 2},
        {8, {2, 0, -3}, none, "2 3 4, 5 6 7", 1},
    };
    for (const auto& r : rows) {
        GeoBunch b;
        layOut(b, r.vertices, r.strips, r.indices);
        EXPECT_EQ(trianglesOf(b), r.triangles);
        EXPECT_EQ(b.triangleCount(), int(std::count(r.triangles, r.triangles + std::strlen(r.triangles), ',') + 1));
        EXPECT_EQ(b.internals().plainTriangleCount(), r.plain);
        EXPECT_TRUE(b.internals().verify());
    }
    // Strips past the end never count negative.
    LogCapture log;
    for (int n : {INT_MIN, -13, 13, INT_MAX}) {
        GeoBunch b;
        layOut(b, 12, {4, n}, {});
        EXPECT_TRUE(b.triangleCount() == 2 && trianglesOf(b) == "0 1 2, 2 1 3" && !b.internals().verify()) << n;
    }
    EXPECT_NE(log.text().find(prefix + "strips need"), std::string::npos);
    // The cached count follows the streams that shape it, and only those.
    GeoBunch b;
    b.setStripData(strips({3}));
    EXPECT_TRUE(b.triangleCount() == 0 && trianglesOf(b).empty()) << "no vertex stream";
    b.setStripData(nullptr);
    b.setVertexData(row(9), false);
    EXPECT_EQ(b.triangleCount(), 3);
    b.setStripData(strips({5}));
    EXPECT_EQ(b.internals().cachedTriangleCount(), -1);
    EXPECT_EQ(b.triangleCount(), 4);
    b.setStripData(nullptr);
    b.setIndexData(indices({0, 1, 2}));
    EXPECT_EQ(b.triangleCount(), 1);
    b.setVertexData(row(3), false);
    EXPECT_EQ(b.internals().cachedTriangleCount(), -1);
    b.triangleCount();
    b.setColorData(orvel::ref_ptr<GeoBunch::color_data>(new GeoBunch::color_data));
    EXPECT_NE(b.internals().cachedTriangleCount(), -1);
}

// A geometry branch's part that batches see: a named branch of a named
// object, an optional hook, and the batches let go.
class TestHolder : public kessa::BunchHolder {
public:
    TestHolder() {
        object.setName("Rock");
        object.attach(std::make_unique<kessa::GroupBranch>());
        object.root()->setName("boulder");
    }
    const kessa::Branch& holderBranch() const override { return *object.root(); }
    kessa::BunchCallbacks* bunchCallbacks() const override { return nullptr; }
    void forgetBunch(GeoBunch* bunch) override { forgotten.push_back(bunch); }
    kessa::Object object;
    std::vector<GeoBunch*> forgotten;
};

// Every fault is logged, and checking goes on after it.
TEST(GeoBunchVerify, EachFaultIsLoggedAndCheckingGoesOn) {
    const struct {
        void (*make)(GeoBunch&);
        std::vector<const char*> lines;
    } rows[] = {
        // Consistent: attribute streams longer than the vertices, an empty
        // stream, indices without vertices.
        {[](GeoBunch& b) {
             b.setVertexData(row(1), false);
             b.setColorData(streamOf<GeoBunch::color_data>({GeoBunch::Color4{1, 1, 1, 1}, {2, 2, 2, 2}}));
             b.setIndexData(indices({0, 0, 0}));
         },
         {}},
        {[](GeoBunch& b) { b.vertexDataSlot() = orvel::ref_ptr<GeoBunch::vertex_data>(new GeoBunch::vertex_data); }, {}},
        {[](GeoBunch& b) { b.setIndexData(indices({7, 8, 9})); }, {}},
        // A stream replaced through its slot; pointers left behind by streams taken away.
        {[](GeoBunch& b) { b.vertexDataSlot() = row(3); }, {"vertices isn't set properly\n"}},
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.vertexDataSlot() = nullptr;
             b.setTexcoordData(streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}}), 1);
             *b.texcoordDataSlot(1) = nullptr;
         },
         {"vertices should be 0\n", "texCoords[1] should be 0\n"}},
        // Streams emptied by another holder: the cached pointers are stale.
        {[](GeoBunch& b) {
             b.setVertexData(row(1), false);
             b.setColorData(streamOf<GeoBunch::color_data>({GeoBunch::Color4{1, 2, 3, 4}}));
             b.setNormalData(streamOf<GeoBunch::normal_data>({GeoBunch::Float3{0, 0, 1}}));
             b.setTexcoordData(streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 1}}), 0);
             EXPECT_TRUE(b.internals().verify());
             b.internals().colors()->release();
             b.internals().normals()->release();
             b.internals().texCoords(0)->release();
         },
         {"colors isn't set properly\n", "normals isn't set properly\n", "texCoords[0] isn't set properly\n",
          "colors has fewer entries than vertices\n", "normals has fewer entries than vertices\n",
          "texCoords[0] has fewer entries than vertices\n"}},
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.setIndexData(indices({0, 3, 2, 0xFFFFFFFFu, 1, 2}));
             b.setNormalData(streamOf<GeoBunch::normal_data>({GeoBunch::Float3{0, 0, 1}}));
         },
         {"Index out of range\n\n", "Index out of range\n\n", "normals has fewer entries than vertices\n"}},
        {[](GeoBunch& b) { layOut(b, 20, {3, 3}, {0, 1, 2, 3, 4}); }, {"strips need 6 indices but there are 5\n"}},
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.setColorData(streamOf<GeoBunch::color_data>({GeoBunch::Color4{1, 1, 1, 1}, {2, 2, 2, 2}}));
             b.setTexcoordData(streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}}), 1);
         },
         {"colors has fewer entries than vertices\n", "texCoords[1] has fewer entries than vertices\n"}},
        // Frames edited to another size.
        {[](GeoBunch& b) {
             b.setVertexData(row(3), false);
             b.animationFrames().push_back(frame({{0, 0, 0}, {1, 0, 0}}));
         },
         {"wrong number of vertices in animation[0]\n\n"}},
    };
    for (const auto& r : rows) {
        LogCapture log;
        GeoBunch b;
        r.make(b);
        std::string expected;
        for (const char* line : r.lines)
            expected += prefix + line;
        EXPECT_EQ(b.internals().verify(), r.lines.empty());
        EXPECT_EQ(b.internals().valid(), r.lines.empty());
        EXPECT_EQ(log.text(), expected);
    }
    // A batch in a branch names itself, its branch and its object.
    LogCapture log;
    TestHolder holder;
    GeoBunch b;
    b.internals().setOwnerBranch(&holder);
    b.vertexDataSlot() = row(3);
    EXPECT_FALSE(b.internals().verify());
    char line[128];
    std::snprintf(line, sizeof line, "bunch=%x   branch=boulder   object=Rock\n", unsigned(reinterpret_cast<std::uintptr_t>(&b)));
    EXPECT_EQ(log.text(), prefix + "vertices isn't set properly\n" + line);
    // Texture-coordinate sets other than 0 and 1 are ignored.
    auto coords = streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}});
    b.setTexcoordData(coords, 2);
    b.setTexcoordData(coords, -1);
    EXPECT_TRUE(!b.internals().texCoords(0) && !b.internals().texCoords(1) && !b.texcoordDataSlot(2));
    EXPECT_TRUE(!b.texcoordDataSlot(-1) && coords->refCount() == 1);
}

// The sphere is the farthest position, not the box corner; frames widen
// the bounds; without vertices the box is the unit cube.
TEST(GeoBunchBounds, PositionsAndFramesMakeTheBounds) {
    GeoBunch b;
    b.internals().computeBounds();
    EXPECT_TRUE(boxIs(b.bounds(), {-1, -1, -1}, {1, 1, 1}));
    b.setVertexData(positions({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}}), true);
    EXPECT_TRUE(boxIs(b.bounds(), {-1, -1, 0}, {1, 1, 0}) && b.bounds().radius() == 1);
    b.setAnimation({frame({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}}), frame({{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, 0, 5}})});
    b.internals().computeBounds();
    EXPECT_TRUE(boxIs(b.bounds(), {-1, -1, 0}, {1, 1, 5}) && b.bounds().centre() == Vector(0, 0, 2.5));
    EXPECT_DOUBLE_EQ(b.bounds().radius(), std::sqrt(1 + 2.5 * 2.5));
}

std::string xs(const GeoBunch::Frame& f) {
    std::string s;
    for (const GeoBunch::Float3& p : f)
        s += std::to_string(int(p.x)) + std::to_string(int(p.y)) + std::to_string(int(p.z)) + " ";
    return s;
}

// Frames are stored in vertex order: a vertex takes the frame-zero position
// equal to its own (the first of equal ones; -0 equals 0), else the nearest.
TEST(GeoBunchAnimation, FramesAreStoredInVertexOrderOrRefused) {
    LogCapture log;
    GeoBunch b;
    b.setAnimation({frame({{0, 0, 0}})});
    EXPECT_TRUE(b.animationFrames().empty()) << "no vertices";
    b.setVertexData(positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), false);
    b.setAnimation({frame({{0, 1, 0}, {0, 0, 0}, {1, 0, 0}}), frame({{0, 2, 0}, {0, 0, 1}, {2, 0, 0}})});
    EXPECT_EQ(xs(b.animationFrames()[0]) + "| " + xs(b.animationFrames()[1]), "000 100 010 | 001 200 020 ");
    b.setVertexData(positions({{0.9f, 0, 0}, {5, 5, 5}, {-0.0f, 0, 0}}), false);
    b.setAnimation({frame({{0, 0, 0}, {5, 5, 4}, {5, 5, 6}, {1, 0, 0}}), frame({{10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}})});
    EXPECT_EQ(xs(b.animationFrames()[1]), "4000 2000 1000 ");
    b.setVertexData(positions({{1, 1, 1}, {1, 1, 1}}), false);
    b.setAnimation({frame({{0, 0, 0}, {1, 1, 1}, {1, 1, 1}}), frame({{0, 0, 0}, {2, 0, 0}, {3, 0, 0}})});
    EXPECT_EQ(xs(b.animationFrames()[1]), "200 200 ");
    b.setAnimation({});
    EXPECT_EQ(b.animationFrames().size(), 2u) << "no frames: nothing changes";
    b.setVertexData(row(2), false);
    EXPECT_EQ(b.animationFrames().size(), 2u) << "as many vertices";
    b.setVertexData(row(3), false);
    EXPECT_TRUE(b.animationFrames().empty() && b.internals().verify()) << "another count";
    EXPECT_EQ(log.text(), "");
    // A frame of another size, or an empty frame zero, is refused.
    b.setAnimation({frame({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}), frame({{0, 0, 0}, {1, 0, 0}})});
    EXPECT_TRUE(b.animationFrames().empty() && !b.internals().valid());
    EXPECT_EQ(log.take(), prefix + "wrong number of vertices in animation[1]\n\n");
    GeoBunch e;
    e.setVertexData(row(2), false);
    e.setAnimation({GeoBunch::Frame(), GeoBunch::Frame()});
    EXPECT_TRUE(e.animationFrames().empty() && !e.internals().valid());
    EXPECT_EQ(log.take(), prefix + "wrong number of vertices in animation[0]\n\n");
}

float animatedX(GeoBunch& b, float t) {
    b.internals().animate(t);
    return (*b.internals().vertices())[0].x;
}

// One vertex whose frame k sits at x = 10 k: neighbouring frames blend,
// looping backwards from the last; hostile times stay inside the frames;
// edited frames stop the animation until verify passes again.
TEST(GeoBunchAnimation, AnimateBlendsNeighbouringFrames) {
    GeoBunch b;
    b.setVertexData(positions({{0, 0, 0}}), false);
    b.setAnimation({frame({{0, 0, 0}})});
    b.animationFrames()[0][0] = {4, 5, 6};
    for (float t : {0.0f, 0.3f, -0.7f})
        EXPECT_EQ(animatedX(b, t), 4) << "one frame gives frame zero";
    b.setAnimation({frame({{0, 0, 0}}), frame({{10, 0, 0}}), frame({{20, 0, 0}}), frame({{30, 0, 0}})});
    const std::pair<float, float> rows[] = {{1, 20 + 10 * 0.9999f}, {0.5f, 10 + 10 * 0.49995f}, {0, 0},
                                            {-1, 30 - 30 * 0.9999f}, {-0.5f, 10 + 10 * 0.99995f}, {7, 20 + 10 * 0.9999f}};
    for (auto r : rows)
        EXPECT_NEAR(animatedX(b, r.first), r.second, 1e-3) << r.first;
    for (float t : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(), 1e30f, -1e30f}) {
        float x = animatedX(b, t);
        EXPECT_TRUE(x >= 0 && x <= 30) << t << " gave " << x;
    }
    LogCapture log;
    animatedX(b, 0);
    b.animationFrames()[2].resize(5);
    EXPECT_EQ(animatedX(b, 0.5f), 0);
    EXPECT_FALSE(b.internals().verify());
    b.animationFrames()[2].resize(1);
    EXPECT_EQ(animatedX(b, 0.5f), 0);
    EXPECT_TRUE(b.internals().verify());
    EXPECT_NE(animatedX(b, 0.5f), 0);
}

bool listed(const GeoBunch* b) {
    for (GeoBunch* each = GeoBunch::first(); each; each = each->next())
        if (each == b)
            return true;
    return false;
}

TEST(GeoBunchList, BatchesJoinTheListAndTheStatisticsAndLeave) {
    GeoBunch fresh;
    EXPECT_TRUE(fresh.material().material() == kessa::Material::getDefault() && fresh.material().first == 1);
    EXPECT_TRUE(fresh.internals().valid() && fresh.internals().ownerBunch() == &fresh);
    auto a = std::make_unique<GeoBunch>(), b = std::make_unique<GeoBunch>(), c = std::make_unique<GeoBunch>();
    const GeoBunch* gone = b.get();
    b.reset();
    EXPECT_TRUE(listed(a.get()) && listed(c.get()) && !listed(gone) && a->next() == c.get());
    c.reset();
    EXPECT_EQ(a->next(), nullptr);
    TestHolder holder;
    a->internals().setOwnerBranch(&holder);
    gone = a.get();
    a.reset();
    EXPECT_EQ(holder.forgotten, std::vector<GeoBunch*>{const_cast<GeoBunch*>(gone)}) << "it leaves its branch";

    kessa::StorageStats before, after;
    kessa::getStorageStats(before);
    GeoBunch s;
    s.setVertexData(row(4), false);
    s.setColorData(streamOf<GeoBunch::color_data>({GeoBunch::Color4{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}}));
    s.setNormalData(streamOf<GeoBunch::normal_data>({GeoBunch::Float3{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}));
    s.setTexcoordData(streamOf<GeoBunch::texcoord_data>({GeoBunch::Float2{0, 0}, {0, 1}, {1, 0}, {1, 1}}), 1);
    s.setIndexData(indices({0, 1, 2, 2, 1, 3}));
    s.setStripData(strips({4}));
    s.setAnimation({frame({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}), frame({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 1}}),
                    frame({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 2}})});
    kessa::getStorageStats(after);
    EXPECT_TRUE(after.bunches - before.bunches == 1 && after.bunchBytes > before.bunchBytes);
    using S = kessa::StorageStats;
    auto d = [&](auto field) { return std::to_string((long long)(after.*field - before.*field)) + " "; };
    EXPECT_EQ(d(&S::triangles) + d(&S::vertices) + d(&S::vertexBytes) + d(&S::colorBytes) + d(&S::normalBytes) +
                  d(&S::texCoordBytes) + d(&S::indexBytes) + d(&S::meshSizes) + d(&S::meshSizeBytes) +
                  d(&S::animatedBunches) + d(&S::animationVertices) + d(&S::animationVertexBytes),
              "2 4 48 16 48 32 24 1 4 1 12 144 ");
}

TEST(RendererSwitches, ATntRendererTurnsAccelerationOffAndTheLetterLTogglesFading) {
    const struct {
        const char* renderer;
        bool tnt;
    } rows[] = {{"RIVA TNT2/AGP/SSE", true}, {"TNT", true}, {"NVIDIA RIVA TNT", true},
                {"llvmpipe (LLVM 15.0.6, 256 bits)", false}, {"tnt", false}, {"", false}, {"GeForce T N T", false}};
    LogCapture log;
    pellium::GLcaps caps;
    for (const auto& row : rows)
        for (bool on : {true, false}) {
            pellium::fullGLacceleration = on;
            caps.renderer = row.renderer;
            EXPECT_EQ(kessa::limitAccelerationForRenderer(caps), row.tnt);
            EXPECT_EQ(pellium::fullGLacceleration, on && !row.tnt) << row.renderer;
            EXPECT_EQ(log.take(), row.tnt ? "fullGLacceleration set to false\n" : "");
        }
    pellium::fullGLacceleration = true;
    kessa::LodBranch::setFading(true);
    EXPECT_TRUE(kessa::toggleFadingOnKey(108) && !kessa::LodBranch::fading());
    EXPECT_TRUE(kessa::toggleFadingOnKey(108) && kessa::LodBranch::fading());
    for (int other : {76, 107, 109, 0, -108})
        EXPECT_FALSE(kessa::toggleFadingOnKey(other)) << other;
    EXPECT_TRUE(kessa::LodBranch::fading());
}

}  // namespace
