// The scene's GL tests draw into the hidden window that carries the shared
// context (under Xvfb in the test command) and read GL state and pixels back.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "../gui/GlTestSupport.h"
#include "gui/gl/GLclient.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "scene/render/Material.h"

namespace kessa_test {

constexpr int glSide = pellium::hiddenGLWindowSize;

class SceneGl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(pellium::ensureContext(nullptr), 0u);
        pellium::fogEnabled = true;
        pellium::setZAxisUp(true);
        pellium::resetGLState();
        kessa::Material::forgetAppliedState();
        glViewport(0, 0, glSide, glSide);
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    void TearDown() override {
        pellium::fogEnabled = true;
        pellium::setZAxisUp(false);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
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
    static int channel(std::uint32_t pixel, int i) { return int(pixel >> (8 * i) & 0xFF); }
};

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
