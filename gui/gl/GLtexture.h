// One OpenGL 2D texture made from a picture: the name and its parameters on
// first bind, the picture scaled to powers of two within the driver's limit
// and uploaded once (optionally compressed, optionally with a mipmap chain
// whose levels can fade out). A process-wide registry counts the live
// textures and the bytes they hold. Main thread, with the shared context.
#pragma once

#include <cstdint>
#include <memory>

#include "gui/gl/Image.h"

namespace pellium {

// What the mipmap builder asks of a texture.
class MipmapperInfo {
public:
    virtual ~MipmapperInfo() = default;
    virtual bool compressed() const = 0;
    virtual bool wantsMipmaps() const = 0;
    virtual bool fadeMipmaps() const = 0;
};

struct GLtextureInternals;

class GLtexture {
public:
    // Clamp modes.
    enum { ClampToEdge = 0, ClampWithBorder = 1 };

    GLtexture();
    ~GLtexture();
    GLtexture(const GLtexture&) = delete;
    GLtexture& operator=(const GLtexture&) = delete;

    static int count();
    // Bytes uploaded by every live texture, all levels.
    static unsigned totalSize();
    // Caps both sides below the driver's maximum (a power of two is best);
    // 0 leaves the driver's maximum alone.
    static void setSizeLimit(int side);

    // The setters take effect at the first bind or upload; they change
    // nothing already in GL. Only the second filter word is read: 2 asks for
    // mipmaps, anything else for nearest filtering.
    void setFilterModes(int first, int second);
    // The border colour is packed with red in the lowest byte.
    void setClamp(int mode, uint32_t borderColour);
    void setCompressed();
    // Mipmap levels get ever lower alpha: 102, 81, 65, ...
    void setFadeMipmaps();
    // 1 off, 0 what the driver does well, else the level itself.
    void setAnisotropy(int level);

    // Uploads the first non-empty picture; later ones are ignored.
    void setImage(const Image& image);
    // Makes the texture current, creating it on the first call.
    void bind();

    const MipmapperInfo& mipmapperInfo() const;
    unsigned name() const;
    bool created() const;
    bool uploaded() const;
    // Bytes this texture uploaded, all levels.
    unsigned size() const;
    // The picture handed to setImage, before scaling.
    int width() const;
    int height() const;
    // A border clamp was asked for and the driver has none.
    bool borderClampMissing() const;

private:
    // bind(): true when the texture exists and is bound in a current context.
    bool bindNow();
    void doBind();

    std::unique_ptr<GLtextureInternals> internals_;
};

}  // namespace pellium
