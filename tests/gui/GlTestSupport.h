// Shared by the GL layer's tests: a GL window that draws what the test asks
// and keeps the back buffer's pixels of its last frame, read before the swap.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <GL/gl.h>

#include "gui/gl/GLwindow.h"

namespace gltest {

// Packed as GL reads GL_RGBA bytes on this machine: red in the lowest byte.
constexpr std::uint32_t rgba(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
    return r | g << 8 | b << 16 | a << 24;
}

// The back buffer of the current drawable, rows bottom-up.
std::vector<std::uint32_t> readPixels(int width, int height);

// GL's integer state; a parameter of the bound 2D texture; a parameter of one
// of its levels. -1 when GL gives nothing back for a texture's parameter.
int integer(GLenum name);
int textureParameter(GLenum what);
int levelParameter(int level, GLenum what);

class ProbeWindow : public pellium::GLwindow {
public:
    // Opens a top-level window with a client area of width × height.
    ProbeWindow(int width, int height, const char* title = "probe");

    void initGL() override { ++inits; }
    void render(pellium::GLRenderInfo& info) override;
    // Paints now and returns the frame's pixels.
    const std::vector<std::uint32_t>& paint();

    std::uint32_t pixel(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }

    std::function<void(pellium::GLRenderInfo&)> draw;
    int inits = 0;
    int renders = 0;
    int width, height;
    std::vector<std::uint32_t> pixels;
};

}  // namespace gltest
