// Vertex arrays drawn for real (llvmpipe under Xvfb): the client-memory path
// with strips and fans and the buffer-object path with one triangle list must
// light the same pixels; the array-state cache must never draw one buffer's
// geometry for another.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <functional>
#include <memory>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "gui/ErrorStage.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/VertexArray.h"
#include "platform/GLContext.h"

using gltest::rgba;
using pellium::VertexArray;
using Pixels = std::vector<std::uint32_t>;

namespace {

constexpr int side = pellium::hiddenGLWindowSize;

// Fifteen vertices: a red square as a strip, a green pentagon as a fan, a
// blue and a yellow triangle, all counter-clockwise (culling stays on).
// Stored in reverse by default, so that list entries differ from vertex numbers.
struct Shapes {
    static constexpr int count = 15;
    std::vector<float> xyz;
    std::vector<unsigned char> colors;
    std::vector<int> indices;  // strip 4, fan 5, then two triangles
    explicit Shapes(bool reversed = true) {
        const float points[count][2] = {{4, 4},   {20, 4},  {4, 20},  {20, 20},            // strip
                                        {30, 4},  {58, 4},  {58, 20}, {44, 28}, {30, 28},  // fan
                                        {4, 36},  {28, 36}, {16, 58},                      // blue
                                        {36, 36}, {60, 36}, {48, 58}};                     // yellow
        const unsigned colorOf[count] = {0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 3, 3, 3};
        const unsigned char palette[4][4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};
        xyz.resize(count * 3);
        colors.resize(count * 4);
        for (int i = 0; i < count; ++i) {
            int at = reversed ? count - 1 - i : i;
            xyz[at * 3] = points[i][0];
            xyz[at * 3 + 1] = points[i][1];
            xyz[at * 3 + 2] = 0;
            for (int c = 0; c < 4; ++c)
                colors[at * 4 + c] = palette[colorOf[i]][c];
            indices.push_back(reversed ? count - 1 - i : i);
        }
    }
};

// A square drawn as one strip from (x0, y0) to (x1, y1), in one colour.
VertexArray square(float x0, float y0, float x1, float y1, std::uint32_t colour) {
    const float xyz[] = {x0, y0, 0, x1, y0, 0, x0, y1, 0, x1, y1, 0};
    const std::uint32_t colours[4] = {colour, colour, colour, colour};  // bytes red, green, blue, alpha
    const int strip[] = {4};
    VertexArray a(4);
    a.setVertices(xyz);
    a.setColors(reinterpret_cast<const unsigned char*>(colours));
    a.setStripLengths(strip, 1);
    return a;
}

class VertexArrays : public gltest::GlFrameTest {
protected:

    static VertexArray shapes(bool withIndices, bool withStrips) {
        Shapes s(withIndices);
        VertexArray a(Shapes::count);
        a.setVertices(s.xyz.data());
        a.setColors(s.colors.data());
        if (withIndices)
            a.setIndices(s.indices.data(), int(s.indices.size()));
        if (withStrips) {
            const int strips[] = {4, -5};
            a.setStripLengths(strips, 2);
        }
        return a;
    }
    static VertexArray stripsAndFan() { return shapes(true, true); }

    // The array `make` builds, drawn from client memory and from buffers: the
    // two frames must match.
    static Pixels drawnBothWays(const std::function<VertexArray()>& make,
                                const std::function<void(VertexArray&)>& draw = [](VertexArray& a) { a.draw(); }) {
        VertexArray client = make(), buffered = make();
        EXPECT_NE(buffered.makeVBO(false), 0u);
        Pixels p = frame([&] { draw(client); });
        EXPECT_EQ(pellium::errorStageCode, 30404u) << "drawn from client memory";
        EXPECT_EQ(frame([&] { draw(buffered); }), p);
        EXPECT_EQ(pellium::errorStageCode, 30403u) << "drawn from buffers";
        return p;
    }
};

TEST_F(VertexArrays, StripsFansAndTrianglesDrawTheSamePixelsBothWays) {
    VertexArray listed = stripsAndFan(), walked = shapes(false, true);
    for (VertexArray* a : {&listed, &walked}) {
        ASSERT_NE(a->makeVBO(false), 0u);
        EXPECT_NE(a->indexBuffer(), 0u);
        EXPECT_EQ(a->stripCount(), 0) << "the strips became one triangle list";
        EXPECT_EQ(a->indexCount(), 3 * (2 + 3 + 2));
        EXPECT_TRUE(a->isNarrowed()) << "the list the strips made is 16-bit too";
    }
    Pixels p = drawnBothWays(stripsAndFan);
    EXPECT_EQ(p[10 * side + 10], rgba(255, 0, 0)) << "the strip";
    EXPECT_EQ(p[12 * side + 45], rgba(0, 255, 0)) << "the fan";
    EXPECT_EQ(p[40 * side + 16], rgba(0, 0, 255)) << "a triangle";
    EXPECT_EQ(p[2 * side + 2], rgba(0, 0, 0));
    EXPECT_GT(gltest::countOther(p, rgba(0, 0, 0)), 1200);
    EXPECT_EQ(drawnBothWays([] { return shapes(false, true); }), p)
        << "strips over the vertices alone; the vertices after them are triangles";
    // The strip and the fan written out as triangles, then the rest.
    auto triangles = [] {
        Shapes s;
        const std::vector<int> list = {14, 13, 12, 12, 13, 11, 10, 9, 8, 10, 8, 7, 10, 7, 6, 5, 4, 3, 2, 1, 0};
        VertexArray a(Shapes::count);
        a.setVertices(s.xyz.data());
        a.setColors(s.colors.data());
        a.setIndices(list.data(), int(list.size()));
        return a;
    };
    EXPECT_EQ(drawnBothWays(triangles), p) << "a plain triangle list";
}

TEST_F(VertexArrays, TwoBufferArraysEachDrawTheirOwnGeometry) {
    VertexArray left = square(4, 10, 24, 50, rgba(255, 0, 0)), right = square(40, 10, 60, 50, rgba(0, 255, 0));
    ASSERT_NE(left.makeVBO(false), 0u);
    ASSERT_NE(right.makeVBO(false), 0u);
    for (int pass = 0; pass < 2; ++pass) {
        Pixels p = frame([&] {
            left.draw();
            right.draw();
        });
        EXPECT_EQ(p[30 * side + 14], rgba(255, 0, 0)) << pass;
        EXPECT_EQ(p[30 * side + 50], rgba(0, 255, 0)) << pass;
        EXPECT_EQ(p[30 * side + 32], rgba(0, 0, 0)) << pass;
    }
}

TEST_F(VertexArrays, WithoutFullAccelerationNoBufferIsMade) {
    VertexArray reference = stripsAndFan();
    Pixels expected = frame([&] { reference.draw(); });
    pellium::fullGLacceleration = false;
    VertexArray a = stripsAndFan();
    EXPECT_EQ(a.makeVBO(false), 0u);
    EXPECT_EQ(a.arrayBuffer(), 0u);
    EXPECT_EQ(a.indexBuffer(), 0u);
    EXPECT_FALSE(a.isNarrowed());
    EXPECT_EQ(a.stripCount(), 2);
    EXPECT_EQ(frame([&] { a.draw(); }), expected);
}

TEST_F(VertexArrays, IndicesNarrowTo16BitsBelow65536Vertices) {
    for (int count : {65535, 65536}) {
        std::vector<float> xyz(size_t(count) * 3, 0.0f);
        const int list[] = {0, 1, count - 1};
        VertexArray a(count);
        a.setVertices(xyz.data());
        a.setIndices(list, 3);
        ASSERT_NE(a.makeVBO(false), 0u);
        EXPECT_EQ(a.vertexCount(), count);
        EXPECT_EQ(a.isNarrowed(), count == 65535) << count;
        EXPECT_NE(a.indexBuffer(), 0u);
        GLint bytes = 0;
        const pellium::VBOEntryPoints* vbo = pellium::loadVBOExtensions();
        VertexArray::flushArrayState();
        vbo->bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, a.indexBuffer());
        vbo->getBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER_ARB, GL_BUFFER_SIZE_ARB, &bytes);
        vbo->bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
        EXPECT_EQ(bytes, count == 65535 ? 6 : 12) << count;
    }
}

TEST_F(VertexArrays, StripsThatMakeNoTriangleStayAsTheyAre) {
    const float xyz[9] = {};
    const int list[] = {0, 1}, strips[] = {2};
    VertexArray a(3);
    a.setVertices(xyz);
    a.setIndices(list, 2);
    a.setStripLengths(strips, 1);
    ASSERT_NE(a.makeVBO(false), 0u);
    EXPECT_TRUE(a.isNarrowed());
    EXPECT_EQ(a.indexCount(), 2);
    a.draw();  // nothing to draw, and no error
}

TEST_F(VertexArrays, ASecondDrawInARowSendsNoPointer) {
    VertexArray first = stripsAndFan(), second = shapes(true, false);
    ASSERT_NE(first.makeVBO(false), 0u);
    ASSERT_NE(second.makeVBO(false), 0u);
    first.draw();
    GLvoid* p = nullptr;
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &p);
    EXPECT_EQ(p, nullptr) << "vertices at offset 0";
    // Behind the cache's back: if the next draw sent its pointer, it would undo this.
    glVertexPointer(3, GL_FLOAT, 0, reinterpret_cast<const void*>(12));
    first.draw();
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &p);
    EXPECT_EQ(p, reinterpret_cast<void*>(12));
    // Another buffer is bound: every pointer goes again.
    second.draw();
    first.draw();
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &p);
    EXPECT_EQ(p, nullptr);
}

namespace {
PFNGLBUFFERDATAARBPROC realBufferData = nullptr;
// Uploads with a usage GL refuses, as a driver out of memory would refuse it.
void APIENTRY refusedUpload(GLenum target, GLsizeiptrARB size, const void* data, GLenum) {
    realBufferData(target, size, data, 0x1234);
}
}  // namespace

TEST_F(VertexArrays, AFailedUploadKeepsTheClientArrays) {
    VertexArray reference = stripsAndFan();
    Pixels expected = frame([&] { reference.draw(); });
    auto* vbo = const_cast<pellium::VBOEntryPoints*>(pellium::loadVBOExtensions());
    ASSERT_NE(vbo, nullptr);
    realBufferData = vbo->bufferData;
    vbo->bufferData = refusedUpload;
    LogCapture log;
    VertexArray a = stripsAndFan();
    unsigned made = a.makeVBO(false);
    vbo->bufferData = realBufferData;
    EXPECT_EQ(made, 0u);
    EXPECT_EQ(a.arrayBuffer(), 0u);
    EXPECT_EQ(log.text(), "Failed to upload a VBO!\n");
    EXPECT_EQ(frame([&] { a.draw(); }), expected) << "the geometry is still there";
    EXPECT_EQ(pellium::errorStageCode, 30404u) << "drawn from client memory";
}

TEST_F(VertexArrays, VerticesAndColoursAreRewrittenInsideTheBuffer) {
    Shapes s;
    VertexArray a = stripsAndFan();
    ASSERT_NE(a.makeVBO(true), 0u);
    Pixels before = frame([&] { a.draw(); });
    std::vector<float> moved = s.xyz;
    for (size_t i = 1; i < moved.size(); i += 3)
        moved[i] += 4;  // four pixels up
    a.setVertices(moved.data());
    Pixels after = frame([&] { a.draw(); });
    EXPECT_EQ(after[6 * side + 10], rgba(0, 0, 0)) << "the strip left its lowest rows";
    EXPECT_EQ(after[22 * side + 10], rgba(255, 0, 0));
    EXPECT_NE(before, after);

    // Rewritten while client arrays are in use: the client draw must not see the buffer.
    VertexArray client = stripsAndFan();
    Pixels clientPixels = frame([&] { client.draw(); });
    a.setVertices(s.xyz.data());
    EXPECT_EQ(frame([&] { client.draw(); }), clientPixels);
    EXPECT_EQ(frame([&] { a.draw(); }), before);

    std::vector<unsigned char> white(s.colors.size(), 255);
    a.setColors(white.data());
    after = frame([&] { a.draw(); });
    EXPECT_EQ(after[10 * side + 10], rgba(255, 255, 255)) << "the strip";
    EXPECT_EQ(after[40 * side + 16], rgba(255, 255, 255)) << "a triangle";
    // A buffer made without colours has nowhere to put them.
    VertexArray bare(Shapes::count);
    bare.setVertices(s.xyz.data());
    ASSERT_NE(bare.makeVBO(true), 0u);
    bare.setColors(white.data());
    bare.setNormals(s.xyz.data());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(VertexArrays, IndicesNamingNoVertexAndUnitsBeyondOneAreRefused) {
    LogCapture log;
    VertexArray a(3);
    const int bad[] = {0, 1, 3};
    a.setIndices(bad, 3);
    EXPECT_EQ(a.indexCount(), 0);
    EXPECT_EQ(log.take(), "Vertex array index 3 (at 2) names no vertex of 3; the index list is refused\n");
    const int negative[] = {-1};
    a.setIndices(negative, 1);
    EXPECT_EQ(a.indexCount(), 0);
    const int good[] = {0, 1, 2};
    a.setIndices(good, 3);
    EXPECT_EQ(a.indexCount(), 3);
    a.setIndices(good, 2);
    EXPECT_EQ(a.indexCount(), 3) << "set once";
    const float st[6] = {};
    for (int unit : {2, -1, 1, 0})
        EXPECT_EQ(a.setTexCoords(st, unit), unit == 0 || unit == 1) << "texture coordinates for unit " << unit;
}

TEST_F(VertexArrays, TextureCoordinatesAndNormalsFindTheirBlocks) {
    const std::uint32_t redBlue[2] = {rgba(255, 0, 0), rgba(0, 0, 255)};
    const GLuint texture = gltest::makeTexture(2, 1, redBlue);
    auto textured = [] {
        const float normals[] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
        const float st[] = {0, 0, 1, 0, 0, 1, 1, 1};
        const float st1[] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
        VertexArray a = square(8, 8, 56, 56, rgba(255, 255, 255));
        a.setNormals(normals);
        a.setTexCoords(st, 0);
        a.setTexCoords(st1, 1);
        return a;
    };
    // Unit 1's coordinates come after vertices, colours, normals and unit 0's;
    // the buffer draw comes last, so its pointer is what is kept.
    GLvoid* unit1 = nullptr;
    bool unit1On = false;
    Pixels p = drawnBothWays(textured, [&](VertexArray& a) {
        pellium::enableGLState(2);
        glBindTexture(GL_TEXTURE_2D, texture);
        a.draw();
        pellium::disableGLState(2);
        pellium::selectClientTextureUnit(1);
        glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &unit1);
        unit1On = glIsEnabled(GL_TEXTURE_COORD_ARRAY);
        pellium::selectClientTextureUnit(0);
    });
    EXPECT_EQ(p[32 * side + 12], rgba(255, 0, 0));
    EXPECT_EQ(p[32 * side + 52], rgba(0, 0, 255));
    EXPECT_TRUE(unit1On);
    EXPECT_EQ(unit1, reinterpret_cast<void*>(4 * (12 + 4 + 12 + 8)));
    glDeleteTextures(1, &texture);
}

TEST_F(VertexArrays, AReleasedArraysBufferNameServesTheNextArrayCorrectly) {
    VertexArray a = stripsAndFan();
    unsigned name = a.makeVBO(false);
    ASSERT_NE(name, 0u);
    a.draw();
    a.release();
    auto isBuffer = reinterpret_cast<PFNGLISBUFFERARBPROC>(platform::glProcAddress("glIsBufferARB"));
    ASSERT_NE(isBuffer, nullptr);
    EXPECT_FALSE(isBuffer(name));
    EXPECT_EQ(a.arrayBuffer(), 0u);
    a.draw();  // an empty handle draws nothing
    drawnBothWays([] { return shapes(true, false); });  // its list drawn as five plain triangles
}

TEST_F(VertexArrays, ClientArrayWrappersTakeOverFromBufferDraws) {
    VertexArray buffered = stripsAndFan();
    ASSERT_NE(buffered.makeVBO(false), 0u);
    const float corner[] = {40, 40, 0, 60, 40, 0, 40, 60, 0};
    Pixels p = frame([&] {
        buffered.draw();
        pellium::disableGLState(5);
        pellium::setVertexArray(corner, 0);
        pellium::color4f(1, 1, 1, 1);
        pellium::drawArrays(4, 0, 3);
        pellium::setVertexArray(nullptr, 0);
    });
    EXPECT_EQ(p[44 * side + 44], rgba(255, 255, 255)) << "drawn from client memory, not from the buffer";
    EXPECT_EQ(p[10 * side + 10], rgba(255, 0, 0));
}

TEST(VertexArraysInWindows, ABufferMadeInOneWindowDrawsInAnother) {
    gltest::ProbeWindow a(64, 64, "a"), b(64, 64, "b");
    std::unique_ptr<VertexArray> blue;
    a.draw = [&](pellium::GLRenderInfo&) {
        blue.reset(new VertexArray(square(0, 0, 64, 64, rgba(0, 0, 255))));
        EXPECT_NE(blue->makeVBO(false), 0u);
    };
    a.paint();
    b.draw = [&](pellium::GLRenderInfo& info) {
        pellium::setPixelProjection(info);
        pellium::clearBuffers(pellium::Color{0, 0, 0, 1}, 3);
        blue->draw();
    };
    b.paint();
    EXPECT_EQ(b.pixel(32, 32), rgba(0, 0, 255));
    EXPECT_EQ(b.pixel(1, 62), rgba(0, 0, 255));
}

}  // namespace
