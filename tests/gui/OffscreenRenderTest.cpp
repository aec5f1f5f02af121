// GL clients drawn into images through a framebuffer on the shared context,
// under Xvfb with Mesa: the pixels that come back, the framebuffer's reuse,
// and what a window paint finds afterwards.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <utility>

#include "gui/gl/GLclient.h"
#include "gui/gl/Image.h"
#include "platform/GLContext.h"
#include "tests/support/GlTestSupport.h"
#include "tests/support/LogCapture.h"

namespace {

// Clears to blue with alpha 0, then (blending off) paints pixels x0 .. x1 - 1,
// y0 .. y1 - 1 of the pixel projection red at alpha 0.25.
struct Painter : pellium::GLclient {
    void render(pellium::GLRenderInfo& info) override {
        seen = info;
        ++renders;
        depthTest = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
        glClearColor(0, 0, 1, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_ALPHA_TEST);
        glColor4f(1, 0, 0, 0.25f);
        glRectf(float(x0) - 0.5f, float(y0) - 0.5f, float(x1) - 0.5f, float(y1) - 0.5f);
    }
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0, renders = 0;
    pellium::GLRenderInfo seen;
    bool depthTest = false;
};

constexpr std::uint32_t red = 0xFFFF0000u, blue = 0xFF0000FFu;

std::uint32_t at(const pellium::Image& image, int x, int y) {
    return image.constPixels()[size_t(y) * size_t(image.width()) + size_t(x)];
}

}  // namespace

TEST(OffscreenRenderTest, DrawsBottomRowFirstAndOpaqueInOneFramebufferPerSize) {
    LogCapture log;
    Painter p;
    pellium::Image empty;
    EXPECT_FALSE(empty.renderGL(p));
    EXPECT_EQ(log.text(), "") << "an empty image renders nothing";
    pellium::Image image(40, 30), small(16, 8);
    p.x1 = 10, p.y1 = 5;
    ASSERT_TRUE(image.renderGL(p));
    EXPECT_EQ(p.seen.width * 100 + p.seen.height, 4030);
    EXPECT_TRUE(p.depthTest) << "the client starts from GL's default state";
    const struct {
        int x, y;
        std::uint32_t colour;
    } probes[] = {{0, 0, red}, {9, 4, red}, {10, 4, blue}, {9, 5, blue}, {39, 29, blue}, {0, 29, blue}};
    for (const auto& q : probes)
        EXPECT_EQ(at(image, q.x, q.y), q.colour) << q.x << "," << q.y;
    EXPECT_EQ(platform::currentGLContext(), nullptr) << "no context stays current";
    p.x0 = 15, p.x1 = 16, p.y0 = 7, p.y1 = 8;
    ASSERT_TRUE(image.renderGL(p));
    EXPECT_EQ(at(image, 0, 0), blue) << "each render starts from the client's clear";
    ASSERT_TRUE(small.renderGL(p));
    EXPECT_EQ(at(small, 15, 7), red) << "the whole new size is drawn";
    EXPECT_EQ(at(small, 14, 7), blue);
    ASSERT_TRUE(image.renderGL(p));
    EXPECT_EQ(log.count("Creating a new 40x30bitmap...\n"), 2);
    EXPECT_EQ(log.count("Creating a new 16x8bitmap...\n"), 1);
    EXPECT_EQ(log.count("Bitmap render took "), 4);
}

TEST(OffscreenRenderTest, TheNextWindowPaintSetsItsContextUpAgain) {
    gltest::ProbeWindow window(24, 20, "after a bitmap");
    window.draw = [](pellium::GLRenderInfo&) {
        glDisable(GL_DEPTH_TEST);
        gltest::clearTo(0, 1, 0);
    };
    window.paint();
    ASSERT_EQ(window.inits, 1);
    pellium::Image image(8, 8);
    Painter p;
    p.x1 = p.y1 = 8;
    ASSERT_TRUE(image.renderGL(p));
    EXPECT_EQ(at(image, 7, 7), red);
    EXPECT_TRUE(p.depthTest) << "the window's own state does not leak into the bitmap";
    std::vector<float> viewport;
    window.draw = [&](pellium::GLRenderInfo&) {
        viewport = gltest::floats(GL_VIEWPORT, 4);
        gltest::clearTo(0, 1, 0);
    };
    const gltest::Pixels& pixels = window.paint();
    EXPECT_EQ(window.inits, 2) << "the bind was made again, and the window set itself up";
    EXPECT_EQ(viewport, (std::vector<float>{0, 0, 24, 20}));
    EXPECT_EQ(gltest::countOther(pixels, gltest::rgba(0, 255, 0)), 0) << "the window's back buffer got the frame";
}

TEST(OffscreenRenderTest, ASizeTheDriverRefusesFailsAndLeavesNoGLErrorBehind) {
    pellium::ensureContext(nullptr);
    GLint most = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &most);
    const std::pair<int, int> sizes[] = {{most + 1, 1}, {most + 3616, 20}, {1, most + 3616}};
    for (auto [width, height] : sizes) {
        LogCapture log;
        Painter p;
        pellium::Image image(width, height);
        EXPECT_FALSE(image.renderGL(p)) << width << "x" << height;
        // Binding the context again is the next GL code; it looks for errors left behind.
        ASSERT_TRUE(pellium::ensureContext(nullptr));
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << width << "x" << height;
        EXPECT_EQ(log.count("GL had an error"), 0) << width << "x" << height;
    }
}
