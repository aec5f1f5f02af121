// The OpenGL 1.1 extensions the GL layer uses, searched for lazily in the
// current context. Each loader searches once and then only answers, until a
// bind that switches the context clears every loader, so that the next use
// searches again. A feature counts only when the driver lists its extension:
// the entry points alone prove nothing (Mesa hands one out for any name).
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

namespace pellium {

// When clear, the loaders write none of their progress lines.
extern bool glVerbose;

struct TextureExtensions {
    bool clampToEdge = false;
    bool clampToBorder = false;
    bool compression = false;
    bool s3Compression = false;
    bool anisotropicControl = false;
};
const TextureExtensions& loadTextureExtensions();

struct VBOEntryPoints {
    PFNGLGENBUFFERSARBPROC genBuffers = nullptr;
    PFNGLDELETEBUFFERSARBPROC deleteBuffers = nullptr;
    PFNGLBINDBUFFERARBPROC bindBuffer = nullptr;
    PFNGLBUFFERDATAARBPROC bufferData = nullptr;
    PFNGLBUFFERSUBDATAARBPROC bufferSubData = nullptr;
    PFNGLGETBUFFERSUBDATAARBPROC getBufferSubData = nullptr;
    PFNGLMAPBUFFERARBPROC mapBuffer = nullptr;
    PFNGLUNMAPBUFFERARBPROC unmapBuffer = nullptr;
    PFNGLGETBUFFERPARAMETERIVARBPROC getBufferParameteriv = nullptr;
    PFNGLGETBUFFERPOINTERVARBPROC getBufferPointerv = nullptr;
};
// Buffer objects (it also loads multitexturing); null without them.
const VBOEntryPoints* loadVBOExtensions();

struct MultiTextureEntryPoints {
    int units = 1;
    PFNGLACTIVETEXTUREARBPROC activeTexture = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC multiTexCoord2f = nullptr;
    PFNGLMULTITEXCOORD2FVARBPROC multiTexCoord2fv = nullptr;
};
// Null without multitexturing, or with fewer than two texture units.
const MultiTextureEntryPoints* loadMultiTextureExtensions();

struct CVAEntryPoints {
    PFNGLLOCKARRAYSEXTPROC lockArrays = nullptr;
    PFNGLUNLOCKARRAYSEXTPROC unlockArrays = nullptr;
};
// Locked (compiled) vertex arrays; null without them.
const CVAEntryPoints* loadCVAExtensions();

struct FramebufferEntryPoints {
    PFNGLGENFRAMEBUFFERSEXTPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSEXTPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFEREXTPROC bindFramebuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkFramebufferStatus = nullptr;
    PFNGLGENRENDERBUFFERSEXTPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSEXTPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFEREXTPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEEXTPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC framebufferRenderbuffer = nullptr;
};
// Framebuffer objects (the ARB's or the older EXT's: same calls, same
// numbers); null without either.
const FramebufferEntryPoints* loadFramebufferExtensions();

// Specular light added after texturing when the driver can, else single colour.
void enableSeparateSpecular();

// Whether the probe found that BGRA pixels can be uploaded.
bool bgraUsable();
// Frames to wait for at each swap of the current context (0 off); false when
// the probe found no swap control.
bool setSwapInterval(int frames);

// Forgets every loader's result; the next use searches the current context again.
void resetExtensionLoaders();

}  // namespace pellium
