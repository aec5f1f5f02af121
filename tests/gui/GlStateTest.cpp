// The numbered state wrappers, projections and drawing wrappers, checked by
// reading GL's state (and pixels) back from the hidden window's context.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"

using gltest::floats;
using gltest::integer;
using gltest::Pixels;
using gltest::rgba;
using Floats = std::vector<float>;

namespace {

constexpr int side = pellium::hiddenGLWindowSize;
const Floats identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

class GlState : public gltest::GlFrameTest {
protected:
    void SetUp() override {
        GlFrameTest::SetUp();
        pellium::setDepthFunc(4);
    }

    // Everything the numbered states touch, to see that a call changed nothing.
    static std::vector<int> snapshot() {
        std::vector<int> s = {integer(GL_DEPTH_WRITEMASK), integer(GL_COLOR_WRITEMASK), integer(GL_SHADE_MODEL)};
        for (GLenum cap : {GL_LIGHTING, GL_BLEND, GL_TEXTURE_2D, GL_FOG, GL_ALPHA_TEST, GL_DEPTH_TEST, GL_TEXTURE_GEN_S,
                           GL_TEXTURE_GEN_T, GL_CULL_FACE})
            s.push_back(on(cap));
        return s;
    }
    // A frame of flat shapes drawn in pixel coordinates.
    static Pixels flatFrame(const std::function<void()>& draw) {
        return gltest::hiddenFrame([&] {
            pellium::disableGLState(5);
            pellium::disableGLState(10);
            draw();
        });
    }
};

TEST_F(GlState, NumberedStatesSwitchTheirGLState) {
    auto colourMask = [] {
        GLint mask[4];
        glGetIntegerv(GL_COLOR_WRITEMASK, mask);
        return mask[0] + mask[1] + mask[2] + mask[3];
    };
    const struct {
        int n;
        std::function<int()> probe;
        int off, on;
    } rows[] = {
        {0, [] { return int(on(GL_LIGHTING)); }, 0, 1},
        {1, [] { return int(on(GL_BLEND)); }, 0, 1},
        {2, [] { return int(on(GL_TEXTURE_2D)); }, 0, 1},
        {3, [] { return int(on(GL_FOG)); }, 0, 1},
        {4, [] { return int(on(GL_ALPHA_TEST)); }, 0, 1},
        {5, [] { return int(on(GL_DEPTH_TEST)); }, 0, 1},
        {6, [] { return integer(GL_DEPTH_WRITEMASK); }, GL_FALSE, GL_TRUE},
        {7, colourMask, 0, 4},
        {8, [] { return integer(GL_SHADE_MODEL); }, GL_FLAT, GL_SMOOTH},
        {9, [] { return on(GL_TEXTURE_GEN_S) + on(GL_TEXTURE_GEN_T); }, 0, 2},
        {10, [] { return int(on(GL_CULL_FACE)); }, 0, 1},
    };
    // Off, on and off again, so that both changes are seen whatever the start.
    for (const auto& row : rows) {
        pellium::disableGLState(row.n);
        EXPECT_EQ(row.probe(), row.off) << row.n;
        pellium::enableGLState(row.n);
        EXPECT_EQ(row.probe(), row.on) << row.n;
        pellium::disableGLState(row.n);
        EXPECT_EQ(row.probe(), row.off) << row.n;
    }
    pellium::enableGLState(9);
    GLint mode[2] = {};
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode[0]);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode[1]);
    EXPECT_EQ(mode[0], GL_SPHERE_MAP);
    EXPECT_EQ(mode[1], GL_SPHERE_MAP);

    std::vector<int> before = snapshot();
    for (int n : {-1, 11, 1000}) {
        pellium::enableGLState(n);
        pellium::disableGLState(n);
    }
    EXPECT_EQ(snapshot(), before) << "numbers outside the table do nothing";
}

TEST_F(GlState, FogFollowsTheUsersSetting) {
    // While the setting is off, switching fog either way is ignored.
    const struct {
        bool setting, enable, fog;
    } steps[] = {{false, true, false}, {true, true, true}, {false, false, true}, {true, false, false}};
    for (const auto& s : steps) {
        pellium::fogEnabled = s.setting;
        s.enable ? pellium::enableGLState(3) : pellium::disableGLState(3);
        EXPECT_EQ(on(GL_FOG), s.fog) << "setting " << s.setting << ", enable " << s.enable;
    }
}

TEST_F(GlState, ACallThatChangesNothingSendsNothing) {
    pellium::enableGLState(5);
    glDisable(GL_DEPTH_TEST);  // behind the wrappers' back
    pellium::enableGLState(5);
    EXPECT_FALSE(on(GL_DEPTH_TEST)) << "the wrapper believed it on and made no call";
    pellium::setBlendMode(2, 3);
    glBlendFunc(GL_ONE, GL_ONE);
    pellium::setBlendMode(2, 3);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_ONE);
    pellium::invalidateGLStateCache();
    pellium::enableGLState(5);
    pellium::setBlendMode(2, 3);
    EXPECT_TRUE(on(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
}

TEST_F(GlState, DepthFunctionsAndBlendFactorsByNumber) {
    const GLenum funcs[] = {GL_ALWAYS, GL_NEVER, GL_EQUAL, GL_NOTEQUAL, GL_LESS, GL_LEQUAL, GL_GREATER, GL_GEQUAL};
    for (int n = 0; n < 8; ++n) {
        pellium::setDepthFunc(n);
        EXPECT_EQ(integer(GL_DEPTH_FUNC), int(funcs[n])) << n;
    }
    pellium::setDepthFunc(8);
    pellium::setDepthFunc(-1);
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_GEQUAL);

    const struct {
        int source, destination;
        GLenum src, dst;
    } blends[] = {{2, 3, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                  {0, 1, GL_ZERO, GL_ONE},
                  {7, 7, GL_ONE, GL_ZERO},  // out of range: one, zero
                  {3, 2, GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA},
                  {1, 9, GL_ONE, GL_ZERO}};
    for (const auto& b : blends) {
        pellium::setBlendMode(b.source, b.destination);
        EXPECT_EQ(integer(GL_BLEND_SRC), int(b.src)) << b.source << ", " << b.destination;
        EXPECT_EQ(integer(GL_BLEND_DST), int(b.dst)) << b.source << ", " << b.destination;
    }
}

TEST_F(GlState, AlphaThresholds) {
    pellium::setAlphaThreshold(-1);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_ALWAYS);
    pellium::setAlphaThreshold(0);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_NOTEQUAL);
    EXPECT_EQ(floats(GL_ALPHA_TEST_REF, 1), Floats{0});
    pellium::setAlphaThreshold(0.5f);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_GREATER);
    EXPECT_EQ(floats(GL_ALPHA_TEST_REF, 1), Floats{0.5f});

    // Drawn: a fully transparent point passes only below 0.
    auto point = [](float threshold) {
        return flatFrame([&] {
            pellium::enableGLState(4);
            pellium::setAlphaThreshold(threshold);
            pellium::pointSize(3);
            pellium::color4f(1, 1, 1, 0);
            pellium::beginPrimitive(0);
            pellium::vertex3f(10, 10, 0);
            pellium::endPrimitive();
            pellium::pointSize(1);
        })[10 * side + 10];
    };
    EXPECT_EQ(point(0), rgba(0, 0, 0));
    EXPECT_EQ(point(-1), rgba(255, 255, 255, 0));
}

TEST_F(GlState, FacesPolygonModesAndTextureEnvironments) {
    pellium::setCullFace(false);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_FRONT);
    pellium::setCullFace(true);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);

    // Face 0 front, 1 back, others both; mode 0 points, 1 lines, 2 fill, others nothing.
    const struct {
        int face, mode;
        GLint front, back;
    } polygons[] = {
        {0, 1, GL_LINE, GL_FILL}, {1, 0, GL_LINE, GL_POINT}, {5, 2, GL_FILL, GL_FILL}, {2, 3, GL_FILL, GL_FILL}};
    for (const auto& p : polygons) {
        pellium::setPolygonMode(p.face, p.mode);
        GLint modes[2];
        glGetIntegerv(GL_POLYGON_MODE, modes);
        EXPECT_EQ(modes[0], p.front) << p.face << ", " << p.mode;
        EXPECT_EQ(modes[1], p.back) << p.face << ", " << p.mode;
    }

    const GLint envs[] = {GL_BLEND, GL_MODULATE, GL_DECAL, GL_ADD, GL_ADD};  // 4 does nothing
    for (int n = 0; n < 5; ++n) {
        pellium::setTexEnv(n);
        GLint env = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
        EXPECT_EQ(env, envs[n]) << n;
    }
    pellium::setTexEnv(1);
}

TEST_F(GlState, ViewportsRangesSizesAndClears) {
    pellium::setViewport({3, 4, 30, 20});
    EXPECT_EQ(floats(GL_VIEWPORT, 4), (Floats{3, 4, 30, 20}));
    pellium::depthRange(0.25, 0.75);
    EXPECT_EQ(floats(GL_DEPTH_RANGE, 2), (Floats{0.25f, 0.75f}));
    pellium::depthRange(0, 1);
    pellium::pointSize(4);
    EXPECT_EQ(floats(GL_POINT_SIZE, 1), Floats{4});
    pellium::pointSize(1);

    pellium::setViewport({0, 0, side, side});
    const struct {
        pellium::Color colour;
        int flags;
        const char* why;
    } clears[] = {{{1, 0, 0, 1}, 1, "the colour buffer"}, {{0, 1, 0, 1}, 0, "no flag clears nothing"},
                  {{0, 1, 0, 1}, 2, "only the depth buffer"}};
    for (const auto& c : clears) {
        pellium::clearBuffers(c.colour, c.flags);
        EXPECT_EQ(gltest::readPixels(side, side)[0], rgba(255, 0, 0)) << c.why;
    }
    glClearDepth(0.5);
    pellium::clearBuffers(pellium::Color{}, 2);
    GLfloat depth = 0;
    glReadPixels(0, 0, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_NEAR(depth, 0.5, 1e-6);
    glClearDepth(1);
}

TEST_F(GlState, PixelProjectionCentresIntegerCoordinatesInPixels) {
    pellium::GLRenderInfo info;
    info.width = 64;
    info.height = 48;
    pellium::setPixelProjection(info);
    EXPECT_EQ(floats(GL_VIEWPORT, 4), (Floats{0, 0, 64, 48}));
    Floats p = floats(GL_PROJECTION_MATRIX, 16);
    EXPECT_FLOAT_EQ(p[0], 2.0f / 64);
    EXPECT_FLOAT_EQ(p[5], 2.0f / 48);
    EXPECT_FLOAT_EQ(p[10], -1);
    EXPECT_FLOAT_EQ(p[12], -(63.625f - 0.375f) / 64);
    EXPECT_FLOAT_EQ(p[13], -(47.625f - 0.375f) / 48);
    EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), identity);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST_F(GlState, PerspectiveAndOrthoProjections) {
    pellium::GLRenderInfo info;
    info.width = 64;
    info.height = 32;
    pellium::setPerspective(info, 90, 1, 100, -1);
    Floats p = floats(GL_PROJECTION_MATRIX, 16);
    // tan(45°) × near = 1 up and down, times the frame's aspect 2 across.
    EXPECT_NEAR(p[0], 0.5, 1e-6);
    EXPECT_NEAR(p[5], 1, 1e-6);
    EXPECT_NEAR(p[10], -101.0 / 99, 1e-6);
    EXPECT_NEAR(p[14], -200.0 / 99, 1e-5);
    EXPECT_EQ(p[11], -1);
    pellium::setPerspective(info, 60, 2, 50, 1);
    p = floats(GL_PROJECTION_MATRIX, 16);
    double half = std::tan(30 * 3.14159265358979 / 180) * 2;
    EXPECT_NEAR(p[0], 2 * 2 / (2 * half), 1e-5) << "an aspect of its own";
    EXPECT_NEAR(p[5], p[0], 1e-6);

    pellium::setOrtho(0, 10, 0, 20, -5, 5);
    p = floats(GL_PROJECTION_MATRIX, 16);
    EXPECT_FLOAT_EQ(p[0], 0.2f);
    EXPECT_FLOAT_EQ(p[5], 0.1f);
    EXPECT_FLOAT_EQ(p[10], -0.2f);
    EXPECT_FLOAT_EQ(p[12], -1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST_F(GlState, ZUpViewTurnsWorldZIntoEyeY) {
    auto near = [](const Floats& m, std::vector<std::pair<int, float>> want) {
        for (const auto& w : want)
            EXPECT_NEAR(m[size_t(w.first)], w.second, 1e-6) << "element " << w.first;
    };
    EXPECT_FALSE(pellium::zAxisUp());
    pellium::setZAxisUp(true);
    EXPECT_TRUE(pellium::zAxisUp());
    pellium::setOrtho(-1, 1, -1, 1, -1, 1);
    // Columns of GL's matrix are where the world axes go: world z is eye y,
    // world y goes into the screen.
    near(floats(GL_MODELVIEW_MATRIX, 16), {{8, 0}, {9, 1}, {10, 0}, {5, 0}, {6, -1}, {0, 1}});
    const float t[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1};
    pellium::multMatrix(t);
    near(floats(GL_MODELVIEW_MATRIX, 16), {{12, 3}, {13, 5}, {14, -4}});  // the translation, turned

    pellium::setZAxisUp(false);
    pellium::loadViewIdentity();
    EXPECT_EQ(floats(GL_MODELVIEW_MATRIX, 16), identity);
    pellium::translate(1, 2, 3);
    pellium::rotate(90, 0, 0, 1);
    near(floats(GL_MODELVIEW_MATRIX, 16), {{12, 1}, {1, 1}});
}

TEST_F(GlState, TextureOffsetAndPopMatrix) {
    pellium::setTextureOffset(0.25f, 0.5f);
    glMatrixMode(GL_TEXTURE);
    Floats t = floats(GL_TEXTURE_MATRIX, 16);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    EXPECT_FLOAT_EQ(t[12], 0.25f);
    EXPECT_FLOAT_EQ(t[13], 0.5f);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);

    LogCapture log;
    glPushMatrix();
    pellium::popMatrix();
    EXPECT_EQ(log.take(), "");
    pellium::popMatrix();
    EXPECT_EQ(log.take(), "GL had an error 1284 during popMatrix()\n");
}

TEST_F(GlState, PrimitivesByNumber) {
    auto drawOpenCorner = [](int primitive) {
        return flatFrame([&] {
            pellium::color4f(1, 1, 1, 1);
            pellium::beginPrimitive(primitive);
            pellium::vertex3f(10, 10, 0);
            pellium::vertex3f(50, 10, 0);
            pellium::vertex3f(50, 50, 0);
            pellium::endPrimitive();
        });
    };
    // Two is a strip, three a loop: its closing edge runs from (50, 50) back
    // to (10, 10), through (30, 30).
    Pixels strip = drawOpenCorner(2);
    EXPECT_EQ(strip[10 * side + 30], rgba(255, 255, 255));
    EXPECT_EQ(strip[30 * side + 30], rgba(0, 0, 0));
    EXPECT_EQ(drawOpenCorner(3)[30 * side + 30], rgba(255, 255, 255));
    EXPECT_EQ(drawOpenCorner(10)[10 * side + 30], rgba(0, 0, 0)) << "an unknown primitive draws nothing";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "and its end is no error";

    // Arrays: five is a triangle strip, four triangles.
    const float corners[] = {10, 10, 0, 50, 10, 0, 10, 50, 0, 50, 50, 0};
    auto drawArrays = [&](int primitive, int count) {
        return flatFrame([&] {
            pellium::setVertexArray(corners, 0);
            pellium::color4ub(0xFF00FF00u);
            pellium::drawArrays(primitive, 0, count);
        });
    };
    Pixels p = drawArrays(5, 4);  // covers the square
    EXPECT_EQ(p[30 * side + 30], rgba(0, 255, 0));
    EXPECT_EQ(p[5 * side + 5], rgba(0, 0, 0));
    p = drawArrays(4, 3);  // one triangle: the far corner stays dark
    EXPECT_EQ(p[15 * side + 15], rgba(0, 255, 0));
    EXPECT_EQ(p[45 * side + 45], rgba(0, 0, 0));
    pellium::setVertexArray(nullptr, 0);
    EXPECT_FALSE(on(GL_VERTEX_ARRAY));
}

TEST_F(GlState, ImmediateValuesReachGL) {
    pellium::color4ub(0x80402010u);
    const Floats c = floats(GL_CURRENT_COLOR, 4);
    EXPECT_NEAR(c[0], 16 / 255.0, 1e-6) << "the lowest byte is red";
    EXPECT_NEAR(c[1], 32 / 255.0, 1e-6);
    EXPECT_NEAR(c[2], 64 / 255.0, 1e-6);
    EXPECT_NEAR(c[3], 128 / 255.0, 1e-6);
    pellium::color4f(0.5f, 0.25f, 1, 0);
    EXPECT_EQ(floats(GL_CURRENT_COLOR, 4), (Floats{0.5f, 0.25f, 1, 0}));
    const float n[3] = {0, 0, -1};
    pellium::normal3fv(n);
    EXPECT_EQ(floats(GL_CURRENT_NORMAL, 3), (Floats{0, 0, -1}));
    pellium::texCoord2f(0.75f, 0.125f);
    EXPECT_EQ(floats(GL_CURRENT_TEXTURE_COORDS, 2), (Floats{0.75f, 0.125f}));
}

TEST_F(GlState, ClientArraysAndTheirPointers) {
    const float xyz[6] = {};
    const unsigned char rgbaBytes[8] = {};
    GLvoid* p = nullptr;
    pellium::setVertexArray2(xyz, 8);
    EXPECT_TRUE(on(GL_VERTEX_ARRAY));
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_SIZE), 2);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_STRIDE), 8);
    pellium::setColorArray(rgbaBytes, 0);
    glGetPointerv(GL_COLOR_ARRAY_POINTER, &p);
    EXPECT_EQ(p, rgbaBytes);
    EXPECT_EQ(integer(GL_COLOR_ARRAY_TYPE), GL_UNSIGNED_BYTE);
    pellium::setNormalArray(xyz, 0);
    EXPECT_TRUE(on(GL_NORMAL_ARRAY));
    pellium::setTexCoordArray(xyz, 0);
    EXPECT_TRUE(on(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(integer(GL_TEXTURE_COORD_ARRAY_SIZE), 2);
    pellium::setColorArray(nullptr, 0);
    pellium::setNormalArray(nullptr, 0);
    pellium::setTexCoordArray(nullptr, 0);
    EXPECT_FALSE(on(GL_COLOR_ARRAY) || on(GL_NORMAL_ARRAY) || on(GL_TEXTURE_COORD_ARRAY));
    pellium::setVertexArray(xyz, 0);
    EXPECT_EQ(integer(GL_VERTEX_ARRAY_SIZE), 3);
    pellium::lockArrays(0, 2);
    pellium::unlockArrays();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "locked arrays raise no error";
    pellium::setVertexArray(nullptr, 0);
}

TEST_F(GlState, TextureUnitsWithinTheDriversCountEachWithItsOwnTexturing) {
    ASSERT_TRUE(pellium::selectTextureUnit(3));
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE3_ARB);
    EXPECT_FALSE(pellium::selectTextureUnit(8));
    EXPECT_FALSE(pellium::selectTextureUnit(-1));
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE3_ARB) << "a refused unit changes nothing";
    ASSERT_TRUE(pellium::selectClientTextureUnit(7));
    EXPECT_EQ(integer(GL_CLIENT_ACTIVE_TEXTURE_ARB), GL_TEXTURE7_ARB);
    EXPECT_FALSE(pellium::selectClientTextureUnit(8));
    pellium::selectClientTextureUnit(0);

    const float st[2] = {0.25f, 0.75f};
    pellium::multiTexCoord2fv(1, st);
    pellium::multiTexCoord2fv(8, st);
    pellium::selectTextureUnit(1);
    EXPECT_EQ(floats(GL_CURRENT_TEXTURE_COORDS, 2), (Floats{0.25f, 0.75f}));

    // Texturing is switched on the selected unit.
    pellium::enableGLState(2);
    ASSERT_TRUE(pellium::selectTextureUnit(0));
    EXPECT_FALSE(on(GL_TEXTURE_2D));
    pellium::enableGLState(2);
    EXPECT_TRUE(on(GL_TEXTURE_2D));
    ASSERT_TRUE(pellium::selectTextureUnit(1));
    EXPECT_TRUE(on(GL_TEXTURE_2D));
    pellium::disableGLState(2);
    EXPECT_FALSE(on(GL_TEXTURE_2D));
    pellium::selectTextureUnit(0);
    EXPECT_TRUE(on(GL_TEXTURE_2D));
    pellium::disableGLState(2);
}

}  // namespace
