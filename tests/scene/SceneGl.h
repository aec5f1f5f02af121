// The scene's GL tests draw into the hidden window that carries the shared
// context (under Xvfb in the test command), with z up and the materials'
// applied state forgotten, and read GL state and pixels back.
#pragma once

#include <GL/gl.h>

#include "gui/gl/GLclient.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "tests/scene/SceneTest.h"
#include "tests/support/GlTestSupport.h"

namespace kessa_test {

constexpr int glSide = pellium::hiddenGLWindowSize;

class SceneGl : public gltest::GlFrameTest {
protected:
    void SetUp() override {
        GlFrameTest::SetUp();
        pellium::setZAxisUp(true);
        kessa::Material::forgetAppliedState();
    }
    static pellium::GLRenderInfo info() {
        pellium::GLRenderInfo i;
        i.width = i.height = glSide;
        return i;
    }
    static bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
    static std::vector<float> floats(GLenum name) { return gltest::floats(name, 4); }
    static std::vector<float> materialv(GLenum name) {
        std::vector<float> v(4);
        glGetMaterialfv(GL_FRONT, name, v.data());
        return v;
    }
    static std::vector<float> lightv(GLenum light, GLenum name) {
        std::vector<float> v(4);
        glGetLightfv(light, name, v.data());
        return v;
    }
    static gltest::Pixels pixels() { return gltest::readPixels(glSide, glSide); }
    static std::uint32_t at(int x, int y) { return pixels()[size_t(y) * glSide + size_t(x)]; }
    static std::uint32_t middle() { return at(glSide / 2, glSide / 2); }
    // How many pixels have exactly these colour bytes.
    static int count(int r, int g, int b) {
        int n = 0;
        for (std::uint32_t p : pixels())
            n += (p & 0xFFFFFF) == std::uint32_t(r | g << 8 | b << 16);
        return n;
    }
    static void clear() { pellium::clearBuffers(pellium::Color{0, 0, 0, 1}, 3); }
};

inline ::testing::AssertionResult near4(const std::vector<float>& v, std::vector<float> e, float tolerance = 1e-5f) {
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(v[i] - e[i]) <= tolerance))
            return ::testing::AssertionFailure() << "(" << v[0] << ", " << v[1] << ", " << v[2] << ", " << v[3] << ")";
    return ::testing::AssertionSuccess();
}

// A pixel's channels within tolerance of the bytes given.
inline ::testing::AssertionResult pixelNear(std::uint32_t pixel, int r, int g, int b, int tolerance = 0) {
    const int e[3] = {r, g, b};
    for (int i = 0; i < 3; ++i)
        if (std::abs(int(pixel >> (8 * i) & 0xFF) - e[i]) > tolerance)
            return ::testing::AssertionFailure() << "pixel (" << (pixel & 0xFF) << ", " << (pixel >> 8 & 0xFF) << ", "
                                                 << (pixel >> 16 & 0xFF) << ")";
    return ::testing::AssertionSuccess();
}

// A quad across the view at distance y (the camera looks along +y, z up),
// between x0 and x1 and z0 and z1.
struct Rect {
    float y, x0, x1, z0, z1;
};

// Draws it facing the camera (counter-clockwise as seen from it), with its
// normal towards the camera and texture coordinates 0 to 1 across it.
inline void drawQuad(const Rect& r) {
    const float normal[3] = {0, -1, 0};
    pellium::beginPrimitive(7);
    pellium::normal3fv(normal);
    const float corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const auto& c : corners) {
        pellium::texCoord2f(c[0], c[1]);
        pellium::vertex3f(c[0] ? r.x1 : r.x0, r.y, c[1] ? r.z1 : r.z0);
    }
    pellium::endPrimitive();
}

// A square batch facing the camera (counter-clockwise as seen from it), in
// one colour when one is given.
inline orvel::ref_ptr<GeoBunch> quadBunch(const Rect& r, const GeoBunch::Color4* colour = nullptr) {
    orvel::ref_ptr<GeoBunch> b(new GeoBunch);
    b->setVertexData(positions({{r.x0, r.y, r.z0}, {r.x1, r.y, r.z0}, {r.x0, r.y, r.z1}, {r.x1, r.y, r.z1}}), true);
    b->setStripData(strips({4}));
    if (colour)
        b->setColorData(streamOf<GeoBunch::color_data>({*colour, *colour, *colour, *colour}));
    return b;
}

}  // namespace kessa_test
