#include "GLcontext.h"

#include <GL/gl.h>

#include "base/Debug.h"
#include "gui/ErrorStage.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/GLwindow.h"
#include "gui/gl/PixelFormat.h"
#include "gui/gl/VertexArray.h"

namespace pellium {

namespace {

platform::GLContext shared = nullptr;
platform::WindowId holder = 0;

// The hidden window that carries the context while no GL window is open.
platform::WindowId holderWindow() {
    if (!holder) {
        requestWindowPixelFormat();
        holder = platform::createHiddenGLWindow(hiddenGLWindowSize, hiddenGLWindowSize);
    }
    return holder;
}

const char* errorName(GLenum e) {
    static const char* const names[] = {"Invalid enum",   "Invalid value",   "Invalid operation",
                                        "Stack overflow", "Stack underflow", "Out of memory"};
    return e >= 1280 && e <= 1285 ? names[e - 1280] : "";
}

}  // namespace

platform::GLContext sharedContext() { return shared; }

bool GLclient::doBind(platform::WindowId window, platform::GLContext context, GLclient* client) {
    if (!context) {
        orvel::debug("doBind() - no RC!\n");
        platform::makeGLCurrent(0, nullptr);
        orvel::debug("doBind() failed!\n");
        return false;
    }
    if (platform::currentGLContext() == context && platform::currentGLWindow() == window)
        return true;
    orvel::debug("Binding the render context...\n");
    if (!platform::makeGLCurrent(window, context)) {
        orvel::debug("wglMakeCurrent() failed!\n");
        orvel::debug("doBind() failed!\n");
        return false;
    }
    orvel::debug("Render context bound ok...\n");
    resetGLState();
    resetExtensionLoaders();
    glVerbose = true;
    orvel::debug("Loading OpenGL extensions...\n");
    if (client)
        client->initGL();
    orvel::debug("Extensions loaded...\n");
    return true;
}

void makeWindowRC(platform::WindowId window, GLclient* client) {
    if (shared)
        return;
    DriverStep step(30202);
    orvel::debug("Creating the window render context...\n");
    if (!window) {
        orvel::debug("dc was NULL in makeWindowRC()!\n");
        return;
    }
    if (!setupPixelFormat(window)) {
        orvel::debug("Failed to find a suitable pixel format for device %x\n", unsigned(window));
        return;
    }
    orvel::debug("Creating a render context for windows...\n");
    platform::GLContext context = platform::createGLContext(window);
    if (!context)
        return;
    shared = context;
    orvel::debug("Render context created OK....\n");
    orvel::debug("Calling wglMakeCurrent()....\n");
    if (!GLclient::doBind(window, shared, client)) {
        orvel::debug("wglMakeCurrent() failed\n");
        platform::deleteGLContext(shared);
        shared = nullptr;
        return;
    }
    orvel::debug("wglMakeCurrent() returned OK\n");
}

platform::WindowId ensureContext(GLclient* client) {
    if (platform::currentGLContext())
        return platform::currentGLWindow();
    // The context exists but was let go (its window closed, say): bind it
    // again rather than let GL calls fall into nothing. A GL window is its
    // own client: the bind resets GL, so the window must set its state again
    // now, as its next paint will find the bind done.
    if (shared) {
        for (GLwindow* w : GLwindow::glWindows())
            if (w->isOpen() && GLclient::doBind(w->getHWND(), shared, w))
                return w->getHWND();
        platform::WindowId hidden = holderWindow();
        return hidden && GLclient::doBind(hidden, shared, client) ? hidden : 0;
    }
    bool found = false;
    for (GLwindow* w : GLwindow::glWindows()) {
        if (!w->isOpen())
            continue;
        found = true;
        platform::WindowId window = w->getHWND();
        makeWindowRC(window, w);
        GLclient::doBind(window, shared, w);
    }
    if (!found) {
        orvel::debug("Couldn't find an OpenGL window...\n");
        if (platform::WindowId hidden = holderWindow())
            makeWindowRC(hidden, client);
    }
    return platform::currentGLContext() ? platform::currentGLWindow() : 0;
}

void resetGLState() {
    // Whatever the caches believe, GL may hold anything here.
    invalidateGLStateCache();
    VertexArray::flushArrayState();
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    // Unit 0 always exists (it is the only one without multitexturing); the
    // others as long as they can be selected.
    int unit = 0;
    selectTextureUnit(0);
    do {
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_NORMAL_ARRAY);
        selectClientTextureUnit(unit);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    } while (selectTextureUnit(++unit));
    selectTextureUnit(0);
    selectClientTextureUnit(0);
    glDisable(GL_FOG);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glAlphaFunc(GL_NOTEQUAL, 0);
    glEnable(GL_NORMALIZE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    invalidateGLStateCache();
    noteTextureUnitsReset();
}

bool checkGLError(int label) {
    GLenum e = glGetError();
    if (e != GL_NO_ERROR) {
        orvel::debug("OpenGL error \"%s\"", errorName(e));
        if (label >= 0)
            orvel::debug(" at label %d\n", label);
        else
            orvel::debug("\n");
        return true;
    }
    if (label >= 0)
        orvel::debug("No OpenGL error at label %d\n", label);
    return false;
}

}  // namespace pellium
