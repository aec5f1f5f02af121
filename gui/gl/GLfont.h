// A font drawn with OpenGL: its glyphs packed into one texture on first use,
// strings drawn as textured quads in a pixel projection, one draw call per
// string. Packed colours are words whose bytes in memory are red, green,
// blue and alpha (0xFFFFFFFF white, 0xFF000000 opaque black).
#pragma once

#include <cstdint>
#include <memory>

#include "gui/gl/Font.h"
#include "gui/gl/GLclient.h"
#include "gui/gl/GlyphAtlas.h"

namespace pellium {

struct GLfontInternals;

class GLfont : public Font {
public:
    // Characters first..last get glyphs; any other is drawn as first. With
    // outline the glyphs get a half-transparent black rim of one pixel.
    GLfont(const FontKey& key, int first, int last, bool outline);
    ~GLfont() override;

    // Sets GL up for text in the pixel projection of info: blending and
    // texturing on, depth test and lighting off, fragments with alpha up to
    // 0.2 dropped, the glyph texture bound. The first call builds the glyph
    // texture. False (and nothing changed) without one. Calls nest: only the
    // outermost pair saves and restores.
    bool begin(const GLRenderInfo& info);
    // Puts back what the matching begin changed.
    void end(const GLRenderInfo& info);

    // Draw at (x, y) of the pixel projection, inside a begin and end of their
    // own when none is open; return x plus the advance.
    int drawString(const GLRenderInfo& info, int x, int y, const char* text, uint32_t colour);
    // One colour per character.
    int drawColouredString(const GLRenderInfo& info, int x, int y, const char* text, const uint32_t* colours);
    // Draws with this modelview matrix (16 floats, GL's order); returns the advance.
    int drawTransformed(const GLRenderInfo& info, const float* matrix, const char* text, uint32_t colour);

    int first() const;
    int last() const;
    bool outline() const;
    // The packed glyphs; empty until the first begin, or when they could not be made.
    const GlyphAtlas& atlas() const;
    // The glyph texture's GL name; 0 until built, or when it could not be.
    unsigned textureName() const;

private:
    bool buildTexture();
    int draw(const float* matrix, float x, float y, const char* text, const uint32_t* colours, bool perCharacter);

    std::unique_ptr<GLfontInternals> gl_;
};

// The program's default GL font (fixed pitch, default size, characters 32 to
// 126, no outline), made on first use. It lives for the process.
GLfont& defaultGLFont();

}  // namespace pellium
