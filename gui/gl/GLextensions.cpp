#include "GLextensions.h"

#include <string>

#include "base/Debug.h"
#include "gui/gl/GLcaps.h"
#include "platform/GLContext.h"

namespace pellium {

bool glVerbose = false;

namespace {

struct Loaders {
    bool textureDone = false;
    TextureExtensions texture;
    bool vboDone = false, vboAvailable = false;
    VBOEntryPoints vbo;
    bool multiTextureDone = false, multiTextureAvailable = false;
    MultiTextureEntryPoints multiTexture;
    bool cvaDone = false, cvaAvailable = false;
    CVAEntryPoints cva;
    bool framebufferDone = false, framebufferAvailable = false;
    FramebufferEntryPoints framebuffer;
    bool specularTested = false, specularPresent = false;
};

Loaders& loaders() {
    static Loaders l;
    return l;
}

void progress(const char* text) {
    if (glVerbose)
        orvel::debug("%s", text);
}

void progressFlag(const char* format, bool value) {
    if (glVerbose)
        orvel::debug(format, value ? 1 : 0);
}

template <typename F>
bool fetch(F& entry, const char* name) {
    entry = reinterpret_cast<F>(platform::glProcAddress(name));
    return entry != nullptr;
}

}  // namespace

const TextureExtensions& loadTextureExtensions() {
    Loaders& l = loaders();
    if (l.textureDone)
        return l.texture;
    l.textureDone = true;
    GLcaps caps;
    caps.fill();
    TextureExtensions& t = l.texture;
    progress("Loading texture mapping extensions...\n");
    t.clampToEdge = caps.hasExtension("EXT_texture_edge_clamp");
    progressFlag("weCanClampToEdge=%d\n", t.clampToEdge);
    t.clampToBorder = caps.hasExtension("ARB_texture_border_clamp");
    progressFlag("weCanClampToBorder=%d\n", t.clampToBorder);
    t.compression = caps.hasExtension("ARB_texture_compression");
    progressFlag("weCanCompressTextures=%d\n", t.compression);
    t.s3Compression = false;
    if (t.compression) {
        t.s3Compression = caps.hasExtension("EXT_texture_compression_s3tc");
        progressFlag("weHaveS3Compression=%d\n", t.s3Compression);
    }
    t.anisotropicControl = caps.hasExtension("EXT_texture_filter_anisotropic");
    progressFlag("weHaveAnisotropicControl=%d\n", t.anisotropicControl);
    progress("Finished loading texture mapping extensions...\n");
    return t;
}

const VBOEntryPoints* loadVBOExtensions() {
    Loaders& l = loaders();
    if (!l.vboDone) {
        l.vboDone = true;
        progress("Loading VBO extensions...\n");
        GLcaps caps;
        caps.fill();
        VBOEntryPoints& v = l.vbo;
        v = VBOEntryPoints();
        l.vboAvailable = caps.hasExtension("ARB_vertex_buffer_object");
        progressFlag("weHaveARBVertexBufferObjects=%d\n", l.vboAvailable);
        if (l.vboAvailable) {
            bool all = fetch(v.genBuffers, "glGenBuffersARB");
            all = fetch(v.deleteBuffers, "glDeleteBuffersARB") && all;
            all = fetch(v.bindBuffer, "glBindBufferARB") && all;
            all = fetch(v.bufferData, "glBufferDataARB") && all;
            all = fetch(v.bufferSubData, "glBufferSubDataARB") && all;
            all = fetch(v.getBufferSubData, "glGetBufferSubDataARB") && all;
            all = fetch(v.mapBuffer, "glMapBufferARB") && all;
            all = fetch(v.unmapBuffer, "glUnmapBufferARB") && all;
            all = fetch(v.getBufferParameteriv, "glGetBufferParameterivARB") && all;
            all = fetch(v.getBufferPointerv, "glGetBufferPointervARB") && all;
            l.vboAvailable = all;
        }
        progress("Finished loading VBO extensions...\n");
        loadMultiTextureExtensions();
    }
    return l.vboAvailable ? &l.vbo : nullptr;
}

const MultiTextureEntryPoints* loadMultiTextureExtensions() {
    Loaders& l = loaders();
    if (!l.multiTextureDone) {
        l.multiTextureDone = true;
        progress("Loading multitexture extensions...\n");
        if (glGetError() != GL_NO_ERROR)
            progress("GL had an error at the start of loadMultiTextureExtensions()\n");
        GLcaps caps;
        caps.fill();
        MultiTextureEntryPoints& m = l.multiTexture;
        m = MultiTextureEntryPoints();
        m.units = caps.textureUnits;
        l.multiTextureAvailable = false;
        if (m.units < 2) {
            progress("Not enough texture units...!\n");
        } else {
            bool all = fetch(m.activeTexture, "glActiveTextureARB");
            all = fetch(m.clientActiveTexture, "glClientActiveTextureARB") && all;
            all = fetch(m.multiTexCoord2f, "glMultiTexCoord2fARB") && all;
            all = fetch(m.multiTexCoord2fv, "glMultiTexCoord2fvARB") && all;
            l.multiTextureAvailable = all;
            progress("Finished loading multitexture extensions...\n");
        }
        if (glGetError() != GL_NO_ERROR)
            progress("A GL error occurred during loadMultiTextureExtensions()\n");
    }
    return l.multiTextureAvailable ? &l.multiTexture : nullptr;
}

const CVAEntryPoints* loadCVAExtensions() {
    Loaders& l = loaders();
    if (!l.cvaDone) {
        l.cvaDone = true;
        progress("Loading CVA extensions...\n");
        if (glGetError() != GL_NO_ERROR)
            progress("GL had an error at the start of lockArrays()\n");
        GLcaps caps;
        caps.fill();
        l.cva = CVAEntryPoints();
        bool all = caps.hasExtension("GL_EXT_compiled_vertex_array");
        all = all && fetch(l.cva.lockArrays, "glLockArraysEXT");
        all = all && fetch(l.cva.unlockArrays, "glUnlockArraysEXT");
        l.cvaAvailable = all;
    }
    return l.cvaAvailable ? &l.cva : nullptr;
}

const FramebufferEntryPoints* loadFramebufferExtensions() {
    Loaders& l = loaders();
    if (!l.framebufferDone) {
        l.framebufferDone = true;
        GLcaps caps;
        caps.fill();
        // The ARB's calls carry no suffix, the EXT's end in "EXT".
        const char* suffix = caps.hasExtension("GL_ARB_framebuffer_object")   ? ""
                             : caps.hasExtension("GL_EXT_framebuffer_object") ? "EXT"
                                                                              : nullptr;
        FramebufferEntryPoints& f = l.framebuffer;
        f = FramebufferEntryPoints();
        bool all = suffix != nullptr;
        auto get = [&](auto& entry, const char* name) {
            all = all && fetch(entry, (std::string(name) + suffix).c_str());
        };
        get(f.genFramebuffers, "glGenFramebuffers");
        get(f.deleteFramebuffers, "glDeleteFramebuffers");
        get(f.bindFramebuffer, "glBindFramebuffer");
        get(f.checkFramebufferStatus, "glCheckFramebufferStatus");
        get(f.genRenderbuffers, "glGenRenderbuffers");
        get(f.deleteRenderbuffers, "glDeleteRenderbuffers");
        get(f.bindRenderbuffer, "glBindRenderbuffer");
        get(f.renderbufferStorage, "glRenderbufferStorage");
        get(f.framebufferRenderbuffer, "glFramebufferRenderbuffer");
        l.framebufferAvailable = all;
        progressFlag("weHaveFramebufferObjects=%d\n", all);
    }
    return l.framebufferAvailable ? &l.framebuffer : nullptr;
}

void enableSeparateSpecular() {
    Loaders& l = loaders();
    if (!l.specularTested) {
        l.specularTested = true;
        const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        l.specularPresent = extensionListed(list, "EXT_separate_specular_color");
    }
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, l.specularPresent ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
}

bool bgraUsable() { return extensionListed(getGLSniffer().extensions.c_str(), "GL_EXT_bgra"); }

bool setSwapInterval(int frames) {
    const char* list = getGLSniffer().wglExtensions.c_str();
    bool control = extensionListed(list, "GLX_EXT_swap_control") || extensionListed(list, "GLX_MESA_swap_control") ||
                   extensionListed(list, "GLX_SGI_swap_control");
    return control && platform::setSwapInterval(frames);
}

void resetExtensionLoaders() { loaders() = Loaders(); }

}  // namespace pellium
