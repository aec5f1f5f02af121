#include "GlTestSupport.h"

#include <GL/gl.h>

namespace gltest {

std::vector<std::uint32_t> readPixels(int width, int height) {
    std::vector<std::uint32_t> p(size_t(width) * size_t(height));
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}

int integer(GLenum name) {
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
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

const std::vector<std::uint32_t>& ProbeWindow::paint() {
    pixels.clear();
    repaint();
    return pixels;
}

}  // namespace gltest
