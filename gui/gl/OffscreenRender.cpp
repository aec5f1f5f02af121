#include "OffscreenRender.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

#include "base/Clock.h"
#include "base/Debug.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLmatrix.h"
#include "gui/gl/Image.h"

namespace pellium {

namespace {

// The framebuffer and its two buffers, in the shared context they were made in.
struct Framebuffer {
    platform::GLContext context = nullptr;
    GLuint framebuffer = 0, colour = 0, depth = 0;
    int width = 0, height = 0;
};

Framebuffer& framebufferState() {
    static Framebuffer f;
    return f;
}

void deleteFramebuffer(Framebuffer& b, const FramebufferEntryPoints& f) {
    f.bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
    f.deleteFramebuffers(1, &b.framebuffer);
    const GLuint buffers[2] = {b.colour, b.depth};
    f.deleteRenderbuffers(2, buffers);
    b = Framebuffer();
}

bool makeFramebuffer(Framebuffer& b, const FramebufferEntryPoints& f, int width, int height) {
    orvel::debug("Creating a new %dx%dbitmap...\n", width, height);
    b.context = sharedContext();
    b.width = width;
    b.height = height;
    f.genFramebuffers(1, &b.framebuffer);
    f.genRenderbuffers(1, &b.colour);
    f.genRenderbuffers(1, &b.depth);
    f.bindFramebuffer(GL_FRAMEBUFFER_EXT, b.framebuffer);
    f.bindRenderbuffer(GL_RENDERBUFFER_EXT, b.colour);
    f.renderbufferStorage(GL_RENDERBUFFER_EXT, GL_RGBA8, width, height);
    f.framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, b.colour);
    // 24 bits: what every driver offers for a depth buffer of its own.
    f.bindRenderbuffer(GL_RENDERBUFFER_EXT, b.depth);
    f.renderbufferStorage(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, width, height);
    f.framebufferRenderbuffer(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, b.depth);
    f.bindRenderbuffer(GL_RENDERBUFFER_EXT, 0);
    const GLenum status = f.checkFramebufferStatus(GL_FRAMEBUFFER_EXT);
    if (status == GL_FRAMEBUFFER_COMPLETE_EXT)
        return true;
    orvel::debug("The %dx%d bitmap cannot be drawn to (framebuffer status 0x%x)\n", width, height, unsigned(status));
    deleteFramebuffer(b, f);
    // A size or memory the driver refused raised GL errors here; they are
    // this failure's, not the next GL code's. GL keeps at most one per kind.
    for (int kinds = 0; kinds < 8 && glGetError() != GL_NO_ERROR; ++kinds) {
    }
    return false;
}

double ms(double from, double to) { return (to - from) * 1000.0; }

}  // namespace

bool renderBitmap(Image& image, GLclient& client) {
    const double start = orvel::getTime();
    const int width = image.width(), height = image.height();
    orvel::debug("Rendering a bitmap...\n");
    if (!ensureContext(nullptr)) {
        orvel::debug("No render context for the bitmap\n");
        return false;
    }
    const FramebufferEntryPoints* f = loadFramebufferExtensions();
    bool ready = f != nullptr;
    if (!ready) {
        orvel::debug("The driver has no framebuffer objects to render a bitmap in\n");
    } else {
        Framebuffer& b = framebufferState();
        // Names from a context that is gone mean nothing in this one.
        if (b.context != sharedContext())
            b = Framebuffer();
        if (b.framebuffer && (b.width != width || b.height != height))
            deleteFramebuffer(b, *f);
        if (b.framebuffer)
            f->bindFramebuffer(GL_FRAMEBUFFER_EXT, b.framebuffer);
        else
            ready = makeFramebuffer(b, *f, width, height);
    }
    const double created = orvel::getTime();
    double rendered = created;
    if (ready) {
        orvel::debug("Let's render a bitmap...\n");
        glViewport(0, 0, width, height);
        GLRenderInfo info;
        info.width = width;
        info.height = height;
        setPixelProjection(info);
        resetGLState();
        client.render(info);
        orvel::debug("Finished rendering...\n");
        rendered = orvel::getTime();
        orvel::debug("Reading back the image data...\n");
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        // GL's rows run bottom-up like the image's, and BGRA bytes are its
        // 0xAARRGGBB words. The framebuffer's alpha is whatever the client
        // left there; the picture is opaque.
        std::uint32_t* pixels = image.pixels();
        glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
        for (std::uint32_t *p = pixels, *end = pixels + size_t(width) * size_t(height); p != end; ++p)
            *p |= 0xFF000000u;
        f->bindFramebuffer(GL_FRAMEBUFFER_EXT, 0);
        orvel::debug("Image data read ok...\n");
    }
    platform::makeGLCurrent(0, nullptr);
    const double end = orvel::getTime();
    if (glVerbose)
        orvel::debug("Bitmap render took %.3f ms  (create=%.3f, render=%.3f, read=%.3f)\n", ms(start, end),
                     ms(start, created), ms(created, rendered), ms(rendered, end));
    return ready;
}

}  // namespace pellium
