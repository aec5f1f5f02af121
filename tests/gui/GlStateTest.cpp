// The numbered state wrappers, projections and drawing wrappers, checked by
// reading GL's state (and pixels) back from the hidden window's context.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>
#include <vector>

#include "GlTestSupport.h"
#include "tests/LogCapture.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"

using gltest::integer;
using gltest::rgba;

namespace {

constexpr int side = pellium::hiddenGLWindowSize;

class GlState : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(pellium::ensureContext(nullptr), 0u);
        pellium::resetGLState();
        pellium::setDepthFunc(4);
        pellium::fogEnabled = true;
        pellium::setZAxisUp(false);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    void TearDown() override {
        pellium::fogEnabled = true;
        pellium::setZAxisUp(false);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    static bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
    static std::array<float, 16> matrix(GLenum name) {
        std::array<float, 16> m{};
        glGetFloatv(name, m.data());
        return m;
    }
    // Everything the numbered states touch, to see that a call changed nothing.
    static std::vector<int> snapshot() {
        GLint mask[4];
        glGetIntegerv(GL_COLOR_WRITEMASK, mask);
        return {on(GL_LIGHTING),   on(GL_BLEND),        on(GL_TEXTURE_2D),      on(GL_FOG),
                on(GL_ALPHA_TEST), on(GL_DEPTH_TEST),   integer(GL_DEPTH_WRITEMASK), mask[0],
                integer(GL_SHADE_MODEL), on(GL_TEXTURE_GEN_S), on(GL_TEXTURE_GEN_T), on(GL_CULL_FACE)};
    }
    static void pixelProjection() {
        pellium::GLRenderInfo info;
        info.width = info.height = side;
        pellium::setPixelProjection(info);
        pellium::disableGLState(5);
        pellium::disableGLState(10);
        pellium::clearBuffers(pellium::Color{0, 0, 0, 1}, 1 | 2);
    }
};

TEST_F(GlState, NumberedStatesSwitchTheirGLState) {
    const GLenum caps[] = {GL_LIGHTING, GL_BLEND, GL_TEXTURE_2D, GL_FOG, GL_ALPHA_TEST, GL_DEPTH_TEST};
    for (int n = 0; n < 6; ++n) {
        pellium::enableGLState(n);
        EXPECT_TRUE(on(caps[n])) << n;
        pellium::disableGLState(n);
        EXPECT_FALSE(on(caps[n])) << n;
    }
    pellium::disableGLState(6);
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    pellium::enableGLState(6);
    EXPECT_EQ(integer(GL_DEPTH_WRITEMASK), GL_TRUE);
    GLint mask[4];
    pellium::disableGLState(7);
    glGetIntegerv(GL_COLOR_WRITEMASK, mask);
    EXPECT_EQ(mask[0] + mask[1] + mask[2] + mask[3], 0);
    pellium::enableGLState(7);
    glGetIntegerv(GL_COLOR_WRITEMASK, mask);
    EXPECT_EQ(mask[0] + mask[1] + mask[2] + mask[3], 4);
    pellium::disableGLState(8);
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_FLAT);
    pellium::enableGLState(8);
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    pellium::enableGLState(9);
    EXPECT_TRUE(on(GL_TEXTURE_GEN_S) && on(GL_TEXTURE_GEN_T));
    GLint mode[2] = {};
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode[0]);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode[1]);
    EXPECT_EQ(mode[0], GL_SPHERE_MAP);
    EXPECT_EQ(mode[1], GL_SPHERE_MAP);
    pellium::disableGLState(9);
    EXPECT_FALSE(on(GL_TEXTURE_GEN_S) || on(GL_TEXTURE_GEN_T));
    pellium::disableGLState(10);
    EXPECT_FALSE(on(GL_CULL_FACE));
    pellium::enableGLState(10);
    EXPECT_TRUE(on(GL_CULL_FACE));
}

TEST_F(GlState, NumbersOutsideTheTableDoNothing) {
    std::vector<int> before = snapshot();
    for (int n : {-1, 11, 1000}) {
        pellium::enableGLState(n);
        pellium::disableGLState(n);
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(GlState, FogFollowsTheUsersSetting) {
    pellium::fogEnabled = false;
    pellium::enableGLState(3);
    EXPECT_FALSE(on(GL_FOG));
    pellium::fogEnabled = true;
    pellium::enableGLState(3);
    EXPECT_TRUE(on(GL_FOG));
    pellium::fogEnabled = false;
    pellium::disableGLState(3);
    EXPECT_TRUE(on(GL_FOG)) << "switching fog off is ignored too while the setting is off";
    pellium::fogEnabled = true;
    pellium::disableGLState(3);
    EXPECT_FALSE(on(GL_FOG));
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

TEST_F(GlState, TexturingStatesBelongToTheSelectedUnit) {
    ASSERT_TRUE(pellium::selectTextureUnit(1));
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

TEST_F(GlState, DepthFunctionsByNumber) {
    const GLenum funcs[] = {GL_ALWAYS, GL_NEVER, GL_EQUAL, GL_NOTEQUAL, GL_LESS, GL_LEQUAL, GL_GREATER, GL_GEQUAL};
    for (int n = 0; n < 8; ++n) {
        pellium::setDepthFunc(n);
        EXPECT_EQ(integer(GL_DEPTH_FUNC), int(funcs[n])) << n;
    }
    pellium::setDepthFunc(8);
    pellium::setDepthFunc(-1);
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_GEQUAL);
}

TEST_F(GlState, BlendFactorsByNumber) {
    pellium::setBlendMode(2, 3);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    pellium::setBlendMode(0, 1);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_ZERO);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ONE);
    pellium::setBlendMode(7, 7);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ZERO);
    pellium::setBlendMode(3, 2);
    pellium::setBlendMode(1, 9);
    EXPECT_EQ(integer(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(integer(GL_BLEND_DST), GL_ZERO);
}

TEST_F(GlState, AlphaThresholds) {
    GLfloat ref = -1;
    pellium::setAlphaThreshold(-1);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_ALWAYS);
    pellium::setAlphaThreshold(0);
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_NOTEQUAL);
    EXPECT_EQ(ref, 0);
    pellium::setAlphaThreshold(0.5f);
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_EQ(integer(GL_ALPHA_TEST_FUNC), GL_GREATER);
    EXPECT_FLOAT_EQ(ref, 0.5f);

    // Drawn: a fully transparent point passes only below 0.
    pixelProjection();
    pellium::enableGLState(4);
    pellium::pointSize(3);
    auto drawPoint = [] {
        pellium::color4f(1, 1, 1, 0);
        pellium::beginPrimitive(0);
        pellium::vertex3f(10, 10, 0);
        pellium::endPrimitive();
    };
    pellium::setAlphaThreshold(0);
    drawPoint();
    EXPECT_EQ(gltest::readPixels(side, side)[10 * side + 10], rgba(0, 0, 0));
    pellium::setAlphaThreshold(-1);
    drawPoint();
    EXPECT_EQ(gltest::readPixels(side, side)[10 * side + 10], rgba(255, 255, 255, 0));
    pellium::pointSize(1);
}

TEST_F(GlState, FacesPolygonModesAndTextureEnvironments) {
    pellium::setCullFace(false);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_FRONT);
    pellium::setCullFace(true);
    EXPECT_EQ(integer(GL_CULL_FACE_MODE), GL_BACK);
    GLint modes[2];
    pellium::setPolygonMode(0, 1);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_FILL);
    pellium::setPolygonMode(1, 0);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[1], GL_POINT);
    pellium::setPolygonMode(5, 2);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
    EXPECT_EQ(modes[1], GL_FILL);
    pellium::setPolygonMode(2, 3);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL) << "mode 3 does nothing";

    const GLint envs[] = {GL_BLEND, GL_MODULATE, GL_DECAL, GL_ADD};
    GLint env = 0;
    for (int n = 0; n < 4; ++n) {
        pellium::setTexEnv(n);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
        EXPECT_EQ(env, envs[n]);
    }
    pellium::setTexEnv(4);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_ADD);
    pellium::setTexEnv(1);
}

TEST_F(GlState, ViewportsRangesSizesAndClears) {
    pellium::setViewport({3, 4, 30, 20});
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 4);
    EXPECT_EQ(v[2], 30);
    EXPECT_EQ(v[3], 20);
    pellium::depthRange(0.25, 0.75);
    GLfloat range[2];
    glGetFloatv(GL_DEPTH_RANGE, range);
    EXPECT_FLOAT_EQ(range[0], 0.25f);
    EXPECT_FLOAT_EQ(range[1], 0.75f);
    pellium::depthRange(0, 1);
    pellium::pointSize(4);
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 4);
    pellium::pointSize(1);

    pellium::setViewport({0, 0, side, side});
    pellium::clearBuffers(pellium::Color{1, 0, 0, 1}, 1);
    EXPECT_EQ(gltest::readPixels(side, side)[0], rgba(255, 0, 0));
    pellium::clearBuffers(pellium::Color{0, 1, 0, 1}, 0);
    EXPECT_EQ(gltest::readPixels(side, side)[0], rgba(255, 0, 0)) << "no flag clears nothing";
    pellium::clearBuffers(pellium::Color{0, 1, 0, 1}, 2);
    EXPECT_EQ(gltest::readPixels(side, side)[0], rgba(255, 0, 0)) << "only the depth buffer";
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
    GLint v[4];
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], 64);
    EXPECT_EQ(v[3], 48);
    auto p = matrix(GL_PROJECTION_MATRIX);
    EXPECT_FLOAT_EQ(p[0], 2.0f / 64);
    EXPECT_FLOAT_EQ(p[5], 2.0f / 48);
    EXPECT_FLOAT_EQ(p[10], -1);
    EXPECT_FLOAT_EQ(p[12], -(63.625f - 0.375f) / 64);
    EXPECT_FLOAT_EQ(p[13], -(47.625f - 0.375f) / 48);
    auto m = matrix(GL_MODELVIEW_MATRIX);
    EXPECT_EQ(m, (std::array<float, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST_F(GlState, PerspectiveFromTheFieldOfView) {
    pellium::GLRenderInfo info;
    info.width = 64;
    info.height = 32;
    pellium::setPerspective(info, 90, 1, 100, -1);
    auto p = matrix(GL_PROJECTION_MATRIX);
    // tan(45°) × near = 1 up and down, times the frame's aspect 2 across.
    EXPECT_NEAR(p[0], 0.5, 1e-6);
    EXPECT_NEAR(p[5], 1, 1e-6);
    EXPECT_NEAR(p[10], -101.0 / 99, 1e-6);
    EXPECT_NEAR(p[14], -200.0 / 99, 1e-5);
    EXPECT_EQ(p[11], -1);
    pellium::setPerspective(info, 60, 2, 50, 1);
    p = matrix(GL_PROJECTION_MATRIX);
    double half = std::tan(30 * 3.14159265358979 / 180) * 2;
    EXPECT_NEAR(p[0], 2 * 2 / (2 * half), 1e-5) << "an aspect of its own";
    EXPECT_NEAR(p[5], p[0], 1e-6);
}

TEST_F(GlState, OrthoProjection) {
    pellium::setOrtho(0, 10, 0, 20, -5, 5);
    auto p = matrix(GL_PROJECTION_MATRIX);
    EXPECT_FLOAT_EQ(p[0], 0.2f);
    EXPECT_FLOAT_EQ(p[5], 0.1f);
    EXPECT_FLOAT_EQ(p[10], -0.2f);
    EXPECT_FLOAT_EQ(p[12], -1);
    EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST_F(GlState, ZUpViewTurnsWorldZIntoEyeY) {
    EXPECT_FALSE(pellium::zAxisUp());
    pellium::setZAxisUp(true);
    EXPECT_TRUE(pellium::zAxisUp());
    pellium::setOrtho(-1, 1, -1, 1, -1, 1);
    auto m = matrix(GL_MODELVIEW_MATRIX);
    // Columns of GL's matrix are where the world axes go.
    EXPECT_NEAR(m[8], 0, 1e-6);
    EXPECT_NEAR(m[9], 1, 1e-6) << "world z is eye y";
    EXPECT_NEAR(m[10], 0, 1e-6);
    EXPECT_NEAR(m[5], 0, 1e-6);
    EXPECT_NEAR(m[6], -1, 1e-6) << "world y goes into the screen";
    EXPECT_NEAR(m[0], 1, 1e-6);

    const float t[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 3, 4, 5, 1};
    pellium::multMatrix(t);
    m = matrix(GL_MODELVIEW_MATRIX);
    EXPECT_NEAR(m[12], 3, 1e-6);
    EXPECT_NEAR(m[13], 5, 1e-6) << "the translation's z, turned";
    EXPECT_NEAR(m[14], -4, 1e-6);

    pellium::setZAxisUp(false);
    pellium::loadViewIdentity();
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), (std::array<float, 16>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    pellium::translate(1, 2, 3);
    pellium::rotate(90, 0, 0, 1);
    m = matrix(GL_MODELVIEW_MATRIX);
    EXPECT_NEAR(m[12], 1, 1e-6);
    EXPECT_NEAR(m[1], 1, 1e-6);
}

TEST_F(GlState, TextureOffsetAndPopMatrix) {
    pellium::setTextureOffset(0.25f, 0.5f);
    glMatrixMode(GL_TEXTURE);
    auto t = matrix(GL_TEXTURE_MATRIX);
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

TEST_F(GlState, PrimitiveNumbersTwoAndThreeAreStripAndLoop) {
    auto drawOpenCorner = [](int primitive) {
        pixelProjection();
        pellium::color4f(1, 1, 1, 1);
        pellium::beginPrimitive(primitive);
        pellium::vertex3f(10, 10, 0);
        pellium::vertex3f(50, 10, 0);
        pellium::vertex3f(50, 50, 0);
        pellium::endPrimitive();
        return gltest::readPixels(side, side);
    };
    // The closing edge runs from (50, 50) back to (10, 10): (30, 30) lies on it.
    auto strip = drawOpenCorner(2);
    EXPECT_EQ(strip[10 * side + 30], rgba(255, 255, 255));
    EXPECT_EQ(strip[30 * side + 30], rgba(0, 0, 0));
    auto loop = drawOpenCorner(3);
    EXPECT_EQ(loop[30 * side + 30], rgba(255, 255, 255));
    auto nothing = drawOpenCorner(10);
    EXPECT_EQ(nothing[10 * side + 30], rgba(0, 0, 0)) << "an unknown primitive draws nothing";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "and its end is no error";
}

TEST_F(GlState, DrawArraysByPrimitiveNumber) {
    pixelProjection();
    const float corners[] = {10, 10, 0, 50, 10, 0, 10, 50, 0, 50, 50, 0};
    pellium::setVertexArray(corners, 0);
    pellium::color4ub(0xFF00FF00u);
    pellium::drawArrays(5, 0, 4);  // a strip covers the square
    auto p = gltest::readPixels(side, side);
    EXPECT_EQ(p[30 * side + 30], rgba(0, 255, 0));
    EXPECT_EQ(p[5 * side + 5], rgba(0, 0, 0));
    pixelProjection();
    pellium::drawArrays(4, 0, 3);  // one triangle: the far corner stays dark
    p = gltest::readPixels(side, side);
    EXPECT_EQ(p[15 * side + 15], rgba(0, 255, 0));
    EXPECT_EQ(p[45 * side + 45], rgba(0, 0, 0));
    pellium::setVertexArray(nullptr, 0);
    EXPECT_FALSE(on(GL_VERTEX_ARRAY));
}

TEST_F(GlState, ImmediateValuesReachGL) {
    GLfloat c[4];
    pellium::color4ub(0x80402010u);
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_NEAR(c[0], 16 / 255.0, 1e-6) << "the lowest byte is red";
    EXPECT_NEAR(c[1], 32 / 255.0, 1e-6);
    EXPECT_NEAR(c[2], 64 / 255.0, 1e-6);
    EXPECT_NEAR(c[3], 128 / 255.0, 1e-6);
    pellium::color4f(0.5f, 0.25f, 1, 0);
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ(c[1], 0.25f);
    const float n[3] = {0, 0, -1};
    pellium::normal3fv(n);
    glGetFloatv(GL_CURRENT_NORMAL, c);
    EXPECT_EQ(c[2], -1);
    pellium::texCoord2f(0.75f, 0.125f);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, c);
    EXPECT_EQ(c[0], 0.75f);
    EXPECT_EQ(c[1], 0.125f);
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
    pellium::setVertexArray(nullptr, 0);
}

TEST_F(GlState, TextureUnitsWithinTheDriversCount) {
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
    GLfloat c[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, c);
    EXPECT_EQ(c[0], 0.25f);
    EXPECT_EQ(c[1], 0.75f);
    pellium::selectTextureUnit(0);
}

TEST_F(GlState, LockedArraysRaiseNoError) {
    const float xyz[12] = {};
    pellium::setVertexArray(xyz, 0);
    pellium::lockArrays(0, 4);
    pellium::unlockArrays();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
