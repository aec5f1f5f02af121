#include "gui/gl/GLtexture.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <vector>

#include "base/Debug.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLfont.h"
#include "gui/gl/VideoSwitches.h"
#include "platform/GLContext.h"

namespace pellium {

struct GLtextureInternals : MipmapperInfo {
    bool compressed() const override { return compress; }
    bool wantsMipmaps() const override { return secondFilter == 2; }
    bool fadeMipmaps() const override { return fade; }

    int width = 0;
    int height = 0;
    bool created = false;
    bool uploaded = false;
    GLuint name = 0;
    unsigned size = 0;
    int firstFilter = 1;
    int secondFilter = 2;
    bool mipmapsForced = false;
    bool compress = false;
    bool clamp = false;
    int clampMode = GLtexture::ClampToEdge;
    uint32_t borderColour = 0;
    int anisotropy = 1;
    bool fade = false;
    bool borderClampMissing = false;
};

namespace {

std::vector<GLtexture*>& registry() {
    static std::vector<GLtexture*> textures;
    return textures;
}

int sizeLimit = 0;

// The largest power of two not above side, 1 for anything below 2.
int powerOfTwoBelow(int side) {
    int p = 1;
    while (p <= side / 2)
        p *= 2;
    return p;
}

void swapRedAndBlue(Image& image) {
    uint32_t* p = image.pixels();
    for (size_t i = 0, n = size_t(image.width()) * size_t(image.height()); i < n; ++i)
        p[i] = (p[i] & 0xFF00FF00u) | ((p[i] >> 16) & 0xFFu) | ((p[i] & 0xFFu) << 16);
}

// Grey held in the first byte becomes grey in all three colour bytes.
void spreadGrey(Image& image) {
    uint32_t* p = image.pixels();
    for (size_t i = 0, n = size_t(image.width()) * size_t(image.height()); i < n; ++i) {
        const uint32_t g = p[i] & 0xFFu;
        p[i] = (p[i] & 0xFF0000FFu) | (g << 8) | (g << 16);
    }
}

void setAlpha(Image& image, uint32_t alpha) {
    uint32_t* p = image.pixels();
    for (size_t i = 0, n = size_t(image.width()) * size_t(image.height()); i < n; ++i)
        p[i] = (p[i] & 0x00FFFFFFu) | (alpha << 24);
}

GLenum internalFormat(int components, bool compress, bool driverCompresses) {
    if (compress && driverCompresses)
        return components == 3 ? GL_COMPRESSED_RGB_ARB : GL_COMPRESSED_RGBA_ARB;
    if (compress)
        return GLenum(components);
    static const GLenum plain[4] = {GL_LUMINANCE8, GL_LUMINANCE8_ALPHA8, GL_RGB8, GL_RGBA8};
    return plain[components - 1];
}

unsigned levelSize(int level, int width, int height) {
    GLint compressed = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_ARB, &compressed);
    if (compressed) {
        GLint bytes = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, &bytes);
        return unsigned(bytes);
    }
    return unsigned(width) * unsigned(height) * 4u;
}

}  // namespace

GLtexture::GLtexture() : internals_(new GLtextureInternals) { registry().push_back(this); }

GLtexture::~GLtexture() {
    std::vector<GLtexture*>& all = registry();
    all.erase(std::find(all.begin(), all.end(), this));
    // Only with a context: without one there is nothing to free it in.
    if (internals_->name && platform::currentGLContext())
        glDeleteTextures(1, &internals_->name);
}

int GLtexture::count() { return int(registry().size()); }

unsigned GLtexture::totalSize() {
    unsigned total = 0;
    for (const GLtexture* t : registry())
        total += t->internals_->size;
    return total;
}

void GLtexture::setSizeLimit(int side) { sizeLimit = side > 0 ? side : 0; }

void GLtexture::setFilterModes(int first, int second) {
    internals_->firstFilter = first;
    internals_->secondFilter = second;
}

void GLtexture::setClamp(int mode, uint32_t borderColour) {
    internals_->clamp = true;
    internals_->clampMode = mode;
    internals_->borderColour = borderColour;
}

void GLtexture::setCompressed() { internals_->compress = true; }
void GLtexture::setFadeMipmaps() { internals_->fade = true; }
void GLtexture::setAnisotropy(int level) { internals_->anisotropy = level; }

const MipmapperInfo& GLtexture::mipmapperInfo() const { return *internals_; }
unsigned GLtexture::name() const { return internals_->name; }
bool GLtexture::created() const { return internals_->created; }
bool GLtexture::uploaded() const { return internals_->uploaded; }
unsigned GLtexture::size() const { return internals_->size; }
int GLtexture::width() const { return internals_->width; }
int GLtexture::height() const { return internals_->height; }
bool GLtexture::borderClampMissing() const { return internals_->borderClampMissing; }

void GLtexture::bind() { bindNow(); }

bool GLtexture::bindNow() {
    GLtextureInternals& in = *internals_;
    // The context may have been let go since the name was made (an off-screen
    // render leaves none current), and GL calls would fall into nothing: the
    // shared context, which holds the name, is bound again first. Only then:
    // binding happens on every draw.
    if (in.created && !platform::currentGLContext() && !ensureContext(nullptr))
        return false;
    // An error left by earlier code is not this texture's.
    glGetError();
    if (in.created)
        glBindTexture(GL_TEXTURE_2D, in.name);
    else
        doBind();
    if (glGetError() != GL_NO_ERROR)
        orvel::debug("GL had an error during GLtexture::bind()\n");
    return in.created;
}

void GLtexture::doBind() {
    GLtextureInternals& in = *internals_;
    defaultGLFont();
    // Without a context no name can be made: stay uncreated, so that the
    // next bind tries again rather than use a name GL never gave.
    if (!ensureContext(nullptr))
        return;
    // The context may have been bound just now, with an error of earlier
    // code that the check in bind could not see; it is not this texture's.
    if (glGetError() != GL_NO_ERROR)
        orvel::debug("GL had an error at the start of Texture::doBind()\n");
    const TextureExtensions& can = loadTextureExtensions();
    in.created = true;
    glGenTextures(1, &in.name);
    glBindTexture(GL_TEXTURE_2D, in.name);
    if (in.fade)
        in.mipmapsForced = true;

    if (in.secondFilter != 2) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    } else if (in.anisotropy != 1 && can.anisotropicControl) {
        int level = in.anisotropy;
        if (level == 0) {
            GLfloat most = 0;
            glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
            level = most > 8 ? 4 : 2;
        }
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, GLfloat(level));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    } else if (in.mipmapsForced) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    }

    if (in.clamp) {
        in.borderClampMissing = false;
        GLint wrap = GL_CLAMP;
        if (in.clampMode == ClampWithBorder) {
            if (can.clampToBorder) {
                const uint32_t c = in.borderColour;
                const GLfloat colour[4] = {GLfloat(c & 0xFF) / 255, GLfloat((c >> 8) & 0xFF) / 255,
                                           GLfloat((c >> 16) & 0xFF) / 255, GLfloat(c >> 24) / 255};
                glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, colour);
                // The edge mode, not the border mode: the border colour is set
                // but the texture's own edge is what shows.
                wrap = GL_CLAMP_TO_EDGE;
            } else {
                in.borderClampMissing = true;
            }
        } else if (in.clampMode == ClampToEdge && can.clampToEdge) {
            wrap = GL_CLAMP_TO_EDGE;
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    }
    if (glGetError() != GL_NO_ERROR)
        orvel::debug("An error occurred during Texture::doBind()\n");
}

void GLtexture::setImage(const Image& image) {
    GLtextureInternals& in = *internals_;
    if (image.empty() || in.uploaded)
        return;
    in.width = image.width();
    in.height = image.height();
    if (!bindNow())
        return;

    Image picture;
    picture.deepCopy(image);
    GLint driverMost = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &driverMost);
    const int most = sizeLimit ? std::min(sizeLimit, int(driverMost)) : int(driverMost);
    int width = powerOfTwoBelow(std::min(in.width, most));
    int height = powerOfTwoBelow(std::min(in.height, most));
    picture.resize(width, height);

    const bool bgra = fullGLacceleration && bgraUsable();
    if (!bgra)
        swapRedAndBlue(picture);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (in.fade)
        picture.setMode(4);

    int components = std::max(1, std::min(picture.mode(), 4));
    const bool driverCompresses = loadTextureExtensions().compression;
    if (in.compress && driverCompresses && components <= 2) {
        spreadGrey(picture);
        components += 2;
    }
    if (in.compress && !driverCompresses && width > 2 && height > 2) {
        width /= 2;
        height /= 2;
        picture.resize(width, height);
    }
    const GLenum format = internalFormat(components, in.compress, driverCompresses);
    const GLenum order = bgra ? GL_BGRA_EXT : GL_RGBA;

    glGetError();
    unsigned total = 0;
    if (!in.wantsMipmaps()) {
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), width, height, 0, order, GL_UNSIGNED_BYTE, picture.constPixels());
        total = levelSize(0, width, height);
    } else {
        double factor = 0.5;
        for (int level = 0;; ++level) {
            if (in.fade) {
                factor *= 0.8;
                setAlpha(picture, uint32_t(factor * 255));
            }
            glTexImage2D(GL_TEXTURE_2D, level, GLint(format), width, height, 0, order, GL_UNSIGNED_BYTE,
                         picture.constPixels());
            total += levelSize(level, width, height);
            if (width == 1 && height == 1)
                break;
            width = std::max(width / 2, 1);
            height = std::max(height / 2, 1);
            picture.resize(width, height);
        }
    }
    // Marked uploaded even so: the same picture would fail the same way again.
    if (glGetError() != GL_NO_ERROR)
        orvel::debug("GL had an error uploading a %d x %d texture\n", in.width, in.height);
    in.size = total;
    in.uploaded = true;
}

}  // namespace pellium
