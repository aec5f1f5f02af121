// Shared by the GL tests: the frame fixture on the hidden window's context,
// probe pixels checked as a table, GL state read back, and a GL window that
// draws what the test asks and keeps the back buffer's pixels of its last
// frame, read before the swap.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include <GL/gl.h>

#include "gui/gl/GLcontext.h"
#include "gui/gl/GLwindow.h"

namespace gltest {

// Packed as GL reads GL_RGBA bytes on this machine: red in the lowest byte.
constexpr std::uint32_t rgba(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
    return r | g << 8 | b << 16 | a << 24;
}

using Pixels = std::vector<std::uint32_t>;

// The back buffer of the current drawable, rows bottom-up.
Pixels readPixels(int width, int height);
// A frame of the hidden window's context: the pixel projection, colour and
// depth cleared to black, then whatever draw does.
Pixels hiddenFrame(const std::function<void()>& draw);
// Pixels other than `colour`.
int countOther(const Pixels& pixels, std::uint32_t colour);
// The pixels other than `background` (lit), and those of them that are not
// `colour` or lie outside x0 <= x < x1, y0 <= y < y1 (stray).
struct Spread {
    int lit = 0, stray = 0;
};
Spread spread(const Pixels& pixels, int width, std::uint32_t background, std::uint32_t colour, int x0, int y0,
              int x1, int y1);

// GL's integer state; n of its float values; a parameter of the bound 2D
// texture; a parameter of one of its levels. -1 when GL gives nothing back
// for a texture's parameter.
int integer(GLenum name);
std::vector<float> floats(GLenum name, int n);
int textureParameter(GLenum what);
int levelParameter(int level, GLenum what);
// The bound 2D texture's width and height at a level; its wrap modes (s, t);
// n values of one of its float parameters.
using Size = std::pair<int, int>;
Size levelSize(int level);
Size wrapModes();
std::vector<float> textureFloats(GLenum what, int n);

void clearTo(float r, float g, float b);
// A 2D texture of w x h texels (GL_RGBA bytes) with nearest filtering, left bound.
GLuint makeTexture(int w, int h, const std::uint32_t* texels);
// A quad from (x0, y0) to (x1, y1) showing the whole texture.
void drawTexturedQuad(float x0, float y0, float x1, float y1);

// The pixel at (x, y) of a frame `width` wide, rows bottom-up.
inline std::uint32_t pixelAt(const Pixels& pixels, int width, int x, int y) {
    return pixels[size_t(y) * size_t(width) + size_t(x)];
}

// One row of a probe table: the pixel at (x, y) is `colour`, each of its red,
// green and blue bytes within `tolerance`; alpha is not compared.
struct Probe {
    int x, y;
    std::uint32_t colour;
    int tolerance = 0;
};
// Every probe that misses, in one failure message.
::testing::AssertionResult probesMatch(const Pixels& pixels, int width, std::initializer_list<Probe> probes);

// The GL test fixture: the shared context current on the hidden window, GL
// state as a frame finds it (numbered states reset, viewport the whole
// window, no error pending) and the video switches at their defaults; at the
// end no GL error may be left and the switches come back.
class GlFrameTest : public ::testing::Test {
protected:
    static constexpr int side = pellium::hiddenGLWindowSize;

    void SetUp() override;
    void TearDown() override;

    // One frame in pixel coordinates: the pixel projection, the depth test
    // passing nearer or equal fragments, colour and depth cleared to black,
    // then draw; the back buffer's pixels come back.
    static Pixels frame(const std::function<void()>& draw);
};

class ProbeWindow : public pellium::GLwindow {
public:
    // Opens a top-level window with a client area of width × height.
    ProbeWindow(int width, int height, const char* title = "probe");

    void initGL() override { ++inits; }
    void render(pellium::GLRenderInfo& info) override;
    // Paints now and returns the frame's pixels.
    const Pixels& paint();

    std::uint32_t pixel(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }

    std::function<void(pellium::GLRenderInfo&)> draw;
    int inits = 0;
    int renders = 0;
    int width, height;
    Pixels pixels;
};

}  // namespace gltest
