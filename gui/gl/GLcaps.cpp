#include "GLcaps.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "base/Debug.h"
#include "gui/ErrorStage.h"
#include "gui/gl/PixelFormat.h"
#include "platform/GLContext.h"

namespace pellium {

namespace {

const char* glText(GLenum name) {
    const char* s = reinterpret_cast<const char*>(glGetString(name));
    return s ? s : "";
}

int glInteger(GLenum name) {
    GLint v = 0;
    glGetIntegerv(name, &v);
    return v;
}

// Writes a blank-separated list one name a line, in pieces the log takes.
void logList(const orvel_string& list) {
    orvel_string lines(list);
    for (char& c : lines)
        if (c == ' ')
            c = '\n';
    const unsigned piece = 4000;
    for (unsigned at = 0; at < lines.length(); at += piece) {
        unsigned n = lines.length() - at < piece ? lines.length() - at : piece;
        orvel::debug("%.*s", int(n), lines.c_str() + at);
    }
}

// The probe: a hidden window in the format GL windows will get, a context of
// its own, the record filled, then all of it thrown away again.
void sniff(GLcaps& caps) {
    int format = choosePixelFormat(platform::pixelFormats());
    if (!format || !platform::requestPixelFormat(format))
        return;
    platform::WindowId window = platform::createHiddenGLWindow(10, 10);
    if (!window)
        return;
    platform::GLContext context = platform::createGLContext(window);
    if (context) {
        platform::GLContext previous = platform::currentGLContext();
        platform::WindowId previousWindow = platform::currentGLWindow();
        if (platform::makeGLCurrent(window, context)) {
            caps.fill();
            platform::makeGLCurrent(previousWindow, previous);
        }
        platform::deleteGLContext(context);
    }
    platform::destroyHiddenGLWindow(window);
}

}  // namespace

bool extensionListed(const char* list, const char* name) {
    if (!list || !name || !*name)
        return false;
    size_t n = std::strlen(name);
    // Every occurrence is tried: a longer name listed first must not hide the name itself.
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name))
        if (at[n] == '\0' || at[n] == ' ')
            return true;
    return false;
}

void GLcaps::fill() {
    platform::WindowId window = platform::currentGLWindow();
    valid = window != 0;
    if (!valid)
        return;
    vendor = glText(GL_VENDOR);
    renderer = glText(GL_RENDERER);
    version = glText(GL_VERSION);
    extensions = glText(GL_EXTENSIONS);
    wglExtensions = platform::windowSystemExtensions().c_str();
    const platform::PixelFormat* format = platform::pixelFormat(platform::windowPixelFormat(window));
    accelerated = format && !(format->flags & platform::PixelFormat::Generic);
    colorBits = glInteger(GL_RED_BITS) + glInteger(GL_GREEN_BITS) + glInteger(GL_BLUE_BITS);
    alphaBits = glInteger(GL_ALPHA_BITS);
    depthBits = glInteger(GL_DEPTH_BITS);
    stencilBits = glInteger(GL_STENCIL_BITS);
    textureUnits = extensionListed(extensions.c_str(), "GL_ARB_multitexture") ? glInteger(GL_MAX_TEXTURE_UNITS_ARB) : 1;
    maxAnisotropy = 1;
    if (extensionListed(extensions.c_str(), "GL_EXT_texture_filter_anisotropic")) {
        GLfloat most = 1;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
        maxAnisotropy = int(most);
    }
}

bool GLcaps::hasExtension(const char* name) const {
    return extensionListed(extensions.c_str(), name) || extensionListed(wglExtensions.c_str(), name);
}

void GLcaps::logInfo() const {
    orvel::debug("\n\nOpenGL info\n-----------\n");
    orvel::debug("Vendor = %s\n", vendor.c_str());
    orvel::debug("Renderer = %s\n", renderer.c_str());
    orvel::debug("Version = %s\n", version.c_str());
    orvel::debug("Hardware acceleration? %s\n", accelerated ? "Yes" : "No");
    orvel::debug("Color bits = %d\n", colorBits);
    orvel::debug("Depth bits = %d\n", depthBits);
    orvel::debug("Stencil bits = %d\n", stencilBits);
    orvel::debug("Alpha bits = %d\n", alphaBits);
    orvel::debug("Texture units = %d\n", textureUnits);
    orvel::debug("Max anisotropic filter = %d\n", maxAnisotropy);
    orvel::debug("\n\nSupported OpenGL extensions\n---------------------------\n");
    logList(extensions);
    if (!wglExtensions.empty()) {
        orvel::debug("\n\nSupported WGL extensions\n------------------------\n");
        logList(wglExtensions);
    }
    orvel::debug("\n\n");
}

GLcaps& getGLSniffer() {
    static GLcaps caps;
    static bool probed = false;
    if (!probed) {
        probed = true;
        // The driver's first context: where a driver short of memory crashes.
        DriverStep step(30201);
        sniff(caps);
    }
    return caps;
}

}  // namespace pellium
