// The scene's GL tests draw into the hidden window that carries the shared
// context (under Xvfb in the test command) and read GL state and pixels back.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/support/GlTestSupport.h"
#include "gui/gl/GLclient.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "scene/render/Material.h"

namespace kessa_test {

constexpr int glSide = pellium::hiddenGLWindowSize;

// The scene draws with z up, and materials remember what they applied last.
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
    static int integer(GLenum name) { return gltest::integer(name); }
    static std::array<float, 4> floats(GLenum name) {
        std::array<float, 4> v{};
        glGetFloatv(name, v.data());
        return v;
    }
    static std::array<float, 4> material(GLenum name) {
        std::array<float, 4> v{};
        glGetMaterialfv(GL_FRONT, name, v.data());
        return v;
    }
    static std::array<float, 4> light(GLenum light, GLenum name) {
        std::array<float, 4> v{};
        glGetLightfv(light, name, v.data());
        return v;
    }
    static std::array<float, 16> matrix(GLenum name) {
        std::array<float, 16> m{};
        glGetFloatv(name, m.data());
        return m;
    }
    // The back buffer, rows bottom-up, each pixel's bytes red, green, blue, alpha.
    static std::vector<std::uint32_t> pixels() { return gltest::readPixels(glSide, glSide); }
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
    pellium::texCoord2f(0, 0);
    pellium::vertex3f(r.x0, r.y, r.z0);
    pellium::texCoord2f(1, 0);
    pellium::vertex3f(r.x1, r.y, r.z0);
    pellium::texCoord2f(1, 1);
    pellium::vertex3f(r.x1, r.y, r.z1);
    pellium::texCoord2f(0, 1);
    pellium::vertex3f(r.x0, r.y, r.z1);
    pellium::endPrimitive();
}

inline ::testing::AssertionResult near4(const std::array<float, 4>& v, float a, float b, float c, float d,
                                        float tolerance = 1e-5f) {
    const float e[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(v[i] - e[i]) <= tolerance))
            return ::testing::AssertionFailure() << "(" << v[0] << ", " << v[1] << ", " << v[2] << ", " << v[3]
                                                 << ") vs (" << a << ", " << b << ", " << c << ", " << d << ")";
    return ::testing::AssertionSuccess();
}

// A pixel's channels within tolerance of the bytes given.
inline ::testing::AssertionResult pixelNear(std::uint32_t pixel, int r, int g, int b, int tolerance) {
    const int e[3] = {r, g, b};
    for (int i = 0; i < 3; ++i)
        if (std::abs(int(pixel >> (8 * i) & 0xFF) - e[i]) > tolerance)
            return ::testing::AssertionFailure() << "pixel (" << (pixel & 0xFF) << ", " << (pixel >> 8 & 0xFF) << ", "
                                                 << (pixel >> 16 & 0xFF) << ") vs (" << r << ", " << g << ", " << b
                                                 << ")";
    return ::testing::AssertionSuccess();
}

}  // namespace kessa_test
