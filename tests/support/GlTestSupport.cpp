#include "tests/support/GlTestSupport.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "gui/gl/GLcontext.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/VideoSwitches.h"

namespace gltest {

Pixels readPixels(int width, int height) {
    Pixels p(size_t(width) * size_t(height));
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}

Pixels hiddenFrame(const std::function<void()>& draw) {
    pellium::GLRenderInfo info;
    info.width = info.height = pellium::hiddenGLWindowSize;
    pellium::setPixelProjection(info);
    pellium::clearBuffers(pellium::Color{0, 0, 0, 1}, 1 | 2);
    draw();
    return readPixels(info.width, info.height);
}

int countOther(const Pixels& pixels, std::uint32_t colour) {
    return int(pixels.size()) - int(std::count(pixels.begin(), pixels.end(), colour));
}

Spread spread(const Pixels& pixels, int width, std::uint32_t background, std::uint32_t colour, int x0, int y0,
              int x1, int y1) {
    Spread s;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == background)
            continue;
        const int x = int(i % size_t(width)), y = int(i / size_t(width));
        ++s.lit;
        s.stray += pixels[i] != colour || x < x0 || x >= x1 || y < y0 || y >= y1;
    }
    return s;
}

int integer(GLenum name) {
    GLint v[16] = {};  // room for state of several values; the first is returned
    glGetIntegerv(name, v);
    return v[0];
}

std::vector<float> floats(GLenum name, int n) {
    GLfloat v[16] = {};
    glGetFloatv(name, v);
    return std::vector<float>(v, v + n);
}

int textureParameter(GLenum what) {
    GLint v = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, what, &v);
    return v;
}

int levelParameter(int level, GLenum what) {
    GLint v = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &v);
    return v;
}

Size levelSize(int level) { return {levelParameter(level, GL_TEXTURE_WIDTH), levelParameter(level, GL_TEXTURE_HEIGHT)}; }

Size wrapModes() { return {textureParameter(GL_TEXTURE_WRAP_S), textureParameter(GL_TEXTURE_WRAP_T)}; }

std::vector<float> textureFloats(GLenum what, int n) {
    GLfloat v[4] = {-1, -1, -1, -1};
    glGetTexParameterfv(GL_TEXTURE_2D, what, v);
    return std::vector<float>(v, v + n);
}

void clearTo(float r, float g, float b) {
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

GLuint makeTexture(int w, int h, const std::uint32_t* texels) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

void drawTexturedQuad(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x0, y0);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y0);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(x0, y1);
    glEnd();
}

::testing::AssertionResult probesMatch(const Pixels& pixels, int width, std::initializer_list<Probe> probes) {
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    bool failed = false;
    auto channel = [](std::uint32_t p, int i) { return int(p >> (8 * i) & 0xFF); };
    for (const Probe& probe : probes) {
        const std::uint32_t got = pixelAt(pixels, width, probe.x, probe.y);
        bool near = true;
        for (int i = 0; i < 3; ++i)
            near = near && std::abs(channel(got, i) - channel(probe.colour, i)) <= probe.tolerance;
        if (near)
            continue;
        if (!failed)
            result = ::testing::AssertionFailure();
        failed = true;
        result << "\n  (" << probe.x << ", " << probe.y << "): (" << channel(got, 0) << ", " << channel(got, 1) << ", "
               << channel(got, 2) << ") vs (" << channel(probe.colour, 0) << ", " << channel(probe.colour, 1) << ", "
               << channel(probe.colour, 2) << ")";
    }
    return result;
}

void GlFrameTest::SetUp() {
    ASSERT_NE(pellium::ensureContext(nullptr), 0u);
    pellium::fullGLacceleration = true;
    pellium::fogEnabled = true;
    pellium::setZAxisUp(false);
    pellium::resetGLState();
    glViewport(0, 0, side, side);
    while (glGetError() != GL_NO_ERROR) {
    }
}

void GlFrameTest::TearDown() {
    pellium::fullGLacceleration = true;
    pellium::fogEnabled = true;
    pellium::setZAxisUp(false);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

Pixels GlFrameTest::frame(const std::function<void()>& draw) {
    return hiddenFrame([&] {
        pellium::setDepthFunc(4);
        draw();
    });
}

ProbeWindow::ProbeWindow(int w, int h, const char* title) : width(w), height(h) {
    setTitle(title);
    setResizable(false);
    setBounds({-1, -1, w, h});
    open();
}

void ProbeWindow::render(pellium::GLRenderInfo& info) {
    ++renders;
    if (draw)
        draw(info);
    pixels = readPixels(info.width, info.height);
}

const Pixels& ProbeWindow::paint() {
    pixels.clear();
    repaint();
    return pixels;
}

}  // namespace gltest
