// Batches drawn for real (llvmpipe under Xvfb): compiled into buffer objects,
// from client arrays, and with fullGLacceleration off, the same batch must
// light the same pixels.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "BunchTestUtil.h"
#include "gui/ErrorStage.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/VertexArray.h"
#include "tests/support/LogCapture.h"

using gltest::rgba;
using kessa::GeoBunch;
using Pixels = std::vector<std::uint32_t>;

namespace {

constexpr int side = pellium::hiddenGLWindowSize;

const GeoBunch::Color4 red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255}, yellow{255, 255, 0, 255};

// Ten vertices: a red triangle as a strip of 3, a green rectangle as a fan
// of 4, and a blue plain triangle; all counter-clockwise (culling stays on).
struct Shapes {
    std::vector<GeoBunch::Float3> points{{4, 4, 0},  {20, 4, 0},  {4, 20, 0},  {30, 4, 0},  {58, 4, 0},
                                         {58, 20, 0}, {30, 20, 0}, {4, 36, 0}, {28, 36, 0}, {16, 58, 0}};
    std::vector<GeoBunch::Color4> colours{red, red, red, green, green, green, green, blue, blue, blue};
    std::vector<GeoBunch::Float2> coords{{0, 0}, {1, 0}, {0, 1}, {0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {0.5f, 1}};
};

enum Layout { stripsOverVertices, stripsOverIndices, plainOverVertices, plainOverIndices };

// The shapes as one batch. With indices the vertices are stored in reverse,
// so that list entries differ from vertex numbers; plain triangles over the
// vertices write the fan out.
std::unique_ptr<GeoBunch> shapes(Layout layout, bool withCoords = false) {
    const Shapes s;
    const bool indexed = layout == stripsOverIndices || layout == plainOverIndices;
    const bool strip = layout == stripsOverVertices || layout == stripsOverIndices;
    const unsigned n = unsigned(s.points.size());
    std::vector<unsigned> order = {0, 1, 2, 3, 4, 5, 3, 5, 6, 7, 8, 9};
    if (strip)
        order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    orvel::ref_ptr<GeoBunch::vertex_data> v(new GeoBunch::vertex_data);
    orvel::ref_ptr<GeoBunch::color_data> c(new GeoBunch::color_data);
    orvel::ref_ptr<GeoBunch::texcoord_data> t(new GeoBunch::texcoord_data);
    for (unsigned k = 0; k < (indexed ? n : unsigned(order.size())); ++k) {
        const unsigned i = indexed ? n - 1 - k : order[k];
        v->push_back(s.points[i]);
        c->push_back(s.colours[i]);
        t->push_back(s.coords[i]);
    }
    auto b = std::make_unique<GeoBunch>();
    b->setVertexData(v, true);
    b->setColorData(c);
    if (withCoords)
        b->setTexcoordData(t, 0);
    if (strip)
        b->setStripData(kessa_test::strips({3, -4}));
    if (indexed) {
        orvel::ref_ptr<GeoBunch::index_data> list(new GeoBunch::index_data);
        for (unsigned i : order)
            list->push_back(n - 1 - i);
        b->setIndexData(list);
    }
    return b;
}

// Normals along +z, towards the viewer, one a vertex.
orvel::ref_ptr<GeoBunch::normal_data> facingNormals(int count) {
    orvel::ref_ptr<GeoBunch::normal_data> normals(new GeoBunch::normal_data);
    for (int i = 0; i < count; ++i)
        normals->push_back({0, 0, 1});
    return normals;
}

// A branch hook that records the progress word it is called under and does
// what the test asks to the batch.
class Hook : public kessa::BunchCallbacks {
public:
    void processBunch(GeoBunch& bunch) override {
        stages.push_back(pellium::errorStageCode);
        if (change)
            change(bunch);
    }
    std::vector<std::uint32_t> stages;
    std::function<void(GeoBunch&)> change;
};

class BunchRendering : public gltest::GlFrameTest {
protected:
    void SetUp() override {
        GlFrameTest::SetUp();
        holder.callbacks = hook;
    }
    static Pixels frameOf(GeoBunch& b) {
        return frame([&] { b.internals().render(); });
    }
    static std::uint32_t at(const Pixels& p, int x, int y) { return p[size_t(y) * side + size_t(x)]; }
    // Draws a batch from make compiled into buffer objects, and another from
    // client arrays: both show the same pixels, and again when drawn again.
    static Pixels bothWays(const std::function<std::unique_ptr<GeoBunch>()>& make,
                           const std::function<Pixels(GeoBunch&)>& draw = frameOf) {
        pellium::fullGLacceleration = true;
        auto compiled = make();
        Pixels a = draw(*compiled);
        const pellium::VertexArray* array = compiled->internals().vertexArray();
        EXPECT_TRUE(array && array->arrayBuffer() != 0) << "in buffer objects";
        pellium::fullGLacceleration = false;
        auto client = make();
        EXPECT_EQ(draw(*client), a);
        EXPECT_EQ(client->internals().vertexArray(), nullptr);
        EXPECT_TRUE(client->internals().compiled());
        pellium::fullGLacceleration = true;
        EXPECT_EQ(draw(*compiled), a) << "drawn again";
        EXPECT_EQ(draw(*client), a) << "drawn again";
        return a;
    }

    // A branch with the hook, for batches to be owned by.
    orvel::ref_ptr<Hook> hook{new Hook};
    kessa_test::TestHolder holder{"Sign", "face"};
};

TEST_F(BunchRendering, EveryLayoutDrawsTheSamePixelsCompiledAndFromClientArrays) {
    for (Layout layout : {stripsOverVertices, stripsOverIndices, plainOverVertices, plainOverIndices}) {
        SCOPED_TRACE(layout);
        Pixels a = bothWays([layout] { return shapes(layout); });
        // The strip, the fan, the plain triangle, the background.
        EXPECT_TRUE(gltest::probesMatch(a, side,
                                        {{8, 8, rgba(255, 0, 0)},
                                         {50, 12, rgba(0, 255, 0)},
                                         {16, 42, rgba(0, 0, 255)},
                                         {40, 50, rgba(0, 0, 0)}}));
    }
}

TEST_F(BunchRendering, TexturedBatchDrawsTheSameBothWays) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const unsigned char texels[8] = {255, 255, 255, 255, 64, 64, 64, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    auto textured = [&](GeoBunch& b) {
        return frame([&] {
            pellium::enableGLState(2);
            glBindTexture(GL_TEXTURE_2D, texture);
            b.internals().render();
            pellium::disableGLState(2);
        });
    };
    Pixels a = bothWays([] { return shapes(stripsOverIndices, true); }, textured);
    EXPECT_NE(a, frameOf(*shapes(stripsOverIndices, true))) << "the texture shows";
    glDeleteTextures(1, &texture);
}

TEST_F(BunchRendering, IndexedStripsThatUseEveryIndexDrawNoPlainTriangles) {
    Pixels p = bothWays([] {
        auto b = shapes(stripsOverIndices);
        // Only the strip and the fan: the blue triangle's vertices stay unused.
        orvel::ref_ptr<GeoBunch::index_data> list(new GeoBunch::index_data);
        for (unsigned i = 0; i < 7; ++i)
            list->push_back(9 - i);
        b->setIndexData(list);
        return b;
    });
    EXPECT_TRUE(
        gltest::probesMatch(p, side, {{8, 8, rgba(255, 0, 0)}, {50, 12, rgba(0, 255, 0)}, {16, 42, rgba(0, 0, 0)}}));
}

TEST_F(BunchRendering, OneTriangleIsDrawnFromClientArraysEvenWhenAccelerated) {
    GeoBunch b;
    b.setVertexData(kessa_test::positions({{4, 36, 0}, {28, 36, 0}, {16, 58, 0}}), true);
    b.setColorData(kessa_test::makeStream<GeoBunch::color_data>({yellow, yellow, yellow}));
    Pixels p = frameOf(b);
    EXPECT_TRUE(b.internals().compiled());
    EXPECT_EQ(b.internals().vertexArray(), nullptr);
    EXPECT_EQ(at(p, 16, 42), rgba(255, 255, 0));
    EXPECT_EQ(pellium::errorStageCode, 30305u);
    // Two triangles are compiled.
    auto two = shapes(stripsOverVertices);
    two->setStripData(kessa_test::strips({4}));
    frameOf(*two);
    EXPECT_EQ(two->triangleCount(), 2 + 2);
    EXPECT_NE(two->internals().vertexArray(), nullptr);
}

TEST_F(BunchRendering, WithoutAccelerationNoBatchEverGetsAVertexArray) {
    pellium::fullGLacceleration = false;
    auto b = shapes(stripsOverVertices);
    for (int i = 0; i < 3; ++i) {
        frameOf(*b);
        EXPECT_EQ(b->internals().vertexArray(), nullptr);
        EXPECT_EQ(pellium::errorStageCode, 30305u);
    }
    // The switch counts only for batches compiled afterwards.
    pellium::fullGLacceleration = true;
    frameOf(*b);
    EXPECT_EQ(b->internals().vertexArray(), nullptr);
    b->internals().releaseVertexArray();
    EXPECT_FALSE(b->internals().compiled());
    frameOf(*b);
    EXPECT_NE(b->internals().vertexArray(), nullptr);
    EXPECT_GE(pellium::errorStageCode, 30401u) << "the vertex array drew last";
    pellium::fullGLacceleration = false;
    b->internals().releaseVertexArray();
    EXPECT_EQ(b->internals().vertexArray(), nullptr);
    frameOf(*b);
    EXPECT_EQ(b->internals().vertexArray(), nullptr);
}

TEST_F(BunchRendering, InvalidBatchDrawsNothingAndIsNotCompiled) {
    LogCapture log;
    auto b = shapes(stripsOverIndices);
    b->setIndexData(kessa_test::indices({0, 1, 2, 3, 4, 5, 99}));
    EXPECT_FALSE(b->internals().verify());
    Pixels p = frameOf(*b);
    EXPECT_FALSE(b->internals().compiled());
    EXPECT_EQ(b->internals().vertexArray(), nullptr);
    for (std::uint32_t v : p)
        ASSERT_EQ(v, rgba(0, 0, 0));
    // A batch that turns out invalid at its first draw is logged once and skipped.
    auto late = shapes(stripsOverVertices);
    late->vertexDataSlot() = kessa_test::row(10);
    log.take();
    frameOf(*late);
    frameOf(*late);
    EXPECT_EQ(log.take(), "GeoBunchInternals::verify() - vertices isn't set properly\n");
    EXPECT_TRUE(late->internals().compiled());
    EXPECT_EQ(late->internals().vertexArray(), nullptr);
}

TEST_F(BunchRendering, ClientArraysLeaveOnlyTheVertexArrayOn) {
    pellium::fullGLacceleration = false;
    auto b = shapes(stripsOverIndices, true);
    b->setNormalData(facingNormals(b->vertexCount()));
    b->setTexcoordData(b->internals().texCoords(0), 1);
    frameOf(*b);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
    for (int unit = 1; unit >= 0; --unit) {
        pellium::selectClientTextureUnit(unit);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY)) << unit;
    }
    GLint active = 0;
    pellium::selectClientTextureUnit(1);
    b->internals().render();
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
}

TEST_F(BunchRendering, AHookThatRecoloursACompiledBatchIsSeenOnThatFrame) {
    auto b = shapes(stripsOverIndices);
    b->internals().setOwnerBranch(&holder);
    Pixels first = frameOf(*b);
    ASSERT_NE(b->internals().vertexArray(), nullptr);
    EXPECT_EQ(hook->stages, (std::vector<std::uint32_t>{30301, 30302})) << "compile, then the draw";
    EXPECT_EQ(at(first, 8, 8), rgba(255, 0, 0));
    hook->change = [](GeoBunch& bunch) {
        const auto& colours = bunch.internals().colors();
        for (unsigned i = 0; i < colours->size(); ++i)
            (*colours)[i] = yellow;
        bunch.addFlags(GeoBunch::dirtyColors);
    };
    Pixels second = frameOf(*b);
    EXPECT_EQ(b->flags(), unsigned(GeoBunch::dirtyColors));
    EXPECT_TRUE(gltest::probesMatch(
        second, side, {{8, 8, rgba(255, 255, 0)}, {50, 12, rgba(255, 255, 0)}, {16, 42, rgba(255, 255, 0)}}));
    // The same frame from client arrays.
    pellium::fullGLacceleration = false;
    auto client = shapes(stripsOverIndices);
    client->internals().setOwnerBranch(&holder);
    EXPECT_EQ(frameOf(*client), second);
}

TEST_F(BunchRendering, AHookThatTurnsNormalsIsSeenOnACompiledBatch) {
    auto b = shapes(stripsOverVertices);
    b->setColorData(nullptr);
    b->setNormalData(facingNormals(b->vertexCount()));
    b->internals().setOwnerBranch(&holder);
    auto lit = [&] {
        return frame([&] {
            pellium::enableGLState(0);
            glEnable(GL_LIGHT0);
            b->internals().render();
            glDisable(GL_LIGHT0);
            pellium::disableGLState(0);
        });
    };
    Pixels facing = lit();
    ASSERT_NE(b->internals().vertexArray(), nullptr);
    // Normals turned away from the light reach the buffer objects too.
    hook->change = [](GeoBunch& bunch) {
        const auto& normals = bunch.internals().normals();
        for (unsigned i = 0; i < normals->size(); ++i)
            (*normals)[i] = {0, 0, -1};
        bunch.addFlags(GeoBunch::dirtyNormals);
    };
    Pixels away = lit();
    EXPECT_GT(at(facing, 8, 8) & 0xFF, 150u);
    EXPECT_LT(at(away, 8, 8) & 0xFF, 60u);
}

TEST_F(BunchRendering, AnimatedBatchMovesOnceCompiled) {
    auto b = shapes(stripsOverVertices);
    GeoBunch::Frame rest, raised;
    for (const GeoBunch::Float3& p : *b->internals().vertices()) {
        rest.push_back(p);
        raised.push_back({p.x, p.y + 4, p.z});
    }
    b->setAnimation({rest, raised});
    Pixels before = frameOf(*b);
    ASSERT_NE(b->internals().vertexArray(), nullptr);
    EXPECT_EQ(at(before, 8, 5), rgba(255, 0, 0));
    EXPECT_EQ(at(before, 6, 19), rgba(0, 0, 0));
    b->internals().animate(1);
    Pixels after = frameOf(*b);
    EXPECT_EQ(at(after, 8, 5), rgba(0, 0, 0)) << "the strip left its lowest rows";
    EXPECT_EQ(at(after, 6, 19), rgba(255, 0, 0));
    // The same frame from client arrays.
    pellium::fullGLacceleration = false;
    auto client = shapes(stripsOverVertices);
    client->setAnimation({rest, raised});
    client->internals().animate(1);
    EXPECT_EQ(frameOf(*client), after);
}

TEST_F(BunchRendering, GLErrorsAreLoggedAndDrawingGoesOn) {
    // The first buffer objects of the process log their extensions' loading.
    frameOf(*shapes(stripsOverVertices));
    LogCapture log;
    auto b = shapes(stripsOverVertices);
    glEnable(GLenum(0x7FFF));
    Pixels p = frameOf(*b);
    EXPECT_EQ(log.take(), "GL had an error at the start of GeoBunchInternals::render()\n");
    EXPECT_EQ(at(p, 8, 8), rgba(255, 0, 0));

    // A hook that leaves a GL error behind for render to find.
    hook->change = [](GeoBunch&) { glEnable(GLenum(0x7FFF)); };
    auto c = shapes(stripsOverVertices);
    c->internals().setOwnerBranch(&holder);
    p = frameOf(*c);
    // The hook runs twice: before the vertex array is built (which finds
    // the error first), and before the draw.
    EXPECT_EQ(log.take(),
              "GL had an error at the start of makeVBO()\nGL had an error during GeoBunchInternals::render()\n");
    EXPECT_EQ(at(p, 8, 8), rgba(255, 0, 0));
}

}  // namespace
