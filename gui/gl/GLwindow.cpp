#include "GLwindow.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>

#include "base/Clock.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLfont.h"
#include "gui/gl/PixelFormat.h"
#include "platform/Windows.h"

namespace pellium {

namespace {

std::vector<GLwindow*>& list() {
    static std::vector<GLwindow*> windows;
    return windows;
}

}  // namespace

GLwindow::GLwindow(bool openNow, Window* parent) : Window(parent) {
    setOpenGL(true);
    // The format must be known before the native window is made: X fixes a
    // window's visual when it is created.
    requestWindowPixelFormat();
    list().push_back(this);
    if (openNow) {
        setWindowType(Subwindow);
        setBounds({10, 10, 100, 100});
        open();
    }
}

GLwindow::~GLwindow() {
    std::vector<GLwindow*>& all = list();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

bool GLwindow::makeCurrent(GLclient* client) {
    if (!isOpen())
        return false;
    defaultGLFont();
    platform::WindowId window = getHWND();
    makeWindowRC(window, client);
    return GLclient::doBind(window, sharedContext(), client);
}

void GLwindow::paintGL() {
    int x, y, width = 0, height = 0;
    if (!platform::clientRect(getHWND(), x, y, width, height))
        return;
    if (width <= 0 || height <= 0 || width >= 10000 || height >= 10000 || !makeCurrent(this))
        return;
    glViewport(0, 0, width, height);
    GLRenderInfo info;
    info.width = width;
    info.height = height;
    render(info);
    platform::swapGLBuffers(getHWND());
}

double GLwindow::frameRate() { return meter_.frame(orvel::getTime()); }

void GLwindow::drawFrameRate(const GLRenderInfo& info, int x, int y) {
    const double rate = frameRate();
    if (rate <= 0 || rate >= 100000)
        return;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f frames/sec.", rate);
    defaultGLFont().drawString(info, x, y, text, 0xFFFFFFFFu);
}

const std::vector<GLwindow*>& GLwindow::glWindows() { return list(); }

}  // namespace pellium
